#include "alarm/alarm_scheduler.h"

#include <algorithm>
#include <utility>

AlarmScheduler::AlarmScheduler(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    // Coarse timers may come 5 % late: a minute's countdown would ring seconds after its time.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &AlarmScheduler::checkNow);
}

void AlarmScheduler::add(NoteAlarm *alarm, Ring ring)
{
    m_alarms.push_back({alarm, std::move(ring)});
    reschedule();
}

void AlarmScheduler::remove(NoteAlarm *alarm)
{
    std::erase_if(m_alarms, [alarm](const Watched &watched) { return watched.alarm == alarm; });
    reschedule();
}

void AlarmScheduler::reschedule()
{
    // The check comes soon, so that alarms changed or added (a whole store at start-up) are looked at
    // together, and from the event loop, so that a ringing note never starts inside the caller.
    if (m_held)
        m_checkWanted = true;
    else
        m_timer.start(0);
}

void AlarmScheduler::setHeld(bool held)
{
    m_held = held;
    if (!held && std::exchange(m_checkWanted, false))
        reschedule();
}

QDateTime AlarmScheduler::since(const NoteAlarm &alarm) const
{
    return alarm.checkedUntil().isValid() ? alarm.checkedUntil() : m_checkedBeforeStart;
}

QDateTime AlarmScheduler::alarmsChecked(const AlarmClocks &clocks) const
{
    QDateTime until = clocks.now;
    for (const Watched &watched : m_alarms) {
        const NoteAlarm &alarm = *watched.alarm;
        if (!alarm.fields.enabled)
            continue;
        // One that was looked at and can never ring again (its minute over, texts the clock never shows)
        // misses nothing, however long ago that was.
        const QDateTime from = since(alarm);
        if (from.isValid() && from < until && (!alarm.checkedUntil().isValid() || alarm.nextCheckMs(clocks)))
            until = from;
    }
    return until;
}

void AlarmScheduler::checkNow()
{
    check(AlarmClocks::current());
}

void AlarmScheduler::check(const AlarmClocks &clocks)
{
    // Each due alarm is disarmed and rung in one step, so that no alarm is ever off without its note ringing.
    // A ring returns at once (a sound that fails is reported later), so the notes due together all ring now,
    // in the order of the notes.
    const std::vector<Watched> watched = m_alarms;
    for (const Watched &entry : watched) {
        NoteAlarm *alarm = entry.alarm;
        const bool due = alarm->takeIfDue(clocks, since(*alarm));
        alarm->setCheckedUntil(clocks.now);
        if (due)
            entry.ring();
    }

    std::optional<qint64> next;
    for (const Watched &entry : m_alarms) {
        if (const auto at = entry.alarm->nextCheckMs(clocks))
            next = next ? qMin(*next, *at) : *at;
    }
    // A moment already past can only be one whose texts the clock never matches in the end (its minute
    // read differently): it is looked at again a second later rather than at once, over and over.
    if (next)
        m_timer.start(int(qBound<qint64>(1, *next > clocks.steadyMs ? *next - clocks.steadyMs : 1000, maxSleepMs)));
    else
        m_timer.stop();
}
