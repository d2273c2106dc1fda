#include "SandboxTest.h"

#include "PrintKeypad.h"

namespace {

const std::string NODE = "/dev/scsi/host0/bus0/target0/lun0/part1";
const char* const HUB_LOGS = "/var/err1.log /var/err2.log /var/err.log /var/client.log";

// A stick folder behind NODE, mounted at /mnt/cf by the sandbox's mount.
class UsbDeviceTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        if (IsSkipped())
            return;
        shell("mkdir -p /tmp/stick /dev/scsi/host0/bus0/target0/lun0 && touch " + NODE +
              " && printf '%s\\t%s\\n' " + NODE + " /tmp/stick >> $QOR_SANDBOX/usb-map");
        shell(std::string("for f in ") + HUB_LOGS + "; do echo $f > $f; done");
    }

    static void stickScript(const std::string& body)
    {
        shell("printf '#!/bin/sh\\n%s\\n' '" + body + "' > /tmp/stick/authorizer.sh && chmod 755 /tmp/stick/authorizer.sh");
    }

    Outcome process()
    {
        Outcome outcome;
        out = stdoutOf([&] { err = stderrOf([&] { outcome = outcomeOf([&] { drive.processUSBDevice(NODE); }); }); });
        return outcome;
    }

    static std::string logArchiveName()
    {
        std::string id = getAuthID();
        return (id.empty() ? "H________" : id) + "logs.tar.gz";
    }

    static bool mounted() { return std::system("grep -q ' /mnt/cf ' /proc/mounts") == 0; }

    std::string out;
    std::string err;
};

TEST_F(UsbDeviceTest, AScriptOnTheStickRunsWithItsLogAndTheLogsGoOntoTheStick)
{
    stickScript("echo out1; echo err1 >&2; echo out2");
    const std::string archive = "/tmp/stick/" + logArchiveName();
    sim.mark();
    EXPECT_EQ(process(), NOTHING_RAISED);
    EXPECT_TRUE(drive.scriptFound);
    EXPECT_TRUE(drive.deviceProcessed);
    EXPECT_EQ(out, "Processing USB device on " + NODE + "\nFound /mnt/cf/authorizer.sh\n");
    EXPECT_EQ(keypad1(), std::vector<std::string>{"READ USB"});
    EXPECT_EQ(contentOf("/var/auth_usb.log"), "out1\nerr1\nout2\n");
    EXPECT_EQ(std::system(("tar -tzf " + archive + " | tr '\\n' ' ' | grep -qx "
                           "'var/err1.log var/err2.log var/err.log var/client.log var/auth_usb.log '").c_str()),
              0);
    EXPECT_FALSE(exists("/tmp/stick/auth_usb.log"));
    EXPECT_FALSE(mounted());
}

TEST_F(UsbDeviceTest, AnArchivedScriptIsUnpackedRunAndClearedAway)
{
    shell("mkdir -p /tmp/a && printf '#!/bin/sh\\ncat /mnt/app/tmp/note\\n' > /tmp/a/authorizer.sh"
          " && echo from-archive > /tmp/a/note && tar -czf /tmp/stick/authorizer.tar.gz -C /tmp/a ."
          " && mkdir -p /mnt/app/tmp && touch /mnt/app/tmp/stale");
    sim.mark();
    EXPECT_EQ(process(), NOTHING_RAISED);
    EXPECT_TRUE(drive.scriptFound);
    EXPECT_TRUE(drive.deviceProcessed);
    EXPECT_EQ(keypad1(), (std::vector<std::string>{"READ USB", "READ USB"}));
    EXPECT_EQ(contentOf("/var/auth_usb.log"), "from-archive\n");
    EXPECT_EQ(std::system("test -z \"$(ls -A /mnt/app/tmp)\""), 0);
    EXPECT_TRUE(exists("/tmp/stick/" + logArchiveName()));
}

TEST_F(UsbDeviceTest, AFailingScriptLeavesItsLogOnTheStickAndNoLogArchive)
{
    stickScript("echo trying; exit 5");
    EXPECT_EQ(process(), raised(oerr::ScriptFailed, 5));
    EXPECT_TRUE(drive.scriptFound);
    EXPECT_FALSE(drive.deviceProcessed);
    EXPECT_EQ(contentOf("/tmp/stick/auth_usb.log"), "trying\n");
    EXPECT_FALSE(exists("/tmp/stick/" + logArchiveName()));
    EXPECT_FALSE(mounted());
}

TEST_F(UsbDeviceTest, OddScriptsAreReportedAsFailuresToRun)
{
    const char* const cases[] = {
        "mkdir /tmp/stick/authorizer.sh",
        "echo 'echo hi' > /tmp/stick/authorizer.sh && chmod 644 /tmp/stick/authorizer.sh",
    };
    for (const char* setup : cases) {
        SCOPED_TRACE(setup);
        shell(std::string("rm -rf /tmp/stick/* /var/auth_usb.log && ") + setup);
        EXPECT_EQ(process(), raisedWithoutDetail(oerr::ChildProcessFailed));
        EXPECT_EQ(contentOf("/tmp/stick/auth_usb.log").rfind("execvp failing with errno ", 0), 0u);
        EXPECT_FALSE(mounted());
    }
}

TEST_F(UsbDeviceTest, AStickWithoutScriptStillGetsTheLogs)
{
    shell("echo earlier > /var/auth_usb.log");
    // The controller shows texts but does not answer the identity's first query.
    sim.configure({{"faults", {{"no_reply", true}, {"only_code", 0x22}, {"only_sub", 0x80}}}});
    EXPECT_EQ(process(), NOTHING_RAISED);
    EXPECT_EQ(keypad1(), (std::vector<std::string>{"READ USB", "NO FILE"}));
    EXPECT_FALSE(drive.scriptFound);
    EXPECT_TRUE(drive.deviceProcessed);
    EXPECT_EQ(out, "Processing USB device on " + NODE + "\nNo script found\n");
    EXPECT_TRUE(exists("/tmp/stick/H________logs.tar.gz"));
    EXPECT_FALSE(mounted());
}

TEST_F(UsbDeviceTest, AMissingHubLogFailsTheArchiveAndSavesTheScriptLog)
{
    stickScript("echo ran");
    shell("rm /var/client.log");
    EXPECT_EQ(process(), raised(oerr::LogArchiveFailed, 1));
    EXPECT_EQ(contentOf("/tmp/stick/auth_usb.log"), "ran\n");
    EXPECT_FALSE(mounted());
}

TEST_F(UsbDeviceTest, AFailedMountEndsProcessingWithoutTouchingAnything)
{
    stickScript("touch /tmp/script-ran");
    for (int status : {1, 32}) {
        SCOPED_TRACE(status);
        SimControl::chooseStatus("mount", status);
        drive.scriptFound = drive.deviceProcessed = true;
        EXPECT_EQ(process(), NOTHING_RAISED);
        EXPECT_FALSE(drive.scriptFound);
        EXPECT_FALSE(drive.deviceProcessed);
    }
    EXPECT_FALSE(exists("/tmp/script-ran"));
    EXPECT_FALSE(exists("/mnt/app/tmp"));
    EXPECT_TRUE(SimControl::standinCalls("umount").empty());
    EXPECT_EQ(std::system("test \"$(ls -A /tmp/stick)\" = authorizer.sh && test -z \"$(ls -A /mnt/cf)\""), 0);
}

}  // namespace
