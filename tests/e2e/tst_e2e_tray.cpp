#include "desktop_probe.h"
#include "portable_program.h"
#include "tray_menu.h"

#include "store/profile.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

// The tray icon in a real notification area (trayer) and the single running instance, driven with the
// mouse and keyboard the way a user would.
class TestE2eTray : public QObject {
    Q_OBJECT

private:
    PortableProgram m_program;

    void startProgram() { QVERIFY(m_program.start()); }

    // Windows titled like a new note: today's date in the user's short format, then the time.
    static QStringList newNoteWindows()
    {
        const QString date = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        return DesktopProbe::windowsMatching(
            QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(date) + QLatin1Char(' ')));
    }

    // The screen less trayer's panel, as the window manager announces it; empty when it announces none.
    static QRect workArea()
    {
        const QStringList area =
            DesktopProbe::run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_WORKAREA")})
                .section(QLatin1Char('='), 1)
                .split(QLatin1Char(','));
        return area.size() >= 4 ? QRect(area[0].toInt(), area[1].toInt(), area[2].toInt(), area[3].toInt()) : QRect();
    }

    static QStringList waitForNewNotes(int count)
    {
        QStringList found;
        DesktopProbe::waitUntil([&] { return (found = newNoteWindows()).size() >= count; });
        return found;
    }

