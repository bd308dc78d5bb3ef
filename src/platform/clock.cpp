#include "platform/clock.h"

#include <QElapsedTimer>

namespace {
const SystemClock systemClock;
const Clock *installedClock = nullptr;
} // namespace

qint64 SystemClock::steadyMs() const
{
    // A monotonic clock, counted from the first call.
    static const QElapsedTimer origin = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return origin.elapsed();
}

const Clock &Clock::current()
{
    return installedClock ? *installedClock : systemClock;
}

void Clock::install(const Clock *clock)
{
    installedClock = clock;
}
