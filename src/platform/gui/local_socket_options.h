#pragma once

#include <QLocalServer>
#include <QLocalSocket>
#include <QString>

// What the single-instance channel needs of the system's local sockets, one file per system.
namespace LocalSocketOptions {

// Where a name of the channel lives: on Linux in the abstract namespace, which needs no folder, leaves no
// stale file after a crash and is the same whatever TMPDIR or XDG_RUNTIME_DIR say.
QString serverName(const QString &baseName);
QLocalServer::SocketOptions serverOptions();
QLocalSocket::SocketOptions socketOptions();

// Whether the process at the other end of a connected socket runs as this user or as the administrator.
bool peerMayHandOver(qintptr socketDescriptor);

} // namespace LocalSocketOptions
