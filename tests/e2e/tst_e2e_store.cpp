#include "desktop_probe.h"
#include "portable_program.h"

#include "store/profile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The store against what a hostile machine does to a running program: failing reads, termination requests at
// awkward moments, kills, and starts made while another instance is busy.
class TestE2eStore : public QObject {
    Q_OBJECT

private:
    PortableProgram m_program;

    QString storePath() const { return m_program.filePath(QStringLiteral("stickies.ini")); }
    QByteArray readStore() const
    {
        QFile file(storePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QByteArray manyNotes(int count)
    {
        QByteArray store = "[Stickies]\r\nTotal=" + QByteArray::number(count) + "\r\n";
        for (int i = 1; i <= count; ++i)
            store += "[Stickie" + QByteArray::number(i) + "]\r\nTitle=many " + QByteArray::number(i) +
                     "\r\nLeft=" + QByteArray::number(i % 900) + "\r\nTop=" + QByteArray::number(i % 700) +
                     "\r\nText=note " + QByteArray::number(i) + "\r\n";
        return store;
    }
    // Ends the program with SIGTERM; true when it ended by itself, cleanly, within timeoutMs.
    bool terminateWithin(int timeoutMs)
    {
        ::kill(pid_t(m_program.process().processId()), SIGTERM);
        return m_program.process().waitForFinished(timeoutMs) && m_program.process().exitCode() == 0;
    }
    // A later start of the program, as another shell, cron or sudo would make it.
    static int secondStart(const QString &binary, const QStringList &arguments, const QProcessEnvironment &env,
                           int timeoutMs = 40000)
    {
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(binary, arguments);
        if (!second.waitForFinished(timeoutMs)) {
            second.kill();
            second.waitForFinished();
            return -1;
        }
        return second.exitCode();
    }

private slots:
    void init()
    {
        if (!DesktopProbe::haveTools())
            QSKIP("needs the test desktop of scripts/test (DISPLAY, xdotool, xwininfo)");
        QVERIFY(m_program.isValid());
    }
    // The window manager takes seconds to let go of hundreds of notes; the next test starts on a desktop
    // without them.
    void cleanup()
    {
        m_program.reset();
        if (DesktopProbe::haveTools())
            QVERIFY(DesktopProbe::waitUntilProgramWindowsGone());
    }

    void storeThatCannotBeOpened_isReportedAndLeftWhole()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
            QFAIL("strace is missing: scripts/setup installs it");
        const QByteArray store = manyNotes(2);
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"), store));
        // The system refuses to open the store (too many open files), as a failing disk would.
        QVERIFY(m_program.start({}, {QStringLiteral("strace"), QStringLiteral("-f"), QStringLiteral("-qq"),
                                     QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-P"),
                                     storePath(), QStringLiteral("-e"), QStringLiteral("trace=openat,open"),
                                     QStringLiteral("-e"), QStringLiteral("inject=openat,open:error=EMFILE")}));
        const QString dialog = DesktopProbe::waitForWindow(QStringLiteral("Quillet 1.02"));
        QVERIFY2(!dialog.isEmpty(), "no error dialog for the store that cannot be opened");
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), dialog});
        DesktopProbe::keys({QStringLiteral("Return")});
        QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(QStringLiteral("Quillet 1.02")).isEmpty(), 30000);
        QVERIFY(DesktopProbe::windowsTitled(QStringLiteral("many 1")).isEmpty());
        // Under strace the program is the tracer's child; the signal goes to the program itself.
        const QString child =
            DesktopProbe::run(QStringLiteral("pgrep"),
                              {QStringLiteral("-P"), QString::number(m_program.process().processId())})
                .trimmed();
        QVERIFY(!child.isEmpty());
        ::kill(pid_t(child.toLongLong()), SIGTERM);
        QVERIFY(m_program.process().waitForFinished(10000));
        QCOMPARE(readStore(), store);
    }

    void terminationWhileAStartupDialogIsOpen_savesAndEnds()
    {
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"),
                                    "[Stickies]\r\nTotal=2\r\n[Stickie1]\r\nTitle=dialog one\r\nColor=bluish\r\n"
                                    "[Stickie2]\r\nTitle=dialog two\r\n"));
        QVERIFY(m_program.start());
        QVERIFY(!DesktopProbe::waitForWindow(QStringLiteral("Quillet 1.02")).isEmpty());
        QVERIFY2(terminateWithin(2000), "SIGTERM with the error dialog open did not end the program");
        const Profile saved = Profile::load(storePath());
        QCOMPARE(saved.readInteger(u"Stickies", u"Total", -1), 2);
        QCOMPARE(saved.readString(u"Stickie2", u"Title"), QStringLiteral("dialog two"));
    }

    void terminationWhileThousandsOfNotesLoad_endsAtOnceAndKeepsThemAll()
    {
        const int count = 5000;
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"), manyNotes(count)));
        QVERIFY(m_program.start());
        QVERIFY(!DesktopProbe::waitForWindow(QStringLiteral("many 1"), 30000).isEmpty());
        QElapsedTimer answer;
        answer.start();
        QVERIFY2(terminateWithin(5000), "SIGTERM during the load was not answered");
        qInfo("SIGTERM answered after %lld ms", answer.elapsed());
        const Profile saved = Profile::load(storePath());
        QCOMPARE(saved.readInteger(u"Stickies", u"Total", -1), count);
        for (const int number : {1, 2, count / 2, count})
            QCOMPARE(saved.readString(QStringLiteral("Stickie%1").arg(number), u"Title"),
                     QStringLiteral("many %1").arg(number));
    }

    void laterStarts_handOverToABusyFirstWhateverTheirEnvironment()
    {
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"), manyNotes(500)));
        QVERIFY(m_program.writeFile(QStringLiteral("late.stc"), "[Stickie]\r\nTitle=handed while busy\r\n"));
        QVERIFY(m_program.start());
        // Started as soon as the first holds the store, while it still makes its 500 windows.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(storePath() + QStringLiteral(".lock")), 30000);
        QCOMPARE(secondStart(m_program.binary(), {m_program.filePath(QStringLiteral("late.stc"))},
                             QProcessEnvironment::systemEnvironment()),
                 0);
        QTemporaryDir otherHome;
        QProcessEnvironment cron = QProcessEnvironment::systemEnvironment();
        cron.insert(QStringLiteral("HOME"), otherHome.path());
        cron.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        cron.insert(QStringLiteral("TMPDIR"), otherHome.path());
        QCOMPARE(secondStart(m_program.binary(), {}, cron), 0);

        QVERIFY(!DesktopProbe::waitForWindow(QStringLiteral("many 500"), 120000).isEmpty());
        // Each look among 500 windows takes seconds on a busy machine: waited for as long as the load.
        QVERIFY(!DesktopProbe::waitForWindow(QStringLiteral("handed while busy"), 60000).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(DesktopProbe::windowsTitled(QStringLiteral("handed while busy")).size(), 1, 20000);
        QCOMPARE(DesktopProbe::windowsTitled(QStringLiteral("many 1")).size(), 1); // no second instance
        QVERIFY(terminateWithin(15000));
        const Profile saved = Profile::load(storePath());
        QCOMPARE(saved.readInteger(u"Stickies", u"Total", -1), 502);
        QCOMPARE(saved.readString(u"Stickie501", u"Title"), QStringLiteral("handed while busy"));
    }

    void killedInstance_nextStartTakesTheStoreAtOnce()
    {
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"), manyNotes(1)));
        QVERIFY(m_program.start());
        QVERIFY(!DesktopProbe::waitForWindow(QStringLiteral("many 1")).isEmpty());
        m_program.process().kill();
        QVERIFY(m_program.process().waitForFinished(5000));
        QVERIFY(QFile::exists(storePath() + QStringLiteral(".lock"))); // left behind by the kill
        QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(QStringLiteral("many 1")).isEmpty(), 30000);

        QElapsedTimer restart;
        restart.start();
        QVERIFY(m_program.start());
        QVERIFY(!DesktopProbe::waitForWindow(QStringLiteral("many 1")).isEmpty());
        QVERIFY2(restart.elapsed() < 5000, "the stale lock held the next start up");
        QVERIFY(terminateWithin(10000));
    }
};

QTEST_GUILESS_MAIN(TestE2eStore)
#include "tst_e2e_store.moc"
