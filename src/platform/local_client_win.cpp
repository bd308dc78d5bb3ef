#include "platform/local_client.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

struct LocalClient::Handle {
    QLocalSocket socket;
    bool closedByPeer = false;
};

namespace {
int remainingMs(const QDeadlineTimer &deadline)
{
    return static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
}
} // namespace

LocalClient::LocalClient()
    : m_handle(std::make_unique<Handle>())
{}

LocalClient::~LocalClient() = default;

bool LocalClient::connectTo(const QString &name, int timeoutMs)
{
    close();
    m_handle->socket.connectToServer(name);
    return m_handle->socket.waitForConnected(timeoutMs);
}

bool LocalClient::write(const QByteArray &data, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    if (m_handle->socket.write(data) != data.size())
        return false;
    while (m_handle->socket.bytesToWrite() > 0) {
        if (!m_handle->socket.waitForBytesWritten(remainingMs(deadline)))
            return false;
    }
    return true;
}

QByteArray LocalClient::read(qint64 maxSize, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_handle->socket.bytesAvailable() < 1) {
        if (!m_handle->socket.waitForReadyRead(remainingMs(deadline)))
            break;
    }
    if (m_handle->socket.bytesAvailable() < 1 && m_handle->socket.state() != QLocalSocket::ConnectedState)
        m_handle->closedByPeer = true;
    return m_handle->socket.read(maxSize);
}

bool LocalClient::closedByPeer() const
{
    return m_handle->closedByPeer;
}

void LocalClient::close()
{
    m_handle->socket.abort();
    m_handle->closedByPeer = false;
}
