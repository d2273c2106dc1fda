// qor-watchdog: reboots the board through the controller when the client
// application stops checking in with SIGUSR1.
#include "PrintKeypad.h"

#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

const char* const VERSION = "0.7";
const char* const PID_FILE = "/var/qor-watchdog.pid";
const char* const LOG_FILE = "/var/qor-watchdog.log";
const unsigned SLEEP_STEP_SECONDS = 60;
const int SILENCE_LIMIT_SECONDS = 900;
const int FIRST_REBOOT_DELAY_SECONDS = 10;
const int HUB_EVENT_REBOOT = 99;

// The handler only notes the check-in; the main loop, which owns the counter,
// takes it. No read-modify-write of the counter can race the handler.
volatile sig_atomic_t gCheckedIn = 0;

bool takeCheckIn()
{
    if (gCheckedIn == 0)
        return false;
    gCheckedIn = 0;
    return true;
}

void runIgnoringStatus(const char* command)
{
    const int status = system(command);
    (void)status;
}

}  // namespace

int secondsSinceLastSignal = 0;

void clientSignalHandler(int)
{
    gCheckedIn = 1;
}

bool write_pid_file()
{
    FILE* file = fopen(PID_FILE, "w+");
    if (file == nullptr) {
        perror("qor-watchdog: failed to open /var/qor-watchdog.pid");
        return false;
    }
    const int pid = getpid();
    if (fprintf(file, "%d", pid) <= 0) {
        perror("qor-watchdog: failed to write /var/qor-watchdog.pid");
        fclose(file);
        return false;
    }
    fclose(file);
    printf("qor-watchdog: wrote %d to %s\n", pid, PID_FILE);
    return true;
}

void setLogMessage(const char* message)
{
    FILE* file = fopen(LOG_FILE, "w+");
    if (file == nullptr) {
        perror("qor-watchdog: failed to open /var/qor-watchdog.log");
        return;
    }
    fprintf(file, "qor-watchdog: [unix-time=%d] %s\n", static_cast<int32_t>(time(nullptr)), message);
    fclose(file);
}

[[noreturn]] void doReboot()
{
    printf("qor-watchdog: client has not reported for %d seconds! Rebooting...\n", secondsSinceLastSignal);
    triggerDeviceReboot(FIRST_REBOOT_DELAY_SECONDS);
    setLogMessage("qor-watchdog: client did not check in!  Rebooting...");
    runIgnoringStatus("/etc/init.d/orvelusb stop");
    sleep(2);
    logHubEvent(HUB_EVENT_REBOOT, "");
    runIgnoringStatus("sync");
    sleep(1);
    for (;;) {
        triggerDeviceReboot(0);
        sleep(5);
        fprintf(stderr, "qor-watchdog: reboot failed.  Retrying...\n");
    }
}

namespace {
// No SA_RESTART and no SA_RESETHAND: a check-in ends the current sleep, and
// the handler stays for the next one.
bool installCheckInHandler()
{
    struct sigaction action {};
    action.sa_handler = clientSignalHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    return sigaction(SIGUSR1, &action, nullptr) == 0;
}
}  // namespace

int main()
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!installCheckInHandler()) {
        perror("qor-watchdog: failed to install signal handler");
        setLogMessage("failed to install signal handler");
        return 1;
    }
    if (!write_pid_file())
        return 1;
    printf("qor-watchdog: started. version=%s\n", VERSION);
    secondsSinceLastSignal = 0;
    for (;;) {
        sleep(SLEEP_STEP_SECONDS);
        if (takeCheckIn())
            secondsSinceLastSignal = 0;
        secondsSinceLastSignal += static_cast<int>(SLEEP_STEP_SECONDS);
        if (secondsSinceLastSignal > SILENCE_LIMIT_SECONDS) {
            // A check-in that came in the meantime still counts.
            if (takeCheckIn()) {
                secondsSinceLastSignal = 0;
                continue;
            }
            doReboot();
        }
    }
}
