#include "app/single_instance.h"

#include "base/app_error.h"
#include "platform/gui/local_socket_options.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStringDecoder>
#include <QTimer>
#include <QtEndian>

#include <exception>

namespace {

const QByteArray kMagic = QByteArrayLiteral("QLT1");
constexpr int kHeaderSize = 8;
constexpr char kAck = 0x06;
constexpr int kProbeTimeoutMs = 1000;

int remainingMs(const QDeadlineTimer &deadline)
{
    return static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
}

} // namespace

SingleInstance::SingleInstance(QString serverName, QObject *parent)
    : QObject(parent)
    , m_serverName(std::move(serverName))
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(LocalSocketOptions::serverOptions());
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptClients);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen()
{
    if (m_server->isListening())
        return true;
    if (anotherInstanceAnswers())
        return false;
    // Nobody answers, so a socket file at the name was left by an instance that crashed (an abstract name
    // vanishes with its process and has no file to clear).
    if (!LocalSocketOptions::serverOptions().testFlag(QLocalServer::AbstractNamespaceOption))
        QLocalServer::removeServer(m_serverName);
    return m_server->listen(m_serverName);
}

void SingleInstance::close()
{
    m_server->close();
}

bool SingleInstance::sendToRunning(const QString &argument, int timeoutMs) const
{
    QString text = argument;
    if (!text.isEmpty() && !text.startsWith(requestMark) && QFileInfo(text).isRelative())
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
    socket.setSocketOptions(LocalSocketOptions::socketOptions());
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

QString SingleInstance::serverNameFor(const QString &storePath)
{
    // Only the store names the instance: the folder's canonical path (links resolved; the store itself
    // may not exist yet) and the file's name.
    const QFileInfo store(storePath);
    QString folder = QFileInfo(store.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(store.absolutePath());
    const QByteArray key = (folder + QLatin1Char('/') + store.fileName()).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24);
    return LocalSocketOptions::serverName(QStringLiteral("quillet-") + QString::fromLatin1(hash));
}

bool SingleInstance::anotherInstanceAnswers() const
{
    QLocalSocket probe;
    probe.setSocketOptions(LocalSocketOptions::socketOptions());
    probe.connectToServer(m_serverName);
    const bool answers = probe.waitForConnected(kProbeTimeoutMs);
    probe.abort();
    return answers;
}

void SingleInstance::acceptClients()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        if (!LocalSocketOptions::peerMayHandOver(client->socketDescriptor())) {
            client->abort();
            client->deleteLater();
            continue;
        }
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
    } catch (...) {
        // The receiver reports its own failures; one that slips through must not unwind the event loop.
        qWarning("%s", qPrintable(AppError::currentMessage()));
    }
}
