#include "app/form1.h"
#include "base/clock.h"
#include "note/form_sticky.h"
#include "store/note_store.h"
#include "store/note_trash.h"
#include "store/profile.h"
#include "widgets/error_dialog.h"

#include "../main_form_fixture.h"
#include "../read_only_folder.h"
#include "../test_clock.h"
#include "../test_files.h"
#include "model/note_alarm.h"
#include "platform/locale_texts.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <memory>
#include <sys/stat.h>

namespace {

QByteArray noteSection(int number, const QString &title, int left, int top, const QByteArray &extra = {})
{
    return QStringLiteral("[Stickie%1]\r\nTitle=%2\r\nLeft=%3\r\nTop=%4\r\nWidth=250\r\nHeight=190\r\n")
               .arg(number)
               .arg(title)
               .arg(left)
               .arg(top)
               .toUtf8() +
           extra;
}

} // namespace

// The main form against real files in a temporary program folder.
class TestForm1 : public QObject, private MainFormFixture {
    Q_OBJECT

private:
    void writeFile(const QString &name, const QByteArray &content) { ::writeFile(m_dir.filePath(name), content); }
    QByteArray readFile(const QString &name) const { return ::readFile(m_dir.filePath(name)); }

private slots:
    void init() { setUpForm(); }
    void cleanup()
    {
        tearDownForm();
        Clock::install(nullptr);
    }

    void firstStart_noFiles_noNotesAndDefaultFilesAtExit()
    {
        TForm1 *form = start();
        QVERIFY(form->notes().isEmpty());
        QVERIFY(form->FormClose());
        const Profile settings = Profile::load(m_dir.filePath(QStringLiteral("quillet.ini")));
        QCOMPARE(settings.readString(u"Options", u"Language"), QStringLiteral("English"));
        QCOMPARE(settings.readString(u"Options", u"Auto Start"), QStringLiteral("1"));
        QCOMPARE(settings.readString(u"Options", u"Opacity"), QStringLiteral("255"));
        QCOMPARE(settings.readString(u"Options", u"Color"), QStringLiteral("0x00C0FFFF"));
        QCOMPARE(savedStore().readString(u"Stickies", u"Total"), QStringLiteral("0"));
        QVERIFY(!savedStore().hasSection(u"Stickie1"));
        QVERIFY(m_errors.isEmpty());
    }

    void load_storedNotes_listedShownWithTheirProperties()
    {
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=3\r\n" + noteSection(1, QStringLiteral("first"), 100, 120) +
                      noteSection(2, QStringLiteral("second"), 300, 320, "Stay On Top=1\r\nColor=clWhite\r\n") +
                      noteSection(3, QStringLiteral("third"), 500, 520,
                                  "Lock Text=1\r\nOpacity=0x80\r\nText=plain words\r\n"));
        TForm1 *form = start();
        QCOMPARE(form->notes().size(), 3);
        const QStringList titles{QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third")};
        for (int i = 0; i < 3; ++i) {
            TFormSticky *note = form->notes()[i];
            QCOMPARE(note->windowTitle(), titles[i]);
            QCOMPARE(note->noteNumber(), i + 1);
            QVERIFY(note->isVisible());
            QCOMPARE(note->pos(), QPoint(100 + 200 * i, 120 + 200 * i));
            QCOMPARE(note->size(), QSize(250, 190));
        }
        TFormSticky *second = form->notes()[1];
        QVERIFY(second->stayOnTop());
        QVERIFY(second->menuItem(QStringLiteral("PMStayOnTop"))->isChecked());
        QVERIFY(second->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(second->noteColor(), 0x00FFFFFFu);
        TFormSticky *third = form->notes()[2];
        QVERIFY(third->lockText());
        QVERIFY(third->RichEdit1()->isReadOnly());
        QVERIFY(third->menuItem(QStringLiteral("PMLockText"))->isChecked());
        QCOMPARE(third->opacity(), 128);
        QCOMPARE(third->RichEdit1()->toPlainText(), QStringLiteral("plain words"));
        QCOMPARE(form->notes()[0]->noteColor(), 0x00C0FFFFu);
        QVERIFY(m_errors.isEmpty());
    }

    void loadThenExit_unchangedNotes_writtenBackTheSame()
    {
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=2\r\n" + noteSection(1, QStringLiteral("a"), 10, 20, "Text=hello\r\n") +
                      noteSection(2, QStringLiteral("b"), 30, 40, "Alarm=1\r\nPeriod=3\r\nSound File=/x.wav\r\n"));
        QList<NoteRecord> before = NoteStore::load(m_dir.filePath(QStringLiteral("stickies.ini")), {}).notes;
        start();
        QVERIFY(m_form->FormClose());
        QList<NoteRecord> after = NoteStore::load(m_dir.filePath(QStringLiteral("stickies.ini")), {}).notes;
        QCOMPARE(after.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(after[i].title, before[i].title);
            QCOMPARE(QRect(after[i].left, after[i].top, after[i].width, after[i].height),
                     QRect(before[i].left, before[i].top, before[i].width, before[i].height));
            QCOMPARE(after[i].text, before[i].text);
        }
        QVERIFY(after[1].alarm.enabled);
        QCOMPARE(after[1].alarm.period, 3);
        QCOMPARE(after[1].alarm.soundFile, QStringLiteral("/x.wav"));
    }

