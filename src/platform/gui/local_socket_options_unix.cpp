#include "platform/gui/local_socket_options.h"

#include <QDir>

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace LocalSocketOptions {

#ifdef Q_OS_LINUX
// An absolute name keeps Qt from putting the temporary folder (TMPDIR) in front of it.
QString serverName(const QString &baseName)
{
    return QLatin1Char('/') + baseName;
}

QLocalServer::SocketOptions serverOptions()
{
    return QLocalServer::AbstractNamespaceOption;
}

QLocalSocket::SocketOptions socketOptions()
{
    return QLocalSocket::AbstractNamespaceOption;
}

bool peerMayHandOver(qintptr socketDescriptor)
{
    ucred credentials{};
    socklen_t size = sizeof(credentials);
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    return credentials.uid == ::geteuid() || credentials.uid == 0;
}
#else
// Elsewhere a socket file in /tmp, readable by this user only.
QString serverName(const QString &baseName)
{
    return QStringLiteral("/tmp/%1-%2").arg(baseName).arg(::geteuid());
}

QLocalServer::SocketOptions serverOptions()
{
    return QLocalServer::UserAccessOption;
}

QLocalSocket::SocketOptions socketOptions()
{
    return QLocalSocket::NoOptions;
}

bool peerMayHandOver(qintptr socketDescriptor)
{
    uid_t uid = 0;
    gid_t gid = 0;
    return ::getpeereid(int(socketDescriptor), &uid, &gid) == 0 && (uid == ::geteuid() || uid == 0);
}
#endif

} // namespace LocalSocketOptions
