#include "base/clock.h"

namespace {
const SystemClock systemClock;
const Clock *installedClock = nullptr;
} // namespace

const Clock &Clock::current()
{
    return installedClock ? *installedClock : systemClock;
}

void Clock::install(const Clock *clock)
{
    installedClock = clock;
}