    void load_badColor_showsErrorAndKeepsEveryNote()
    {
        writeFile(QStringLiteral("stickies.ini"), "[Stickies]\r\nTotal=3\r\n" +
                                                      noteSection(1, QStringLiteral("a"), 0, 0) +
                                                      noteSection(2, QStringLiteral("b"), 0, 0, "Color=purpleish\r\n") +
                                                      noteSection(3, QStringLiteral("c"), 0, 0));
        TForm1 *form = start();
        QCOMPARE(m_errors, QStringList{QStringLiteral("'purpleish' is not a valid integer value.")});
        QCOMPARE(form->notes().size(), 3);
        QCOMPARE(form->notes()[1]->noteColor(), Defaults::noteColor);
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readInteger(u"Stickies", u"Total", 0), 3);
        QCOMPARE(savedStore().readString(u"Stickie3", u"Title"), QStringLiteral("c"));
    }

    void start_badSettingsColor_showsErrorAndStillLoadsTheNotes()
    {
        writeFile(QStringLiteral("quillet.ini"), "[Options]\r\nOpacity=100\r\nColor=nonsense\r\n");
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=1\r\n" + noteSection(1, QStringLiteral("kept"), 0, 0));
        TForm1 *form = start();
        QCOMPARE(m_errors, QStringList{QStringLiteral("'nonsense' is not a valid integer value.")});
        QCOMPARE(form->notes().size(), 1);
        QCOMPARE(form->notes()[0]->noteColor(), Defaults::noteColor); // the store's fallback is the default
        QCOMPARE(form->settings().opacity(), 100);
        QCOMPARE(form->settings().color(), Defaults::noteColor);
        QVERIFY(form->savesEnabled());
        form->PMNewStickyNoteClick();
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readString(u"Stickie1", u"Title"), QStringLiteral("kept"));
        QCOMPARE(savedStore().readInteger(u"Stickies", u"Total", 0), 2);
        // The unreadable colour is replaced by the one in force.
        QCOMPARE(Profile::load(m_dir.filePath(QStringLiteral("quillet.ini"))).readString(u"Options", u"Color"),
                 QStringLiteral("0x00C0FFFF"));
    }

    // A start-up step that fails is shown, and start-up goes on with the steps after it.
    void start_failingStep_isShownAndTheNotesStillLoad_data()
    {
        QTest::addColumn<QString>("blocked"); // below the test's XDG root, a file where a folder must be
        QTest::addColumn<QString>("error");
        QTest::newRow("start at logon") << "config/autostart"
                                        << "Failed to set data for 'Quillet 1.02'";
        QTest::newRow("file type") << "data/applications"
                                   << "Failed to set data for ''";
    }
    void start_failingStep_isShownAndTheNotesStillLoad()
    {
        QFETCH(QString, blocked);
        QFETCH(QString, error);
        QTemporaryDir xdg;
        m_desktop.use(xdg.path());
        QVERIFY(QDir(xdg.filePath(blocked)).removeRecursively());
        ::writeFile(xdg.filePath(blocked), "in the way");
        writeFile(QStringLiteral("quillet.ini"), "[Options]\r\nOpacity=77\r\nLanguage=Greek\r\n");
        writeFile(QStringLiteral("stickies.ini"), "[Stickies]\r\nTotal=2\r\n" +
                                                      noteSection(1, QStringLiteral("a"), 0, 0) +
                                                      noteSection(2, QStringLiteral("b"), 0, 0));
        TForm1 *form = start();
        QCOMPARE(m_errors, QStringList{error});
        QCOMPARE(form->notes().size(), 2);
        QCOMPARE(form->settings().opacity(), 77);
        QVERIFY(form->menuItem(QStringLiteral("PMLangGreek"))->isChecked());
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readInteger(u"Stickies", u"Total", 0), 2);
    }

    void start_shellIntegration_followsAutoStart_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<bool>("entry");
        QTest::newRow("Auto Start=1") << QByteArray("Auto Start=1") << true;
        QTest::newRow("Auto Start=0") << QByteArray("Auto Start=0") << false;
    }
    void start_shellIntegration_followsAutoStart()
    {
        QFETCH(QByteArray, setting);
        QFETCH(bool, entry);
        // An entry from an earlier start, which "Auto Start=0" takes away.
        ::writeFile(m_desktop.autoStartEntry(), "[Desktop Entry]\nExec=/old/place/quillet\n");
        writeFile(QStringLiteral("quillet.ini"), "[Options]\r\n" + setting + "\r\n");
        start();
        QVERIFY(m_errors.isEmpty());
        const QString program = QCoreApplication::applicationFilePath();
        QCOMPARE(QFile::exists(m_desktop.autoStartEntry()), entry);
        if (entry)
            QVERIFY(::readFile(m_desktop.autoStartEntry()).contains("\nExec=" + QFile::encodeName(program) + '\n'));
        // The file type is registered at every start, with this program and the icon in its resource folder.
        const QByteArray handler = ::readFile(m_desktop.fileTypeHandler());
        QVERIFY(handler.contains("\nExec=" + QFile::encodeName(program) + " %f\n"));
        QVERIFY(handler.contains("\nIcon=" + QFile::encodeName(m_dir.filePath(QStringLiteral("icon.svg"))) + '\n'));
    }

    void exit_settings_valuesNormalisedAndOtherKeysKept()
    {
        writeFile(QStringLiteral("quillet.ini"), "[Options]\r\nOpacity=0x80\r\nMy Key=mine\r\nColor=$0000FFFF\r\n"
                                                 "[Window]\r\nX=1\r\n");
        TForm1 *form = start();
        QCOMPARE(form->settings().opacity(), 128);
        form->PMNewStickyNoteClick();
        QCOMPARE(form->notes()[0]->opacity(), 128);
        QVERIFY(form->FormClose());
        const QByteArray written = readFile(QStringLiteral("quillet.ini"));
        QVERIFY2(written.startsWith("[Options]\r\nOpacity=128\r\nMy Key=mine\r\nColor=clYellow\r\n"), written);
        QVERIFY2(written.endsWith("\r\n[Window]\r\nX=1\r\n"), written);
        const Profile settings = Profile::load(m_dir.filePath(QStringLiteral("quillet.ini")));
        QCOMPARE(settings.readString(u"Options", u"Language"), QStringLiteral("English"));
        QCOMPARE(settings.readString(u"Options", u"Auto Start"), QStringLiteral("1"));
    }

    void exit_storeCannotBeWritten_showsErrorAndKeepsRunning()
    {
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=1\r\n" + noteSection(1, QStringLiteral("n"), 0, 0));
        TForm1 *form = start();
        // A folder where the store's temporary file should go makes the write fail, also for root.
        QFile::remove(m_dir.filePath(QStringLiteral("stickies.ini")));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("stickies.ini")));
        QVERIFY(!form->FormClose());
        QCOMPARE(m_errors.size(), 1);
        QCOMPARE(m_errors[0],
                 QStringLiteral("Unable to write to %1.").arg(m_dir.filePath(QStringLiteral("stickies.ini"))));
        QCOMPARE(form->notes().size(), 1);
        QVERIFY(form->notes()[0]->isVisible());
        // Once the obstacle is gone, the next "Exit" writes everything.
        QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("stickies.ini")));
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readString(u"Stickie1", u"Title"), QStringLiteral("n"));
    }

    void quit_closesNoWindowAsADeletion()
    {
        // Qt answers quit() by closing every window; the program must not take that for the user's closes.
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=1\r\n" + noteSection(1, QStringLiteral("n"), 0, 0));
        TForm1 *form = start();
        form->PMNewStickyNoteClick();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        qApp->exec();
        QCOMPARE(form->notes().size(), 2);
    }

    void closeNote_middleOfFive_renumbersAndSavesTheRest()
    {
        QByteArray store = "[Stickies]\r\nTotal=5\r\n";
        for (int i = 1; i <= 5; ++i)
            store += noteSection(i, QStringLiteral("note %1").arg(i), i * 10, i * 10);
        writeFile(QStringLiteral("stickies.ini"), store);
        TForm1 *form = start();
        TFormSticky *third = form->notes()[2];
        third->close();
        QVERIFY(!third->isVisible());
        QCOMPARE(form->notes().size(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(form->notes()[i]->noteNumber(), i + 1);
        third->close(); // a second close of the same window takes no other note out
        QCOMPARE(form->notes().size(), 4);
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readInteger(u"Stickies", u"Total", 0), 4);
        QCOMPARE(savedStore().readString(u"Stickie3", u"Title"), QStringLiteral("note 4"));
        QVERIFY(!savedStore().hasSection(u"Stickie5"));
    }

    void openNoteFile_afterThreeStoredNotes_becomesNoteFour()
    {
        QByteArray store = "[Stickies]\r\nTotal=3\r\n";
        for (int i = 1; i <= 3; ++i)
            store += noteSection(i, QStringLiteral("n%1").arg(i), 0, 0);
        writeFile(QStringLiteral("stickies.ini"), store);
        writeFile(QStringLiteral("one.stc"), "[Stickie]\r\nTitle=from file\r\nLeft=5\r\nTop=6\r\n");
        TForm1 *form = start(m_dir.filePath(QStringLiteral("one.stc")));
        QCOMPARE(form->notes().size(), 4);
        QCOMPARE(form->notes()[3]->windowTitle(), QStringLiteral("from file"));
        QCOMPARE(form->notes()[3]->noteNumber(), 4);
        QCOMPARE(form->NoteCount(), 3);
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readString(u"Stickie4", u"Title"), QStringLiteral("from file"));
    }

    void openNoteFile_missingFile_opensNoteWithDefaults()
    {
        TForm1 *form = start(m_dir.filePath(QStringLiteral("absent.stc")));
        QCOMPARE(form->notes().size(), 1);
        QCOMPARE(form->notes()[0]->windowTitle(), QString());
        QCOMPARE(form->notes()[0]->noteColor(), Defaults::noteColor);
    }

    void newNote_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("withTime");
        QTest::newRow("afternoon") << QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26)) << true;
        QTest::newRow("midnight") << QDateTime(QDate(2026, 12, 31), QTime(0, 0)) << false;
        QTest::newRow("half a second after midnight") << QDateTime(QDate(2026, 12, 31), QTime(0, 0, 0, 500)) << false;
        QTest::newRow("a second after midnight") << QDateTime(QDate(2026, 12, 31), QTime(0, 0, 1)) << true;
    }
    void newNote()
    {
        QFETCH(QDateTime, now);
        QFETCH(bool, withTime);
        TestClock clock(now);
        writeFile(QStringLiteral("quillet.ini"), "[Options]\r\nOpacity=200\r\nColor=clAqua\r\n");
        TForm1 *form = start();
        form->PMNewStickyNoteClick();
        form->PMNewStickyNoteClick();
        QCOMPARE(form->notes().size(), 2);
        QString title = LocaleTexts::shortDate(now.date());
        if (withTime)
            title += QLatin1Char(' ') + LocaleTexts::longTime(now.time());
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        for (int i = 0; i < 2; ++i) {
            TFormSticky *note = form->notes()[i];
            QCOMPARE(note->windowTitle(), title);
            QCOMPARE(note->noteNumber(), i + 1);
            QCOMPARE(note->pos(), area.topLeft() + QPoint((area.width() - 240) / 2, (area.height() - 180) / 2));
            QCOMPARE(note->opacity(), 200);
            QCOMPARE(note->noteColor(), 0x00FFFF00u);
            QVERIFY(note->toRecord().alarm.countdown);
            QVERIFY(!note->stayOnTop());
            QVERIFY(note->isVisible());
        }
        QCOMPARE(form->NoteCount(), 2);
    }

    void trayToggles_applyToEveryNoteAndFlipBack()
    {
        TForm1 *form = start();
        for (int i = 0; i < 3; ++i)
            form->PMNewStickyNoteClick();
        const auto trigger = [form](const char *name) { form->menuItem(QString::fromLatin1(name))->trigger(); };

        trigger("PMAllOnTop");
        for (TFormSticky *note : form->notes())
            QVERIFY(note->stayOnTop() && note->menuItem(QStringLiteral("PMStayOnTop"))->isChecked());
        trigger("PMAllOnTop");
        for (TFormSticky *note : form->notes())
            QVERIFY(!note->stayOnTop() && !note->menuItem(QStringLiteral("PMStayOnTop"))->isChecked());

        trigger("PMAllLockText");
        form->notes()[1]->PMLockTextClick(); // unlocked on its own; stays so until the next "Lock Text"
        QVERIFY(form->notes()[0]->RichEdit1()->isReadOnly());
        QVERIFY(!form->notes()[1]->lockText());
        trigger("PMAllLockText");
        for (TFormSticky *note : form->notes())
            QVERIFY(!note->lockText() && !note->RichEdit1()->isReadOnly());

        const QRect bounds(form->notes()[0]->pos(), form->notes()[0]->size());
        trigger("PMHideAll");
        for (TFormSticky *note : form->notes())
            QVERIFY(note->isMinimized());
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readInteger(u"Stickie1", u"Left", -1), bounds.x());
        QCOMPARE(savedStore().readInteger(u"Stickie1", u"Width", -1), bounds.width());
        trigger("PMHideAll");
        for (TFormSticky *note : form->notes())
            QVERIFY(!note->isMinimized() && note->isVisible());

        trigger("PMDeleteAll");
        QVERIFY(form->notes().isEmpty());
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readInteger(u"Stickies", u"Total", -1), 0);
    }

    void emptyList_togglesOnlyFlipTheirCheckMarks()
    {
        TForm1 *form = start();
        for (const char *name : {"PMAllOnTop", "PMAllLockText", "PMHideAll"}) {
            QAction *item = form->menuItem(QString::fromLatin1(name));
            QVERIFY(!item->isChecked());
            item->trigger();
            QVERIFY(item->isChecked());
        }
        form->menuItem(QStringLiteral("PMDeleteAll"))->trigger();
        form->StTrayIcon1Click();
        QVERIFY(form->notes().isEmpty());
    }

    void doubleClick_createsOneNoteAndKeepsTheMainFormHidden()
    {
        TForm1 *form = start();
        bool restoreApp = true;
        form->StTrayIcon1DblClick(restoreApp);
        QVERIFY(!restoreApp);
        QCOMPARE(form->notes().size(), 1);
        QVERIFY(!form->isVisible());
    }

    void languageItems_checkTheChosenLanguage()
    {
        TForm1 *form = start();
        QVERIFY(form->menuItem(QStringLiteral("PMLangEnglish"))->isChecked());
        form->menuItem(QStringLiteral("PMLangGreek"))->trigger();
        form->menuItem(QStringLiteral("PMLangGreek"))->trigger();
        QCOMPARE(form->settings().language(), QStringLiteral("Greek"));
        QVERIFY(form->menuItem(QStringLiteral("PMLangGreek"))->isChecked());
        QVERIFY(!form->menuItem(QStringLiteral("PMLangEnglish"))->isChecked());
        QVERIFY(form->FormClose());
        const Profile settings = Profile::load(m_dir.filePath(QStringLiteral("quillet.ini")));
        QCOMPARE(settings.readString(u"Options", u"Language"), QStringLiteral("Greek"));
    }

    void alarms_countdownsResumeFromDue_missedAlarmsRing_deletedNotesDisarm()
    {
        TestClock clock(QDateTime(QDate(2026, 12, 9), QTime(10, 0)));
        const QDateTime utc = clock.now().toUTC();
        const QByteArray today = LocaleTexts::shortDate(clock.now().date()).toUtf8();
        const QByteArray due = utc.addSecs(3600).toString(Qt::ISODate).toUtf8();
        writeFile(QStringLiteral("quillet.ini"),
                  "[Options]\r\nAlarms Checked=" + utc.addSecs(-3600).toString(Qt::ISODate).toUtf8() + "\r\n");
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=4\r\n" +
                      noteSection(1, QStringLiteral("resumed"), 0, 0, "Alarm=1\r\nCountdown=1\r\nDue=" + due + "\r\n") +
                      noteSection(2, QStringLiteral("older file"), 0, 0,
                                  "Alarm=1\r\nCountdown=1\r\nCountStart=2\r\nPeriod=1\r\n") +
                      noteSection(3, QStringLiteral("missed"), 0, 0,
                                  "Alarm=1\r\nCountdown=0\r\nDate=" + today + "\r\nTime=09:30\r\n") +
                      noteSection(4, QStringLiteral("quiet"), 0, 0));
        TForm1 *form = start();
        QTRY_VERIFY(form->notes()[2]->isRinging()); // 9:30 passed while the program did not run
        QVERIFY(!form->notes()[0]->isRinging() && !form->notes()[1]->isRinging());
        QCOMPARE(form->notes()[0]->alarm().countdownRemainder(AlarmClocks::current()), 3600);
        QCOMPARE(form->notes()[1]->alarm().countdownRemainder(AlarmClocks::current()), 7200); // 2 hours afresh
        QVERIFY(form->FormClose());
        const Profile saved = savedStore();
        QCOMPARE(saved.readString(u"Stickie1", u"Due").toUtf8(), due);
        QCOMPARE(saved.readString(u"Stickie2", u"Due"), utc.addSecs(7200).toString(Qt::ISODate));
        QVERIFY(!saved.readBool(u"Stickie3", u"Alarm", true));
        // Beside the eighteen keys only the note's identity and revision: no "Due" without an armed countdown.
        for (const char *quiet : {"Stickie3", "Stickie4"}) {
            QStringList keys = saved.keys(QString::fromLatin1(quiet));
            keys.removeAll(QStringLiteral("Id"));
            keys.removeAll(QStringLiteral("Revision"));
            QCOMPARE(keys.size(), 18);
        }
        QCOMPARE(Profile::load(m_dir.filePath(QStringLiteral("quillet.ini"))).readString(u"Options", u"Alarms Checked"),
                 utc.toString(Qt::ISODate));

        // The deleted notes' windows go, the ringing one with them, and no alarm of theirs is watched any more.
        const QPointer<TFormSticky> deleted = form->notes()[0];
        deleted->close();
        const QPointer<TFormSticky> ringing = form->notes()[1];
        QVERIFY(ringing->isRinging());
        ringing->close();
        QTRY_VERIFY(!deleted && !ringing);
        // The deleted countdown's moment passes: nothing rings, and nothing of the deleted notes is looked at.
        clock.advance(3601 * 1000);
        form->alarms().check(AlarmClocks::current());
        QCOMPARE(form->notes().size(), 2);
        for (const TFormSticky *note : form->notes())
            QVERIFY(!note->isRinging());
    }

    void alarms_missedInAWholeStore_everyOneRings_data()
    {
        QTest::addColumn<bool>("endedWhileLoading");
        QTest::newRow("whole load") << false;
        QTest::newRow("ended while loading, then started again") << true;
    }
    void alarms_missedInAWholeStore_everyOneRings()
    {
        QFETCH(bool, endedWhileLoading);
        TestClock clock(QDateTime(QDate(2026, 12, 9), QTime(10, 0)));
        const QByteArray today = LocaleTexts::shortDate(clock.now().date()).toUtf8();
        const QString lastRun = clock.now().toUTC().addSecs(-3600).toString(Qt::ISODate);
        writeFile(QStringLiteral("quillet.ini"), "[Options]\r\nAlarms Checked=" + lastRun.toUtf8() + "\r\n");
        constexpr int count = 500;
        QByteArray store = "[Stickies]\r\nTotal=" + QByteArray::number(count) + "\r\n";
        for (int i = 1; i <= count; ++i)
            store += noteSection(i, QStringLiteral("n%1").arg(i), i % 40 * 20, i % 30 * 20,
                                 "Alarm=1\r\nCountdown=0\r\nDate=" + today + "\r\nTime=09:30\r\n");
        writeFile(QStringLiteral("stickies.ini"), store);
        const auto settingChecked = [this] {
            return Profile::load(m_dir.filePath(QStringLiteral("quillet.ini")))
                .readString(u"Options", u"Alarms Checked");
        };

        if (endedWhileLoading) {
            // A termination request answered while the notes load: the notes not yet looked at keep both their
            // armed alarm and the setting that tells the next start what they missed.
            QList<bool> rang; // by note, when the store was written
            QTimer::singleShot(0, this, [this, &rang] {
                for (const TFormSticky *note : m_form->notes())
                    rang.append(note->isRinging());
                m_form->closeForTermination();
            });
            start();
            QVERIFY(m_form->isClosed());
            QVERIFY(rang.size() < count);
            QCOMPARE(settingChecked(), lastRun);
            const Profile saved = savedStore();
            for (int i = 0; i < count; ++i)
                QCOMPARE(saved.readBool(QStringLiteral("Stickie%1").arg(i + 1), u"Alarm", false), !rang.value(i));
            m_form.reset();
        }
        TForm1 *form = start();
        QCOMPARE(form->notes().size(), count);
        const auto allRinging = [form] {
            const QList<TFormSticky *> notes = form->notes();
            return std::all_of(notes.cbegin(), notes.cend(), [](const TFormSticky *note) { return note->isRinging(); });
        };
        QTRY_VERIFY(allRinging());
        QVERIFY(form->FormClose());
        QCOMPARE(settingChecked(), clock.now().toUTC().toString(Qt::ISODate));
    }

    void alarms_aSoundThatFails_isReportedOnlyOnceEveryDueNoteRings_data()
    {
        QTest::addColumn<QByteArray>("sound"); // the first note's; the file is made when it has content
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message"); // a pattern
        QTest::newRow("missing") << QByteArray("gone.mp3") << QByteArray() << "^Cannot open file .*gone\\.mp3\\.$";
        QTest::newRow("no MP3 audio") << QByteArray("text.mp3") << QByteArray("no audio here\n").repeated(100)
                                      << "^\\d+ - \\S";
    }
    void alarms_aSoundThatFails_isReportedOnlyOnceEveryDueNoteRings()
    {
        QFETCH(QByteArray, sound);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        TestClock clock(QDateTime(QDate(2026, 12, 9), QTime(10, 0)));
        if (!content.isEmpty())
            writeFile(QString::fromLatin1(sound), content);
        const QByteArray due = "Alarm=1\r\nCountdown=0\r\nDate=" + LocaleTexts::shortDate(clock.now().date()).toUtf8() +
                               "\r\nTime=10:00\r\n";
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=3\r\n" +
                      noteSection(1, QStringLiteral("failing sound"), 0, 0,
                                  due + "Play Sound=1\r\nSound File=" + m_dir.filePath(sound).toUtf8() + "\r\n") +
                      noteSection(2, QStringLiteral("same minute"), 0, 0, due) +
                      noteSection(3, QStringLiteral("same minute too"), 0, 0, due));
        // What a box shown now would hold up: a note not ringing yet, or one disarmed without ringing.
        QStringList heldUp;
        ErrorDialog::setHandler([&](const QString &text) {
            m_errors.append(text);
            for (const TFormSticky *note : m_form->notes()) {
                if (!note->isRinging() || note->alarm().fields.enabled)
                    heldUp.append(note->windowTitle());
            }
        });
        start();
        QTRY_COMPARE(m_errors.size(), 1);
        QVERIFY2(QRegularExpression(message).match(m_errors.first()).hasMatch(), qPrintable(m_errors.first()));
        QCOMPARE(heldUp, QStringList());
    }

    void load_storeThatCannotBeRead_isReportedAndNeverReplaced()
    {
        const QByteArray store = "[Stickies]\r\nTotal=1\r\n" + noteSection(1, QStringLiteral("kept"), 0, 0);
        writeFile(QStringLiteral("stickies.ini"), store);
        // The unread notes' alarms were not watched in this run: the next start must still ring what fell due.
        writeFile(QStringLiteral("quillet.ini"), "[Options]\r\nAlarms Checked=2020-01-02T03:04:05Z\r\n");
        const QString path = m_dir.filePath(QStringLiteral("stickies.ini"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        {
            ReadOnlyFolder unreadable(m_dir.path());
            if (!unreadable.isEffective())
                QSKIP("cannot take the read permission away here");
            start();
        }
        QCOMPARE(m_errors, QStringList{QStringLiteral("Cannot open file %1.").arg(path)});
        // A recovered file of an earlier run is never overwritten.
        const QString earlier =
            path + QStringLiteral(".recovered-") + Clock::current().now().toString(QStringLiteral("yyyy-MM-dd"));
        ::writeFile(earlier, "earlier");
        m_form->PMNewStickyNoteClick();
        m_form->notes()[0]->setWindowTitle(QStringLiteral("typed while unreadable"));
        m_form->saveIfChanged();
        const QString recovered = m_form->recoveredPath();
        QCOMPARE(recovered, earlier + QStringLiteral("-2"));
        QCOMPARE(m_errors.size(), 2);
        QVERIFY(m_errors[1].contains(recovered));
        m_form->PMNewStickyNoteClick();
        QVERIFY(m_form->FormClose());
        QCOMPARE(m_errors.size(), 2); // told once
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(readFile(QStringLiteral("stickies.ini")), store);
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("backups"))));
        QCOMPARE(::readFile(earlier), QByteArray("earlier"));
        QCOMPARE(Profile::load(m_dir.filePath(QStringLiteral("quillet.ini"))).readString(u"Options", u"Alarms Checked"),
                 QStringLiteral("2020-01-02T03:04:05Z"));
        const Profile kept = Profile::load(recovered);
        QCOMPARE(kept.readInteger(u"Stickies", u"Total", 0), 2);
        QCOMPARE(kept.readString(u"Stickie1", u"Title"), QStringLiteral("typed while unreadable"));
    }

    // An older store that is not UTF-8 was written in the code page of the user's system, which the
    // interface language tells; a UTF-8 store is read as UTF-8 whatever the language.
    void load_eightBitStore_readInTheLanguagesCodePage_data()
    {
        QTest::addColumn<QByteArray>("language");
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QString>("shown");
        const QByteArray russian("\xC7\xE0\xEC\xE5\xF2\xEA\xE0");
        QTest::newRow("Russian") << QByteArray("Russian") << russian << QStringLiteral("Заметка");
        QTest::newRow("Bulgarian") << QByteArray("Bulgarian") << russian << QStringLiteral("Заметка");
        QTest::newRow("Greek") << QByteArray("Greek") << QByteArray("\xD3\xE7\xEC\xE5\xDF\xF9\xF3\xE7")
                               << QStringLiteral("Σημείωση");
        QTest::newRow("English") << QByteArray("English") << russian << QStringLiteral("Çàìåòêà");
        QTest::newRow("UTF-8 in Greek") << QByteArray("Greek") << QStringLiteral("Заметка").toUtf8()
                                        << QStringLiteral("Заметка");
    }
    void load_eightBitStore_readInTheLanguagesCodePage()
    {
        QFETCH(QByteArray, language);
        QFETCH(QByteArray, title);
        QFETCH(QString, shown);
        writeFile(QStringLiteral("quillet.ini"), "[Options]\r\nLanguage=" + language + "\r\n");
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=1\r\n[Stickie1]\r\nTitle=" + title + "\r\nSound File=C:\\" + title + ".mp3\r\n");
        TForm1 *form = start();
        QCOMPARE(form->notes()[0]->windowTitle(), shown);
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readString(u"Stickie1", u"Title"), shown);
        QCOMPARE(savedStore().readString(u"Stickie1", u"Sound File"),
                 QStringLiteral("C:\\") + shown + QStringLiteral(".mp3"));
    }

    void deleteThenRestore_notesComeBackAtTheirPlaces_data()
    {
        QTest::addColumn<bool>("deleteAll");
        QTest::newRow("close box") << false;
        QTest::newRow("Delete All") << true;
    }
    void deleteThenRestore_notesComeBackAtTheirPlaces()
    {
        QFETCH(bool, deleteAll);
        TestClock clock;
        QByteArray store = "[Stickies]\r\nTotal=3\r\n";
        for (int i = 1; i <= 3; ++i)
            store += noteSection(i, QStringLiteral("note %1").arg(i), i * 100, i * 50, "Color=clAqua\r\nAlarm=1\r\n");
        writeFile(QStringLiteral("stickies.ini"), store);
        TForm1 *form = start();
        QAction *restore = form->menuItem(QStringLiteral("PMRestoreDeleted"));
        QVERIFY(!restore->isEnabled());
        QList<NoteRecord> deleted;
        if (deleteAll) {
            for (const TFormSticky *note : form->notes())
                deleted.append(note->toRecord());
            form->menuItem(QStringLiteral("PMDeleteAll"))->trigger();
        } else {
            deleted.append(form->notes()[1]->toRecord());
            form->notes()[1]->close();
        }
        // Out of the store at once, and into the trash whole, as one batch, with the moment of the delete.
        QCOMPARE(savedStore().readInteger(u"Stickies", u"Total", -1), 3 - deleted.size());
        NoteTrash trash(NoteTrash::pathBeside(folders().storePath));
        trash.load(NoteDefaults(), clock.now());
        QCOMPARE(trash.lastBatch(), deleted);
        QCOMPARE(trash.entries().first().deleted, clock.now().toUTC());
        QVERIFY(restore->isEnabled());

        restore->trigger();
        QCOMPARE(form->notes().size(), 3);
        for (qsizetype i = 0; i < deleted.size(); ++i) {
            TFormSticky *note = form->notes()[3 - deleted.size() + i];
            // Restored as it was, with a revision of its own that outweighs its delete on other machines.
            NoteRecord restored = note->toRecord();
            QVERIFY(restored.revision != deleted[i].revision);
            restored.revision = deleted[i].revision;
            QCOMPARE(restored, deleted[i]);
            QCOMPARE(note->noteNumber(), 3 - deleted.size() + i + 1);
            QVERIFY(note->isVisible());
        }
        QCOMPARE(savedStore().readInteger(u"Stickies", u"Total", -1), 3);
        trash.load(NoteDefaults(), clock.now());
        QVERIFY(trash.isEmpty());
        QVERIFY(!restore->isEnabled());
        QVERIFY(m_errors.isEmpty());
    }

    void exit_settingsCannotBeWritten_notesAreSavedFirst()
    {
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=1\r\n" + noteSection(1, QStringLiteral("n"), 0, 0));
        TForm1 *form = start();
        form->PMNewStickyNoteClick();
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("quillet.ini")));
        QVERIFY(!form->FormClose());
        QCOMPARE(
            m_errors,
            QStringList{QStringLiteral("Unable to write to %1.").arg(m_dir.filePath(QStringLiteral("quillet.ini")))});
        QCOMPARE(savedStore().readInteger(u"Stickies", u"Total", 0), 2);
    }

    void openNoteFile_notARegularFile_refusedAtOnce_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("endless device") << "/dev/zero";
        QTest::newRow("fifo") << "fifo.stc";
        QTest::newRow("folder") << "folder.stc";
    }
    void openNoteFile_notARegularFile_refusedAtOnce()
    {
        QFETCH(QString, name);
        const QString path = name.startsWith(QLatin1Char('/')) ? name : m_dir.filePath(name);
        if (name == u"fifo.stc")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (name == u"folder.stc")
            QVERIFY(QDir(m_dir.path()).mkdir(name));
        TForm1 *form = start(path);
        form->handleSecondStart(path);
        const QString error = QStringLiteral("Cannot open file %1.").arg(path);
        QCOMPARE(m_errors, QStringList({error, error}));
        QVERIFY(form->notes().isEmpty());
    }

    void load_hugeText_shownCutInALockedNoteAndWrittenBackWhole()
    {
        QString text = QString(100000, QLatin1Char('w'));
        while (text.size() <= TFormSticky::maxShownTextLength)
            text += QStringLiteral(" plain words of a very long note");
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=1\r\n[Stickie1]\r\nTitle=huge\r\nText=" + text.toUtf8() + "\r\n");
        TForm1 *form = start();
        TFormSticky *note = form->notes()[0];
        QVERIFY(note->isTextCut());
        QCOMPARE(note->RichEdit1()->toPlainText().size(), TFormSticky::maxShownTextLength);
        // The word of 100,000 letters wraps anywhere, or its layout would take seconds.
        QCOMPARE(note->RichEdit1()->wordWrapMode(), QTextOption::WrapAnywhere);
        // Unlocking is refused, and the lock the user never chose is not stored.
        note->menuItem(QStringLiteral("PMLockText"))->trigger();
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(note->RichEdit1()->isReadOnly());
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readString(u"Stickie1", u"Text"), text);
        QVERIFY(!savedStore().readBool(u"Stickie1", u"Lock Text", true));
    }

    void autosave_nothingChanged_writesNothing()
    {
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=1\r\n" + noteSection(1, QStringLiteral("n"), 0, 0));
        TForm1 *form = start();
        form->saveIfChanged();
        QFile::remove(m_dir.filePath(QStringLiteral("stickies.ini")));
        // What showing the note left queued runs first; an automatic save it may have asked for then has its turn.
        QCoreApplication::processEvents();
        QTRY_VERIFY_WITH_TIMEOUT(!form->autosavePending(), TForm1::autosaveLimitMs + 5000);
        form->saveIfChanged();
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("stickies.ini"))));
    }

    void load_extremeValues_noteStillShownAndKept_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::newRow("negative size") << QByteArray("Width=-5\r\nHeight=-70000\r\n");
        QTest::newRow("huge size") << QByteArray("Width=2147483647\r\nHeight=99999999\r\n");
        QTest::newRow("opacity out of range") << QByteArray("Opacity=-300\r\n");
        QTest::newRow("huge opacity") << QByteArray("Opacity=0x7FFFFFFF\r\n");
        QTest::newRow("system colour") << QByteArray("Color=clInfoBk\r\n");
        QTest::newRow("colour none") << QByteArray("Color=clNone\r\n");
        QTest::newRow("extreme position") << QByteArray("Left=-2147483648\r\nTop=2147483647\r\n");
        QTest::newRow("every bound at a limit")
            << QByteArray("Left=2147483647\r\nTop=-2147483648\r\nWidth=2147483647\r\nHeight=-2147483648\r\n");
    }
    void load_extremeValues_noteStillShownAndKept()
    {
        QFETCH(QByteArray, keys);
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=1\r\n[Stickie1]\r\nTitle=odd\r\nText=words\r\n" + keys);
        const NoteRecord stored = NoteStore::load(m_dir.filePath(QStringLiteral("stickies.ini")), {}).notes.value(0);
        TForm1 *form = start();
        QCOMPARE(form->notes().size(), 1);
        TFormSticky *note = form->notes()[0];
        QVERIFY(note->isVisible());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(note->pos()));
        QVERIFY(note->width() <= screen.width() && note->height() <= screen.height());
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readString(u"Stickie1", u"Title"), QStringLiteral("odd"));
        QCOMPARE(savedStore().readString(u"Stickie1", u"Text"), QStringLiteral("words"));
        // Where the note was shown is no move of it: the store keeps the position it held.
        QCOMPARE(savedStore().readInteger(u"Stickie1", u"Left", 1), stored.left);
        QCOMPARE(savedStore().readInteger(u"Stickie1", u"Top", 1), stored.top);
        note->move(note->pos() + QPoint(7, 9));
        QVERIFY(form->FormClose());
        QCOMPARE(savedStore().readInteger(u"Stickie1", u"Left", 1), note->x());
        QVERIFY(m_errors.isEmpty());
    }

    void load_noteFarOffScreen_isMovedOntoThePrimaryScreen()
    {
        writeFile(QStringLiteral("stickies.ini"),
                  "[Stickies]\r\nTotal=1\r\n" + noteSection(1, QStringLiteral("lost"), -30000, 40000));
        TForm1 *form = start();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY2(screen.intersects(form->notes()[0]->frameGeometry()), "the note is still off every screen");
    }

    void noNotificationArea_notesCarryTheTrayMenu()
    {
        // The offscreen platform has no notification area, like a desktop without one.
        TForm1 *form = start();
        form->PMNewStickyNoteClick();
        QAction *last = form->notes()[0]->PopupMenu1()->actions().last();
        QCOMPARE(last->menu(), form->PopupMenu1());
        QCOMPARE(last->text(), QStringLiteral("Quillet 1.02"));
        last->menu()->actions().first()->trigger(); // "New Sticky Note" from inside a note
        QCOMPARE(form->notes().size(), 2);
    }

    void secondStart_withAndWithoutFile()
    {
        writeFile(QStringLiteral("two.stc"), "[Stickie]\r\nTitle=handed over\r\n");
        TForm1 *form = start();
        form->handleSecondStart(m_dir.filePath(QStringLiteral("two.stc")));
        form->handleSecondStart(QString());
        QCOMPARE(form->notes().size(), 2);
        QCOMPARE(form->notes()[0]->windowTitle(), QStringLiteral("handed over"));
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
