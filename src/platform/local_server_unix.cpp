#include "platform/local_server.h"

#include "platform/local_connection.h"
#include "platform/unix_socket.h"

#include <QFile>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kBacklog = 50;
// Taken per wake-up, so that a flood of connections leaves the event loop time for the clients already in.
constexpr int kAcceptsPerWakeUp = 64;
} // namespace

struct LocalServer::Handle {
    int socket = -1;
    QString fileName; // the socket file to remove when closing; empty for an abstract name
    QSocketNotifier *notifier = nullptr;
    QList<QPointer<LocalConnection>> pending;
};

LocalServer::LocalServer(QObject *parent)
    : QObject(parent)
    , m_handle(std::make_unique<Handle>())
{}

LocalServer::~LocalServer()
{
    close();
}

QString LocalServer::nameFor(const QString &baseName)
{
    // An absolute name is what Qt's local sockets took as it is, without the temporary folder in front.
    if (UnixSocket::abstractNames())
        return QLatin1Char('/') + baseName;
    return QStringLiteral("/tmp/%1-%2").arg(baseName).arg(::geteuid());
}

bool LocalServer::listen(const QString &name)
{
    if (isListening())
        return false;
    sockaddr_un address{};
    socklen_t size = 0;
    if (!UnixSocket::address(name, address, size))
        return false;
    const int socket = UnixSocket::open(true);
    if (socket < 0)
        return false;
    const QByteArray file = UnixSocket::abstractNames() ? QByteArray() : QFile::encodeName(name);
    if (!file.isEmpty())
        ::unlink(file.constData());
    if (::bind(socket, reinterpret_cast<const sockaddr *>(&address), size) != 0 ||
        (!file.isEmpty() && ::chmod(file.constData(), S_IRUSR | S_IWUSR) != 0) || ::listen(socket, kBacklog) != 0) {
        ::close(socket);
        if (!file.isEmpty())
            ::unlink(file.constData());
        return false;
    }
    m_handle->socket = socket;
    m_handle->fileName = file.isEmpty() ? QString() : name;
    m_handle->notifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(m_handle->notifier, &QSocketNotifier::activated, this, [this] {
        bool accepted = false;
        for (int i = 0; i < kAcceptsPerWakeUp && isListening(); ++i) {
            const int client = UnixSocket::accept(m_handle->socket);
            if (client < 0)
                break;
            m_handle->pending.append(new LocalConnection(client, this));
            accepted = true;
        }
        if (accepted)
            emit newConnection();
    });
    return true;
}

void LocalServer::close()
{
    if (!isListening())
        return;
    m_handle->notifier->setEnabled(false);
    m_handle->notifier->deleteLater();
    m_handle->notifier = nullptr;
    ::close(m_handle->socket);
    m_handle->socket = -1;
    if (!m_handle->fileName.isEmpty())
        ::unlink(QFile::encodeName(m_handle->fileName).constData());
    m_handle->fileName.clear();
}

bool LocalServer::isListening() const
{
    return m_handle->socket >= 0;
}

LocalConnection *LocalServer::nextPendingConnection()
{
    while (!m_handle->pending.isEmpty()) {
        if (LocalConnection *connection = m_handle->pending.takeFirst())
            return connection;
    }
    return nullptr;
}
