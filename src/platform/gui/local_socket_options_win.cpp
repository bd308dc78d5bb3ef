#include "platform/gui/local_socket_options.h"

// Named pipes: Qt makes them private to the user who creates them.
namespace LocalSocketOptions {

QString serverName(const QString &baseName)
{
    return baseName;
}

QLocalServer::SocketOptions serverOptions()
{
    return QLocalServer::UserAccessOption;
}

QLocalSocket::SocketOptions socketOptions()
{
    return QLocalSocket::NoOptions;
}

bool peerMayHandOver(qintptr)
{
    return true;
}

} // namespace LocalSocketOptions
