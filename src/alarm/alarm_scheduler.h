#pragma once

#include "alarm/note_alarm.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

// The one timer behind every note's alarm. A quiet note costs nothing: the scheduler wakes once for the next
// due moment of all armed alarms, and at least once a minute while any is armed, to notice the time of day
// jumping forward (a suspended machine waking, a clock set ahead). Every check looks at the span of the time
// of day since each alarm's last check, so an alarm at a time that fell in such a jump, or between
// alarmsChecked() and the start, rings at once.
class AlarmScheduler : public QObject {
    Q_OBJECT

public:
    using Ring = std::function<void()>;
    static constexpr qint64 maxSleepMs = 60 * 1000;

    explicit AlarmScheduler(QObject *parent = nullptr);

    // Watches alarm (owned by the caller, alive until remove()); ring runs when it fires.
    void add(NoteAlarm *alarm, Ring ring);
    void remove(NoteAlarm *alarm);
    // To be called after an alarm's settings changed.
    void reschedule();

    // Until when alarms were checked: set from the settings before the notes load, advanced by every check.
    QDateTime alarmsChecked() const { return m_checkedUntil; }
    void setAlarmsChecked(const QDateTime &until) { m_missedSince = m_checkedUntil = until; }

    // Runs the check now with the given clocks (the timer runs it with the current ones).
    void check(const AlarmClocks &clocks);
    bool isArmed() const { return m_timer.isActive(); }
    int remainingMs() const { return m_timer.remainingTime(); }

private:
    void checkNow();

    QHash<NoteAlarm *, Ring> m_alarms;
    QTimer m_timer;
    QDateTime m_checkedUntil; // the time of day of the last check
    QDateTime m_missedSince;  // until when alarms were checked before the start; else invalid
};
