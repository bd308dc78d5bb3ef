#include "platform/local_server.h"

#include "platform/local_connection.h"

#include <QList>
#include <QLocalServer>
#include <QPointer>

#include <functional>

namespace {
// Qt's named pipes, each connection handed over by its handle so that LocalConnection can take it.
class PipeServer : public QLocalServer {
public:
    using QLocalServer::QLocalServer;
    std::function<void(quintptr)> onConnection;

protected:
    void incomingConnection(quintptr descriptor) override { onConnection(descriptor); }
};
} // namespace

struct LocalServer::Handle {
    PipeServer server;
    QList<QPointer<LocalConnection>> pending;
};

LocalServer::LocalServer(QObject *parent)
    : QObject(parent)
    , m_handle(std::make_unique<Handle>())
{
    // Qt makes the pipe private to the user who creates it.
    m_handle->server.setSocketOptions(QLocalServer::UserAccessOption);
    m_handle->server.onConnection = [this](quintptr descriptor) {
        m_handle->pending.append(new LocalConnection(qintptr(descriptor), this));
        emit newConnection();
    };
}

LocalServer::~LocalServer() = default;

QString LocalServer::nameFor(const QString &baseName)
{
    return baseName;
}

bool LocalServer::listen(const QString &name)
{
    QLocalServer::removeServer(name);
    return m_handle->server.listen(name);
}

void LocalServer::close()
{
    m_handle->server.close();
}

bool LocalServer::isListening() const
{
    return m_handle->server.isListening();
}

LocalConnection *LocalServer::nextPendingConnection()
{
    while (!m_handle->pending.isEmpty()) {
        if (LocalConnection *connection = m_handle->pending.takeFirst())
            return connection;
    }
    return nullptr;
}
