#include "desktop_probe.h"
#include "portable_program.h"

#include "store/note_store.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

int freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

// One machine's file-sync engine: a syncthing of its own on loopback, with its own home and one shared
// folder, no discovery, relays or reports.
class Engine {
public:
    QString home() const { return m_home.path(); }
    QString folder() const { return m_folder.path(); }
    QString deviceId() const { return m_deviceId; }
    int port() const { return m_port; }

    bool generate()
    {
        m_port = freePort();
        QString output;
        int code = -1;
        if (!DesktopProbe::runTool(QStringLiteral("syncthing"),
                                   {QStringLiteral("generate"), QStringLiteral("--home=") + home(),
                                    QStringLiteral("--no-default-folder"), QStringLiteral("--skip-port-probing")},
                                   &output, &code) ||
            code != 0)
            return false;
        DesktopProbe::runTool(
            QStringLiteral("syncthing"),
            {QStringLiteral("serve"), QStringLiteral("--home=") + home(), QStringLiteral("--device-id")}, &output);
        m_deviceId = output.trimmed();
        // Temporary files and the lock stay on each machine.
        QDir(folder()).mkpath(QStringLiteral(".stfolder"));
        QFile ignore(QDir(folder()).filePath(QStringLiteral(".stignore")));
        return !m_deviceId.isEmpty() && ignore.open(QIODevice::WriteOnly) &&
               ignore.write("*.lock\n*.quillet-save-*\n") > 0;
    }

    bool configure(const Engine &peer)
    {
        QFile generated(QDir(home()).filePath(QStringLiteral("config.xml")));
        if (!generated.open(QIODevice::ReadOnly))
            return false;
        const QString version = QRegularExpression(QStringLiteral("<configuration version=\"(\\d+)\""))
                                    .match(generated.readAll())
                                    .captured(1);
        generated.close();
        const auto device = [](const Engine &engine, const QString &name) {
            return QStringLiteral("<device id=\"%1\" name=\"%2\" compression=\"metadata\" introducer=\"false\">"
                                  "<address>tcp://127.0.0.1:%3</address></device>")
                .arg(engine.deviceId(), name)
                .arg(engine.port());
        };
        const QString config =
            QStringLiteral("<configuration version=\"%1\">"
                           "<folder id=\"quillet\" label=\"quillet\" path=\"%2\" type=\"sendreceive\" "
                           "rescanIntervalS=\"5\" fsWatcherEnabled=\"true\" fsWatcherDelayS=\"1\">"
                           "<device id=\"%3\"></device><device id=\"%4\"></device></folder>"
                           "%5%6<gui enabled=\"false\"><address>127.0.0.1:%7</address></gui><options>"
                           "<listenAddress>tcp://127.0.0.1:%8</listenAddress>"
                           "<globalAnnounceEnabled>false</globalAnnounceEnabled>"
                           "<localAnnounceEnabled>false</localAnnounceEnabled><relaysEnabled>false</relaysEnabled>"
                           "<natEnabled>false</natEnabled><urAccepted>-1</urAccepted>"
                           "<autoUpgradeIntervalH>0</autoUpgradeIntervalH><startBrowser>false</startBrowser>"
                           "<crashReportingEnabled>false</crashReportingEnabled></options></configuration>\n")
                .arg(version, folder(), deviceId(), peer.deviceId(), device(*this, QStringLiteral("self")),
                     device(peer, QStringLiteral("peer")))
                .arg(freePort())
                .arg(port());
        return generated.open(QIODevice::WriteOnly | QIODevice::Truncate) && generated.write(config.toUtf8()) > 0;
    }

