#pragma once

#include <QObject>
#include <QString>

#include <memory>

class LocalConnection;

// The listening end of a channel between processes on this machine, named by a string: on Linux a socket in
// the abstract namespace, elsewhere on Unix a socket file readable by this user only, on Windows a named pipe.
class LocalServer : public QObject {
    Q_OBJECT

public:
    explicit LocalServer(QObject *parent = nullptr);
    ~LocalServer() override;

    // The system's name for the channel called baseName. On Linux it is the same whatever TMPDIR or
    // XDG_RUNTIME_DIR say, as under cron, ssh or sudo.
    static QString nameFor(const QString &baseName);

    // Listens at name. Whatever a server that ended without closing left there is cleared first, so the
    // caller makes sure that nobody answers at the name. False when the system refuses.
    bool listen(const QString &name);
    // Stops listening; connections already taken stay open.
    void close();
    bool isListening() const;
    // The next connection accepted since newConnection(), a child of this server; nullptr when none waits.
    LocalConnection *nextPendingConnection();

signals:
    void newConnection();

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};
