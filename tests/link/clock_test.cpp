#include "SimTest.h"

#include "PrintKeypad.h"
#include "SerialComm.h"

namespace {

using Json = SimControl::Json;

class ClockTest : public SimTest {
protected:
    bool read(HubRTC& rtc)
    {
        SerialIO port;
        EXPECT_TRUE(port.openSerialPort());
        SerialComm comm(port);
        const bool ok = getHubRTC(comm, rtc);
        port.closeSerialPort();
        return ok;
    }
};

struct BcdCase {
    const char* name;
    std::vector<int> bytes;  // seconds, minutes, hours, day, month, weekday, year
    int stopped, second, minute, hour, day, month, year, weekday;
};

TEST_F(ClockTest, TheBcdReadingIsDecodedAndClipped)
{
    const BcdCase cases[] = {
        {"a running clock", {0x09, 0x05, 0x13, 0x07, 0x03, 0x04, 0x28}, 0, 9, 5, 13, 7, 3, 2024, 4},
        {"stopped flag", {0x80, 0x00, 0x00, 0x01, 0x01, 0x01, 0x00}, 1, 0, 0, 0, 1, 1, 1996, 1},
        {"everything too large", {0xFF, 0x60, 0x24, 0x45, 0x13, 0x1A, 0x99}, 1, 59, 59, 23, 31, 12, 2095, 20},
        {"zero day and month", {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, 0, 0, 0, 1, 1, 1996, 0},
        {"nibbles above 9", {0x1A, 0x0F, 0x0B, 0x2F, 0x0A, 0xFF, 0xFF}, 0, 20, 15, 11, 31, 10, 2161, 165},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.configure({{"clock_bcd", c.bytes}});
        HubRTC rtc;
        ASSERT_TRUE(read(rtc));
        EXPECT_EQ(rtc.stopped, c.stopped);
        EXPECT_EQ(rtc.second, c.second);
        EXPECT_EQ(rtc.minute, c.minute);
        EXPECT_EQ(rtc.hour, c.hour);
        EXPECT_EQ(rtc.day, c.day);
        EXPECT_EQ(rtc.month, c.month);
        EXPECT_EQ(rtc.year, c.year);
        EXPECT_EQ(rtc.weekday, c.weekday);
    }
}

TEST_F(ClockTest, TheClockReadQueryIsSubCommand4)
{
    HubRTC rtc;
    ASSERT_TRUE(read(rtc));
    EXPECT_EQ(commands(), (std::vector<std::pair<int, int>>{{0x22, 0x04}}));
    EXPECT_EQ(rtc.asOrvelTime(), 889362309UL);
}

struct FailedRead {
    const char* name;
    Json config;
};

TEST_F(ClockTest, AFailedOrShortReadLeavesTheRecordAlone)
{
    const FailedRead cases[] = {
        {"no reply", {{"faults", {{"no_reply", true}}}}},
        {"six bytes", {{"clock_length", 6}}},
        {"no payload", {{"clock_length", 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.configure(c.config);
        HubRTC rtc;
        rtc.second = -7;
        rtc.year = -7;
        bool ok = true;
        EXPECT_EQ(stderrOf([&] { ok = read(rtc); }), "FSKP: failed to read chip RTC\n");
        EXPECT_FALSE(ok);
        EXPECT_EQ(rtc.second, -7);
        EXPECT_EQ(rtc.year, -7);
    }
}

TEST_F(ClockTest, SyncSetsTheSystemClockFromTheControllerClock)
{
    const size_t before = SimControl::standinCalls("date").size();
    EXPECT_TRUE(syncSysClock());
    const auto calls = SimControl::standinCalls("date");
    ASSERT_EQ(calls.size(), before + 1);
    EXPECT_EQ(calls.back()["args"], Json::array({"030713052024"}));
}

TEST_F(ClockTest, AFailingDateCommandIsReportedWithItsRawStatus)
{
    SimControl::chooseStatus("date", 1);
    bool ok = true;
    EXPECT_EQ(stderrOf([&] { ok = syncSysClock(); }), "FSKP: date command exited with 256\n");
    EXPECT_FALSE(ok);
}

TEST_F(ClockTest, NoDateCommandRunsWithoutAReading)
{
    const size_t before = SimControl::standinCalls("date").size();
    sim.configure({{"clock_length", 3}});
    bool ok = true;
    EXPECT_EQ(stderrOf([&] { ok = syncSysClock(); }), "FSKP: failed to read chip RTC\n");
    EXPECT_FALSE(ok);
    ASSERT_TRUE(SimControl::removeDevice());
    const std::string missing = stderrOf([&] { ok = syncSysClock(); });
    ASSERT_TRUE(SimControl::restoreDevice());
    EXPECT_EQ(missing, "FSKP: Unable to open serial port!\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(SimControl::standinCalls("date").size(), before);
}

}  // namespace
