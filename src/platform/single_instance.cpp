#include "platform/single_instance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStringDecoder>
#include <QTimer>
#include <QtEndian>

#include <exception>

namespace {

const QByteArray kMagic = QByteArrayLiteral("QLT1");
constexpr int kHeaderSize = 8;
constexpr char kAck = 0x06;
constexpr int kProbeTimeoutMs = 1000;
constexpr int kLockTimeoutMs = 3000;

int remainingMs(const QDeadlineTimer &deadline)
{
    return static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
}

// Two instances starting at the same moment must not both decide that the socket left behind is stale.
QString lockPathFor(const QString &serverName)
{
    if (serverName.contains(QLatin1Char('/')))
        return serverName + QStringLiteral(".lock");
    return QDir::temp().filePath(serverName + QStringLiteral(".lock"));
}

} // namespace

SingleInstance::SingleInstance(QString serverName, QObject *parent)
    : QObject(parent)
    , m_serverName(std::move(serverName))
    , m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptClients);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen()
{
    if (m_server->isListening())
        return true;
    QLockFile lock(lockPathFor(m_serverName));
    // Without the lock we still go on: a second instance is a lesser harm than none.
    lock.tryLock(kLockTimeoutMs);
    if (anotherInstanceAnswers())
        return false;
    // Nobody answers, so whatever lies at the name was left by an instance that crashed.
    QLocalServer::removeServer(m_serverName);
    return m_server->listen(m_serverName);
}

bool SingleInstance::sendToRunning(const QString &argument, int timeoutMs) const
{
    QString text = argument;
    if (!text.isEmpty() && QFileInfo(text).isRelative())
        text = QFileInfo(text).absoluteFilePath();
    const QByteArray payload = text.toUtf8();
    if (static_cast<quint64>(payload.size()) > maxMessageBytes)
        return false;

    QByteArray message = kMagic;
    message.resize(kHeaderSize);
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), message.data() + kMagic.size());
    message += payload;

    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(remainingMs(deadline)))
        return false;
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remainingMs(deadline)))
            return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(remainingMs(deadline)))
            break;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kAck;
}

QString SingleInstance::serverNameFor(const QString &dataFolder)
{
    // The home folder stands for the user on every system; two spellings of one data folder give one name.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QDir::homePath().toUtf8());
    hash.addData(QByteArrayView("\n", 1));
    hash.addData(QDir::cleanPath(QFileInfo(dataFolder).absoluteFilePath()).toUtf8());
    const QString name = QStringLiteral("quillet-") + QString::fromLatin1(hash.result().toHex().left(16));

    // The per-user runtime folder is private to the user; elsewhere Qt's default place for local sockets is used.
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QFileInfo(runtimeDir).isDir() && QFileInfo(runtimeDir).isWritable())
        return QDir(runtimeDir).filePath(name);
    return name;
}

bool SingleInstance::anotherInstanceAnswers() const
{
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    const bool answers = probe.waitForConnected(kProbeTimeoutMs);
    probe.abort();
    return answers;
}

void SingleInstance::acceptClients()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        auto *deadline = new QTimer(client);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, client, [client] {
            client->abort();
            client->deleteLater();
        });
        deadline->start(m_clientTimeoutMs);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readClient(client); });
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        readClient(client);
    }
}

void SingleInstance::readClient(QLocalSocket *client)
{
    if (client->property("answered").toBool())
        return;
    const auto drop = [client] {
        client->abort();
        client->deleteLater();
    };

    const QByteArray header = client->peek(kHeaderSize);
    if (!kMagic.startsWith(header.left(kMagic.size())))
        return drop();
    if (header.size() < kHeaderSize)
        return;
    const quint32 length = qFromBigEndian<quint32>(header.constData() + kMagic.size());
    if (length > maxMessageBytes)
        return drop();
    if (client->bytesAvailable() < kHeaderSize + qint64(length))
        return;

    client->skip(kHeaderSize);
    const QByteArray payload = client->read(length);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString argument = decoder.decode(payload);
    if (decoder.hasError())
        return drop();

    client->setProperty("answered", true);
    client->write(&kAck, 1);
    // Out now: whatever the receiver does next may keep the event loop from writing it later.
    client->flush();
    client->disconnectFromServer();
    try {
        emit argumentReceived(argument);
    } catch (const std::exception &error) {
        // The receiver reports its own failures; one that slips through must not unwind the event loop.
        qWarning("%s", error.what());
    }
}
