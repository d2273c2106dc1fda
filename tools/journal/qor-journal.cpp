// qor-journal: lists the records of a hub event journal for people, checks
// each record's checksum and reports a torn or corrupt tail by its offset.
#include "JournalReader.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const long long CONTROLLER_EPOCH = 820454400;  // 1996-01-01 00:00:00 UTC

std::string utcOf(uint32_t controllerTime)
{
    const time_t t = static_cast<time_t>(CONTROLLER_EPOCH + controllerTime);
    tm fields{};
    gmtime_r(&t, &fields);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &fields);
    return text;
}

std::string printable(const std::string& bytes)
{
    std::string text;
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            text += '\\';
            text += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    return text;
}

std::string hexOf(const std::string& bytes)
{
    std::string hex;
    char pair[3];
    for (unsigned char c : bytes) {
        snprintf(pair, sizeof pair, "%02x", c);
        hex += pair;
    }
    return hex;
}

void printText(const JournalReading& reading, size_t fileSize)
{
    for (const JournalRecord& r : reading.records)
        printf("%6zu  event %3d  time %10u  %s  \"%s\"\n", r.offset, r.event, r.time, utcOf(r.time).c_str(),
               printable(r.text).c_str());
    if (reading.problem.empty())
        printf("%zu records, %zu bytes, all whole\n", reading.records.size(), fileSize);
    else
        printf("%zu whole records; torn or corrupt record at offset %zu: %s\n", reading.records.size(), reading.end,
               reading.problem.c_str());
}

void printJson(const JournalReading& reading, size_t fileSize)
{
    for (const JournalRecord& r : reading.records) {
        nlohmann::json line = {{"offset", r.offset},  {"event", r.event},           {"time", r.time},
                               {"utc", utcOf(r.time)}, {"text_hex", hexOf(r.text)}, {"text", printable(r.text)}};
        printf("%s\n", line.dump().c_str());
    }
    nlohmann::json summary = {{"records", reading.records.size()}, {"bytes", fileSize}, {"whole", reading.problem.empty()}};
    if (!reading.problem.empty()) {
        summary["torn_at"] = reading.end;
        summary["problem"] = reading.problem;
    }
    printf("%s\n", summary.dump().c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const bool json = argc == 3 && std::string(argv[1]) == "--json";
    if (!(argc == 2 || json) || std::string(argv[argc - 1]) == "--help") {
        fprintf(stderr, "Usage: qor-journal [--json] JOURNAL\n"
                        "Lists the records of a hub event journal (for example hub_events.bin) and checks them.\n"
                        "Exit status: 0 when the file is whole records only, 1 when it ends in a torn or corrupt\n"
                        "record, 2 when it cannot be read.\n");
        return 2;
    }
    std::ifstream in(argv[argc - 1], std::ios::binary);
    if (!in) {
        perror(argv[argc - 1]);
        return 2;
    }
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const JournalReading reading = readJournal(file);
    if (json)
        printJson(reading, file.size());
    else
        printText(reading, file.size());
    return reading.problem.empty() ? 0 : 1;
}
