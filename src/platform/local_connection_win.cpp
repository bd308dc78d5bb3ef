#include "platform/local_connection.h"

#include <QLocalSocket>

struct LocalConnection::Handle {
    QLocalSocket *socket = nullptr;
};

LocalConnection::LocalConnection(qintptr descriptor, QObject *parent)
    : QObject(parent)
    , m_handle(std::make_unique<Handle>())
{
    m_handle->socket = new QLocalSocket(this);
    m_handle->socket->setSocketDescriptor(descriptor);
    connect(m_handle->socket, &QLocalSocket::readyRead, this, &LocalConnection::readyRead);
    connect(m_handle->socket, &QLocalSocket::disconnected, this, &LocalConnection::disconnected);
}

LocalConnection::~LocalConnection() = default;

bool LocalConnection::isOpen() const
{
    return m_handle->socket->state() == QLocalSocket::ConnectedState;
}

qint64 LocalConnection::bytesAvailable() const
{
    return m_handle->socket->bytesAvailable();
}

QByteArray LocalConnection::peek(qint64 maxSize) const
{
    return m_handle->socket->peek(maxSize);
}

QByteArray LocalConnection::read(qint64 maxSize)
{
    return m_handle->socket->read(maxSize);
}

void LocalConnection::write(const QByteArray &data)
{
    m_handle->socket->write(data);
    m_handle->socket->flush();
}

void LocalConnection::disconnectFromServer()
{
    m_handle->socket->disconnectFromServer();
}

void LocalConnection::abort()
{
    const QSignalBlocker quiet(m_handle->socket);
    m_handle->socket->abort();
}

// Named pipes are private to the user who made them.
bool LocalConnection::peerMayHandOver() const
{
    return true;
}
