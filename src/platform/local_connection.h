#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

// One connection accepted by a LocalServer, driven by the event loop: what arrives is kept until read, and what
// is written goes out as the other end takes it.
class LocalConnection : public QObject {
    Q_OBJECT

public:
    // Takes over a connected socket (a pipe's handle on Windows).
    LocalConnection(qintptr descriptor, QObject *parent);
    ~LocalConnection() override;

    bool isOpen() const;
    qint64 bytesAvailable() const;
    QByteArray peek(qint64 maxSize) const;
    QByteArray read(qint64 maxSize);
    // Sends at once as much as the system takes: whatever the caller does next may keep the event loop from
    // sending it later.
    void write(const QByteArray &data);
    // Closes once everything written has gone.
    void disconnectFromServer();
    // Closes at once, dropping what was not sent.
    void abort();
    // Whether the process at the other end runs as this user or as the administrator (as after sudo).
    bool peerMayHandOver() const;

signals:
    void readyRead();
    // Once, when the connection closes by either end; not after abort().
    void disconnected();

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};
