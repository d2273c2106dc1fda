#include "SandboxTest.h"

#include <algorithm>

namespace {

const std::string STICK_NODE = "/dev/scsi/host0/bus0/target0/lun0/part1";

class MountTest : public SandboxTest {};

TEST_F(MountTest, EveryNonZeroStatusOfMountIsAFailedMount)
{
    const std::pair<int, bool> cases[] = {{0, false}, {1, true}, {32, true}, {255, true}};
    for (const auto& [status, failed] : cases) {
        SCOPED_TRACE(status);
        SimControl::chooseStatus("mount", status);
        EXPECT_EQ(drive.mountDrive(STICK_NODE, "/mnt/cf"), failed);
    }
    const auto calls = SimControl::standinCalls("mount");
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0]["args"], (SimControl::Json{"-t", "vfat", STICK_NODE, "/mnt/cf"}));
}

TEST_F(MountTest, AFailedUnmountRaisesCodeEightWithTheStatus)
{
    std::string mountPoint = "/mnt/cf";
    SimControl::chooseStatus("umount", 1);
    EXPECT_EQ(outcomeOf([&] { drive.umountDrive(mountPoint); }), raised(oerr::UnmountFailed, 1));
    SimControl::chooseStatus("umount", 0);
    EXPECT_EQ(outcomeOf([&] { drive.umountDrive(mountPoint); }), NOTHING_RAISED);
    const auto calls = SimControl::standinCalls("umount");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0]["args"], (SimControl::Json{"/mnt/cf"}));
}

TEST_F(MountTest, TheQuietUnmountTurnsAFailureIntoOneWarningLine)
{
    std::string mountPoint = "/mnt/cf";
    SimControl::chooseStatus("umount", 1);
    Outcome outcome;
    const std::string err = stderrOf([&] { outcome = outcomeOf([&] { drive.umountDrive_nothrow(mountPoint); }); });
    EXPECT_EQ(outcome, NOTHING_RAISED);
    EXPECT_EQ(err.rfind("WARNING: 14OrvelException: #8, detail #1 (thrown from ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(sim.frames().empty());

    SimControl::chooseStatus("umount", 0);
    EXPECT_EQ(stderrOf([&] { drive.umountDrive_nothrow(mountPoint); }), "");
}

class EnumerateTest : public SandboxTest {};

std::vector<std::string> sorted(std::vector<std::string> list)
{
    std::sort(list.begin(), list.end());
    return list;
}

TEST_F(EnumerateTest, OnlyFirstPartitionNodesAreFound)
{
    shell("set -e; cd /dev; mkdir -p scsi; cd scsi;"
          " for s in host0/bus0/target0/lun0 host1/bus0/target0/lun0; do mkdir -p $s; touch $s/disc $s/part1 $s/part2; done;"
          " mkdir -p host2/bus0/target0/lun0/part1; touch host2/bus0/target0/lun0/part1/x;"  // a folder named part1
          " mkdir -p host3/bus0/target0/lun0; touch host3/bus0/target0/lun0/disc host3/bus0/target0/lun0/part10;"
          " ln -s .. host1/bus0/target0/lun0/up; ln -s /dev/scsi host0/round");  // ways back up the tree
    drive.enumerateUSBDrives();
    EXPECT_EQ(sorted(UsbDrive::gFoundPartitions),
              (std::vector<std::string>{"/dev/scsi/host0/bus0/target0/lun0/part1",
                                        "/dev/scsi/host1/bus0/target0/lun0/part1"}));

    shell("rm -rf /dev/scsi/host0 /dev/scsi/host1");
    drive.enumerateUSBDrives();
    EXPECT_TRUE(UsbDrive::gFoundPartitions.empty());

    shell("rm -rf /dev/scsi");
    UsbDrive::gFoundPartitions = {"stale"};
    drive.enumerateUSBDrives();
    EXPECT_TRUE(UsbDrive::gFoundPartitions.empty());
}

}  // namespace
