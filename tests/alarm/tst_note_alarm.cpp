#include "../test_clock.h"
#include "alarm/alarm_scheduler.h"
#include "alarm/note_alarm.h"
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
};

QTEST_GUILESS_MAIN(TestNoteAlarm)
#include "tst_note_alarm.moc"
