#include "SystemTest.h"

namespace {

const char* const USAGE =
    "Version 1.2; Usage:\n"
    "\tPrint this QOR's ID:           qorutil\n"
    "\tPrint message to the keyports: qorutil -p \"HELLO WORLD\"\n"
    "\tReboot the QOR:                qorutil --reboot\n"
    "\tReset the chip clock:          qorutil --reset-chip-clock\n"
    "\tPrint MAC Addr & Kernel CRC:   qorutil --redboot-info\n"
    "\tSet system clock from the chip qorutil --sync-sys-clock\n"
    "\tSet chip watchdog seconds (0 to disable):  qorutil --watchdog 90\n"
    "\tDelayed reboot (ARM only) (0 to disable):  qorutil --delayed-reboot 60\n"
    "\tRecord hub event:              qorutil --log-hub-event 1234 \"hello world\"\n"
    "\tGet chip firmware version:     qorutil --fwver\n";

using Frames = std::vector<std::vector<int>>;

class QorutilTest : public SystemTest {
protected:
    HubResult qorutil(std::vector<std::string> args, Json simConfig = Json::object(),
                      std::vector<std::string> sandboxOptions = {})
    {
        HubRun run;
        run.command = {"qorutil"};
        run.command.insert(run.command.end(), args.begin(), args.end());
        run.simConfig = std::move(simConfig);
        run.sandboxOptions = std::move(sandboxOptions);
        return runInHub(run);
    }
};

struct Case {
    const char* name;
    std::vector<std::string> args;
    nlohmann::json sim;
    int status;
    std::string out;
    std::string err;
    Frames frames;
};

const Frames STATUS_AND_TWO_TEXTS = {{0x22, 3, 0}, {0x50, 0x23, 1}, {0x50, 0x23, 2}};
const Frames NO_REPLY(const std::vector<int>& frame)
{
    return Frames(3, frame);
}

TEST_F(QorutilTest, EachOptionRunsItsOperation)
{
    const Json dead = deadController();
    const Case cases[] = {
        {"device ID", {}, {}, 0, "H0ABC017F\n", "", {{0x22, 0x80, 0}, {0x22, 0, 0}}},
        {"device ID, dead controller", {}, dead, 1, "", "", NO_REPLY({0x22, 0x80, 0})},
        {"keypad text", {"-p", "HELLO WORLD"}, {}, 0, "Sending keypad message: \"HELLO WORLD\"\n", "",
         STATUS_AND_TWO_TEXTS},
        {"keypad text, dead controller", {"-p", "HI"}, dead, 0, "Sending keypad message: \"HI\"\n", "",
         NO_REPLY({0x22, 3, 0})},
        {"delayed reboot", {"--delayed-reboot", "60"}, {}, 0, "Flushing file-system buffers...\n", "",
         {{0x23, 0x42, 60}}},
        {"delayed reboot beyond the limit", {"--delayed-reboot", "40000"}, {}, 0,
         "Flushing file-system buffers...\n", "", {{0x23, 0x42, 0}}},
        {"delayed reboot leading digits", {"--delayed-reboot", "90s"}, {}, 0, "Flushing file-system buffers...\n",
         "", {{0x23, 0x42, 90}}},
        {"cancel delayed reboot", {"--delayed-reboot", "0"}, {}, 0, "", "", {{0x22, 0x80, 0}}},
        {"cancel with a non-number", {"--delayed-reboot", "abc"}, {}, 0, "", "", {{0x22, 0x80, 0}}},
        {"delayed reboot, dead controller", {"--delayed-reboot", "-5"}, dead, 1, "",
         "FSKP: triggerDeviceReboot failed!\n", NO_REPLY({0x22, 0x80, 0})},
        {"clock reset", {"--reset-chip-clock"}, {}, 0, "", "", {{0x23, 0x20, 0}}},
        {"clock reset, extra argument", {"--reset-chip-clock", "now"}, {}, 0, "", "", {{0x23, 0x20, 0}}},
        {"clock reset, dead controller", {"--reset-chip-clock"}, dead, 0, "", "FSKP: resetChipRTC failed!\n",
         NO_REPLY({0x23, 0x20, 0})},
        {"boot info, dead controller", {"--redboot-info"}, dead, 0, "", "FSKP: printRedBootInfo failed!\n",
         Frames(15, {0x22, 0x80, 0})},
        {"watchdog", {"--watchdog", "90"}, {}, 0, "", "", {{0x23, 0x40, 90}}},
        {"watchdog 0 disarms", {"--watchdog", "0"}, {}, 0, "", "", {{0x23, 0x41, 0}}},
        {"watchdog non-number disarms", {"--watchdog", "abc"}, {}, 0, "", "", {{0x23, 0x41, 0}}},
        {"watchdog, dead controller", {"--watchdog", "90"}, dead, 1, "", "FSKP: setChipWatchDog failed!\n",
         NO_REPLY({0x23, 0x40, 90})},
        {"firmware version", {"--fwver"}, {{"firmware", 7}}, 0, "7\n", "", {{0x22, 0, 0}}},
        {"firmware version 0", {"--fwver", "x"}, {{"firmware", 0}}, 0, "0\n", "", {{0x22, 0, 0}}},
        {"firmware version, dead controller", {"--fwver"}, dead, 1, "", "Failed to read firmware version!\n",
         NO_REPLY({0x22, 0, 0})},
        {"sync clock, dead controller", {"--sync-sys-clock"}, dead, 1, "", "FSKP: failed to read chip RTC\n",
         NO_REPLY({0x22, 4, 0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HubResult result = qorutil(c.args, c.sim);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(sent(result), c.frames);
    }
}

TEST_F(QorutilTest, WrongUsageShowsTheUsageTextAndSendsNothing)
{
    const std::vector<std::vector<std::string>> wrong = {
        {"--help"},
        {"-p"},
        {"-p", "ONE", "TWO"},
        {"--delayed-reboot"},
        {"--watchdog"},
        {"--watchdog", "1", "2"},
        {"--sync-sys-clock", "now"},
        {"--log-hub-event", "1"},
        {"--log-hub-event", "1", "a", "b"},
        {"-P", "HI"},
        {"--REBOOT"},
        {""},
    };
    for (const auto& args : wrong) {
        SCOPED_TRACE(args[0] + " with " + std::to_string(args.size()) + " arguments");
        const HubResult result = qorutil(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, USAGE);
        EXPECT_TRUE(result.frames().empty());
    }
}

TEST_F(QorutilTest, KeypadTextsTravelAsRawBytesWithoutAShell)
{
    const std::vector<std::string> texts = {"ABCDEFGHIJKLMNOPQRST", "say \"hi\"", "two\nlines", "\xC3\xA9t\xE9",
                                            "$(touch /tmp/injected); `id` | & ; *"};
    for (const auto& text : texts) {
        SCOPED_TRACE(text);
        HubRun run;
        run.command = {"qorutil", "-p", text};
        run.sandboxOptions = {"--collect", "/tmp/injected"};
        const HubResult result = runInHub(run);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "Sending keypad message: \"" + text + "\"\n");
        const std::string shown = text.substr(0, 16);
        EXPECT_EQ(result.keypadTexts(), (Texts{{1, shown}, {2, shown}}));
        EXPECT_FALSE(result.wasCollected("/tmp/injected"));
        EXPECT_TRUE(result.standins.empty());
    }
}

// The identifier and the version are read from fixed payload positions whatever
// the reply's length: positions a short reply does not carry read as 0, never as
// stale memory (under QOR_VALGRIND=1 such a read also fails the run).
TEST_F(QorutilTest, ShortRepliesGiveZeroBytesInTheIdAndTheVersion)
{
    const HubResult shortIdentity = qorutil({}, {{"identity_length", 1}});
    EXPECT_EQ(shortIdentity.status, 0);
    EXPECT_EQ(shortIdentity.out, "H0ABC0100\n") << shortIdentity.err;
    const HubResult noBootInfo = qorutil({}, {{"bootinfo_length", 0}});
    EXPECT_EQ(noBootInfo.status, 0);
    EXPECT_EQ(noBootInfo.out, "H0000007F\n") << noBootInfo.err;
    const HubResult noIdentity = qorutil({"--fwver"}, {{"identity_length", 0}});
    EXPECT_EQ(noIdentity.status, 0);
    EXPECT_EQ(noIdentity.out, "0\n") << noIdentity.err;
}

TEST_F(QorutilTest, BootInfoIsPrinted)
{
    const HubResult result = qorutil({"--redboot-info"}, {{"mac", "00:11:22:0a:bc:01"}});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "MAC: 00 11 22 0a bc 01 \n"
              "RB CRC: de ad be ef \n"
              "Kernel CRC: 01 02 03 04 \n"
              "Raw response (16 bytes)\n"
              "00 00 00 11 22 0a bc 01 de ad be ef 01 02 03 04 \n");
}

TEST_F(QorutilTest, DelayedRebootSyncsFirstAndCancelDoesNot)
{
    const HubResult later = qorutil({"--delayed-reboot", "60"});
    ASSERT_EQ(later.calls("sync").size(), 1u);
    EXPECT_EQ(later.standins.size(), 1u);
    const HubResult cancel = qorutil({"--delayed-reboot", "0"});
    EXPECT_TRUE(cancel.standins.empty());
}

TEST_F(QorutilTest, SyncSetsTheSystemClockThroughDate)
{
    const HubResult result = qorutil({"--sync-sys-clock"});
    EXPECT_EQ(result.status, 0);
    ASSERT_EQ(result.calls("date").size(), 1u);
    EXPECT_EQ(argsOf(result.calls("date")[0]), std::vector<std::string>{"030713052024"});

    const HubResult failing = qorutil({"--sync-sys-clock"}, Json::object(), {"--fail", "date=1"});
    EXPECT_EQ(failing.status, 1);
    EXPECT_EQ(failing.err, "FSKP: date command exited with 256\n");
}

TEST_F(QorutilTest, HubEventsGoToTheJournal)
{
    const HubResult result =
        qorutil({"--log-hub-event", "1234", "hello world"}, Json::object(), {"--collect", "/mnt/app/client/hub_events.bin"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "qorutil: Wrote hub-event #210 \"hello world\"\n");
    const std::string journal = result.collected("/mnt/app/client/hub_events.bin");
    ASSERT_EQ(journal.size(), 26u);
    EXPECT_EQ(journal.substr(0, 4), "@QOR");
    EXPECT_EQ(static_cast<unsigned char>(journal[12]), 210);
    EXPECT_EQ(journal.substr(15), "hello world");

    const HubResult dead = qorutil({"--log-hub-event", "-1", ""}, deadController(),
                                   {"--collect", "/mnt/app/client/hub_events.bin"});
    EXPECT_EQ(dead.status, 1);
    EXPECT_EQ(dead.out, "qorutil: Wrote hub-event #255 \"\"\n");
    EXPECT_EQ(dead.collected("/mnt/app/client/hub_events.bin").substr(8, 4), std::string(4, '\0'));
}

TEST_F(QorutilTest, RebootStopsTheClientArmsTheWatchdogAndRetriesForever)
{
    HubRun run;
    run.command = {"qorutil", "--reboot", "ignored", "arguments"};
    run.speedUp = "x10";
    run.simConfig = {{"processing_ms", 0}, {"wire_time", false}};
    // Ends the run once the third immediate reboot request has arrived.
    run.setup = "(while [ \"$(grep -c '\"delay\":0' \"$QOR_SANDBOX/sim-record.jsonl\")\" -lt 3 ]; do sleep 0.1; done;"
                " pkill -KILL -f 'qorutil --reboot') &";
    run.limitSeconds = 60;
    const HubResult result = runInHub(run);
    EXPECT_EQ(result.status, 137) << "the reboot sequence never ends by itself";
    const std::string start =
        "Killing \"client\" instances...\n"
        "Flushing file-system buffers...\n"
        "Rebooting (attempt 1)...\n"
        "Rebooting (attempt 2)...\n";
    EXPECT_EQ(result.out.substr(0, start.size()), start);
    std::vector<std::string> tools;
    for (const auto& call : result.standins) {
        std::string line = call["tool"].get<std::string>();
        for (const auto& arg : argsOf(call))
            line += " " + arg;
        tools.push_back(line);
    }
    EXPECT_EQ(tools, (std::vector<std::string>{"orvelusb stop", "killall jamvm", "sync"}));
    const Frames frames = sent(result);
    ASSERT_GE(frames.size(), 4u);
    EXPECT_EQ(frames[0], (std::vector<int>{0x23, 0x40, 300}));
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_EQ(frames[i], (std::vector<int>{0x23, 0x42, 0}));
}

}  // namespace
