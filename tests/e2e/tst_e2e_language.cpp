#include "desktop_probe.h"
#include "portable_program.h"
#include "tray_menu.h"

#include "store/profile.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <utility>

// The language submenu of the tray, driven with the keyboard on the test desktop, with the shipped language
// files beside the program.
class TestE2eLanguage : public QObject {
    Q_OBJECT

private:
    PortableProgram m_program;

    static QByteArray pixelsOf(const QString &window)
    {
        QProcess grab;
        grab.start(QStringLiteral("import"), {QStringLiteral("-window"), window, QStringLiteral("-depth"),
                                              QStringLiteral("8"), QStringLiteral("rgb:-")});
        return grab.waitForFinished(DesktopProbe::toolTimeoutMs) ? grab.readAllStandardOutput() : QByteArray();
    }

    // X holds no text of a menu: a note's context menu is compared by its size and pixels. The menu opens
    // at a right click into the note; the pointer then leaves it, so that no item is highlighted, and the
    // pixels are taken once the menu has painted itself and stopped changing.
    struct MenuImage {
        QSize size;
        QByteArray pixels;
    };
    static MenuImage noteMenu(const QString &note)
    {
        MenuImage image;
        const DesktopProbe::Menu menu = DesktopProbe::openMenu(DesktopProbe::clientRect(note).center(), 3);
        if (menu.window.isEmpty())
            return image;
        DesktopProbe::moveTo(QPoint(1000, 900));
        image.size = DesktopProbe::clientRect(menu.window).size();
        QByteArray previous;
        DesktopProbe::waitUntil([&] {
            previous = std::exchange(image.pixels, pixelsOf(menu.window));
            return !image.pixels.isEmpty() && image.pixels == previous;
        });
        DesktopProbe::keys({QStringLiteral("Escape")});
        if (!menu.waitUntilClosed())
            image.pixels.clear();
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
        if (DesktopProbe::haveTools())
            QVERIFY(DesktopProbe::waitUntilProgramWindowsGone());
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

        // "Language" is the seventh item (separators not counted), "Greek" the fourth of its submenu.
        trayMenu(QStringList(7, QStringLiteral("Down")) + QStringList{QStringLiteral("Right")} +
                 QStringList(3, QStringLiteral("Down")) + QStringList{QStringLiteral("Return")});
        const MenuImage greek = noteMenu(note);
        QVERIFY(!greek.pixels.isEmpty());
        QVERIFY(greek.size != english.size);
        QVERIFY(greek.pixels != english.pixels);

        // A note made now shows the same menu from its first display.
        const QStringList before = DesktopProbe::programWindows();
        trayMenu({QStringLiteral("Down"), QStringLiteral("Return")});
        QString later;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const QString &window : DesktopProbe::programWindows()) {
                    if (!before.contains(window) && DesktopProbe::clientRect(window).size() == QSize(240, 180))
                        later = window;
                }
                return !later.isEmpty();
            }(),
            30000);
        const MenuImage laterMenu = noteMenu(later);
        QCOMPARE(laterMenu.size, greek.size);
        QVERIFY(laterMenu.pixels == greek.pixels);

        // The dialogs' titles are texts X does show.
        trayMenu(QStringList(6, QStringLiteral("Down")) << QStringLiteral("Return"));
        const QString options = DesktopProbe::waitForWindow(QStringLiteral("Επιλογές"));
        QVERIFY2(!options.isEmpty(), "no Greek options dialog");
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), options});
        DesktopProbe::keys({QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(QStringLiteral("Επιλογές")).isEmpty(), 30000);
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), note});
        DesktopProbe::keys({QStringLiteral("ctrl+shift+a")});
        const QString alarm = DesktopProbe::waitForWindow(QStringLiteral("Ρύθμιση υπενθύμισης"));
        QVERIFY2(!alarm.isEmpty(), "no Greek alarm dialog");
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), alarm});
        DesktopProbe::keys({QStringLiteral("alt+F4")});
        QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(QStringLiteral("Ρύθμιση υπενθύμισης")).isEmpty(), 30000);

        trayMenu({QStringLiteral("Up"), QStringLiteral("Return")}); // "Exit", the last item in any language
        // It may have ended already, when waitForFinished() would say false.
        QTRY_COMPARE_WITH_TIMEOUT(m_program.process().state(), QProcess::NotRunning, 30000);
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