    bool start()
    {
        m_process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("STNOUPGRADE"), QStringLiteral("1"));
        environment.insert(QStringLiteral("STNODEFAULTFOLDER"), QStringLiteral("1"));
        m_process->setProcessEnvironment(environment);
        m_process->setStandardOutputFile(QDir(home()).filePath(QStringLiteral("log.txt")), QIODevice::Append);
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->start(QStringLiteral("syncthing"), {QStringLiteral("serve"), QStringLiteral("--home=") + home(),
                                                       QStringLiteral("--no-browser"), QStringLiteral("--no-restart")});
        return m_process->waitForStarted(10000);
    }

    void stop()
    {
        if (!m_process || m_process->state() == QProcess::NotRunning)
            return;
        m_process->terminate();
        if (!m_process->waitForFinished(20000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }

    ~Engine() { stop(); }

private:
    QTemporaryDir m_home;
    QTemporaryDir m_folder;
    QString m_deviceId;
    int m_port = 0;
    std::unique_ptr<QProcess> m_process;
};

// The notes of a store by title, with their texts.
QMap<QString, QString> notesIn(const QString &folder)
{
    QMap<QString, QString> notes;
    try {
        for (const NoteRecord &note : NoteStore::load(QDir(folder).filePath(QStringLiteral("stickies.ini")), {}).notes)
            notes.insert(note.title, note.text);
    } catch (...) {
    }
    return notes;
}

} // namespace

// Two machines, each a program with its store in a folder that a real file-sync engine shares with the other.
class TestE2eSync : public QObject {
    Q_OBJECT

private:
    Engine m_engines[2];
    PortableProgram m_programs[2];

    // The window of one machine's program with that title, by its process.
    QString windowOf(int machine, const QString &title)
    {
        const QString found = DesktopProbe::run(
            QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
             QStringLiteral("--pid"), QString::number(m_programs[machine].processId()), QStringLiteral("--name"),
             QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')});
        return found.section(QLatin1Char('\n'), 0, 0).trimmed();
    }
    bool waitForWindow(int machine, const QString &title)
    {
        return DesktopProbe::waitUntil([&] { return !windowOf(machine, title).isEmpty(); }, 60000);
    }
    // Types words into a note as its user would.
    bool type(int machine, const QString &title, const QString &words)
    {
        const QString window = windowOf(machine, title);
        if (window.isEmpty() || !DesktopProbe::syncWith(window)) {
            qWarning("no window %s of machine %d to type into", qPrintable(title), machine);
            return false;
        }
        DesktopProbe::xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), words});
        if (DesktopProbe::waitUntil([&] { return notesIn(m_engines[machine].folder()).value(title).contains(words); }))
            return true;
        qWarning("%s typed into %s of machine %d is not in its store: %s", qPrintable(words), qPrintable(title),
                 machine, qPrintable(notesIn(m_engines[machine].folder()).value(title)));
        return false;
    }
    bool bothHold(const std::function<bool(const QMap<QString, QString> &)> &holds)
    {
        return DesktopProbe::waitUntil(
            [&] { return holds(notesIn(m_engines[0].folder())) && holds(notesIn(m_engines[1].folder())); }, 120000);
    }

