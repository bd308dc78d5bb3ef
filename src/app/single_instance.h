#pragma once

#include <QObject>
#include <QString>

class LocalConnection;
class LocalServer;

// The channel between starts of the program on one store. The running instance listens; a later start sends
// its first command-line argument (possibly empty) to it and exits.
//
// The argument is a note file's absolute path, nothing (a new note), or a request: requestMark and a word.
// No absolute path begins with the mark, on any system ('?' is no character of a Windows path), so an older
// start that hands a path over is understood as before.
//
// The message is "QLT1", a 32-bit big-endian byte count and the argument in UTF-8; the running instance answers
// with one acknowledgement byte. Every client is handled on its own, so a client that sends nothing or garbage is
// dropped after clientTimeout() without holding up anyone else. Only the same user (or the administrator, as
// after sudo) may hand anything over.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultClientTimeoutMs = 5000;
    // Far above any command line the system allows; a larger count can only be garbage.
    static constexpr quint32 maxMessageBytes = 16 * 1024 * 1024;
    static constexpr QChar requestMark = u'?';

    explicit SingleInstance(QString serverName, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Makes this the running instance. False when another instance already listens (whatever a crashed
    // instance left at the name is cleared and listening succeeds). False also when the system refuses the
    // socket; a caller whose sendToRunning() then finds nobody may carry on alone.
    bool listen();
    // Stops listening: the program is ending and takes nothing more.
    void close();
    // Sends argument to the running instance; true when it acknowledged within timeoutMs. A relative path is
    // made absolute here, against this process's working folder, because the running instance has its own; a
    // request goes as it is.
    bool sendToRunning(const QString &argument, int timeoutMs = 3000) const;
    // The same name for every start on this store, whatever the environment of the start (another HOME, no
    // XDG_RUNTIME_DIR, a different TMPDIR, as under cron, ssh or sudo); two spellings of one path give one name.
    static QString serverNameFor(const QString &storePath);

    const QString &serverName() const { return m_serverName; }
    int clientTimeout() const { return m_clientTimeoutMs; }
    void setClientTimeout(int ms) { m_clientTimeoutMs = ms; }

signals:
    void argumentReceived(const QString &argument);

private:
    bool anotherInstanceAnswers() const;
    void acceptClients();
    void readClient(LocalConnection *client);

    QString m_serverName;
    LocalServer *m_server;
    int m_clientTimeoutMs = defaultClientTimeoutMs;
};
