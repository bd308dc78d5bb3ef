#include "alarm/form_alarm.h"
#include "app/form1.h"
#include "note/form_sticky.h"
#include "platform/locale_texts.h"
#include "store/profile.h"
#include "widgets/cspin_edit.h"
#include "widgets/error_dialog.h"

#include "../main_form_fixture.h"
#include "../test_clock.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The alarm dialog as a user meets it: opened from a note of the main form, filled, clicked through, and
// confirmed or closed, against a store in a temporary program folder.
class TestFormAlarm : public QObject, private MainFormFixture {
    Q_OBJECT

private:
    std::unique_ptr<TestClock> m_clock;

    TFormSticky *newNote()
    {
        m_form->PMNewStickyNoteClick();
        return m_form->notes().constLast();
    }
    // Opens the dialog on note and runs act while it is shown; a dialog act leaves open is closed.
    void withDialog(TFormSticky *note, const std::function<void(TFormAlarm *)> &act)
    {
        bool ran = false;
        QTimer::singleShot(0, m_form.get(), [&] {
            TFormAlarm *dialog = m_form->formAlarm();
            ran = dialog->isVisible();
            if (ran)
                act(dialog);
            if (dialog->isVisible())
                dialog->close();
        });
        note->menuItem(u"PMAlarm")->trigger();
        QVERIFY(ran);
    }

private slots:
    void init()
    {
        setUpForm();
        m_clock = std::make_unique<TestClock>(QDateTime(QDate(2026, 12, 9), QTime(14, 5, 33)));
        start();
    }
    void cleanup()
    {
        tearDownForm();
        m_clock.reset();
    }

    void firstOpening_newNote_showsTheDefaults()
    {
        TFormSticky *note = newNote();
        withDialog(note, [&](TFormAlarm *d) {
            QCOMPARE(d->windowTitle(), "Set Alarm");
            QCOMPARE(d->size(), QSize(307, 187));
            QVERIFY(!d->CheckBoxAlarm->isChecked());
            for (QWidget *off : std::initializer_list<QWidget *>{
                     d->RadioButtonIn, d->CSpinEditTime, d->ComboBoxPeriod, d->RadioButtonAt, d->MaskEditTime,
                     d->DateTimePicker1, d->LabelFileSound, d->EditFileSound, d->ButtonSelectSound})
                QVERIFY2(!off->isEnabled(), qPrintable(off->objectName()));
            QVERIFY(d->RadioButtonIn->isChecked() && !d->RadioButtonAt->isChecked());
            QCOMPARE(d->CSpinEditTime->text(), "1");
            QCOMPARE(d->ComboBoxPeriod->currentText(), "minute");
            QCOMPARE(d->DateTimePicker1->date(), QDate(2026, 12, 9));
            QCOMPARE(d->MaskEditTime->maskedText(), "14:06"); // the next whole minute
            QVERIFY(!d->CheckBoxPlaySound->isChecked());
            QCOMPARE(d->EditFileSound->text(), m_dir.filePath(QStringLiteral("alarm/alarm.mp3")));

            // Esc does nothing: there is no Cancel.
            QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(d->isVisible());
            // Ticking "Play Sound" without the alarm enables the sound controls.
            QTest::mouseClick(d->CheckBoxPlaySound, Qt::LeftButton);
            QVERIFY(d->EditFileSound->isEnabled() && d->ButtonSelectSound->isEnabled() &&
                    d->LabelFileSound->isEnabled());
        });
        // Closed by its close box: only "Play Sound" followed the box, nothing was stored.
        const AlarmFields fields = note->alarm().fields;
        QVERIFY(fields.playSound);
        QVERIFY(!fields.enabled && fields.date.isEmpty() && fields.time.isEmpty());
    }

