#pragma once

#include <QDateTime>

// Where the program reads the time of day. Tests replace it to get fixed dates and times.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // The clock in use; the system clock unless a test installed another.
    static const Clock &current();
    // Installs a clock (nullptr restores the system clock). The caller keeps ownership.
    static void install(const Clock *clock);
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
