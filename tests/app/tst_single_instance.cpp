#include "app/single_instance.h"
#include "app/store_guard.h"
#include "platform/local_client.h"
#include "platform/local_connection.h"
#include "platform/local_server.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <atomic>
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

// What a client gets before the running instance closes its end (or the time runs out), read beside the event loop.
QByteArray answerTo(LocalClient &client, bool &closed)
{
    QByteArray answer;
    std::atomic<bool> done = false;
    std::thread thread([&] {
        answer = client.read(1, 10000);
        done = true;
    });
    const bool returned = QTest::qWaitFor([&] { return done.load(); }, 15000);
    thread.join();
    closed = returned && client.closedByPeer();
    return answer;
}

QByteArray header(quint32 length)
{
    QByteArray bytes("QLT1");
    bytes.resize(8);
    qToBigEndian<quint32>(length, bytes.data() + 4);
    return bytes;
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
        // The second start's check must not look like a message to the first: the first handles it before
        // the message that follows, and only that message arrives.
        QVERIFY(sendFromThread(second, QStringLiteral("/notes/a.stc"), received));
        QCOMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("/notes/a.stc"));
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
        LocalServer mute;
        QVERIFY(mute.listen(m_name));
        const SingleInstance starting(m_name);
        QVERIFY(!starting.sendToRunning(QStringLiteral("/a.stc"), 300));
    }

    void storeGuard_laterStartsHandOverEvenToABusyFirst()
    {
        const QString store = m_dir.filePath(QStringLiteral("guarded%1.ini").arg(m_counter));
        StoreGuard first(store);
        QCOMPARE(first.claim(QString()), StoreGuard::Outcome::Run);
        QSignalSpy received(&first.channel(), &SingleInstance::argumentReceived);

        // The first is busy (loading notes, no event handled) for longer than a start used to wait.
        StoreGuard::Outcome outcome = StoreGuard::Outcome::Run;
        std::thread second([&] { outcome = StoreGuard(store).claim(QStringLiteral("/n.stc"), 20000); });
        QThread::msleep(4000);
        QVERIFY(received.wait(10000));
        second.join();
        QCOMPARE(outcome, StoreGuard::Outcome::HandedOver);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("/n.stc"));
    }

    void storeGuard_lockedStoreWithoutAnswer_refusesToRun()
    {
        const QString store = m_dir.filePath(QStringLiteral("mute%1.ini").arg(m_counter));
        StoreGuard first(store);
        QCOMPARE(first.claim(QString()), StoreGuard::Outcome::Run);
        first.channel().close(); // holds the store, answers nobody
        StoreGuard second(store);
        QCOMPARE(second.claim(QString(), 500), StoreGuard::Outcome::Refused);
        QVERIFY(second.refusal().contains(store));
    }

    // A start tries the lock on a thread of its own while it makes the application object; the guard that
    // gets that lock runs on it, and holds the store against the next start.
    void storeGuard_lockTakenOnAnotherThread_isKept()
    {
        const QString store = m_dir.filePath(QStringLiteral("early%1.ini").arg(m_counter));
        std::unique_ptr<QLockFile> lock;
        std::thread([&] {
            lock = StoreGuard::makeLock(store + QStringLiteral(".lock"));
            lock->tryLock(0);
        }).join();
        QVERIFY(lock->isLocked());
        StoreGuard first(store, std::move(lock));
        QCOMPARE(first.claim(QString()), StoreGuard::Outcome::Run);
        first.channel().close();
        QCOMPARE(StoreGuard(store).claim(QString(), 500), StoreGuard::Outcome::Refused);
    }

    // A lock file that names no process (its instance ended between making and writing it) is taken over
    // once it is older than an instance takes to write it; a fresh one is left to its instance.
    void storeGuard_lockNamingNoProcess_isTakenOverOnceOld()
    {
        const QString store = m_dir.filePath(QStringLiteral("empty%1.ini").arg(m_counter));
        QFile lock(store + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        QCOMPARE(StoreGuard(store).claim(QString(), 500), StoreGuard::Outcome::Refused);
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-10), QFileDevice::FileModificationTime));
        lock.close();
        StoreGuard guard(store);
        QCOMPARE(guard.claim(QString(), 500), StoreGuard::Outcome::Run);
        qint64 pid = 0;
        QString host;
        QString application;
        QVERIFY(QLockFile(lock.fileName()).getLockInfo(&pid, &host, &application));
        QCOMPARE(pid, QCoreApplication::applicationPid());
    }

    void badClient_isDroppedAndDoesNotBlockOthers_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("hangsUp");
        QTest::newRow("silent") << QByteArray() << false;
        QTest::newRow("other protocol") << QByteArray("GET / HTTP/1.0\r\n\r\n") << false;
        QTest::newRow("half a header") << QByteArray("QLT") << false;
        QTest::newRow("huge length") << header(0xFFFFFFFFu) + "x" << false;
        QTest::newRow("truncated message") << header(100) + "/only/part" << false;
        QTest::newRow("invalid UTF-8") << header(4) + QByteArray("\xC3\x28\xFF\xFE", 4) << false;
        QTest::newRow("hangs up mid-header") << QByteArray("QLT1") << true;
        QTest::newRow("hangs up mid-message") << header(100) + "/only/part" << true;
    }
    void badClient_isDroppedAndDoesNotBlockOthers()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, hangsUp);
        SingleInstance running(m_name);
        // A client that hangs up is let go at once, not when its time is up.
        running.setClientTimeout(hangsUp ? 60000 : 300);
        QVERIFY(running.listen());
        QSignalSpy received(&running, &SingleInstance::argumentReceived);

        LocalClient bad;
        QVERIFY(bad.connectTo(m_name, 5000));
        QVERIFY(bad.write(bytes, 5000));
        if (hangsUp)
            bad.close();

        QVERIFY(sendFromThread(SingleInstance(m_name), QStringLiteral("/real.stc"), received));
        QCOMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("/real.stc"));

        if (!hangsUp) {
            bool closed = false;
            QVERIFY(answerTo(bad, closed).isEmpty()); // never acknowledged
            QVERIFY(closed);
        }
        QCOMPARE(received.count(), 1);
        QTRY_VERIFY(running.findChildren<LocalConnection *>().isEmpty());
    }

    void serverNameFor_sameStoreSameNameWhateverTheEnvironment()
    {
        const QString store = m_dir.filePath(QStringLiteral("stickies.ini"));
        const QString name = SingleInstance::serverNameFor(store);
        QVERIFY(QFile::link(m_dir.path(), m_dir.path() + QStringLiteral("-link")));
        QCOMPARE(SingleInstance::serverNameFor(m_dir.path() + QStringLiteral("-link/stickies.ini")), name);
        QCOMPARE(SingleInstance::serverNameFor(m_dir.filePath(QStringLiteral("x/../stickies.ini"))), name);
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", "/nowhere");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
        QCOMPARE(SingleInstance::serverNameFor(store), name);
        qputenv("HOME", home);
        qunsetenv("TMPDIR");
        QVERIFY(SingleInstance::serverNameFor(m_dir.filePath(QStringLiteral("other.ini"))) != name);
        QFile::remove(m_dir.path() + QStringLiteral("-link"));
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