    void ok_writesEveryFieldArmsAndSaves_data()
    {
        QTest::addColumn<bool>("enable");
        QTest::addColumn<bool>("at");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("period");
        QTest::addColumn<QString>("typedTime");
        QTest::addColumn<qint64>("remainder");
        QTest::newRow("in 5 hours") << true << false << 5 << 1 << QString() << qint64(18000);
        QTest::newRow("in 100 months") << true << false << 100 << 4 << QString() << qint64(259200000);
        QTest::newRow("at 15:30") << true << true << 1 << 0 << "1530" << qint64(60);
        QTest::newRow("at 25:99 never fires") << true << true << 1 << 0 << "2599" << qint64(60);
        QTest::newRow("disabled") << false << false << 3 << 2 << QString() << qint64(259200);
    }
    void ok_writesEveryFieldArmsAndSaves()
    {
        QFETCH(bool, enable);
        QFETCH(bool, at);
        QFETCH(int, count);
        QFETCH(int, period);
        QFETCH(QString, typedTime);
        QFETCH(qint64, remainder);
        TFormSticky *note = newNote();
        withDialog(note, [&](TFormAlarm *d) {
            if (enable)
                QTest::mouseClick(d->CheckBoxAlarm, Qt::LeftButton);
            if (at) {
                QTest::mouseClick(d->RadioButtonAt, Qt::LeftButton, {}, QPoint(4, 8));
                QVERIFY(d->MaskEditTime->isEnabled() && d->DateTimePicker1->isEnabled());
                QVERIFY(!d->CSpinEditTime->isEnabled() && !d->RadioButtonIn->isChecked());
                d->MaskEditTime->setFocus();
                d->MaskEditTime->home(false);
                QTest::keyClicks(d->MaskEditTime, typedTime);
            }
            d->CSpinEditTime->setValue(count);
            d->ComboBoxPeriod->setCurrentIndex(period);
            QTest::mouseClick(d->ButtonOk, Qt::LeftButton);
            QVERIFY(!d->isVisible());
        });
        const AlarmFields fields = note->alarm().fields;
        QCOMPARE(fields.enabled, enable);
        QCOMPARE(fields.countdown, !at);
        QCOMPARE(fields.countStart, count);
        QCOMPARE(fields.period, period);
        QCOMPARE(fields.date, LocaleTexts::shortDate(QDate(2026, 12, 9)));
        QCOMPARE(fields.time, at ? typedTime.insert(2, QLatin1Char(':')) : QStringLiteral("14:06"));
        QCOMPARE(note->alarm().countdownRemainder(AlarmClocks::current()), remainder);
        QVERIFY(m_errors.isEmpty());

        // Saved at once, the countdown's due moment with it.
        const Profile saved = savedStore();
        QCOMPARE(saved.readBool(u"Stickie1", u"Alarm", !enable), enable);
        QCOMPARE(saved.readInteger(u"Stickie1", u"CountStart", 0), count);
        QCOMPARE(saved.readString(u"Stickie1", u"Time"), fields.time);
        QCOMPARE(saved.readString(u"Stickie1", u"Due").isEmpty(), !enable || at);
        m_clock->advance(remainder * 1000);
        m_form->alarms().check(AlarmClocks::current());
        QCOMPARE(note->isRinging(), enable && !at);
    }

    void ok_atATimeAlreadyPassed_isRefusedAndTheDialogStaysOpen_data()
    {
        QTest::addColumn<bool>("enable");
        QTest::addColumn<bool>("at");
        QTest::addColumn<int>("days"); // from today
        QTest::addColumn<QString>("time");
        QTest::addColumn<bool>("refused");
        // The clock shows 14:05:33.
        QTest::newRow("a minute ago") << true << true << 0 << "14:04" << true;
        QTest::newRow("yesterday, a later hour") << true << true << -1 << "15:00" << true;
        QTest::newRow("its own minute still runs") << true << true << 0 << "14:05" << false;
        QTest::newRow("tomorrow, an earlier hour") << true << true << 1 << "09:00" << false;
        QTest::newRow("alarm off") << false << true << 0 << "14:04" << false;
        QTest::newRow("countdown") << true << false << 0 << "14:04" << false;
    }
    void ok_atATimeAlreadyPassed_isRefusedAndTheDialogStaysOpen()
    {
        QFETCH(bool, enable);
        QFETCH(bool, at);
        QFETCH(int, days);
        QFETCH(QString, time);
        QFETCH(bool, refused);
        TFormSticky *note = newNote();
        note->alarm().fields = {enable, !at,   1,        0, LocaleTexts::shortDate(QDate(2026, 12, 9).addDays(days)),
                                time,   false, QString()};
        withDialog(note, [&](TFormAlarm *d) {
            QTest::mouseClick(d->ButtonOk, Qt::LeftButton);
            QCOMPARE(d->isVisible(), refused);
            QCOMPARE(m_errors, refused ? QStringList{"The alarm time has already passed."} : QStringList());
        });
        QCOMPARE(savedStore().readString(u"Stickie1", u"Time"), refused ? QString() : time);
    }