private slots:
    void initTestCase()
    {
        if (!DesktopProbe::haveTools())
            QSKIP("needs the test desktop of scripts/test (DISPLAY, xdotool, xwininfo)");
        if (QStandardPaths::findExecutable(QStringLiteral("syncthing")).isEmpty())
            QSKIP("needs syncthing (scripts/setup --test installs it)");
        for (Engine &engine : m_engines)
            QVERIFY(engine.generate());
        QVERIFY(m_engines[0].configure(m_engines[1]));
        QVERIFY(m_engines[1].configure(m_engines[0]));
        for (Engine &engine : m_engines)
            QVERIFY(engine.start());
    }
    void cleanupTestCase()
    {
        for (PortableProgram &program : m_programs)
            program.reset();
        for (Engine &engine : m_engines)
            engine.stop();
    }

    void sharedStore_notesChangesAndDeletesReachTheOtherMachine()
    {
        // Machine A starts with five notes; B with none, and gets them through the engine.
        QByteArray store = "[Stickies]\r\nTotal=5\r\n";
        const char *titles[] = {"keep one", "keep two", "same", "gone", "other"};
        for (int i = 0; i < 5; ++i)
            store += QStringLiteral("[Stickie%1]\r\nTitle=%2\r\nLeft=%3\r\nTop=%3\r\nText=start\r\n")
                         .arg(i + 1)
                         .arg(QString::fromLatin1(titles[i]))
                         .arg(100 + 60 * i)
                         .toUtf8();
        QFile file(QDir(m_engines[0].folder()).filePath(QStringLiteral("stickies.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(store) == store.size());
        file.close();
        for (int machine = 0; machine < 2; ++machine) {
            QVERIFY(m_programs[machine].writeFile(QStringLiteral("quillet.ini"),
                                                  "[Options]\r\nStore Folder=" + m_engines[machine].folder().toUtf8() +
                                                      "\r\n"));
            QVERIFY(m_programs[machine].start());
        }
        for (const char *title : titles)
            QVERIFY2(waitForWindow(1, QString::fromLatin1(title)), title);

        // A note made on A shows on B: timed from A's save to B's window.
        const QString stc = m_programs[0].filePath(QStringLiteral("made.stc"));
        QVERIFY(m_programs[0].writeFile(QStringLiteral("made.stc"), "[Stickie]\r\nTitle=made on A\r\nText=new\r\n"));
        QProcess second;
        second.setProcessEnvironment(m_programs[0].process().processEnvironment());
        second.start(m_programs[0].binary(), {stc});
        QVERIFY(second.waitForFinished(30000));
        QVERIFY(DesktopProbe::waitUntil(
            [&] { return notesIn(m_engines[0].folder()).contains(QStringLiteral("made on A")); }));
        QElapsedTimer sinceSave;
        sinceSave.start();
        QVERIFY(waitForWindow(1, QStringLiteral("made on A")));
        qInfo("a note saved on A was shown on B after %lld ms", sinceSave.elapsed());

        // With the engine stopped, A and B change different notes, the same note, and A deletes one.
        for (Engine &engine : m_engines)
            engine.stop();
        QVERIFY(type(0, QStringLiteral("keep one"), QStringLiteral("editA ")));
        QVERIFY(type(1, QStringLiteral("keep two"), QStringLiteral("editB ")));
        QVERIFY(type(0, QStringLiteral("same"), QStringLiteral("sameA ")));
        QVERIFY(type(1, QStringLiteral("same"), QStringLiteral("sameB ")));
        QVERIFY(type(1, QStringLiteral("other"), QStringLiteral("otherB ")));
        DesktopProbe::run(QStringLiteral("wmctrl"),
                          {QStringLiteral("-i"), QStringLiteral("-c"), windowOf(0, QStringLiteral("gone"))});
        QVERIFY(
            DesktopProbe::waitUntil([&] { return !notesIn(m_engines[0].folder()).contains(QStringLiteral("gone")); }));
        for (Engine &engine : m_engines)
            QVERIFY(engine.start());

        // Once the engine ran again both machines hold every change, both versions of the note changed on both,
        // and neither holds the deleted note.
        const bool merged = bothHold([](const QMap<QString, QString> &notes) {
            const QString same = notes.value(QStringLiteral("same"));
            const QString conflict = notes.value(QStringLiteral("same (conflict)"));
            return notes.size() == 6 && notes.value(QStringLiteral("keep one")).contains(QStringLiteral("editA")) &&
                   notes.value(QStringLiteral("keep two")).contains(QStringLiteral("editB")) &&
                   notes.value(QStringLiteral("other")).contains(QStringLiteral("otherB")) &&
                   !notes.contains(QStringLiteral("gone")) && notes.contains(QStringLiteral("made on A")) &&
                   (same + conflict).contains(QStringLiteral("sameA")) &&
                   (same + conflict).contains(QStringLiteral("sameB"));
        });
        QVERIFY2(merged, qPrintable(QStringList(notesIn(m_engines[0].folder()).keys()).join(QLatin1Char('|')) + " / " +
                                    QStringList(notesIn(m_engines[1].folder()).keys()).join(QLatin1Char('|'))));
        QVERIFY(waitForWindow(0, QStringLiteral("same (conflict)")));
        QVERIFY(waitForWindow(1, QStringLiteral("same (conflict)")));
        QVERIFY(DesktopProbe::waitUntil([&] { return windowOf(1, QStringLiteral("gone")).isEmpty(); }));
        // The engine's conflict copies were merged and removed.
        for (const Engine &engine : m_engines) {
            QVERIFY(DesktopProbe::waitUntil([&] {
                return QDir(engine.folder()).entryList({QStringLiteral("*sync-conflict*")}, QDir::Files).isEmpty();
            }));
        }
    }
};

QTEST_MAIN(TestE2eSync)
#include "tst_e2e_sync.moc"
