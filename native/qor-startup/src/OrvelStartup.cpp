#include "OrvelStartup.h"

#include "ErrorReporter.h"
#include "LedBlink.h"
#include "OrvelException.h"
#include "PrintKeypad.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

namespace {

const char* const VERSION = "2.0";
// Present only on hubs in development mode.
const char* const DEVELOPMENT_MARKER = "/etc/init.d/telnetd";
const int WATCHDOG_SECONDS = 300;
const unsigned RESCAN_PAUSE_SECONDS = 2;
const unsigned ERROR_PAUSE_SECONDS = 15;
const unsigned REMOVAL_POLL_SECONDS = 1;
const unsigned REMOVE_TEXT_EVERY_PASSES = 15;

}  // namespace

OrvelStartup::OrvelStartup() = default;

void OrvelStartup::run()
{
    timer.reset();
    scanUSB();
}

void OrvelStartup::scanUSB()
{
    blinkLeds(1, 1);
    std::cout << "Looking for USB Drives..." << "\n";
    print_To_Keypad("USB SCAN");

    auto& found = UsbDrive::gFoundPartitions;
    usbDrive.enumerateUSBDrives();
    if (found.empty()) {
        // The stick may still be settling.
        sleep(RESCAN_PAUSE_SECONDS);
        usbDrive.enumerateUSBDrives();
    }
    std::cout << "\tFound " << found.size() << "\n";
    if (found.empty())
        print_To_Keypad("NO USB");

    bool errorReported = false;
    bool scriptFound = false;
    if (!found.empty()) {
        const std::string device = found.front();
        try {
            usbDrive.processUSBDevice(device);
            scriptFound = usbDrive.scriptFound;
        } catch (OrvelException& e) {
            errorReported = true;
            reporter()->report(e);
        }
    }

    if (!scriptFound)
        usbDrive.applicationUpdate();

    std::cout << "waiting for removal" << "\n";
    stopBlinkLeds();
    if (errorReported)
        sleep(ERROR_PAUSE_SECONDS);  // time to read the error on the keypads

    unsigned passes = 0;
    for (;;) {
        usbDrive.enumerateUSBDrives();
        if (found.empty())
            break;
        if (passes % REMOVE_TEXT_EVERY_PASSES == 0)
            print_To_Keypad("REMOVE USB");
        ++passes;
        sleep(REMOVAL_POLL_SECONDS);
    }
    if (passes >= 1)
        print_To_Keypad("STARTING");
    std::cout << "QOR startup task is complete." << "\n";
}

void startupSequence()
{
    std::cout << "qor-startup version " << VERSION << "\n";
    struct stat info;
    if (stat(DEVELOPMENT_MARKER, &info) == 0) {
        std::cout << "qor-startup: Disabling chip watchdog because device is in development mode (found "
                  << DEVELOPMENT_MARKER << ")." << "\n";
        setChipWatchDog(0);
    } else {
        std::cout << "qor-startup: Chip watchdog set to 5 minutes." << "\n";
        setChipWatchDog(WATCHDOG_SECONDS);
    }
    OrvelStartup startup;
    startup.run();
}

int runStartup(void (*sequence)())
{
    try {
        sequence();
        return 0;
    } catch (std::exception& e) {
        reporter()->report(e);
    } catch (...) {
        OrvelException unexpected(oerr::UnexpectedException, ORVEL_HERE);
        reporter()->report(unexpected);
    }
    return 1;
}

void printFileStat(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        throw OrvelException(oerr::StatFailed, errno, ORVEL_HERE);
    std::cout << info.st_dev << "\n"
              << info.st_ino << "\n"
              << info.st_mode << "\n"
              << info.st_nlink << "\n"
              << info.st_uid << "\n"
              << info.st_gid << "\n"
              << info.st_rdev << "\n"
              << info.st_size << "\n"
              << info.st_blksize << "\n"
              << info.st_blocks << "\n"
              << info.st_atime << "\n"
              << info.st_mtime << "\n"
              << info.st_ctime << "\n";
}
