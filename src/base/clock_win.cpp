#include "base/clock.h"

#include <windows.h>

qint64 SystemClock::steadyMs() const
{
    // Counts on while the machine sleeps, unlike the performance counter's unbiased variants.
    return qint64(GetTickCount64());
}
