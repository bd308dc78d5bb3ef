#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// One running instance per user session and data folder. The first instance listens; a later start sends
// its first command-line argument (possibly empty) to it and exits.
//
// The message is "QLT1", a 32-bit big-endian byte count and the argument in UTF-8; the running instance answers
// with one acknowledgement byte. Every client is handled on its own, so a client that sends nothing or garbage is
// dropped after clientTimeout() without holding up anyone else.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultClientTimeoutMs = 5000;
    // Far above any command line the system allows; a larger count can only be garbage.
    static constexpr quint32 maxMessageBytes = 16 * 1024 * 1024;

    explicit SingleInstance(QString serverName, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Makes this the running instance. False when another instance already listens (a stale socket file
    // left by a crashed instance is removed and listening succeeds). False also when the system refuses the
    // socket; a caller whose sendToRunning() then finds nobody may carry on alone.
    bool listen();
    // Sends argument to the running instance; true when it acknowledged within timeoutMs. A relative path is
    // made absolute here, against this process's working folder, because the running instance has its own.
    bool sendToRunning(const QString &argument, int timeoutMs = 3000) const;
    // A name that is the same for every start by this user in this session for this data folder.
    static QString serverNameFor(const QString &dataFolder);

    const QString &serverName() const { return m_serverName; }
    int clientTimeout() const { return m_clientTimeoutMs; }
    void setClientTimeout(int ms) { m_clientTimeoutMs = ms; }

signals:
    void argumentReceived(const QString &argument);

private:
    bool anotherInstanceAnswers() const;
    void acceptClients();
    void readClient(QLocalSocket *client);

    QString m_serverName;
    QLocalServer *m_server;
    int m_clientTimeoutMs = defaultClientTimeoutMs;
};
