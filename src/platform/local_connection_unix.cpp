#include "platform/local_connection.h"

#include "platform/unix_socket.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

namespace {
// Read per wake-up, so that one client that sends without end leaves the event loop time for the others.
constexpr qsizetype kReadPerWakeUp = 256 * 1024;
} // namespace

struct LocalConnection::Handle {
    int socket = -1;
    QSocketNotifier *reader = nullptr;
    QSocketNotifier *writer = nullptr;
    QByteArray input;
    QByteArray output;
    bool closing = false;

    void receive(LocalConnection &owner);
    void sendPending(LocalConnection &owner);
    void closeNow();
};

LocalConnection::LocalConnection(qintptr descriptor, QObject *parent)
    : QObject(parent)
    , m_handle(std::make_unique<Handle>())
{
    m_handle->socket = int(descriptor);
    m_handle->reader = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(m_handle->reader, &QSocketNotifier::activated, this, [this] { m_handle->receive(*this); });
    m_handle->writer = new QSocketNotifier(descriptor, QSocketNotifier::Write, this);
    m_handle->writer->setEnabled(false);
    connect(m_handle->writer, &QSocketNotifier::activated, this, [this] { m_handle->sendPending(*this); });
}

LocalConnection::~LocalConnection()
{
    m_handle->closeNow();
}

bool LocalConnection::isOpen() const
{
    return m_handle->socket >= 0;
}

qint64 LocalConnection::bytesAvailable() const
{
    return m_handle->input.size();
}

QByteArray LocalConnection::peek(qint64 maxSize) const
{
    return m_handle->input.left(maxSize);
}

QByteArray LocalConnection::read(qint64 maxSize)
{
    const QByteArray bytes = m_handle->input.left(maxSize);
    m_handle->input.remove(0, bytes.size());
    return bytes;
}

void LocalConnection::write(const QByteArray &data)
{
    if (!isOpen() || m_handle->closing)
        return;
    m_handle->output += data;
    m_handle->sendPending(*this);
}

void LocalConnection::disconnectFromServer()
{
    if (!isOpen())
        return;
    m_handle->closing = true;
    m_handle->sendPending(*this);
}

void LocalConnection::abort()
{
    m_handle->closeNow();
}

bool LocalConnection::peerMayHandOver() const
{
    return isOpen() && UnixSocket::peerIsUserOrAdministrator(m_handle->socket);
}

void LocalConnection::Handle::receive(LocalConnection &owner)
{
    const qsizetype before = input.size();
    bool ended = false;
    char chunk[16384];
    while (input.size() - before < kReadPerWakeUp) {
        const ssize_t got = ::read(socket, chunk, sizeof(chunk));
        if (got > 0) {
            input.append(chunk, got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        ended = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    // What arrived before the other end closed is read first; the receiver may close or drop the connection
    // meanwhile.
    const QPointer<LocalConnection> alive(&owner);
    if (input.size() > before)
        emit owner.readyRead();
    if (ended && alive && socket >= 0) {
        closeNow();
        emit owner.disconnected();
    }
}

void LocalConnection::Handle::sendPending(LocalConnection &owner)
{
    while (!output.isEmpty()) {
        const ssize_t sent = UnixSocket::send(socket, output.constData(), size_t(output.size()));
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            writer->setEnabled(true);
            return;
        }
        if (sent <= 0) {
            // The other end has gone: nothing more can reach it.
            closeNow();
            emit owner.disconnected();
            return;
        }
        output.remove(0, sent);
    }
    writer->setEnabled(false);
    if (closing) {
        closeNow();
        emit owner.disconnected();
    }
}

void LocalConnection::Handle::closeNow()
{
    if (socket < 0)
        return;
    // A notifier may be the one whose signal runs now: it goes once that has returned.
    for (QSocketNotifier *notifier : {reader, writer}) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    reader = writer = nullptr;
    ::close(socket);
    socket = -1;
    output.clear();
}
