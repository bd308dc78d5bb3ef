#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// The connecting end of a channel to a LocalServer, blocking: for a start that hands something over and ends,
// or a worker thread.
class LocalClient {
public:
    LocalClient();
    ~LocalClient();
    LocalClient(const LocalClient &) = delete;
    LocalClient &operator=(const LocalClient &) = delete;

    // Connects to the server listening at name, waiting up to timeoutMs while it is too busy to take more
    // connections. False at once when nobody listens there.
    bool connectTo(const QString &name, int timeoutMs);
    // Sends all of data; false when the time runs out first or the other end has gone.
    bool write(const QByteArray &data, int timeoutMs);
    // Up to maxSize bytes, as soon as some arrive; empty when the time runs out first or the other end closes.
    QByteArray read(qint64 maxSize, int timeoutMs);
    // Whether the other end has closed the connection (seen by read()).
    bool closedByPeer() const;
    void close();

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};
