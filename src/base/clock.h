#pragma once

#include <QDateTime>

// Where the program reads the time: the time of day, and a steady clock for waiting, which never jumps with a
// changed time of day and goes on counting while the machine is suspended, so that a wait measures the time
// that really passed. Tests replace it to get fixed dates and times and to let time pass without waiting.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Milliseconds on the steady clock, from an arbitrary origin.
    virtual qint64 steadyMs() const = 0;

    // The clock in use; the system clock unless a test installed another.
    static const Clock &current();
    // Installs a clock (nullptr restores the system clock). The caller keeps ownership.
    static void install(const Clock *clock);
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    // The system's own clock of that kind (clock_unix.cpp, clock_win.cpp).
    qint64 steadyMs() const override;
};
