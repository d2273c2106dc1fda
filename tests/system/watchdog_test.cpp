#include "SystemTest.h"

#include <regex>

namespace {

// The daemon's minute-long sleeps run 60 times faster; the simulated
// controller answers at once, as the shortened serial waits need.
const char* const SPEED_UP = "x60";
const double SECONDS_PER_SIMULATED_MINUTE = 1.0;

const char* const JOURNAL = "/mnt/app/client/hub_events.bin";
const char* const LOG_FILE = "/var/qor-watchdog.log";

// Shell snippets run in the sandbox beside the daemon, in real seconds.
const char* const PID = "$(cat /var/qor-watchdog.pid)";
// Ends the daemon once `count` lines of the controller's record match `pattern`.
std::string endAfter(const std::string& pattern, int count)
{
    return "(while [ \"$(grep -c '" + pattern + "' \"$QOR_SANDBOX/sim-record.jsonl\" 2>/dev/null)\" -lt " +
           std::to_string(count) + " ]; do sleep 0.1; done; kill -KILL " + PID + ") &\n";
}
const char* const IMMEDIATE_REBOOT_DONE = "\"delay\":0";
const char* const REBOOT_REQUEST = "\"sub\":66";

class WatchdogTest : public SystemTest {
protected:
    HubResult watchdog(const std::string& client, Json sim = Json::object(),
                       const std::string& end = endAfter(IMMEDIATE_REBOOT_DONE, 2))
    {
        HubRun run;
        run.command = {"qor-watchdog"};
        run.speedUp = SPEED_UP;
        sim["processing_ms"] = 0;
        sim["wire_time"] = false;
        run.simConfig = sim;
        run.sandboxOptions = {"--collect", LOG_FILE, "--collect", JOURNAL, "--collect", "/var/qor-watchdog.pid"};
        run.setup = "(while [ ! -s /var/qor-watchdog.pid ]; do sleep 0.05; done; " + client + ") &\n" +
                    end;
        run.limitSeconds = 90;
        return runInHub(run);
    }

    // Real seconds from the daemon's start to its first reboot request.
    static double secondsToReboot(const HubResult& result)
    {
        double started = -1;
        for (const auto& line : result.simRecord) {
            if (line.value("event", "") == "started")
                started = line.value("t_ms", 0.0);
            if (line.value("event", "") == "frame" && line.value("code", 0) == 0x23 && line.value("sub", 0) == 0x42)
                return (line.value("t_ms", 0.0) - started) / 1000;
        }
        return -1;
    }

