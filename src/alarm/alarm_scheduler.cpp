#include "alarm/alarm_scheduler.h"

#include <QList>

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
    m_alarms.insert(alarm, std::move(ring));
    reschedule();
}

void AlarmScheduler::remove(NoteAlarm *alarm)
{
    m_alarms.remove(alarm);
    reschedule();
}

void AlarmScheduler::reschedule()
{
    // The check comes soon, so that alarms changed or added (a whole store at start-up) are looked at
    // together, and from the event loop, so that a ringing note never starts inside the caller.
    m_timer.start(0);
}

QDateTime AlarmScheduler::alarmsChecked(const AlarmClocks &clocks) const
{
    QDateTime until = clocks.now;
    for (auto it = m_alarms.cbegin(); it != m_alarms.cend(); ++it) {
        const NoteAlarm *alarm = it.key();
        if (!alarm->fields.enabled)
            continue;
        // One that was looked at and can never ring again (its minute over, texts the clock never shows)
        // misses nothing, however long ago that was.
        const QDateTime since = alarm->checkedUntil().isValid() ? alarm->checkedUntil() : m_checkedBeforeStart;
        if (since.isValid() && since < until && (!alarm->checkedUntil().isValid() || alarm->nextCheckMs(clocks)))
            until = since;
    }
    return until;
}

void AlarmScheduler::checkNow()
{
    check(AlarmClocks::current());
}

void AlarmScheduler::check(const AlarmClocks &clocks)
{
    QList<Ring> rings;
    for (auto it = m_alarms.begin(); it != m_alarms.end(); ++it) {
        NoteAlarm *alarm = it.key();
        const QDateTime since = alarm->checkedUntil().isValid() ? alarm->checkedUntil() : m_checkedBeforeStart;
        if (alarm->takeIfDue(clocks, since))
            rings.append(it.value());
        alarm->setCheckedUntil(clocks.now);
    }

    std::optional<qint64> next;
    for (auto it = m_alarms.cbegin(); it != m_alarms.cend(); ++it) {
        if (const auto at = it.key()->nextCheckMs(clocks))
            next = next ? qMin(*next, *at) : *at;
    }
    // A moment already past can only be one whose texts the clock never matches in the end (its minute
    // read differently): it is looked at again a second later rather than at once, over and over.
    if (next)
        m_timer.start(int(qBound<qint64>(1, *next > clocks.steadyMs ? *next - clocks.steadyMs : 1000, maxSleepMs)));
    else
        m_timer.stop();
    // Last, as a ring may show a dialog (a sound that cannot be played) that runs the event loop.
    for (const Ring &ring : std::as_const(rings))
        ring();
}
