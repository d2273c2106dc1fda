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

#ifndef __SANITIZE_ADDRESS__
// Heap allocations while gCounting is set: the C library's allocator, counted
// on the way in (operator new comes here too).
bool gCounting = false;
long gAllocations = 0;
#endif

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

#ifndef __SANITIZE_ADDRESS__
// One row of the benchmark table that bench/run prints at the end.
void tableRow(const std::string& row)
{
    const char* path = std::getenv("BENCH_TABLE");
    if (path != nullptr)
        std::ofstream(path, std::ios::app) << row << "\n";
}

double allocationsPer(const std::function<void()>& action, int repeats)
{
    gAllocations = 0;
    gCounting = true;
    for (int i = 0; i < repeats; ++i)
        action();
    gCounting = false;
    return static_cast<double>(gAllocations) / repeats;
}

bool statusExchange()
{
    SerialIO port;
    if (!port.openSerialPort())
        return false;
    SerialPacket request;
    SerialPacket reply;
    request.commandCode = 0x22;
    request.subCommand = 0x03;
    SerialComm comm(port);
    // Only the exchange itself is counted, not opening the port.
    gCounting = true;
    const bool ok = comm.sendCommand(request, reply);
    gCounting = false;
    port.closeSerialPort();
    return ok;
}

void reportAllocations(int repeats)
{
    // The counter must see an allocation that does happen.
    void* (*volatile allocate)(size_t) = malloc;
    if (allocationsPer([&] { free(allocate(16)); }, 1) != 1) {
        fprintf(gReport, "heap allocations: the counter does not work here\n");
        return;
    }
    gAllocations = 0;
    for (int i = 0; i < repeats; ++i)
        statusExchange();
    const double exchange = static_cast<double>(gAllocations) / repeats;
    const double keypad = allocationsPer([] { print_To_Keypad("HELLO WORLD"); }, repeats);
    const double clock = allocationsPer([] { clockRead(); }, repeats);
    const double event = allocationsPer([] { logHubEvent(1, "bench"); }, repeats);
    fprintf(gReport, "%-44s %8.1f    (expected 0)\n", "heap allocations per exchange (status query)", exchange);
    fprintf(gReport, "%-44s %8.1f\n", "  per print_To_Keypad (open, 3 exchanges)", keypad);
    fprintf(gReport, "%-44s %8.1f\n", "  per clock read (open, exchange)", clock);
    fprintf(gReport, "%-44s %8.1f\n", "  per logHubEvent (clock read, append)", event);
    char row[128];
    snprintf(row, sizeof row, "heap allocations per controller exchange|%.1f|0 expected|", exchange);
    tableRow(row);
    snprintf(row, sizeof row, "heap allocations per print_To_Keypad|%.1f||", keypad);
    tableRow(row);
    snprintf(row, sizeof row, "heap allocations per logHubEvent|%.1f||", event);
    tableRow(row);
}
#else
// The sanitizer owns the allocator.
void reportAllocations(int)
{
    fprintf(gReport, "heap allocations: not counted in a sanitized build\n");
}
#endif

}  // namespace

#ifndef __SANITIZE_ADDRESS__
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);

extern "C" void* malloc(size_t size)
{
    if (gCounting)
        ++gAllocations;
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size)
{
    if (gCounting)
        ++gAllocations;
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* block, size_t size)
{
    if (gCounting)
        ++gAllocations;
    return __libc_realloc(block, size);
}
#endif

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

    reportAllocations(repeats);

    configure("\"faults\":{\"no_reply\":true}");
    report("a command against a dead controller", secondsOf([] { setChipWatchDog(0); }, repeats), 0.48);
    configure("");

    umount2("/dev/ttyAM1", MNT_DETACH);
    unlink("/dev/ttyAM1");
    report("giving up on a missing device", secondsOf([] { SerialIO port; port.openSerialPort(); }, repeats), 0.5);
    return 0;
}
