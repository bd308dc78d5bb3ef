#pragma once

#include "model/note_alarm.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

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

    // Watches alarm (owned by the caller, alive until remove()); ring runs when it fires. A ring must return
    // at once and never run an event loop (no modal dialog): the notes due with it wait for it.
    void add(NoteAlarm *alarm, Ring ring);
    void remove(NoteAlarm *alarm);
    // To be called after an alarm's settings changed.
    void reschedule();
    // While held (a store's notes being made one after another, with the event loop run in between), the
    // alarms added or changed are checked together once released, not at every pass of the loop.
    void setHeld(bool held);

    // Until when the alarms were checked before the start ("Alarms Checked" of the settings, read before the
    // notes load): every alarm that comes in without a check of its own (the store's) was watched until then,
    // however late in the load its note is made, until its first check here.
    void setAlarmsChecked(const QDateTime &until) { m_checkedBeforeStart = until; }
    QDateTime checkedBeforeStart() const { return m_checkedBeforeStart; }
    // Until when every armed alarm that can still ring has been checked, for the settings: the next start
    // rings what fell due after it. The current time when nothing waits.
    QDateTime alarmsChecked(const AlarmClocks &clocks) const;

    // Runs the check now with the given clocks (the timer runs it with the current ones).
    void check(const AlarmClocks &clocks);
    bool isArmed() const { return m_timer.isActive(); }
    int remainingMs() const { return m_timer.remainingTime(); }

private:
    void checkNow();
    // Where the span of an alarm's next check begins.
    QDateTime since(const NoteAlarm &alarm) const;

    struct Watched {
        NoteAlarm *alarm;
        Ring ring;
    };
    std::vector<Watched> m_alarms; // in the order added: the order of the notes
    QTimer m_timer;
    QDateTime m_checkedBeforeStart; // invalid when unknown
    bool m_held = false;
    bool m_checkWanted = false; // a check was asked for while held
};
