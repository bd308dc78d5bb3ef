#pragma once

#include "base/clock.h"

// A clock that stands still until a test moves it; installed for as long as it lives.
class TestClock : public Clock {
public:
    explicit TestClock(QDateTime time = QDateTime(QDate(2026, 12, 9), QTime(14, 30)))
        : m_time(std::move(time))
    {
        Clock::install(this);
    }
    ~TestClock() override { Clock::install(nullptr); }
    TestClock(const TestClock &) = delete;
    TestClock &operator=(const TestClock &) = delete;

    QDateTime now() const override { return m_time; }
    qint64 steadyMs() const override { return m_steadyMs; }

    // Both clocks move on by ms.
    void advance(qint64 ms)
    {
        m_time = m_time.addMSecs(ms);
        m_steadyMs += ms;
    }
    // Only the time of day moves (a clock set ahead, a machine waking from sleep).
    void jumpTimeOfDay(qint64 ms) { m_time = m_time.addMSecs(ms); }
    void setTime(const QDateTime &time) { m_time = time; }

private:
    QDateTime m_time;
    qint64 m_steadyMs = 1000000;
};
