// Installing a pending application update package.
#include "UsbDrive.h"

#include "PrintKeypad.h"

namespace {

const char* const UPDATE_PACKAGE = "/mnt/app/update.tar.gz";
const char* const INSTALLER_OUTPUT = "/tmp/update-log.txt";
const char* const INSTALLER_ERRORS = "/tmp/update-err.txt";

}  // namespace

// The package is removed before its installer runs: an update is tried once,
// whatever its outcome.
void UsbDrive::applicationUpdate()
{
    if (!fileExist(UPDATE_PACKAGE))
        return;
    print_To_Keypad("UPDATING");
    if (!directoryExist(temp_folder))
        createTempDir();
    // Left-overs of an earlier run must not pass for the package's installer.
    clearTempDir();
    extractFile(UPDATE_PACKAGE, temp_folder);
    deleteFile(UPDATE_PACKAGE);
    const std::string installer = std::string(temp_folder) + "/authorizer.sh";
    allowExecuteFile(installer);
    processScript(installer.c_str(), INSTALLER_ERRORS, INSTALLER_OUTPUT, nullptr);
    clearTempDir();
    print_To_Keypad("UPDATED!");
}
