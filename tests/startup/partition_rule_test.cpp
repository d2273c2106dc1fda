#include "UsbDrive.h"

#include <gtest/gtest.h>

#include <ftw.h>

namespace {

struct WalkEntry {
    const char* path;
    int flag;
    bool listed;
};

TEST(PartitionRuleTest, OnlyNodesEndingInPart1AreListedAsPassed)
{
    const WalkEntry walk[] = {
        {"/dev/scsi", FTW_D, false},
        {"/dev/scsi/host0/bus0/target0/lun0/part1", FTW_F, true},
        {"/dev/scsi/host0/bus0/target0/lun0/part2", FTW_F, false},
        {"/dev/scsi/host0/bus0/target0/lun0/part10", FTW_F, false},
        {"/dev/scsi/host0/bus0/target0/lun0/disc", FTW_F, false},
        {"/dev/scsi/host1/bus0/target0/lun0/part1", FTW_D, false},      // a directory of that name
        {"/dev/scsi/host1/bus0/target0/lun0/part1/x", FTW_F, false},    // "/part1" earlier in the path
        {"/dev/scsi/host2/part1", FTW_DNR, false},
        {"/dev/scsi/host3/part1", FTW_NS, false},
        {"/dev/scsi/host4/xpart1", FTW_F, false},
        {"/dev/scsi/host5/part1/part1", FTW_F, true},                   // the last occurrence counts
        {"/dev/scsi//host6/./part1", FTW_F, true},                      // kept as the walk spelt it
        {"/part1", FTW_F, true},
        {"part1", FTW_F, false},
        {"", FTW_F, false},
    };
    UsbDrive::gFoundPartitions = {"left from an earlier walk"};
    std::vector<std::string> expected = UsbDrive::gFoundPartitions;
    for (const auto& entry : walk) {
        SCOPED_TRACE(entry.path);
        EXPECT_EQ(UsbDrive::ftw_callback(entry.path, nullptr, entry.flag), 0);
        if (entry.listed)
            expected.push_back(entry.path);
        EXPECT_EQ(UsbDrive::gFoundPartitions, expected);
    }
}

}  // namespace
