#include "base/clock.h"

#include <time.h>

qint64 SystemClock::steadyMs() const
{
    // The monotonic clock stops while the machine sleeps; the boot-time clock (Linux) is the same clock
    // with the sleep counted.
#ifdef CLOCK_BOOTTIME
    constexpr clockid_t id = CLOCK_BOOTTIME;
#else
    constexpr clockid_t id = CLOCK_MONOTONIC;
#endif
    timespec time{};
    clock_gettime(id, &time);
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
}
