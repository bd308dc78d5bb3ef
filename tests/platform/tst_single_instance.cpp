#include "platform/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>

namespace {

// The sender blocks until acknowledged, so it runs beside the event loop that lets the receiver answer.
bool sendFromThread(const SingleInstance &sender, const QString &argument, QSignalSpy &received)
{
    bool acknowledged = false;
    std::thread thread([&] { acknowledged = sender.sendToRunning(argument, 10000); });
    const bool arrived = received.wait(10000);
    thread.join();
    return arrived && acknowledged;
}

QByteArray header(quint32 length)
{
    QByteArray bytes("QLT1");
    bytes.resize(8);
    qToBigEndian<quint32>(length, bytes.data() + 4);
    return bytes;
}

// What a crashed instance leaves: a socket file that nobody listens on any more.
bool makeStaleSocket(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (encoded.size() >= int(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, encoded.constData(), encoded.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound && QFile::exists(path);
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_name = m_dir.filePath(QStringLiteral("s%1").arg(++m_counter));
    }

    void listen_secondInstance_fails()
    {
        SingleInstance first(m_name);
        QSignalSpy received(&first, &SingleInstance::argumentReceived);
        QVERIFY(first.listen());
        SingleInstance second(m_name);
        QVERIFY(!second.listen());
        // The second start's check must not look like a message to the first.
        QTest::qWait(50);
        QCOMPARE(received.count(), 0);
        QVERIFY(sendFromThread(second, QStringLiteral("/notes/a.stc"), received));
    }

    void sendToRunning_deliversArgument_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no argument: new note") << QString() << QString();
        QTest::newRow("absolute path") << "/home/u/My Notes/shopping list.stc"
                                       << "/home/u/My Notes/shopping list.stc";
        const QString unicode = QString::fromUtf8("/tmp/Заметки/Σημειώσεις/メモ 📝.stc");
        QTest::newRow("unicode") << unicode << unicode;
        const QString longPath = QLatin1Char('/') + QString(300000, QChar(0x00E9)) + QStringLiteral(".stc");
        QTest::newRow("long") << longPath << longPath;
        QTest::newRow("relative path resolved by the sender")
            << "sub/../note.stc" << QDir::current().absoluteFilePath(QStringLiteral("note.stc"));
    }
    void sendToRunning_deliversArgument()
    {
        QFETCH(QString, argument);
        QFETCH(QString, expected);
        SingleInstance running(m_name);
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::argumentReceived);
        const SingleInstance starting(m_name);
        QVERIFY(sendFromThread(starting, argument, received));
        QCOMPARE(received.count(), 1);
        QCOMPARE(QDir::cleanPath(received.at(0).at(0).toString()), QDir::cleanPath(expected));
        QCOMPARE(received.at(0).at(0).toString().isEmpty(), expected.isEmpty());
    }

    void sendToRunning_nobodyListens_returnsFalse()
    {
        const SingleInstance starting(m_name);
        QVERIFY(!starting.sendToRunning(QStringLiteral("/a.stc"), 2000));
    }

    void sendToRunning_noAcknowledgement_returnsFalse()
    {
        // Something listens at the name but never answers.
        QLocalServer mute;
        QVERIFY(mute.listen(m_name));
        const SingleInstance starting(m_name);
        QVERIFY(!starting.sendToRunning(QStringLiteral("/a.stc"), 300));
    }

    void listen_leftoverFile_isReplaced_data()
    {
        QTest::addColumn<bool>("socket");
        QTest::newRow("stale socket") << true;
        QTest::newRow("plain file") << false;
    }
    void listen_leftoverFile_isReplaced()
    {
        QFETCH(bool, socket);
        if (socket) {
            QVERIFY(makeStaleSocket(m_name));
        } else {
            QFile file(m_name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        SingleInstance running(m_name);
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::argumentReceived);
        QVERIFY(sendFromThread(SingleInstance(m_name), QStringLiteral("/b.stc"), received));
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("/b.stc"));
    }

    void badClient_isDroppedAndDoesNotBlockOthers_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("silent") << QByteArray();
        QTest::newRow("other protocol") << QByteArray("GET / HTTP/1.0\r\n\r\n");
        QTest::newRow("half a header") << QByteArray("QLT");
        QTest::newRow("huge length") << header(0xFFFFFFFFu) + "x";
        QTest::newRow("truncated message") << header(100) + "/only/part";
        QTest::newRow("invalid UTF-8") << header(4) + QByteArray("\xC3\x28\xFF\xFE", 4);
    }
    void badClient_isDroppedAndDoesNotBlockOthers()
    {
        QFETCH(QByteArray, bytes);
        SingleInstance running(m_name);
        running.setClientTimeout(300);
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::argumentReceived);

        QLocalSocket bad;
        bad.connectToServer(m_name);
        QVERIFY(bad.waitForConnected(5000));
        bad.write(bytes);
        QVERIFY(bad.waitForBytesWritten(5000) || bytes.isEmpty());

        QVERIFY(sendFromThread(SingleInstance(m_name), QStringLiteral("/real.stc"), received));
        QCOMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("/real.stc"));

        QTRY_COMPARE_WITH_TIMEOUT(bad.state(), QLocalSocket::UnconnectedState, 10000);
        QVERIFY(bad.readAll().isEmpty()); // never acknowledged
        QCOMPARE(received.count(), 1);
    }

    void serverNameFor_sameFolderSameName()
    {
        const QString folder = m_dir.path();
        const QString name = SingleInstance::serverNameFor(folder);
        QCOMPARE(SingleInstance::serverNameFor(folder + QStringLiteral("/")), name);
        QCOMPARE(SingleInstance::serverNameFor(folder + QStringLiteral("/x/..")), name);
        QVERIFY(SingleInstance::serverNameFor(folder + QStringLiteral("/other")) != name);
        // Local socket paths are short on Unix.
        QVERIFY(QFile::encodeName(name).size() < 100);
    }

private:
    QTemporaryDir m_dir;
    QString m_name;
    int m_counter = 0;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_single_instance.moc"