    void fill_noteWithoutDate_getsTheNextWholeMinute_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("within a minute") << QDateTime(QDate(2026, 12, 9), QTime(19, 24, 10)) << QDate(2026, 12, 9)
                                         << "19:25";
        QTest::newRow("on the minute") << QDateTime(QDate(2026, 12, 9), QTime(19, 24)) << QDate(2026, 12, 9) << "19:25";
        QTest::newRow("before midnight") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999)) << QDate(2027, 1, 1)
                                         << "00:00";
    }
    void fill_noteWithoutDate_getsTheNextWholeMinute()
    {
        QFETCH(QDateTime, now);
        QFETCH(QDate, date);
        QFETCH(QString, time);
        TFormAlarm *dialog = m_form->formAlarm();
        AlarmFields fields;
        fields.time = QStringLiteral("08:00"); // no date: the time alone is no moment
        dialog->fill(fields, now);
        QCOMPARE(dialog->DateTimePicker1->date(), date);
        QCOMPARE(dialog->MaskEditTime->maskedText(), time);
    }

    void secondNote_showsItsOwnValues_damagedDateOpensOnToday()
    {
        TFormSticky *first = newNote();
        TFormSticky *second = newNote();
        AlarmFields stored;
        stored.enabled = true;
        stored.countdown = false;
        stored.countStart = 7;
        stored.period = 3;
        stored.date = QStringLiteral("31/31/99x");
        stored.time = QStringLiteral(" 9:30");
        stored.playSound = true;
        stored.soundFile = QStringLiteral("/no/such.wav");
        second->alarm().fields = stored;
        withDialog(first, [&](TFormAlarm *d) {
            QTest::mouseClick(d->CheckBoxAlarm, Qt::LeftButton);
            d->CSpinEditTime->setValue(42);
            QTest::mouseClick(d->ButtonOk, Qt::LeftButton);
        });
        withDialog(second, [&](TFormAlarm *d) {
            QCOMPARE(m_errors, QStringList{"'31/31/99x' is not a valid date."});
            QCOMPARE(d->DateTimePicker1->date(), QDate(2026, 12, 9));
            QVERIFY(d->CheckBoxAlarm->isChecked() && d->RadioButtonAt->isChecked() && d->MaskEditTime->isEnabled());
            QCOMPARE(d->CSpinEditTime->text(), "7");
            QCOMPARE(d->ComboBoxPeriod->currentText(), "week");
            QCOMPARE(d->MaskEditTime->maskedText(), " 9:30");
            QVERIFY(d->CheckBoxPlaySound->isChecked() && d->EditFileSound->isEnabled());
            QCOMPARE(d->EditFileSound->text(), stored.soundFile);
            // The file chooser opens beside the program's own sound; cancelling changes nothing.
            QString folder;
            QString answer;
            d->chooseFile = [&](const QString &start, const QString &filter) {
                folder = start;
                [&] { QCOMPARE(filter, "All Supported Files (*.wav *.mp3);;WAV Files (*.wav);;MP3 Files (*.mp3)"); }();
                return answer;
            };
            QTest::mouseClick(d->ButtonSelectSound, Qt::LeftButton);
            QCOMPARE(folder, m_dir.filePath(QStringLiteral("alarm")));
            QCOMPARE(d->EditFileSound->text(), stored.soundFile);
            answer = QStringLiteral("/sounds/bell.wav");
            QTest::mouseClick(d->ButtonSelectSound, Qt::LeftButton);
            QCOMPARE(d->EditFileSound->text(), answer);
        });
        // Closed without OK: the note keeps what it had.
        QCOMPARE(second->alarm().fields, stored);
        QCOMPARE(first->alarm().fields.countStart, 42);
    }

    void enter_pressesOkOnlyWhileOkHasTheFocus_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("pressesOk");
        QTest::newRow("sound file edit") << "EditFileSound" << int(Qt::Key_Return) << false;
        QTest::newRow("time field") << "MaskEditTime" << int(Qt::Key_Return) << false;
        QTest::newRow("date picker") << "DateTimePicker1" << int(Qt::Key_Enter) << false;
        QTest::newRow("Play Sound") << "CheckBoxPlaySound" << int(Qt::Key_Return) << false;
        QTest::newRow("Select") << "ButtonSelectSound" << int(Qt::Key_Return) << false;
        QTest::newRow("OK, Return") << "ButtonOk" << int(Qt::Key_Return) << true;
        QTest::newRow("OK, keypad Enter") << "ButtonOk" << int(Qt::Key_Enter) << true;
    }
    void enter_pressesOkOnlyWhileOkHasTheFocus()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, pressesOk);
        TFormSticky *note = newNote();
        note->alarm().fields = {true, false, 1, 0, LocaleTexts::shortDate(QDate(2026, 12, 9)), "15:00", true, "/a.wav"};
        withDialog(note, [&](TFormAlarm *d) {
            int chooserRuns = 0;
            d->chooseFile = [&chooserRuns](const QString &, const QString &) {
                ++chooserRuns;
                return QString();
            };
            d->activateWindow();
            QWidget *target = d->findChild<QWidget *>(focus);
            target->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(target->hasFocus());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key),
                            key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            QCOMPARE(chooserRuns, 0);
            QCOMPARE(d->isVisible(), !pressesOk);
        });
        QCOMPARE(savedStore().readString(u"Stickie1", u"Time"), pressesOk ? "15:00" : "");
    }

    void anotherNoteRinging_whileOpen_theDialogStillWritesOnlyItsOwnNote()
    {
        TFormSticky *first = newNote();
        TFormSticky *second = newNote();
        second->alarm().fields.enabled = true;
        second->alarm().startCountdown(0, AlarmClocks::current());
        const AlarmFields secondBefore = [&] {
            AlarmFields fields = second->alarm().fields;
            fields.enabled = false; // it rings below
            return fields;
        }();
        withDialog(first, [&](TFormAlarm *d) {
            m_form->alarms().check(AlarmClocks::current());
            QVERIFY(second->isRinging());
            QTest::mouseClick(d->CheckBoxPlaySound, Qt::LeftButton);
            QTest::mouseClick(d->CheckBoxAlarm, Qt::LeftButton);
            d->CSpinEditTime->setValue(9);
            QTest::mouseClick(d->ButtonOk, Qt::LeftButton);
        });
        QVERIFY(first->alarm().fields.playSound && first->alarm().fields.enabled);
        QCOMPARE(first->alarm().fields.countStart, 9);
        QCOMPARE(second->alarm().fields, secondBefore);
    }

    void maskedTime_missingDigit_cannotBeLeftAndEscGivesItBack()
    {
        TFormSticky *note = newNote();
        note->alarm().fields.countdown = false;
        note->alarm().fields.enabled = true;
        note->alarm().fields.date = LocaleTexts::shortDate(QDate(2026, 12, 9));
        note->alarm().fields.time = QStringLiteral("12:00");
        withDialog(note, [&](TFormAlarm *d) {
            d->activateWindow();
            d->MaskEditTime->setFocus();
            QTRY_VERIFY(d->MaskEditTime->hasFocus());
            d->MaskEditTime->end(false);
            QTest::keyClick(d->MaskEditTime, Qt::Key_Backspace);
            QCOMPARE(d->MaskEditTime->maskedText(), "12:0 ");
            d->ButtonOk->setFocus(Qt::TabFocusReason);
            QTRY_COMPARE(m_errors, QStringList{"Invalid input value.  Use escape key to abandon changes."});
            QTRY_VERIFY(d->MaskEditTime->hasFocus());
            QTest::keyClick(d->MaskEditTime, Qt::Key_Escape);
            QCOMPARE(d->MaskEditTime->maskedText(), "12:00");
            QVERIFY(d->isVisible());
        });
    }
};

QTEST_MAIN(TestFormAlarm)
#include "tst_form_alarm.moc"
