#include "app/single_instance.h"

#include "base/app_error.h"
#include "platform/local_client.h"
#include "platform/local_connection.h"
#include "platform/local_server.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
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
    , m_server(new LocalServer(this))
{
    connect(m_server, &LocalServer::newConnection, this, &SingleInstance::acceptClients);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen()
{
    if (m_server->isListening())
        return true;
    if (anotherInstanceAnswers())
        return false;
    // Nobody answers, so whatever is at the name was left by an instance that crashed; listening clears it.
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
    LocalClient client;
    if (!client.connectTo(m_serverName, remainingMs(deadline)) || !client.write(message, remainingMs(deadline)))
        return false;
    return client.read(1, remainingMs(deadline)) == QByteArray(1, kAck);
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
    return LocalServer::nameFor(QStringLiteral("quillet-") + QString::fromLatin1(hash));
}

bool SingleInstance::anotherInstanceAnswers() const
{
    LocalClient probe;
    return probe.connectTo(m_serverName, kProbeTimeoutMs);
}

void SingleInstance::acceptClients()
{
    while (LocalConnection *client = m_server->nextPendingConnection()) {
        if (!client->peerMayHandOver()) {
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
        connect(client, &LocalConnection::readyRead, this, [this, client] { readClient(client); });
        connect(client, &LocalConnection::disconnected, client, &QObject::deleteLater);
        readClient(client);
    }
}

void SingleInstance::readClient(LocalConnection *client)
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

    const QByteArray payload = client->read(kHeaderSize + qint64(length)).sliced(kHeaderSize);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString argument = decoder.decode(payload);
    if (decoder.hasError())
        return drop();

    client->setProperty("answered", true);
    client->write(QByteArray(1, kAck));
    client->disconnectFromServer();
    try {
        emit argumentReceived(argument);
    } catch (...) {
        // The receiver reports its own failures; one that slips through must not unwind the event loop.
        qWarning("%s", qPrintable(AppError::currentMessage()));
    }
}
