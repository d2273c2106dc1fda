// The journal as qor-watchdog writes it: controller time less the UTC offset.
#include "JournalFile.h"
#include "SimTest.h"

#include "PrintKeypad.h"

namespace {

using Json = SimControl::Json;

struct OffsetCase {
    const char* name;
    bool configExists;
    std::string config;
    std::string clock;
    unsigned stored;
    std::string err;
};

class UtcJournalTest : public SimTest {};

TEST_F(UtcJournalTest, TheConfiguredOffsetIsSubtractedFrom2000On)
{
    const std::string big(5000, '#');
    const OffsetCase cases[] = {
        {"no configuration", false, "", "2024-03-07 13:05:09", 889362309, ""},
        {"one hour east", true, "utc-offset=3600\n", "2024-03-07 13:05:09", 889358709, ""},
        {"one hour west", true, "utc-offset=-3600\n", "2024-03-07 13:05:09", 889365909, ""},
        {"five hours west, among other keys", true, "a=1\nutc-offset=-18000\nb=2\n", "2024-03-07 13:05:09",
         889362309 + 18000, ""},
        {"before 2000", true, "utc-offset=3600\n", "1999-12-31 23:59:59", 126230399, ""},
        {"first second of 2000", true, "utc-offset=3600\n", "2000-01-01 00:00:00", 126230400 - 3600, ""},
        {"out of range", true, "utc-offset=90000\n", "2024-03-07 13:05:09", 889362309, "invalid UTC offset\n"},
        {"last line without line end", true, "x=1\nutc-offset=3600", "2024-03-07 13:05:09", 889362309, ""},
        {"no value", true, "utc-offset=\n3600\n", "2024-03-07 13:05:09", 889362309, ""},
        {"carriage return", true, "utc-offset=7200\r\n", "2024-03-07 13:05:09", 889362309 - 7200, ""},
        {"inside a comment", true, "# utc-offset=60\n", "2024-03-07 13:05:09", 889362309 - 60, ""},
        {"not a number", true, "utc-offset=east\n", "2024-03-07 13:05:09", 889362309, ""},
        {"empty file", true, "", "2024-03-07 13:05:09", 889362309, ""},
        {"behind a zero byte", true, std::string("x\0utc-offset=3600\n", 18), "2024-03-07 13:05:09", 889362309, ""},
        {"beyond the first 4095 bytes", true, big + "\nutc-offset=3600\n", "2024-03-07 13:05:09", 889362309, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        unlink("/mnt/app/client/config.properties");
        if (c.configExists)
            std::ofstream("/mnt/app/client/config.properties", std::ios::binary) << c.config;
        removeJournal();
        sim.configure({{"clock", {{"time", c.clock}}}});
        bool ok = false;
        std::string out;
        const std::string err = stderrOf([&] { out = stdoutOf([&] { ok = logHubEvent(99, ""); }); });
        EXPECT_TRUE(ok);
        EXPECT_EQ(err, c.err);
        EXPECT_EQ(out, "qorutil: Wrote hub-event #99 \"\"\n");
        const Bytes journal = journalBytes();
        ASSERT_EQ(journal.size(), 15u);
        EXPECT_EQ(recordTime(journal), c.stored);
    }
}

TEST_F(UtcJournalTest, AnUnreadClockStoresTimeZeroWithoutOffset)
{
    std::ofstream("/mnt/app/client/config.properties") << "utc-offset=-3600\n";
    removeJournal();
    sim.configure({{"faults", {{"no_reply", true}}}});
    bool ok = true;
    stderrOf([&] { stdoutOf([&] { ok = logHubEvent(99, ""); }); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(recordTime(journalBytes()), 0u);
}

}  // namespace
