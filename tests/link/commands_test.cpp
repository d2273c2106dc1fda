#include "SimTest.h"

#include "LedBlink.h"
#include "PrintKeypad.h"

namespace {

using Json = SimControl::Json;

struct Sent {
    int code;
    int sub;
    int param1;
    int param2;
    bool operator==(const Sent& other) const
    {
        return code == other.code && sub == other.sub && param1 == other.param1 && param2 == other.param2;
    }
};

std::ostream& operator<<(std::ostream& out, const Sent& s)
{
    return out << "{code " << s.code << " sub " << s.sub << " p1 " << s.param1 << " p2 " << s.param2 << "}";
}

class CommandTest : public SimTest {
protected:
    std::vector<Sent> sent() const
    {
        std::vector<Sent> list;
        for (auto& f : sim.frames())
            list.push_back({f["code"], f["sub"], f["param1"], f["param2"]});
        return list;
    }
};

struct CommandCase {
    const char* name;
    std::function<bool()> call;
    std::vector<Sent> frames;
};

TEST_F(CommandTest, EachCommandSendsItsFrame)
{
    const CommandCase cases[] = {
        {"reboot now", [] { return triggerDeviceReboot(0); }, {{0x23, 0x42, 0, 0}}},
        {"reboot in 10 s", [] { return triggerDeviceReboot(10); }, {{0x23, 0x42, 10, 0}}},
        {"longest delay", [] { return triggerDeviceReboot(32767); }, {{0x23, 0x42, 32767, 0}}},
        {"too long a delay means now", [] { return triggerDeviceReboot(40000); }, {{0x23, 0x42, 0, 0}}},
        {"negative delay cancels", [] { return triggerDeviceReboot(-1); }, {{0x22, 0x80, 0, 0}}},
        {"watchdog 300 s", [] { return setChipWatchDog(300); }, {{0x23, 0x40, 300, 0}}},
        {"watchdog period keeps 16 bits", [] { return setChipWatchDog(70000); }, {{0x23, 0x40, 4464, 0}}},
        {"watchdog 0 disarms", [] { return setChipWatchDog(0); }, {{0x23, 0x41, 0, 0}}},
        {"negative watchdog disarms", [] { return setChipWatchDog(-5); }, {{0x23, 0x41, 0, 0}}},
        {"blink 1 1", [] { return blinkLeds(1, 1); }, {{0x73, 0, 0x0101, 0x0101}}},
        {"blink 2 5", [] { return blinkLeds(2, 5); }, {{0x73, 1, 0x0202, 0x0505}}},
        {"blink keeps low bytes", [] { return blinkLeds(0x1FF, 0x102); }, {{0x73, 1, 0xFFFF, 0x0202}}},
        {"stop blinking", [] { return stopBlinkLeds(); }, {{0x73, 0, 0, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.configure(Json::object());
        EXPECT_TRUE(c.call());
        EXPECT_EQ(sent(), c.frames);
    }
}

TEST_F(CommandTest, TheClockResetCarriesTheResetTime)
{
    resetChipRTC();
    const auto frames = sim.frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0]["code"], 0x23);
    EXPECT_EQ(frames[0]["sub"], 0x20);
    EXPECT_EQ(frames[0]["payload"], "0000000101010000");
    EXPECT_EQ(frames[0]["raw"].get<std::string>().size(), 2u * 22);
}

struct FailureCase {
    const char* name;
    std::function<void()> call;
    const char* message;
};

TEST_F(CommandTest, AFailedCommandSaysSoOnce)
{
    const FailureCase cases[] = {
        {"reboot", [] { EXPECT_FALSE(triggerDeviceReboot(0)); }, "FSKP: triggerDeviceReboot failed!\n"},
        {"cancel", [] { EXPECT_FALSE(triggerDeviceReboot(-1)); }, "FSKP: triggerDeviceReboot failed!\n"},
        {"watchdog", [] { EXPECT_FALSE(setChipWatchDog(300)); }, "FSKP: setChipWatchDog failed!\n"},
        {"clock reset", [] { resetChipRTC(); }, "FSKP: resetChipRTC failed!\n"},
        {"boot info", [] { EXPECT_FALSE(printRedBootInfo()); }, "FSKP: printRedBootInfo failed!\n"},
        {"firmware", [] { EXPECT_EQ(getFWVer(), -1); }, "Failed to read firmware version!\n"},
        {"identifier", [] { EXPECT_EQ(getAuthID(), ""); }, ""},
        {"leds", [] { EXPECT_FALSE(blinkLeds(1, 1)); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.configure({{"faults", {{"no_reply", true}}}});
        EXPECT_EQ(stderrOf(c.call), c.message);
    }
}

TEST_F(CommandTest, AMissingDeviceIsReportedAsSuch)
{
    ASSERT_TRUE(SimControl::removeDevice());
    std::string reboot, watchdog, firmware, identifier;
    reboot = stderrOf([] { EXPECT_FALSE(triggerDeviceReboot(0)); });
    watchdog = stderrOf([] { EXPECT_FALSE(setChipWatchDog(0)); });
    firmware = stderrOf([] { EXPECT_EQ(getFWVer(), -1); });
    identifier = stderrOf([] { EXPECT_EQ(getAuthID(), ""); });
    ASSERT_TRUE(SimControl::restoreDevice());
    EXPECT_EQ(reboot, "FSKP: Unable to open serial port!\n");
    EXPECT_EQ(watchdog, "FSKP: Unable to open serial port!\n");
    EXPECT_EQ(firmware, "Failed to read firmware version!\n");
    EXPECT_EQ(identifier, "");
}

TEST_F(CommandTest, FirmwareVersionIsPayloadByte1)
{
    for (int version : {7, 0, 255}) {
        sim.configure({{"firmware", version}});
        EXPECT_EQ(getFWVer(), version);
    }
}

TEST_F(CommandTest, TheIdentifierJoinsIdentityCharacterMacTailAndIdentityByte)
{
    sim.configure({{"identity", "H"}, {"mac", "00:11:22:0a:bc:01"}, {"identity_byte6", 0x7F}});
    EXPECT_EQ(getAuthID(), "H0ABC017F");
    EXPECT_EQ(sent(), (std::vector<Sent>{{0x22, 0x80, 0, 0}, {0x22, 0, 0, 0}}));
    sim.configure({{"identity", "Q"}, {"mac", "ff:ff:ff:00:05:ff"}, {"identity_byte6", 0}});
    EXPECT_EQ(getAuthID(), "Q0005FF00");
}

TEST_F(CommandTest, NoIdentityQueryFollowsAFailedBootInfoQuery)
{
    sim.configure({{"faults", {{"no_reply", true}, {"only_sub", 0x80}}}});
    EXPECT_EQ(getAuthID(), "");
    EXPECT_EQ(sent(), (std::vector<Sent>(3, {0x22, 0x80, 0, 0})));
}

TEST_F(CommandTest, BootInfoPrintsMacChecksumsAndTheRawReply)
{
    sim.configure({{"mac", "00:11:22:0a:bc:01"}, {"bootloader_crc", "deadbeef"}, {"kernel_crc", "01020304"}});
    bool ok = false;
    const std::string out = stdoutOf([&] { ok = printRedBootInfo(); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(out,
              "MAC: 00 11 22 0a bc 01 \n"
              "RB CRC: de ad be ef \n"
              "Kernel CRC: 01 02 03 04 \n"
              "Raw response (16 bytes)\n"
              "00 00 00 11 22 0a bc 01 de ad be ef 01 02 03 04 \n");
    EXPECT_EQ(sent().size(), 1u);
}

TEST_F(CommandTest, BootInfoAsksUpToFiveTimesForASixteenByteReply)
{
    sim.configure({{"bootinfo_length", 12}});
    bool ok = true;
    std::string out;
    const std::string err = stderrOf([&] { out = stdoutOf([&] { ok = printRedBootInfo(); }); });
    EXPECT_FALSE(ok) << "no 16-byte reply is a failure";
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "FSKP: printRedBootInfo failed!\n");
    EXPECT_EQ(sent(), (std::vector<Sent>(5, {0x22, 0x80, 0, 0})));
}

TEST_F(CommandTest, BootInfoAfterOneLostExchangeStillPrints)
{
    sim.configure({{"faults", {{"drop_first", 3}}}});
    bool ok = false;
    const std::string out = stdoutOf([&] { ok = printRedBootInfo(); });
    EXPECT_TRUE(ok);
    EXPECT_NE(out.find("MAC: "), std::string::npos);
    EXPECT_EQ(sent().size(), 4u);
}

}  // namespace
