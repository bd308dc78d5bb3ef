#include "../test_clock.h"
#include "alarm/alarm_scheduler.h"
#include "model/note_alarm.h"
#include "platform/locale_texts.h"

#include <QTest>

namespace {

const QLocale us(QStringLiteral("en_US"));
const QDateTime start(QDate(2026, 12, 9), QTime(9, 29, 30));

AlarmClocks at(const QDateTime &now, qint64 steadyMs)
{
    return {now, steadyMs, us};
}

// Today's date as the alarm dialog writes it.
QString today()
{
    return LocaleTexts::shortDate(start.date(), us);
}

} // namespace

class TestNoteAlarm : public QObject {
    Q_OBJECT

private slots:
    void localeTexts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("en_US") << "en_US"
                               << "12/9/26"
                               << "12:10:07 AM";
        QTest::newRow("de_DE") << "de_DE"
                               << "09.12.26"
                               << "00:10:07";
    }
    void localeTexts()
    {
        // No time zone after the time, and a date that reads back as the same day.
        QFETCH(QString, locale);
        QFETCH(QString, date);
        QFETCH(QString, time);
        const QLocale l(locale);
        QCOMPARE(LocaleTexts::shortDate(QDate(2026, 12, 9), l), date);
        QCOMPARE(LocaleTexts::longTime(QTime(0, 10, 7), l), time);
        QCOMPARE(LocaleTexts::parseShortDate(date, l), QDate(2026, 12, 9));
    }

    void due_data()
    {
        QTest::addColumn<bool>("countdown");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("countStart");
        QTest::addColumn<int>("period");
        QTest::addColumn<qint64>("afterMs");  // how long after the start the check comes
        QTest::addColumn<qint64>("missedMs"); // alarms last checked this long before the start; 0: unknown
        QTest::addColumn<bool>("due");

        const QString d = today();
        // At a date and time: the texts must equal today's date and the current hour and minute.
        QTest::newRow("at, a second early") << false << d << "09:30" << 1 << 0 << qint64(29000) << qint64(0) << false;
        QTest::newRow("at, its minute") << false << d << "09:30" << 1 << 0 << qint64(30000) << qint64(0) << true;
        QTest::newRow("at, end of its minute") << false << d << "09:30" << 1 << 0 << qint64(89999) << qint64(0) << true;
        QTest::newRow("at, minute past") << false << d << "09:30" << 1 << 0 << qint64(90000) << qint64(0) << false;
        QTest::newRow("at, 9:30 never matches")
            << false << d << "9:30" << 1 << 0 << qint64(30000) << qint64(0) << false;
        QTest::newRow("at, blank hour digit") << false << d << " 9:30" << 1 << 0 << qint64(30000) << qint64(0) << false;
        QTest::newRow("at, trailing blank") << false << d << "09:30 " << 1 << 0 << qint64(30000) << qint64(0) << false;
        QTest::newRow("at, 25:99") << false << d << "25:99" << 1 << 0 << qint64(30000) << qint64(0) << false;
        QTest::newRow("at, other date format") << false << "2026-12-09"
                                               << "09:30" << 1 << 0 << qint64(30000) << qint64(3600000) << false;
        QTest::newRow("at, missed while not running")
            << false << d << "09:00" << 1 << 0 << qint64(0) << qint64(3600000) << true;
        QTest::newRow("at, missed, no record of checks")
            << false << d << "09:00" << 1 << 0 << qint64(0) << qint64(0) << false;
        QTest::newRow("at, before the last check")
            << false << d << "08:00" << 1 << 0 << qint64(0) << qint64(3600000) << false;
        // Countdowns from the store, without "Due": CountStart periods from the start.
        QTest::newRow("2 minutes, early") << true << d << "" << 2 << 0 << qint64(119999) << qint64(0) << false;
        QTest::newRow("2 minutes, on time") << true << d << "" << 2 << 0 << qint64(120000) << qint64(0) << true;
        QTest::newRow("100 months, no overflow")
            << true << d << "" << 100 << 4 << qint64(86400000) << qint64(0) << false;
        QTest::newRow("count 2000000000")
            << true << d << "" << 2000000000 << 4 << qint64(86400000) << qint64(0) << false;
        QTest::newRow("count -5 rings at once") << true << d << "" << -5 << 0 << qint64(0) << qint64(0) << true;
        QTest::newRow("period 9 rings at once") << true << d << "" << 1 << 9 << qint64(0) << qint64(0) << true;
    }
    void due()
    {
        QFETCH(bool, countdown);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(int, countStart);
        QFETCH(int, period);
        QFETCH(qint64, afterMs);
        QFETCH(qint64, missedMs);
        QFETCH(bool, due);
        NoteAlarm alarm;
        alarm.fields = {true, countdown, countStart, period, date, time, false, QString()};
        if (countdown)
            alarm.restoreCountdown(QDateTime(), at(start, 0));
        const QDateTime missedSince = missedMs ? start.addMSecs(-missedMs) : QDateTime();
        QCOMPARE(alarm.takeIfDue(at(start.addMSecs(afterMs), afterMs), missedSince), due);
        // Once: a fired alarm is off, and nothing fires it again.
        QCOMPARE(alarm.fields.enabled, !due);
        if (due)
            QVERIFY(!alarm.takeIfDue(at(start.addMSecs(afterMs), afterMs), missedSince));
    }

    void countdown_remainderAndDueSurviveARestart()
    {
        NoteAlarm alarm;
        alarm.fields.enabled = true;
        alarm.startCountdown(18000, at(start, 0)); // "In" 5 hours
        QCOMPARE(alarm.countdownRemainder(at(start, 0)), 18000);
        QCOMPARE(alarm.countdownRemainder(at(start, 1500)), 17999);
        QCOMPARE(alarm.due(), start.toUTC().addSecs(18000));

        // A later run of the program, an hour on, on a steady clock of its own.
        NoteAlarm resumed;
        resumed.fields = alarm.fields;
        resumed.restoreCountdown(alarm.due(), at(start.addSecs(3600), 5));
        QCOMPARE(resumed.countdownRemainder(at(start.addSecs(3600), 5)), 14400);
        QVERIFY(!resumed.takeIfDue(at(start.addSecs(17999), 5 + 14399000)));
        QVERIFY(resumed.takeIfDue(at(start.addSecs(18000), 5 + 14400000)));
        QVERIFY(!resumed.due().isValid());
    }

    void scheduler_quietAlarmsWakeOnceAMinuteAndRingOnTime()
    {
        TestClock clock(start);
        AlarmScheduler scheduler;
        std::vector<NoteAlarm> alarms(100);
        int rang = 0;
        for (NoteAlarm &alarm : alarms) {
            alarm.fields.enabled = true;
            alarm.startCountdown(86400, AlarmClocks::current());
            scheduler.add(&alarm, [&rang] { ++rang; });
        }
        NoteAlarm soon;
        soon.fields.enabled = true;
        soon.startCountdown(60, AlarmClocks::current());
        scheduler.add(&soon, [&rang] { ++rang; });
        scheduler.check(AlarmClocks::current());
        QVERIFY(scheduler.isArmed());
        QCOMPARE(scheduler.remainingMs(), 60000); // the minute's countdown, to the millisecond
        clock.advance(60000);
        scheduler.check(AlarmClocks::current());
        QCOMPARE(rang, 1);
        QVERIFY(scheduler.remainingMs() > 59000 && scheduler.remainingMs() <= 60000);
    }

    void scheduler_wakesForTheEarliestAlarm_data()
    {
        QTest::addColumn<QList<int>>("countdowns"); // seconds, in the order of the notes
        QTest::newRow("earlier one first") << QList<int>{5, 40};
        QTest::newRow("earlier one last") << QList<int>{40, 5};
    }
    void scheduler_wakesForTheEarliestAlarm()
    {
        QFETCH(QList<int>, countdowns);
        TestClock clock(start);
        AlarmScheduler scheduler;
        std::vector<NoteAlarm> alarms(countdowns.size());
        QList<int> rang;
        for (qsizetype i = 0; i < countdowns.size(); ++i) {
            alarms[i].fields.enabled = true;
            alarms[i].startCountdown(countdowns[i], AlarmClocks::current());
            scheduler.add(&alarms[i], [&rang, seconds = countdowns[i]] { rang.append(seconds); });
        }
        scheduler.check(AlarmClocks::current());
        QCOMPARE(scheduler.remainingMs(), 5000);
        clock.advance(5000);
        scheduler.check(AlarmClocks::current());
        QCOMPARE(rang, QList<int>{5});
        QCOMPARE(scheduler.remainingMs(), 35000);
    }

    void scheduler_missedAlarms_ringHoweverLateTheirNoteIsAdded()
    {
        TestClock clock(start);
        AlarmScheduler scheduler;
        const QDateTime lastRun = start.addSecs(-3600);
        scheduler.setAlarmsChecked(lastRun);
        std::vector<NoteAlarm> alarms(4);
        int rang = 0;
        for (NoteAlarm &alarm : alarms)
            alarm.fields = {true, false, 1, 0, LocaleTexts::shortDate(start.date()), "09:00", false, QString()};
        scheduler.add(&alarms[0], [&rang] { ++rang; });
        scheduler.check(AlarmClocks::current());
        QCOMPARE(rang, 1);
        // The rest of the store comes in later, while the scheduler is held; until each was looked at, the
        // setting stays where it was, and the release checks them all.
        clock.advance(50);
        scheduler.setHeld(true);
        for (std::size_t i = 1; i < alarms.size(); ++i)
            scheduler.add(&alarms[i], [&rang] { ++rang; });
        QVERIFY(!scheduler.isArmed());
        QCOMPARE(scheduler.alarmsChecked(AlarmClocks::current()), lastRun);
        scheduler.setHeld(false);
        QTRY_COMPARE(rang, 4);
        QCOMPARE(scheduler.alarmsChecked(AlarmClocks::current()), clock.now());
    }

    void scheduler_timeOfDayJumpingForward_ringsWhatFellInTheJump()
    {
        TestClock clock(start);
        AlarmScheduler scheduler;
        NoteAlarm at10;
        at10.fields = {true, false, 1, 0, LocaleTexts::shortDate(start.date()), QStringLiteral("10:00"), false, {}};
        bool rang = false;
        scheduler.add(&at10, [&rang] { rang = true; });
        scheduler.check(AlarmClocks::current());
        // The machine sleeps from 9:29:30 to 11:00; its steady clock counts one minute of it.
        clock.advance(60000);
        clock.jumpTimeOfDay(qint64(89) * 60000);
        scheduler.check(AlarmClocks::current());
        QVERIFY(rang);
        QVERIFY(!at10.fields.enabled);
    }

    void countdown_countsElapsedTimeWhateverTheTimeOfDayDoes_data()
    {
        QTest::addColumn<qint64>("shiftMs"); // the time of day set forward or back half an hour in
        QTest::addColumn<qint64>("sleptMs"); // then the machine is suspended this long (both clocks run on)
        QTest::addColumn<qint64>("laterMs"); // and the check comes this long after the shift or the wake
        QTest::addColumn<bool>("due");
        const qint64 hour = 3600000;
        // "In 2 hours" set at 9:29:30.
        QTest::newRow("set 2.5 h forward, a minute on") << 5 * hour / 2 << qint64(0) << qint64(60000) << false;
        QTest::newRow("set 2.5 h forward, 1.5 h on") << 5 * hour / 2 << qint64(0) << 3 * hour / 2 << true;
        QTest::newRow("set 1 h back, 1.5 h on") << -hour << qint64(0) << 3 * hour / 2 << true;
        QTest::newRow("asleep for 3 h") << qint64(0) << 3 * hour << qint64(0) << true;
        QTest::newRow("asleep for 1 h") << qint64(0) << hour << qint64(0) << false;
    }
    void countdown_countsElapsedTimeWhateverTheTimeOfDayDoes()
    {
        QFETCH(qint64, shiftMs);
        QFETCH(qint64, sleptMs);
        QFETCH(qint64, laterMs);
        QFETCH(bool, due);
        TestClock clock(start);
        AlarmScheduler scheduler;
        NoteAlarm alarm;
        alarm.fields.enabled = true;
        alarm.startCountdown(7200, AlarmClocks::current());
        bool rang = false;
        scheduler.add(&alarm, [&rang] { rang = true; });
        scheduler.check(AlarmClocks::current());
        clock.advance(1800000);
        scheduler.check(AlarmClocks::current());
        clock.jumpTimeOfDay(shiftMs);
        clock.advance(sleptMs);
        scheduler.check(AlarmClocks::current());
        clock.advance(laterMs);
        scheduler.check(AlarmClocks::current());
        QCOMPARE(rang, due);
        // What the store keeps for a restart is the same moment on the new time of day.
        if (!due)
            QCOMPARE(alarm.due(), start.toUTC().addMSecs(7200000 + shiftMs));
    }

    void at_afterASleepOrAClockSetForward_ringsOnlyWhatFellDueWhileWatched_data()
    {
        QTest::addColumn<bool>("clockSet"); // the time of day set forward; otherwise the machine slept
        QTest::addColumn<QString>("time");
        QTest::addColumn<bool>("rings");
        // Idle from 9:29:30 (no alarm armed); an hour on the alarm is set; then an hour passes in one step.
        QTest::newRow("asleep, set for a time already past") << false << "10:00" << false;
        QTest::newRow("clock set, set for a time already past") << true << "10:00" << false;
        QTest::newRow("asleep, its moment in the sleep") << false << "11:00" << true;
        QTest::newRow("clock set, its moment in the jump") << true << "11:00" << true;
        QTest::newRow("asleep, its moment still ahead") << false << "12:00" << false;
    }
    void at_afterASleepOrAClockSetForward_ringsOnlyWhatFellDueWhileWatched()
    {
        QFETCH(bool, clockSet);
        QFETCH(QString, time);
        QFETCH(bool, rings);
        TestClock clock(start);
        AlarmScheduler scheduler;
        NoteAlarm alarm;
        bool rang = false;
        scheduler.add(&alarm, [&rang] { rang = true; });
        scheduler.check(AlarmClocks::current());
        const auto pass = [&](qint64 ms) { clockSet ? clock.jumpTimeOfDay(ms) : clock.advance(ms); };
        pass(3600000);
        alarm.fields = {true, false, 1, 0, LocaleTexts::shortDate(start.date()), time, false, QString()};
        alarm.setCheckedUntil(clock.now()); // armed now, as the dialog's OK does
        scheduler.reschedule();
        scheduler.check(AlarmClocks::current());
        QVERIFY(!rang);
        pass(3600000);
        scheduler.check(AlarmClocks::current());
        QCOMPARE(rang, rings);
    }
};

QTEST_GUILESS_MAIN(TestNoteAlarm)
#include "tst_note_alarm.moc"
