#include "desktop_probe.h"
#include "portable_program.h"

#include "store/profile.h"

#include <QDate>
#include <QLocale>
#include <QTest>

// The command-line actions that desktop shortcuts run, from a real second start of the program, seen on
// screen through the window manager.
class TestE2eShortcuts : public QObject {
    Q_OBJECT

private:
    PortableProgram m_program;

    // A later start with one option; true when it ended at once with status 0.
    bool runSecondStart(const QString &option)
    {
        QProcess second;
        second.setWorkingDirectory(m_program.folder());
        second.start(m_program.binary(), {option});
        return second.waitForFinished(40000) && second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0;
    }

    static QStringList newNoteWindows()
    {
        const QString date = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        return DesktopProbe::windowsMatching(
            QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(date) + QLatin1Char(' ')));
    }

private slots:
    void init()
    {
        if (!DesktopProbe::haveTools())
            QSKIP("needs the test desktop of scripts/test (DISPLAY, xdotool, wmctrl, xwininfo)");
        QVERIFY(m_program.isValid());
    }
    void cleanup()
    {
        m_program.reset();
        if (DesktopProbe::haveTools())
            QVERIFY(DesktopProbe::waitUntilProgramWindowsGone());
    }

    void actions_reachTheRunningInstance()
    {
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"),
                                    "[Stickies]\r\nTotal=2\r\n[Stickie1]\r\nTitle=e2e first\r\nLeft=100\r\n"
                                    "Top=300\r\n[Stickie2]\r\nTitle=e2e second\r\nLeft=420\r\nTop=340\r\n"));
        QVERIFY(m_program.start());
        const QStringList titles{QStringLiteral("e2e first"), QStringLiteral("e2e second")};
        for (const QString &title : titles)
            QVERIFY2(!DesktopProbe::waitForWindow(title).isEmpty(), qPrintable(title));

        // Each step and whether the notes are on screen after it; a toggle goes by what is on screen.
        const QList<std::pair<QString, bool>> steps{
            {QStringLiteral("--hide"), false},  {QStringLiteral("--show"), true},  {QStringLiteral("--toggle"), false},
            {QStringLiteral("--toggle"), true}, {QStringLiteral("--hide"), false}, {QStringLiteral("--toggle"), true},
        };
        for (const auto &[option, shown] : steps) {
            QVERIFY2(runSecondStart(option), qPrintable(option));
            for (const QString &title : titles) {
                QVERIFY2(DesktopProbe::waitUntil([&] { return DesktopProbe::windowsTitled(title).isEmpty() != shown; }),
                         qPrintable(option + QLatin1Char(' ') + title));
            }
        }
        QVERIFY(newNoteWindows().isEmpty());
        QVERIFY(runSecondStart(QStringLiteral("--new")));
        QVERIFY(DesktopProbe::waitUntil([] { return newNoteWindows().size() == 1; }));
        QCOMPARE(m_program.process().state(), QProcess::Running);

        QVERIFY(m_program.terminate());
        const Profile store = Profile::load(m_program.filePath(QStringLiteral("stickies.ini")));
        QCOMPARE(store.readInteger(u"Stickies", u"Total", -1), 3);
        QCOMPARE(store.readString(u"Stickie2", u"Title"), titles[1]);
    }

    void newNote_startsTheProgramWhenNoneRuns()
    {
        QVERIFY(m_program.start({QStringLiteral("--new")}));
        QVERIFY(DesktopProbe::waitUntil([] { return newNoteWindows().size() == 1; }));
        // It is the running instance now: it keeps running and takes a later start's action.
        QVERIFY(!DesktopProbe::waitForTrayIcon().isEmpty());
        QCOMPARE(m_program.process().state(), QProcess::Running);
        QVERIFY(runSecondStart(QStringLiteral("--new")));
        QVERIFY(DesktopProbe::waitUntil([] { return newNoteWindows().size() == 2; }));
        QVERIFY(m_program.terminate());
        QCOMPARE(
            Profile::load(m_program.filePath(QStringLiteral("stickies.ini"))).readInteger(u"Stickies", u"Total", -1),
            2);
    }
};

QTEST_GUILESS_MAIN(TestE2eShortcuts)
#include "tst_e2e_shortcuts.moc"
