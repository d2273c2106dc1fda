#include "StartupTest.h"

#include "ElapsedTimer.h"

#include <unistd.h>

#include <climits>

namespace {

struct TicksCase {
    int32_t start;
    int32_t now;
    int32_t ticks;
};

TEST(ElapsedTimerTest, TicksBetweenTwoReadings)
{
    const TicksCase cases[] = {
        {100, 150, 50},
        {7, 7, 0},
        {-10, 5, 15},                             // both sides of 0, no wrap
        {2147483637, -2147483643, 16},            // ran past 0x7FFFFFFF into negative values
        {2147483647, -2147483648, 1},             // the smallest full wrap
        {100, 50, 2147483598},                    // taken as a restart at 0 after MAX_TICK_COUNT
        {MAX_TICK_COUNT, 0, 1},                   // restart at 0
        {0, MAX_TICK_COUNT, MAX_TICK_COUNT},
        {-2147483648, 2147483647, -1},            // the difference wraps in 32 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "start " << c.start << ", now " << c.now);
        EXPECT_EQ(ElapsedTimer::computeElapsedTicks(c.start, c.now), c.ticks);
    }
}

struct MillisCase {
    long ticksPerSecond;
    int32_t start;
    int32_t now;
    int32_t millis;
};

TEST(ElapsedTimerTest, MillisecondsAreTicksTimesWholeMillisecondsPerTick)
{
    const MillisCase cases[] = {
        {100, 100, 150, 500},
        {1000, 0, 1234, 1234},
        {60, 0, 3, 48},                    // 1000 / 60 = 16 ms per tick
        {3, 10, 11, 333},
        {100, 2147483637, -2147483643, 160},
        {1, 0, 3000000, -1294967296},      // 3e9 ms wraps in 32 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ticksPerSecond << " ticks/s, " << c.start << " -> " << c.now);
        ElapsedTimer timer(c.ticksPerSecond);
        timer.reset(c.start);
        EXPECT_EQ(timer.elapsedMillis(c.now), c.millis);
    }
}

TEST(ElapsedTimerTest, TickRatesWithoutWholeMillisecondsFailConstruction)
{
    for (long rate : {1001L, 100000L, 0L, -1L, LONG_MIN}) {
        SCOPED_TRACE(rate);
        try {
            ElapsedTimer timer(rate);
            ADD_FAILURE() << "constructed";
        } catch (const OrvelException& e) {
            EXPECT_EQ(e.code, oerr::AssertionFailed);
            EXPECT_FALSE(e.hasDetail);
            EXPECT_TRUE(endsWith(e.source.file, "ElapsedTimer.cpp")) << e.source.file;
        }
    }
}

TEST(ElapsedTimerTest, ElapsedTimeNeedsAStart)
{
    ElapsedTimer timer;
    EXPECT_EQ(outcomeOf([&] { timer.elapsedMillis(); }), raisedWithoutDetail(oerr::AssertionFailed));
    timer.reset(5);
    EXPECT_EQ(outcomeOf([&] { timer.elapsedMillis(); }), NOTHING_RAISED);
}

TEST(ElapsedTimerTest, MeasuresRealTimeFromTheTickCounter)
{
    ElapsedTimer timer;
    timer.reset();
    usleep(300 * 1000);
    const int32_t millis = timer.elapsedMillis();
    EXPECT_GE(millis, 200);
    EXPECT_LT(millis, 10000);
}

}  // namespace
