// Finding the first partitions of USB sticks, mounting and unmounting them.
#include "UsbDrive.h"

#include "ErrorReporter.h"
#include "OrvelException.h"

#include <ftw.h>

std::vector<std::string> UsbDrive::gFoundPartitions;

namespace {

const char* const DEVICE_TREE = "/dev/scsi";
const int WALK_OPEN_DIRECTORIES = 10;
const std::string FIRST_PARTITION = "/part1";

}  // namespace

// ftw follows symbolic links but visits each directory once, so a link
// back up the tree cannot make the walk go round.
void UsbDrive::enumerateUSBDrives()
{
    gFoundPartitions.clear();
    ftw(DEVICE_TREE, ftw_callback, WALK_OPEN_DIRECTORIES);
}

int UsbDrive::ftw_callback(const char* path, const struct stat*, int flag)
{
    if (flag != FTW_F)
        return 0;
    const std::string entry(path);
    const std::string::size_type at = entry.rfind(FIRST_PARTITION);
    if (at != std::string::npos && at == entry.size() - FIRST_PARTITION.size())
        gFoundPartitions.push_back(entry);
    return 0;
}

bool UsbDrive::mountDrive(const std::string& device, const std::string& mountPoint)
{
    const char* args[] = {"-t", "vfat", device.c_str(), mountPoint.c_str()};
    return execProcess("mount", 4, args, nullptr, nullptr, nullptr) != 0;
}

void UsbDrive::umountDrive(std::string& mountPoint)
{
    const char* args[] = {mountPoint.c_str()};
    const int status = execProcess("umount", 1, args, nullptr, nullptr, nullptr);
    if (status != 0)
        throw OrvelException(oerr::UnmountFailed, status, ORVEL_HERE);
}

void UsbDrive::umountDrive_nothrow(std::string& mountPoint)
{
    try {
        umountDrive(mountPoint);
    } catch (OrvelException& e) {
        reporter()->logWarning(e);
    }
}
