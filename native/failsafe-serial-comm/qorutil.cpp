// qorutil: the technicians' command-line tool for the controller, the clock
// and the hub event journal.
#include "PrintKeypad.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const int ANY = -1;
const int EXIT_USAGE = 2;
const int REBOOT_WATCHDOG_SECONDS = 300;
const unsigned REBOOT_RETRY_SECONDS = 5;

// Fixed commands only: nothing the user types ever reaches the shell.
void runIgnoringStatus(const char* command)
{
    const int status = system(command);
    (void)status;
}

int exitStatus(bool ok)
{
    return ok ? 0 : 1;
}

int showKeypadText(char** argv)
{
    printf("Sending keypad message: \"%s\"\n", argv[2]);
    print_To_Keypad(argv[2]);
    return 0;
}

[[noreturn]] int rebootForever(char**)
{
    printf("Killing \"client\" instances...\n");
    runIgnoringStatus("/etc/init.d/orvelusb stop");
    runIgnoringStatus("killall jamvm");
    printf("Flushing file-system buffers...\n");
    runIgnoringStatus("sync");
    setChipWatchDog(REBOOT_WATCHDOG_SECONDS);
    for (int attempt = 1;; ++attempt) {
        printf("Rebooting (attempt %d)...\n", attempt);
        triggerDeviceReboot(0);
        sleep(REBOOT_RETRY_SECONDS);
    }
}

int delayedReboot(char** argv)
{
    const int seconds = atoi(argv[2]);
    if (seconds <= 0)
        return exitStatus(triggerDeviceReboot(-1));
    printf("Flushing file-system buffers...\n");
    runIgnoringStatus("sync");
    return exitStatus(triggerDeviceReboot(seconds));
}

int resetClock(char**)
{
    resetChipRTC();
    return 0;
}

int bootInfo(char**)
{
    printRedBootInfo();
    return 0;
}

int watchdog(char** argv)
{
    return exitStatus(setChipWatchDog(atoi(argv[2])));
}

int syncClock(char**)
{
    return exitStatus(syncSysClock());
}

int hubEvent(char** argv)
{
    return exitStatus(logHubEvent(atoi(argv[2]), argv[3]));
}

int firmwareVersion(char**)
{
    const int version = getFWVer();
    if (version < 0)
        return 1;
    printf("%d\n", version);
    return 0;
}

int printId()
{
    const std::string id = getAuthID();
    if (id.empty())
        return 1;
    printf("%s\n", id.c_str());
    return 0;
}

int usage()
{
    fputs("Version 1.2; Usage:\n"
          "\tPrint this QOR's ID:           qorutil\n"
          "\tPrint message to the keyports: qorutil -p \"HELLO WORLD\"\n"
          "\tReboot the QOR:                qorutil --reboot\n"
          "\tReset the chip clock:          qorutil --reset-chip-clock\n"
          "\tPrint MAC Addr & Kernel CRC:   qorutil --redboot-info\n"
          "\tSet system clock from the chip qorutil --sync-sys-clock\n"
          "\tSet chip watchdog seconds (0 to disable):  qorutil --watchdog 90\n"
          "\tDelayed reboot (ARM only) (0 to disable):  qorutil --delayed-reboot 60\n"
          "\tRecord hub event:              qorutil --log-hub-event 1234 \"hello world\"\n"
          "\tGet chip firmware version:     qorutil --fwver\n",
          stderr);
    return EXIT_USAGE;
}

struct Option {
    const char* name;
    int arguments;  // in all, the option itself included; ANY for any count
    int (*run)(char** argv);
};

// Matched in this order; the first row whose name and count fit is run.
const Option OPTIONS[] = {
    {"-p", 2, showKeypadText},
    {"--reboot", ANY, rebootForever},
    {"--delayed-reboot", 2, delayedReboot},
    {"--reset-chip-clock", ANY, resetClock},
    {"--redboot-info", ANY, bootInfo},
    {"--watchdog", 2, watchdog},
    {"--sync-sys-clock", 1, syncClock},
    {"--log-hub-event", 3, hubEvent},
    {"--fwver", ANY, firmwareVersion},
};

}  // namespace

int main(int argc, char** argv)
{
    // Line by line, also into a file or a pipe: a run may end by the board's reset.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const int arguments = argc - 1;
    if (arguments == 0)
        return printId();
    for (const Option& option : OPTIONS) {
        if (strcmp(argv[1], option.name) == 0 && (option.arguments == ANY || option.arguments == arguments))
            return option.run(argv);
    }
    return usage();
}
