#include "ElapsedTimer.h"

#include "OrvelException.h"

#include <unistd.h>

ElapsedTimer::ElapsedTimer()
    : ElapsedTimer(sysconf(_SC_CLK_TCK))
{
}

ElapsedTimer::ElapsedTimer(long ticksPerSecond)
    : millisPerTick(ticksPerSecond != 0 ? 1000 / ticksPerSecond : 0), cpuTimes()
{
    assertTrue(millisPerTick > 0, ORVEL_HERE);
}

void ElapsedTimer::reset()
{
    reset(currentTime());
}

void ElapsedTimer::reset(int32_t ticks)
{
    startTicks = ticks;
    started = true;
}

int32_t ElapsedTimer::elapsedMillis()
{
    assertTrue(started, ORVEL_HERE);
    return elapsedMillis(currentTime());
}

// The counter is a signed 32-bit value that wraps in two's complement: the
// arithmetic is done on its bit pattern.
int32_t ElapsedTimer::elapsedMillis(int32_t now)
{
    const uint32_t ticks = static_cast<uint32_t>(computeElapsedTicks(startTicks, now));
    return static_cast<int32_t>(ticks * static_cast<uint32_t>(millisPerTick));
}

int32_t ElapsedTimer::currentTime()
{
    return static_cast<int32_t>(static_cast<uint32_t>(times(&cpuTimes)));
}

int32_t ElapsedTimer::computeElapsedTicks(int32_t start, int32_t now)
{
    const uint32_t from = static_cast<uint32_t>(start);
    const uint32_t to = static_cast<uint32_t>(now);
    if (now >= start)
        return static_cast<int32_t>(to - from);
    const uint32_t max = static_cast<uint32_t>(MAX_TICK_COUNT);
    return static_cast<int32_t>((max - from) + (to & max) + 1u);
}
