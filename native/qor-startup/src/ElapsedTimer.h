#pragma once

#include <sys/times.h>

#include <cstdint>

// The largest value of the kernel's signed 32-bit tick counter.
const int32_t MAX_TICK_COUNT = 0x7FFFFFFF;

// Elapsed milliseconds from the clock-tick counter of times(), which keeps
// counting when the calendar clock is set and may wrap around.
class ElapsedTimer {
public:
    ElapsedTimer();
    // With a given tick rate instead of the system's.
    explicit ElapsedTimer(long ticksPerSecond);

    void reset();
    void reset(int32_t ticks);
    int32_t elapsedMillis();
    int32_t elapsedMillis(int32_t now);
    int32_t currentTime();

    static int32_t computeElapsedTicks(int32_t start, int32_t now);

private:
    int32_t startTicks = 0;
    int32_t millisPerTick;
    bool started = false;
    struct tms cpuTimes;
};
