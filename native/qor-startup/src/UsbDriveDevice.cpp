// One USB stick: its authorizer script, and the hub's logs written onto it.
#include "UsbDrive.h"

#include "OrvelException.h"
#include "PrintKeypad.h"

#include <iostream>

namespace {

const char* const MOUNT_POINT = "/mnt/cf";
const char* const SCRIPT_LOG = "/var/auth_usb.log";
// As long as a real identifier, for a controller that does not answer.
const char* const UNKNOWN_ID = "H________";

}  // namespace

void UsbDrive::processUSBDevice(const std::string& device)
{
    deviceProcessed = false;
    scriptFound = false;
    std::cout << "Processing USB device on " << device << "\n";
    print_To_Keypad("READ USB");

    std::string mountPoint = MOUNT_POINT;
    if (mountDrive(device, mountPoint))
        return;

    bool unmounted = false;
    try {
        if (!directoryExist(temp_folder))
            createTempDir();

        const std::string script = mountPoint + "/authorizer.sh";
        const std::string archive = mountPoint + "/authorizer.tar.gz";
        if (fileExist(script)) {
            std::cout << "Found " << script << "\n";
            scriptFound = true;
            processScript(script.c_str(), SCRIPT_LOG, SCRIPT_LOG, nullptr);
        } else if (fileExist(archive)) {
            std::cout << "Found " << archive << "\n";
            scriptFound = true;
            clearTempDir();
            extractFile(archive, temp_folder);
            const std::string extracted = std::string(temp_folder) + "/authorizer.sh";
            allowExecuteFile(extracted);
            print_To_Keypad("READ USB");
            processScript(extracted.c_str(), SCRIPT_LOG, SCRIPT_LOG, nullptr);
        } else {
            std::cout << "No script found" << "\n";
            print_To_Keypad("NO FILE");
            threadSleep(2000);
        }

        std::string id = getAuthID();
        if (id.empty())
            id = UNKNOWN_ID;
        const std::string logArchive = mountPoint + "/" + id + "logs.tar.gz";
        const char* args[] = {"-czf",           logArchive.c_str(), "/var/err1.log", "/var/err2.log",
                              "/var/err.log",   "/var/client.log",  SCRIPT_LOG};
        const int status = execProcess("tar", 7, args, nullptr, nullptr, nullptr);
        if (status != 0)
            throw OrvelException(oerr::LogArchiveFailed, status, ORVEL_HERE);

        umountDrive_nothrow(mountPoint);
        unmounted = true;
        if (scriptFound)
            clearTempDir();
        deviceProcessed = true;
    } catch (OrvelException&) {
        // Once the stick is off, a copy would land in the hub's own mount-point folder.
        if (!unmounted) {
            try {
                copyFile(SCRIPT_LOG, mountPoint);
            } catch (OrvelException&) {
                // no script log yet: nothing to save
            }
            umountDrive_nothrow(mountPoint);
        }
        throw;
    }
}
