#include "desktop_probe.h"
#include "portable_program.h"

#include "store/profile.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Starts the real program in a portable folder on the test desktop and checks its notes from outside.
class TestE2eNotes : public QObject {
    Q_OBJECT

private:
    PortableProgram m_program;

    QString storePath() const { return m_program.filePath(QStringLiteral("stickies.ini")); }
    void writeStore(const QByteArray &content)
    {
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"), content));
    }
    void startProgram() { QVERIFY(m_program.start()); }
    void terminateProgram() { QVERIFY2(m_program.terminate(), "the program did not end cleanly on SIGTERM"); }

private slots:
    void init()
    {
        if (!DesktopProbe::haveTools())
            QSKIP("needs the test desktop of scripts/test (DISPLAY, xdotool, xwininfo)");
        QVERIFY(m_program.isValid());
    }
    void cleanup()
    {
        m_program.reset();
        if (DesktopProbe::haveTools())
            QVERIFY(DesktopProbe::waitUntilProgramWindowsGone());
    }

    void storedNotes_shownWhereStored_andWrittenBackUnchangedOnSigterm()
    {
        writeStore("[Stickies]\r\nTotal=3\r\n"
                   "[Stickie1]\r\nTitle=e2e first\r\nLeft=100\r\nTop=150\r\nWidth=260\r\nHeight=200\r\n"
                   "Color=0x00C0FFFF\r\nText=first words\r\n"
                   "[Stickie2]\r\nTitle=e2e on top\r\nLeft=420\r\nTop=300\r\nWidth=240\r\nHeight=180\r\n"
                   "Stay On Top=1\r\nColor=clWhite\r\n"
                   "[Stickie3]\r\nTitle=e2e third\r\nLeft=700\r\nTop=500\r\nWidth=300\r\nHeight=220\r\n"
                   "Lock Text=1\r\nOpacity=128\r\n");
        startProgram();
        struct Expected {
            const char *title;
            QRect bounds;
            bool onTop;
        };
        const Expected expected[] = {{"e2e first", QRect(100, 150, 260, 200), false},
                                     {"e2e on top", QRect(420, 300, 240, 180), true},
                                     {"e2e third", QRect(700, 500, 300, 220), false}};
        for (const Expected &note : expected) {
            const QString window = DesktopProbe::waitForWindow(QString::fromUtf8(note.title));
            QVERIFY2(!window.isEmpty(), note.title);
            // The window manager frames the window after it appears, and the frame's corner then moves there.
            QTRY_COMPARE_WITH_TIMEOUT(DesktopProbe::frameRect(window).topLeft(), note.bounds.topLeft(), 30000);
            QCOMPARE(DesktopProbe::clientRect(window).size(), note.bounds.size());
            QCOMPARE(DesktopProbe::windowStates(window).contains(QStringLiteral("_NET_WM_STATE_ABOVE")), note.onTop);
            // The program's icon comes to every note once they are all up (the window manager gives a window
            // without one its own, in one size only).
            QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::run(QStringLiteral("xprop"),
                                                       {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_ICON")})
                                         .contains(QStringLiteral("Icon (22 x 22)")),
                                     30000);
        }
        // The notes appear without taking the focus one after another; the last one ends with it.
        QTRY_COMPARE_WITH_TIMEOUT(DesktopProbe::activeWindow(),
                                  DesktopProbe::waitForWindow(QStringLiteral("e2e third")), 30000);
        // Nothing changed, so what is written at the end must be what was stored, without any creeping of the
        // bounds: the program has seen where the window manager put its windows before it is asked to end.
        QVERIFY2(DesktopProbe::syncWith(DesktopProbe::waitForWindow(QStringLiteral("e2e first"))),
                 "the program did not answer a key press");
        terminateProgram();

        const Profile store = Profile::load(storePath());
        QCOMPARE(store.readInteger(u"Stickies", u"Total", -1), 3);
        for (int i = 0; i < 3; ++i) {
            const QString section = QStringLiteral("Stickie%1").arg(i + 1);
            QCOMPARE(store.readString(section, u"Title"), QString::fromUtf8(expected[i].title));
            const QRect bounds(store.readInteger(section, u"Left", -1), store.readInteger(section, u"Top", -1),
                               store.readInteger(section, u"Width", -1), store.readInteger(section, u"Height", -1));
            QCOMPARE(bounds, expected[i].bounds);
            QCOMPARE(store.readBool(section, u"Stay On Top", false), expected[i].onTop);
        }
        QCOMPARE(store.readString(u"Stickie1", u"Text"), QStringLiteral("first words"));
        QCOMPARE(store.readString(u"Stickie1", u"Color"), QStringLiteral("0x00C0FFFF"));
        QCOMPARE(store.readString(u"Stickie2", u"Color"), QStringLiteral("clWhite"));
        QCOMPARE(store.readInteger(u"Stickie3", u"Opacity", -1), 128);
        QVERIFY(store.readBool(u"Stickie3", u"Lock Text", false));
    }

    void stayOnTopShortcut_keepsPositionSizeTextAndTheCaret()
    {
        writeStore("[Stickies]\r\nTotal=1\r\n[Stickie1]\r\nTitle=e2e toggle\r\nLeft=300\r\nTop=260\r\n"
                   "Width=250\r\nHeight=170\r\nText=still here\r\n");
        startProgram();
        const QString window = DesktopProbe::waitForWindow(QStringLiteral("e2e toggle"));
        QVERIFY(!window.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(DesktopProbe::frameRect(window).topLeft(), QPoint(300, 260), 30000);
        const QRect before = DesktopProbe::frameRect(window);
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        DesktopProbe::keys({QStringLiteral("ctrl+Home")});
        for (bool onTop : {true, false}) {
            DesktopProbe::keys({QStringLiteral("ctrl+t")});
            // The window may be made anew for the change; the state is the window manager's once it has it.
            QString now;
            QTRY_VERIFY_WITH_TIMEOUT(
                DesktopProbe::windowStates(now = DesktopProbe::waitForWindow(QStringLiteral("e2e toggle")))
                        .contains(QStringLiteral("_NET_WM_STATE_ABOVE")) == onTop,
                30000);
            QTRY_COMPARE_WITH_TIMEOUT(DesktopProbe::frameRect(now), before, 30000);
            // The note keeps the keyboard, with the caret where it was: what is typed next lands there.
            QTRY_COMPARE_WITH_TIMEOUT(DesktopProbe::activeWindow(), now, 30000);
            DesktopProbe::keys({onTop ? QStringLiteral("a") : QStringLiteral("b")});
        }
        QVERIFY2(DesktopProbe::syncWith(DesktopProbe::waitForWindow(QStringLiteral("e2e toggle"))),
                 "the typed keys did not reach the program");
        terminateProgram();
        const Profile store = Profile::load(storePath());
        QVERIFY2(store.readString(u"Stickie1", u"Text").contains(QStringLiteral("abstill here")),
                 qPrintable(store.readString(u"Stickie1", u"Text")));
        QCOMPARE(store.readInteger(u"Stickie1", u"Left", -1), 300);
        QCOMPARE(store.readInteger(u"Stickie1", u"Top", -1), 260);
        QVERIFY(!store.readBool(u"Stickie1", u"Stay On Top", true));
    }

    void damagedStore_programRunsAndKeepsTheReadableNotes()
    {
        QByteArray store =
            "[Stickies]\r\nTotal=2000000000\r\n[Stickie1]\r\nTitle=e2e survivor\r\nLeft=50\r\nTop=60\r\n";
        static const char garbage[] = "\x00\xff\xfe garbage \x01\x02"; // NULs included, the final one not
        store += QByteArray(garbage, sizeof(garbage) - 1);
        store += "\r\nno equals sign here\n[Stickie2]\rTitle=e2e second\rColor=\r\n[Stickie3]\r\nTitle=trunc";
        writeStore(store);
        startProgram();
        QVERIFY(!DesktopProbe::waitForWindow(QStringLiteral("e2e survivor")).isEmpty());
        // The empty colour of note 2 is reported; the dialog is answered like a user would.
        const QString dialog = DesktopProbe::waitForWindow(QStringLiteral("Quillet 1.02"));
        QVERIFY2(!dialog.isEmpty(), "the empty colour of note 2 was not reported");
        DesktopProbe::run(QStringLiteral("xdotool"),
                          {QStringLiteral("windowactivate"), QStringLiteral("--sync"), dialog});
        DesktopProbe::run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
        QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(QStringLiteral("Quillet 1.02")).isEmpty(), 30000);
        QVERIFY(!DesktopProbe::waitForWindow(QStringLiteral("e2e second")).isEmpty());
        QCOMPARE(m_program.process().state(), QProcess::Running);
        terminateProgram();
        const Profile saved = Profile::load(storePath());
        QCOMPARE(saved.readString(u"Stickie1", u"Title"), QStringLiteral("e2e survivor"));
        QCOMPARE(saved.readString(u"Stickie2", u"Title"), QStringLiteral("e2e second"));
        QCOMPARE(saved.readString(u"Stickie3", u"Title"), QStringLiteral("trunc"));
        QCOMPARE(saved.readInteger(u"Stickies", u"Total", -1), 3);
    }

    // What only an alarm's sound or a print needs is loaded then, not at every start; nothing on the way to
    // the notes needs Qt Network.
    void start_leavesLibrariesOfLaterUseUnmapped_data()
    {
        QTest::addColumn<QByteArray>("library");
        QTest::newRow("sound") << QByteArray("libgstreamer");
        QTest::newRow("printing") << QByteArray("libQt6PrintSupport");
        QTest::newRow("network") << QByteArray("libQt6Network");
        QTest::newRow("mp3 length") << QByteArray("libmpg123");
    }
    void start_leavesLibrariesOfLaterUseUnmapped()
    {
        QFETCH(QByteArray, library);
        writeStore("[Stickies]\r\nTotal=1\r\n[Stickie1]\r\nTitle=e2e lean\r\nLeft=80\r\nTop=90\r\nText=words\r\n");
        startProgram();
        QVERIFY(DesktopProbe::syncWith(DesktopProbe::waitForWindow(QStringLiteral("e2e lean"))));
        QFile maps(QStringLiteral("/proc/%1/maps").arg(m_program.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        QVERIFY(mapped.contains("libQt6Widgets"));
        QVERIFY2(!mapped.contains(library), library.constData());
        terminateProgram();
    }
};

QTEST_GUILESS_MAIN(TestE2eNotes)
#include "tst_e2e_notes.moc"
