#include "PrintKeypad.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(ControllerTime, ConvertsToAndFromUnixTime)
{
    struct Case {
        unsigned long controller;
        long long unix;
    };
    const Case cases[] = {
        {0, 820454400},                    // 1996-01-01 00:00:00
        {889362309, 1709816709},           // 2024-03-07 13:05:09
        {126230399, 946684799},            // 1999-12-31 23:59:59
        {4294967295UL, 5115421695LL},      // 2132-02-07 06:28:15, the end of the scale
    };
    for (const auto& c : cases) {
        EXPECT_EQ(orvelTimeToUnixTime(c.controller), c.unix) << c.controller;
        EXPECT_EQ(unixTimeToOrvelTime(c.unix), c.controller) << c.unix;
    }
}

TEST(ControllerTime, UnixTimesOutsideTheScaleWrap)
{
    EXPECT_EQ(unixTimeToOrvelTime(820454399), 4294967295UL);
    EXPECT_EQ(unixTimeToOrvelTime(5115421696LL), 0UL);
}

TEST(ControllerTime, OnlyTheLow32BitsOfTheControllerTimeCount)
{
    // Where long is wider than 32 bits, upper bits are no part of a controller time.
    const unsigned long wide = static_cast<unsigned long>(~0ULL);
    EXPECT_EQ(orvelTimeToUnixTime(wide), 5115421695LL);
}

// A running clock at 13:05:09 on Thursday 7 March 2024.
HubRTC march7th2024()
{
    HubRTC rtc;
    rtc.stopped = 0;
    rtc.second = 9;
    rtc.minute = 5;
    rtc.hour = 13;
    rtc.day = 7;
    rtc.month = 3;
    rtc.year = 2024;
    rtc.weekday = 4;
    return rtc;
}

TEST(HubClock, AReadingBecomesControllerTime)
{
    HubRTC rtc = march7th2024();
    EXPECT_EQ(rtc.asOrvelTime(), 889362309UL);
    rtc.year = 1996;
    rtc.month = 1;
    rtc.day = 1;
    rtc.hour = rtc.minute = rtc.second = 0;
    EXPECT_EQ(rtc.asOrvelTime(), 0UL);
}

TEST(HubClock, PrintTimeShowsStateAndReading)
{
    HubRTC rtc = march7th2024();
    testing::internal::CaptureStdout();
    rtc.printTime();
    rtc.stopped = 1;
    rtc.printTime();
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nThe clock is running.\n\nCurrent HubRTC: 13:05:09 03/07/2024, wd=04\n\n"
              "\nThe clock has stopped!\n\nCurrent HubRTC: 13:05:09 03/07/2024, wd=04\n\n");
}

TEST(HubClock, ClipIntKeepsValuesInRange)
{
    EXPECT_EQ(clip_int(-1, 0, 59), 0);
    EXPECT_EQ(clip_int(0, 0, 59), 0);
    EXPECT_EQ(clip_int(59, 0, 59), 59);
    EXPECT_EQ(clip_int(85, 0, 59), 59);
    EXPECT_EQ(clip_int(0, 1, 31), 1);
}

std::string formatted(long long t, const char* format)
{
    char* text = timeToString(t, format);
    std::string copy = text;
    delete[] text;
    return copy;
}

TEST(TimeToString, FormatsInUtcAlsoBeyond2038)
{
    EXPECT_EQ(formatted(1709816709, "%m%d%H%M%Y"), "030713052024");
    EXPECT_EQ(formatted(5115421695LL, "%Y-%m-%d %H:%M:%S"), "2132-02-07 06:28:15");
    EXPECT_EQ(formatted(820454400, "%m%d%H%M%Y"), "010100001996");
}

TEST(TimeToString, ATextThatDoesNotFitIsEmpty)
{
    const std::string fits(126, 'x');
    EXPECT_EQ(formatted(0, fits.c_str()), fits);
    const std::string tooLong(127, 'x');
    EXPECT_EQ(formatted(0, tooLong.c_str()), "");
}

}  // namespace
