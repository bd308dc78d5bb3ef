#include "platform/local_client.h"

#include "platform/unix_socket.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/time.h>
#include <unistd.h>

struct LocalClient::Handle {
    int socket = -1;
    bool closedByPeer = false;
};

LocalClient::LocalClient()
    : m_handle(std::make_unique<Handle>())
{}

LocalClient::~LocalClient()
{
    close();
}

bool LocalClient::connectTo(const QString &name, int timeoutMs)
{
    close();
    sockaddr_un address{};
    socklen_t size = 0;
    if (!UnixSocket::address(name, address, size))
        return false;
    // Blocking while it connects: the system then waits, up to the send time-out, for room in the queue of a
    // server that is too busy to accept, where a non-blocking socket would only be told to try again.
    const int socket = UnixSocket::open(false);
    if (socket < 0)
        return false;
    const int ms = qMax(1, timeoutMs); // a zero time-out would wait for ever
    const timeval limit{ms / 1000, (ms % 1000) * 1000};
    int result = ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    if (result == 0) {
        do {
            result = ::connect(socket, reinterpret_cast<const sockaddr *>(&address), size);
        } while (result != 0 && errno == EINTR);
    }
    if (result != 0 || ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK) != 0) {
        ::close(socket);
        return false;
    }
    m_handle->socket = socket;
    return true;
}

bool LocalClient::write(const QByteArray &data, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    qsizetype done = 0;
    while (done < data.size() && m_handle->socket >= 0) {
        const ssize_t sent = UnixSocket::send(m_handle->socket, data.constData() + done, size_t(data.size() - done));
        if (sent > 0)
            done += sent;
        else if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) ||
                 !UnixSocket::wait(m_handle->socket, POLLOUT, deadline))
            return false;
    }
    return done == data.size() && m_handle->socket >= 0;
}

QByteArray LocalClient::read(qint64 maxSize, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray bytes(qMax<qint64>(maxSize, 0), Qt::Uninitialized);
    while (m_handle->socket >= 0 && !m_handle->closedByPeer && !bytes.isEmpty()) {
        const ssize_t got = ::read(m_handle->socket, bytes.data(), size_t(bytes.size()));
        if (got > 0) {
            bytes.truncate(got);
            return bytes;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            m_handle->closedByPeer = true;
        else if (!UnixSocket::wait(m_handle->socket, POLLIN, deadline))
            break;
    }
    return {};
}

bool LocalClient::closedByPeer() const
{
    return m_handle->closedByPeer;
}

void LocalClient::close()
{
    if (m_handle->socket >= 0)
        ::close(m_handle->socket);
    m_handle->socket = -1;
    m_handle->closedByPeer = false;
}
