#include "model/note_alarm.h"

#include "base/clock.h"
#include "platform/locale_texts.h"

#include <array>

namespace {

constexpr std::array<qint64, 5> periodSeconds{60, 3600, 86400, 604800, 2592000};
constexpr qint64 minuteMs = 60 * 1000;
// A countdown's due moment on the time of day that is further than this from the steady clock's followed a
// changed time of day.
constexpr qint64 dueDriftMs = 2000;

} // namespace

AlarmClocks AlarmClocks::current()
{
    const Clock &clock = Clock::current();
    return {clock.now(), clock.steadyMs()};
}

qint64 NoteAlarm::secondsPerPeriod(int period)
{
    return period >= 0 && period < int(periodSeconds.size()) ? periodSeconds[period] : -1;
}

void NoteAlarm::startCountdown(qint64 seconds, const AlarmClocks &clocks)
{
    seconds = qMax<qint64>(seconds, 0);
    m_dueSteadyMs = clocks.steadyMs + seconds * 1000;
    m_dueUtc = clocks.now.toUTC().addSecs(seconds);
}

void NoteAlarm::restoreCountdown(const QDateTime &due, const AlarmClocks &clocks)
{
    if (due.isValid()) {
        m_dueUtc = due.toUTC();
        m_dueSteadyMs = clocks.steadyMs + clocks.now.msecsTo(m_dueUtc);
        return;
    }
    const qint64 unit = secondsPerPeriod(fields.period);
    startCountdown(unit > 0 && fields.countStart > 0 ? qint64(fields.countStart) * unit : 0, clocks);
}

qint64 NoteAlarm::countdownRemainder(const AlarmClocks &clocks) const
{
    if (!m_dueSteadyMs)
        return 0;
    const qint64 left = *m_dueSteadyMs - clocks.steadyMs;
    return left > 0 ? (left + 999) / 1000 : 0;
}

QDateTime NoteAlarm::due() const
{
    return fields.enabled && fields.countdown && m_dueSteadyMs ? m_dueUtc : QDateTime();
}

std::optional<QDateTime> NoteAlarm::atMoment(const QLocale &locale) const
{
    if (m_atReading && m_atReading->date == fields.date && m_atReading->time == fields.time &&
        m_atReading->locale == locale)
        return m_atReading->moment;
    m_atReading = AtReading{fields.date, fields.time, locale, readAtMoment(locale)};
    return m_atReading->moment;
}

std::optional<QDateTime> NoteAlarm::readAtMoment(const QLocale &locale) const
{
    // "HH:MM" on the 24-hour clock, exactly five characters.
    const QString &text = fields.time;
    const auto digit = [&text](int i) { return text[i] >= u'0' && text[i] <= u'9' ? text[i].unicode() - u'0' : -1; };
    if (text.size() != 5 || text[2] != u':' || digit(0) < 0 || digit(1) < 0 || digit(3) < 0 || digit(4) < 0)
        return std::nullopt;
    const int hour = digit(0) * 10 + digit(1);
    const int minute = digit(3) * 10 + digit(4);
    const QDate date = LocaleTexts::parseShortDate(fields.date, locale);
    // The check compares texts, so only a date written exactly as today's would be can ever match.
    if (hour > 23 || minute > 59 || !date.isValid() || LocaleTexts::shortDate(date, locale) != fields.date)
        return std::nullopt;
    return QDateTime(date, QTime(hour, minute));
}

bool NoteAlarm::takeIfDue(const AlarmClocks &clocks, const QDateTime &uncheckedSince)
{
    if (!fields.enabled)
        return false;
    bool due = false;
    if (fields.countdown) {
        due = !m_dueSteadyMs || *m_dueSteadyMs <= clocks.steadyMs;
        // The time of day was set: the store's "Due" moves with it, so that a restart resumes the same wait.
        if (!due) {
            const QDateTime onTimeOfDay = clocks.now.toUTC().addMSecs(*m_dueSteadyMs - clocks.steadyMs);
            if (qAbs(onTimeOfDay.msecsTo(m_dueUtc)) > dueDriftMs)
                m_dueUtc = onTimeOfDay;
        }
    } else {
        due = fields.date == LocaleTexts::shortDate(clocks.now.date(), clocks.locale) &&
              fields.time == LocaleTexts::hourMinute(clocks.now.time());
        // A minute that passed unseen: while the program did not run, the machine slept or the clock was set
        // forward over it.
        if (!due && uncheckedSince.isValid()) {
            if (const auto moment = atMoment(clocks.locale))
                due = moment->addSecs(60) > uncheckedSince && *moment <= clocks.now;
        }
    }
    if (due)
        disarm();
    return due;
}

std::optional<qint64> NoteAlarm::nextCheckMs(const AlarmClocks &clocks) const
{
    if (!fields.enabled)
        return std::nullopt;
    if (fields.countdown)
        return m_dueSteadyMs ? *m_dueSteadyMs : clocks.steadyMs;
    const auto moment = atMoment(clocks.locale);
    if (!moment)
        return std::nullopt; // texts that never equal the clock's: it never fires
    const qint64 untilMs = clocks.now.msecsTo(*moment);
    if (untilMs + minuteMs <= 0)
        return std::nullopt; // its minute has passed
    return clocks.steadyMs + qMax<qint64>(untilMs, 0);
}

void NoteAlarm::disarm()
{
    fields.enabled = false;
    m_dueSteadyMs.reset();
    m_dueUtc = {};
}