private slots:
    void init()
    {
        if (!DesktopProbe::haveTools())
            QSKIP("needs the test desktop of scripts/test (DISPLAY, xdotool, xwininfo, trayer)");
        QVERIFY(m_program.isValid());
    }
    void cleanup()
    {
        m_program.reset();
        if (DesktopProbe::haveTools())
            QVERIFY(DesktopProbe::waitUntilProgramWindowsGone());
    }

    void trayMenu_newNoteIsCentred_andExitWritesTheStore()
    {
        startProgram();
        trayMenu({QStringLiteral("Down"), QStringLiteral("Return")}); // the first item: "New Sticky Note"
        const QStringList notes = waitForNewNotes(1);
        QCOMPARE(notes.size(), 1);
        // Centred in the work area the window manager announces (the screen less trayer's panel), once the
        // manager has framed it.
        const QRect work = workArea();
        QVERIFY(!work.isEmpty());
        QVERIFY(work.top() > 0); // the panel takes the top of the screen
        QTRY_COMPARE_WITH_TIMEOUT(DesktopProbe::frameRect(notes[0]).topLeft(),
                                  work.topLeft() + QPoint((work.width() - 240) / 2, (work.height() - 180) / 2), 30000);
        const QString title =
            DesktopProbe::run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), notes[0]}).trimmed();

        trayMenu({QStringLiteral("Up"), QStringLiteral("Return")}); // the last item: "Exit"
        QVERIFY2(m_program.process().waitForFinished(30000), "\"Exit\" did not end the program");
        QCOMPARE(m_program.process().exitCode(), 0);
        const Profile store = Profile::load(m_program.filePath(QStringLiteral("stickies.ini")));
        QCOMPARE(store.readInteger(u"Stickies", u"Total", -1), 1);
        QCOMPARE(store.readString(u"Stickie1", u"Title"), title);
        QVERIFY(QFile::exists(m_program.filePath(QStringLiteral("quillet.ini"))));
    }

    void trayMenu_optionsAndAbout_openTheirDialogs_data()
    {
        QTest::addColumn<int>("place"); // the item's place in the menu, separators not counted
        QTest::addColumn<QString>("title");
        QTest::newRow("Options") << 6 << "Options";
        QTest::newRow("About Program") << 8 << "About Program";
    }
    void trayMenu_optionsAndAbout_openTheirDialogs()
    {
        QFETCH(int, place);
        QFETCH(QString, title);
        startProgram();
        trayMenu(QStringList(place, QStringLiteral("Down")) << QStringLiteral("Return"));
        const QString dialog = DesktopProbe::waitForWindow(title);
        QVERIFY2(!dialog.isEmpty(), "the dialog did not open");
        // Centred in the work area by its own size, the frame's corner where the window's would be, as notes are.
        const QRect work = workArea();
        const QSize size = DesktopProbe::clientRect(dialog).size();
        QCOMPARE(DesktopProbe::frameRect(dialog).topLeft(),
                 work.topLeft() + QPoint((work.width() - size.width()) / 2, (work.height() - size.height()) / 2));

        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), dialog});
        DesktopProbe::keys({QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(title).isEmpty(), 30000);
        QCOMPARE(m_program.process().state(), QProcess::Running);
        QVERIFY(m_program.terminate());
    }

    void trayMenu_restoreDeletedNotes_bringsBackWhatDeleteAllTook()
    {
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"),
                                    "[Stickies]\r\nTotal=2\r\n[Stickie1]\r\nTitle=e2e kept one\r\nLeft=100\r\n"
                                    "Top=300\r\nWidth=240\r\nHeight=180\r\n[Stickie2]\r\nTitle=e2e kept two\r\n"
                                    "Left=420\r\nTop=340\r\nWidth=260\r\nHeight=200\r\n"));
        startProgram();
        // Left and Top place the frame: where the notes stand before the delete and after the restore.
        const QStringList titles{QStringLiteral("e2e kept one"), QStringLiteral("e2e kept two")};
        const QList<QRect> places{QRect(100, 300, 240, 180), QRect(420, 340, 260, 200)};
        const auto placed = [](const QString &window) {
            return QRect(DesktopProbe::frameRect(window).topLeft(), DesktopProbe::clientRect(window).size());
        };
        for (int i = 0; i < titles.size(); ++i) {
            const QString window = DesktopProbe::waitForWindow(titles[i]);
            QVERIFY2(!window.isEmpty(), qPrintable(titles[i]));
            QTRY_COMPARE_WITH_TIMEOUT(placed(window), places[i], 5000);
        }
        // "Delete All" is the fifth item, "Restore Deleted Notes" the sixth (separators not counted).
        trayMenu(QStringList(5, QStringLiteral("Down")) << QStringLiteral("Return"));
        for (const QString &title : titles)
            QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(title).isEmpty(), 10000);
        trayMenu(QStringList(6, QStringLiteral("Down")) << QStringLiteral("Return"));
        for (int i = 0; i < titles.size(); ++i) {
            const QString window = DesktopProbe::waitForWindow(titles[i]);
            QVERIFY2(!window.isEmpty(), qPrintable(titles[i]));
            QTRY_COMPARE_WITH_TIMEOUT(placed(window), places[i], 5000);
        }

        QVERIFY(m_program.terminate());
        const Profile store = Profile::load(m_program.filePath(QStringLiteral("stickies.ini")));
        QCOMPARE(store.readInteger(u"Stickies", u"Total", -1), 2);
        QCOMPARE(store.readString(u"Stickie1", u"Title"), titles[0]);
        QCOMPARE(store.readString(u"Stickie2", u"Title"), titles[1]);
    }

    void trayMenu_find_bringsAHiddenNoteByAWordOfItsText()
    {
        QVERIFY(m_program.writeFile(QStringLiteral("stickies.ini"),
                                    "[Stickies]\r\nTotal=2\r\n[Stickie1]\r\nTitle=e2e apples\r\nLeft=100\r\n"
                                    "Top=300\r\nText=apples and pears\r\n[Stickie2]\r\nTitle=e2e tree\r\n"
                                    "Left=420\r\nTop=340\r\nText={\\rtf1 under the \\b pear\\b0  tree}\r\n"));
        startProgram();
        const QStringList titles{QStringLiteral("e2e apples"), QStringLiteral("e2e tree")};
        for (const QString &title : titles)
            QVERIFY2(!DesktopProbe::waitForWindow(title).isEmpty(), qPrintable(title));
        // "Hide All" is the fourth item, "Find..." the second (separators not counted).
        trayMenu(QStringList(4, QStringLiteral("Down")) << QStringLiteral("Return"));
        for (const QString &title : titles)
            QTRY_VERIFY_WITH_TIMEOUT(DesktopProbe::windowsTitled(title).isEmpty(), 30000);

        trayMenu({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
        const QString find = DesktopProbe::waitForWindow(QStringLiteral("Find Note"));
        QVERIFY2(!find.isEmpty(), "the find window did not open");
        DesktopProbe::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), find});
        DesktopProbe::xdotool(
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("100"), QStringLiteral("PEAR tree")});
        DesktopProbe::keys({QStringLiteral("Return")});
        QVERIFY2(!DesktopProbe::waitForWindow(titles[1]).isEmpty(), "the note found did not come");
        // The other note stays hidden, and the find window stays one.
        QVERIFY(DesktopProbe::windowsTitled(titles[0]).isEmpty());
        trayMenu({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
        QVERIFY(DesktopProbe::syncWith(DesktopProbe::waitForWindow(QStringLiteral("Find Note"))));
        QCOMPARE(DesktopProbe::windowsTitled(QStringLiteral("Find Note")).size(), 1);
        QVERIFY(m_program.terminate());
    }

    void doubleClick_createsOneNoteAndNoOtherWindow()
    {
        startProgram();
        const QRect icon = DesktopProbe::waitForTrayIcon();
        QVERIFY(!icon.isEmpty());
        DesktopProbe::clickAt(icon.center(), 1, 2);
        const QStringList notes = waitForNewNotes(1);
        QCOMPARE(notes.size(), 1);
        // Once the program has handled both clicks, a second note would be among its notes and in the store.
        QVERIFY2(DesktopProbe::syncWith(notes[0]), "the program did not answer a key press");
        QCOMPARE(newNoteWindows().size(), 1);
        // The main form never shows, neither does any window besides the notes.
        QVERIFY(DesktopProbe::windowsTitled(QStringLiteral("Quillet 1.02")).isEmpty());
        QVERIFY(m_program.terminate());
        QCOMPARE(
            Profile::load(m_program.filePath(QStringLiteral("stickies.ini"))).readInteger(u"Stickies", u"Total", -1),
            1);
    }

    void secondStart_handsItsNoteFileToTheFirst()
    {
        QFile stc(m_program.filePath(QStringLiteral("handed.stc")));
        QVERIFY(stc.open(QIODevice::WriteOnly));
        stc.write("[Stickie]\r\nTitle=e2e handed over\r\nLeft=200\r\nTop=200\r\n");
        stc.close();
        startProgram();
        QVERIFY(!DesktopProbe::waitForTrayIcon().isEmpty());

        QProcess second;
        second.setWorkingDirectory(m_program.folder());
        second.start(m_program.binary(), {QStringLiteral("handed.stc")}); // relative to the second start's folder
        QVERIFY2(second.waitForFinished(40000), "the second start did not end");
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!DesktopProbe::waitForWindow(QStringLiteral("e2e handed over")).isEmpty());
        QCOMPARE(DesktopProbe::windowsTitled(QStringLiteral("e2e handed over")).size(), 1);
        QCOMPARE(m_program.process().state(), QProcess::Running);

        QProcess third; // no argument: a new note in the running instance
        third.start(m_program.binary(), {});
        QVERIFY(third.waitForFinished(40000));
        QCOMPARE(waitForNewNotes(1).size(), 1);

        QVERIFY(m_program.terminate());
        const Profile store = Profile::load(m_program.filePath(QStringLiteral("stickies.ini")));
        QCOMPARE(store.readInteger(u"Stickies", u"Total", -1), 2);
        QCOMPARE(store.readString(u"Stickie1", u"Title"), QStringLiteral("e2e handed over"));
    }
};

QTEST_GUILESS_MAIN(TestE2eTray)
#include "tst_e2e_tray.moc"
