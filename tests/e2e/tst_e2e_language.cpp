#include "desktop_probe.h"
#include "portable_program.h"

#include "store/profile.h"

#include <QDir>
#include <QFile>
#include <QTest>

// The language submenu of the tray, driven with the keyboard on the test desktop, with the shipped language
// files beside the program.
class TestE2eLanguage : public QObject {
    Q_OBJECT

private:
    PortableProgram m_program;

    void trayMenu(const QStringList &keyNames)
    {
        const QRect icon = DesktopProbe::waitForTrayIcon();
        QVERIFY2(!icon.isEmpty(), "the icon is not in the notification area");
        QTest::qWait(300);
        DesktopProbe::clickAt(icon.center(), 3);
        QTest::qWait(600);
        DesktopProbe::keys(keyNames);
        QTest::qWait(500);
    }

    static QStringList visibleWindows()
    {
        return DesktopProbe::run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                             QStringLiteral("--class"), QStringLiteral("quillet")})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // X holds no text of a menu: a note's context menu is compared by its size and pixels. The menu opens
    // at a right click into the note; the pointer then leaves it, so that no item is highlighted.
    struct MenuImage {
        QSize size;
        QByteArray pixels;
    };
    static MenuImage noteMenu(const QString &note)
    {
        const QStringList before = visibleWindows();
        DesktopProbe::clickAt(DesktopProbe::clientRect(note).center(), 3);
        QTest::qWait(600);
        DesktopProbe::xdotool({QStringLiteral("mousemove"), QStringLiteral("1000"), QStringLiteral("900")});
        QTest::qWait(400);
        MenuImage image;
        for (const QString &window : visibleWindows()) {
            if (before.contains(window))
                continue;
            image.size = DesktopProbe::clientRect(window).size();
            QProcess grab;
            grab.start(QStringLiteral("import"), {QStringLiteral("-window"), window, QStringLiteral("-depth"),
                                                  QStringLiteral("8"), QStringLiteral("rgb:-")});
            if (grab.waitForFinished(10000))
                image.pixels = grab.readAllStandardOutput();
        }
        DesktopProbe::keys({QStringLiteral("Escape")});
        QTest::qWait(300);
        return image;
    }

private slots:
    void init()
    {
        if (!DesktopProbe::haveTools() || QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty())
            QSKIP("needs the test desktop of scripts/test (DISPLAY, xdotool, xwininfo, trayer, import)");
        QVERIFY(m_program.isValid());
    }
    void cleanup()
    {
        m_program.reset();
        QDir(m_program.filePath(QStringLiteral("language"))).removeRecursively();
    }

    void trayLanguageGreek_switchesOpenAndLaterNotesAndDialogs_andExitStoresIt()
    {
        const QDir shipped(QStringLiteral(QUILLET_SOURCE_DIR "/resources/language"));
        QVERIFY(QDir(m_program.folder()).mkdir(QStringLiteral("language")));
        for (const QString &name : shipped.entryList({QStringLiteral("*.ini")}, QDir::Files))
            QVERIFY(QFile::copy(shipped.filePath(name), m_program.filePath(QStringLiteral("language/") + name)));
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"),
                                    "[Stickies]\r\nTotal=1\r\n[Stickie1]\r\nTitle=e2e language note\r\nLeft=100\r\n"
                                    "Top=300\r\nWidth=240\r\nHeight=180\r\n"));
        QVERIFY(m_program.start());
        const QString note = DesktopProbe::waitForWindow(QStringLiteral("e2e language note"));
        QVERIFY(!note.isEmpty());
        QVERIFY(!DesktopProbe::waitForTrayIcon().isEmpty());
        const MenuImage english = noteMenu(note);
        QVERIFY(!english.pixels.isEmpty());

        // "Language" is the sixth item (separators not counted), "Greek" the fourth of its submenu.
        trayMenu(QStringList(6, QStringLiteral("Down")) + QStringList{QStringLiteral("Right")} +
                 QStringList(3, QStringLiteral("Down")) + QStringList{QStringLiteral("Return")});
        const MenuImage greek = noteMenu(note);
        QVERIFY(!greek.pixels.isEmpty());
        QVERIFY(greek.size != english.size);
        QVERIFY(greek.pixels != english.pixels);

        // A note made now shows the same menu from its first display.
        const QStringList before = visibleWindows();
        trayMenu({QStringLiteral("Down"), QStringLiteral("Return")});
        QString later;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const QString &window : visibleWindows()) {
                    if (!before.contains(window) && DesktopProbe::clientRect(window).size() == QSize(240, 180))
                        later = window;
                }
                return !later.isEmpty();
            }(),
            10000);
        QTest::qWait(300);
        const MenuImage laterMenu = noteMenu(later);
        QCOMPARE(laterMenu.size, greek.size);
        QVERIFY(laterMenu.pixels == greek.pixels);

        // The dialogs' titles are texts X does show.
        trayMenu(QStringList(5, QStringLiteral("Down")) << QStringLiteral("Return"));
        const QString options = DesktopProbe::waitForWindow(QStringLiteral("Επιλογές"), 5000);
        QVERIFY2(!options.isEmpty(), "no Greek options dialog");
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), options});
        DesktopProbe::keys({QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(QStringLiteral("Επιλογές")).isEmpty(), 5000);
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), note});
        DesktopProbe::keys({QStringLiteral("ctrl+shift+a")});
        const QString alarm = DesktopProbe::waitForWindow(QStringLiteral("Ρύθμιση υπενθύμισης"), 5000);
        QVERIFY2(!alarm.isEmpty(), "no Greek alarm dialog");
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), alarm});
        DesktopProbe::keys({QStringLiteral("alt+F4")});
        QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(QStringLiteral("Ρύθμιση υπενθύμισης")).isEmpty(), 5000);

        trayMenu({QStringLiteral("Up"), QStringLiteral("Return")}); // "Exit", the last item in any language
        // It may have ended already, when waitForFinished() would say false.
        QTRY_COMPARE_WITH_TIMEOUT(m_program.process().state(), QProcess::NotRunning, 10000);
        QCOMPARE(m_program.process().exitCode(), 0);
        const Profile settings = Profile::load(m_program.filePath(QStringLiteral("quillet.ini")));
        QCOMPARE(settings.readString(u"Options", u"Language"), QStringLiteral("Greek"));
        QCOMPARE(
            Profile::load(m_program.filePath(QStringLiteral("stickies.ini"))).readInteger(u"Stickies", u"Total", -1),
            2);
    }
};

QTEST_GUILESS_MAIN(TestE2eLanguage)
#include "tst_e2e_language.moc"
