#include "platform/unix_socket.h"

#include <QFile>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace UnixSocket {

namespace {

// Where the system lacks flags to set at creation, they are set right after (a start of another program in
// between could inherit the socket, which only keeps it open a little longer).
bool configure([[maybe_unused]] int socket, [[maybe_unused]] bool nonBlocking)
{
#ifdef SO_NOSIGPIPE
    const int on = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof(on));
#endif
#ifdef SOCK_CLOEXEC
    return true;
#else
    if (::fcntl(socket, F_SETFD, FD_CLOEXEC) != 0)
        return false;
    return !nonBlocking || ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK) == 0;
#endif
}

int opened(int socket, bool nonBlocking)
{
    if (socket >= 0 && !configure(socket, nonBlocking)) {
        ::close(socket);
        return -1;
    }
    return socket;
}

} // namespace

bool abstractNames()
{
#ifdef Q_OS_LINUX
    return true;
#else
    return false;
#endif
}

bool address(const QString &name, sockaddr_un &address, socklen_t &size)
{
    const QByteArray bytes = QFile::encodeName(name);
    const qsizetype first = abstractNames() ? 1 : 0;
    // A file's path needs its closing NUL; an abstract name has none but needs the leading one.
    if (bytes.isEmpty() || bytes.contains('\0') || first + bytes.size() + 1 > qsizetype(sizeof(address.sun_path)))
        return false;
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + first, bytes.constData(), size_t(bytes.size()));
    size = socklen_t(offsetof(sockaddr_un, sun_path) + first + bytes.size() + (first ? 0 : 1));
    return true;
}

int open(bool nonBlocking)
{
#ifdef SOCK_CLOEXEC
    return opened(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0), nonBlocking);
#else
    return opened(::socket(AF_UNIX, SOCK_STREAM, 0), nonBlocking);
#endif
}

int accept(int listener)
{
    for (;;) {
#ifdef SOCK_CLOEXEC
        const int socket = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
#else
        const int socket = ::accept(listener, nullptr, nullptr);
#endif
        // A client that gave up while waiting in the queue is no reason to stop taking the others.
        if (socket < 0 && (errno == EINTR || errno == ECONNABORTED))
            continue;
        return opened(socket, true);
    }
}

ssize_t send(int socket, const char *data, size_t size)
{
    ssize_t sent = 0;
    do {
#ifdef MSG_NOSIGNAL
        sent = ::send(socket, data, size, MSG_NOSIGNAL);
#else
        sent = ::send(socket, data, size, 0);
#endif
    } while (sent < 0 && errno == EINTR);
    return sent;
}

bool wait(int socket, short events, const QDeadlineTimer &deadline)
{
    pollfd entry{socket, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, deadline.isForever() ? -1 : int(qMax<qint64>(0, deadline.remainingTime())));
        if (ready >= 0 || errno != EINTR)
            return ready > 0;
    }
}

bool peerIsUserOrAdministrator(int socket)
{
#ifdef SO_PEERCRED
    ucred credentials{};
    socklen_t size = sizeof(credentials);
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    const uid_t uid = credentials.uid;
#else
    uid_t uid = 0;
    gid_t gid = 0;
    if (::getpeereid(socket, &uid, &gid) != 0)
        return false;
#endif
    return uid == ::geteuid() || uid == 0;
}

} // namespace UnixSocket
