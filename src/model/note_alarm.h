#pragma once

#include "store/alarm_fields.h"

#include <QDateTime>
#include <QLocale>

#include <optional>

// The moments the alarm check reads, passed in so that tests can set them.
struct AlarmClocks {
    QDateTime now;   // the time of day
    qint64 steadyMs; // the steady clock (Clock::steadyMs)
    QLocale locale = QLocale::system();

    static AlarmClocks current();
};

// The alarm of one note: its stored settings and, while a countdown runs, when it is due. A countdown runs
// on the steady clock, so it counts the time that really passed, a suspended machine's sleep included,
// whatever the timers' real rate and whatever the time of day does; its due moment on the time of day is
// kept too, so that the store can resume it after a restart ("Due"). An alarm at a date and time follows
// the time of day.
class NoteAlarm {
public:
    // The countdown periods: 0 minute, 1 hour, 2 day, 3 week, 4 month (30 days); -1 for another index.
    static qint64 secondsPerPeriod(int period);

    AlarmFields fields;

    // Arms the countdown to run for seconds from now (the dialog's OK).
    void startCountdown(qint64 seconds, const AlarmClocks &clocks);
    // An armed countdown read from the store: it resumes from due when that is a time, otherwise it starts
    // afresh from CountStart periods; a count or period that gives no length makes it due at once.
    void restoreCountdown(const QDateTime &due, const AlarmClocks &clocks);
    // The countdown seconds left (rounded up), 0 once due or when no countdown runs.
    qint64 countdownRemainder(const AlarmClocks &clocks) const;
    // The due moment of an armed countdown (UTC), for the store; invalid otherwise.
    QDateTime due() const;

    // The moment an alarm at a date and time names: "Date" read with the short date format and "Time" as
    // "HH:MM" on the 24-hour clock; none when either text does not read exactly so.
    std::optional<QDateTime> atMoment(const QLocale &locale) const;

    // Whether the armed alarm is due now: an "At" alarm in its minute (its texts equal today's date and the
    // current hour and minute) or whose moment fell after uncheckedSince (the time of day it was last looked
    // at: before a sleep, before the clock was set forward, before the program ended; invalid when unknown);
    // a countdown whose time is up on the steady clock. A due alarm is disarmed: every alarm fires once.
    bool takeIfDue(const AlarmClocks &clocks, const QDateTime &uncheckedSince = {});
    // When takeIfDue() may next find it due, on the steady clock; none while nothing is armed that can fire.
    std::optional<qint64> nextCheckMs(const AlarmClocks &clocks) const;

    void disarm();

    // The time of day up to which the alarm has been looked at, invalid when never (a note from the store):
    // set when it is armed, so that a moment already past then never rings, and after every check.
    QDateTime checkedUntil() const { return m_checkedUntil; }
    void setCheckedUntil(const QDateTime &until) { m_checkedUntil = until; }

private:
    std::optional<QDateTime> readAtMoment(const QLocale &locale) const;

    std::optional<qint64> m_dueSteadyMs; // an armed countdown's end on the steady clock
    QDateTime m_dueUtc;                  // the same on the time of day
    QDateTime m_checkedUntil;
    // The last reading of the "At" texts: every check of every note asks for it, and reading a date costs a
    // locale parse and a time-zone lookup, which in a large store made the checks the bulk of a start.
    struct AtReading {
        QString date;
        QString time;
        QLocale locale;
        std::optional<QDateTime> moment;
    };
    mutable std::optional<AtReading> m_atReading;
};
