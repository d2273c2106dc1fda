// Timings of the controller link against the simulated controller, to be run
// inside the hub sandbox. Prints one line per figure: name, measured seconds,
// the protocol's floor (the sum of the fixed waits) and their ratio.
#include "PrintKeypad.h"
#include "SerialComm.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

namespace {

double secondsOf(const std::function<void()>& action, int repeats)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i)
        action();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeats;
}

FILE* gReport = stdout;

void report(const char* name, double seconds, double floor)
{
    fprintf(gReport, "%-44s %8.4f s  floor %6.3f s  ratio %6.3f\n", name, seconds, floor, seconds / floor);
}

std::string state()
{
    const char* dir = std::getenv("QOR_SANDBOX");
    return dir != nullptr ? dir : "";
}

void configure(const std::string& json)
{
    static int generation = 0;
    const std::string path = state() + "/sim-config.json";
    std::ofstream(path + ".new") << "{\"generation\":" << ++generation << (json.empty() ? "" : ",") << json << "}";
    std::rename((path + ".new").c_str(), path.c_str());
}

bool clockRead()
{
    SerialIO port;
    if (!port.openSerialPort())
        return false;
    SerialComm comm(port);
    HubRTC rtc;
    const bool ok = getHubRTC(comm, rtc);
    port.closeSerialPort();
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    const int repeats = argc > 1 ? std::atoi(argv[1]) : 5;
    if (state().empty()) {
        fprintf(stderr, "qor-link-bench: run me inside qor-sandbox\n");
        return 2;
    }
    configure("");
    // The figures go to the original output; the operations' own lines go nowhere.
    gReport = fdopen(dup(1), "w");
    setvbuf(gReport, nullptr, _IOLBF, 0);
    if (freopen("/dev/null", "w", stdout) == nullptr || freopen("/dev/null", "w", stderr) == nullptr)
        return 2;
    // Status query (header and payload receives) and a text frame to each keypad.
    report("print_To_Keypad, both keypads", secondsOf([] { print_To_Keypad("HELLO WORLD"); }, repeats), 0.4);
    report("clock read (getHubRTC)", secondsOf([] { clockRead(); }, repeats), 0.2);
    const double event = secondsOf([] { logHubEvent(1, "bench"); }, repeats);
    report("logHubEvent (clock read + append)", event, 0.2);
    const double clock = secondsOf([] { clockRead(); }, repeats);
    fprintf(gReport, "%-44s %8.4f s  (the journal is on a tmpfs here)\n", "  of which the append (write + fsync)",
            event - clock);
    if (argc > 2)
        fprintf(gReport, "%-44s %8.4f s\n", "  an append with fsync on the build's disk", secondsOf([&] {
                    const unsigned char record[15] = {'@', 'Q', 'O', 'R', 0, 7};
                    const int fd = open(argv[2], O_RDWR | O_CREAT | O_APPEND | O_SYNC, 0644);
                    if (write(fd, record, sizeof record) == sizeof record)
                        fsync(fd);
                    close(fd);
                }, repeats));

    configure("\"faults\":{\"no_reply\":true}");
    report("a command against a dead controller", secondsOf([] { setChipWatchDog(0); }, repeats), 0.48);
    configure("");

    umount2("/dev/ttyAM1", MNT_DETACH);
    unlink("/dev/ttyAM1");
    report("giving up on a missing device", secondsOf([] { SerialIO port; port.openSerialPort(); }, repeats), 0.5);
    return 0;
}