    static void expectOneRebootSequence(const HubResult& result)
    {
        EXPECT_EQ(result.status, 137) << "the daemon never ends by itself";
        EXPECT_NE(result.out.find("qor-watchdog: client has not reported for 960 seconds! Rebooting...\n"),
                  std::string::npos)
            << result.out;
        const std::regex logLine(
            "qor-watchdog: \\[unix-time=-?[0-9]+\\] qor-watchdog: client did not check in!  Rebooting...\n");
        EXPECT_TRUE(std::regex_match(result.collected(LOG_FILE), logLine)) << result.collected(LOG_FILE);

        // First the reboot in 10 s (retried if unanswered), the clock read for
        // the journal, then immediate reboots.
        const auto frames = sent(result);
        ASSERT_GE(frames.size(), 3u);
        EXPECT_EQ(frames[0], (std::vector<int>{0x23, 0x42, 10}));
        size_t i = 1;
        while (i < frames.size() && frames[i] == frames[0])
            ++i;
        ASSERT_LT(i, frames.size());
        EXPECT_EQ(frames[i], (std::vector<int>{0x22, 0x04, 0}));
        for (++i; i < frames.size(); ++i)
            EXPECT_EQ(frames[i], (std::vector<int>{0x23, 0x42, 0}));

        EXPECT_EQ(result.calls("orvelusb").size(), 1u);
        EXPECT_EQ(result.calls("sync").size(), 1u);
        EXPECT_NE(result.err.find("qor-watchdog: reboot failed.  Retrying...\n"), std::string::npos);
    }
};

TEST_F(WatchdogTest, WithoutCheckInsTheBoardIsRebootedAfter960Seconds)
{
    const HubResult result = watchdog("true");
    const std::string pid = result.collected("/var/qor-watchdog.pid");
    EXPECT_TRUE(std::regex_match(pid, std::regex("[0-9]+"))) << "digits only, no line end: " << pid;
    EXPECT_EQ(result.out.substr(0, result.out.find("qor-watchdog: client")),
              "qor-watchdog: wrote " + pid + " to /var/qor-watchdog.pid\nqor-watchdog: started. version=0.7\n");
    expectOneRebootSequence(result);
    EXPECT_NE(result.out.find("qorutil: Wrote hub-event #99 \"\"\n"), std::string::npos);
    const std::string journal = result.collected(JOURNAL);
    const std::string record = std::string("@QOR\x00\x07\xDE\x89\x35\x02\x97\x85\x63\xFF\x00", 15);
    EXPECT_EQ(journal, record) << "one record: event 99, empty text, the controller's time";
    EXPECT_GE(secondsToReboot(result), 15.5 * SECONDS_PER_SIMULATED_MINUTE);
}

TEST_F(WatchdogTest, RegularCheckInsKeepTheBoardUp)
{
    // A check-in every 30 simulated seconds, for 25 simulated minutes.
    const HubResult result =
        watchdog("for i in $(seq 50); do kill -USR1 " + std::string(PID) + "; sleep 0.5; done; kill -KILL " + PID);
    EXPECT_EQ(result.status, 137);
    EXPECT_EQ(result.out.find("Rebooting"), std::string::npos) << result.out;
    EXPECT_TRUE(result.frames().empty());
    EXPECT_FALSE(result.wasCollected(LOG_FILE));
    EXPECT_FALSE(result.wasCollected(JOURNAL));
}

TEST_F(WatchdogTest, TheRebootComesAbout900SecondsAfterTheLastCheckIn)
{
    const HubResult result = watchdog("sleep 6; kill -USR1 " + std::string(PID));
    expectOneRebootSequence(result);
    // Fifteen uninterrupted minutes after the check-in's, not sixteen from the start.
    EXPECT_GE(secondsToReboot(result), (6 + 14.5) * SECONDS_PER_SIMULATED_MINUTE);
}

TEST_F(WatchdogTest, AFloodOfCheckInsIsTakenInStride)
{
    const HubResult result =
        watchdog("sleep 1; for i in $(seq 3000); do kill -USR1 " + std::string(PID) + " || exit; done");
    expectOneRebootSequence(result);
    EXPECT_GE(secondsToReboot(result), 15 * SECONDS_PER_SIMULATED_MINUTE);
}

TEST_F(WatchdogTest, AnUnwritableVarEndsTheStart)
{
    HubRun run;
    run.command = {"qor-watchdog"};
    run.setup = "mount -o remount,ro /var";
    run.limitSeconds = 20;
    const HubResult result = runInHub(run);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "qor-watchdog: failed to open /var/qor-watchdog.pid: Read-only file system\n");
}

TEST_F(WatchdogTest, ARebootGoesOnThroughFailures)
{
    // No controller answer, and no client folder for the journal.
    // Three unanswered attempts for each request: the delayed one and two immediate ones.
    const HubResult result = watchdog("rmdir /mnt/app/client", deadController(), endAfter(REBOOT_REQUEST, 9));
    EXPECT_EQ(result.status, 137);
    EXPECT_NE(result.out.find("client has not reported for 960 seconds"), std::string::npos);
    EXPECT_NE(result.err.find("FSKP: triggerDeviceReboot failed!\n"), std::string::npos);
    EXPECT_NE(result.err.find("/mnt/app/client/hub_events.bin: No such file or directory\n"), std::string::npos);
    EXPECT_NE(result.err.find("qor-watchdog: reboot failed.  Retrying...\n"), std::string::npos);
    EXPECT_TRUE(result.wasCollected(LOG_FILE));
    EXPECT_EQ(result.calls("orvelusb").size(), 1u);
}

}  // namespace
