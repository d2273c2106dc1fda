// qor-journal: lists the records of a hub event journal for people, checks
// each record's checksum and reports a torn or corrupt tail by its offset.
#include "Crc16.h"

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
const size_t HEADER_BYTES = 8;
const size_t FIXED_BODY_BYTES = 7;

struct Record {
    size_t offset;
    uint32_t time;
    int event;
    std::string text;
};

struct Reading {
    std::vector<Record> records;
    size_t end = 0;       // where reading stopped
    std::string problem;  // empty when every byte belonged to a whole record
};

unsigned bigEndian(const unsigned char* at, int bytes)
{
    unsigned value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | at[i];
    return value;
}

// Why the record at `at` is not whole, or empty when it is.
std::string checkRecord(const std::vector<unsigned char>& file, size_t at)
{
    const size_t left = file.size() - at;
    if (left < HEADER_BYTES)
        return "header incomplete (" + std::to_string(left) + " of 8 bytes)";
    if (file[at] != '@' || file[at + 1] != 'Q' || file[at + 2] != 'O' || file[at + 3] != 'R')
        return "no \"@QOR\" magic";
    const size_t length = bigEndian(&file[at + 4], 2);
    if (length < FIXED_BODY_BYTES)
        return "body length " + std::to_string(length) + " is below 7";
    if (left - HEADER_BYTES < length)
        return "body incomplete (" + std::to_string(left - HEADER_BYTES) + " of " + std::to_string(length) +
               " bytes)";
    const unsigned stored = bigEndian(&file[at + 6], 2);
    const unsigned computed = crc16(&file[at + HEADER_BYTES], length);
    if (stored != computed) {
        char text[64];
        snprintf(text, sizeof text, "checksum %04X, body gives %04X", stored, computed);
        return text;
    }
    if (file[at + 13] != 0xFF)
        return "byte 13 is not 0xFF";
    if (file[at + 14] + FIXED_BODY_BYTES != length)
        return "text length " + std::to_string(file[at + 14]) + " does not fit body length " + std::to_string(length);
    return "";
}

Reading readJournal(const std::vector<unsigned char>& file)
{
    Reading reading;
    size_t at = 0;
    while (at < file.size()) {
        reading.problem = checkRecord(file, at);
        if (!reading.problem.empty())
            break;
        const size_t length = bigEndian(&file[at + 4], 2);
        const unsigned char* body = &file[at + HEADER_BYTES];
        reading.records.push_back({at, bigEndian(body, 4), body[4],
                                   std::string(body + FIXED_BODY_BYTES, body + length)});
        at += HEADER_BYTES + length;
    }
    reading.end = at;
    return reading;
}

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

void printText(const Reading& reading, size_t fileSize)
{
    for (const Record& r : reading.records)
        printf("%6zu  event %3d  time %10u  %s  \"%s\"\n", r.offset, r.event, r.time, utcOf(r.time).c_str(),
               printable(r.text).c_str());
    if (reading.problem.empty())
        printf("%zu records, %zu bytes, all whole\n", reading.records.size(), fileSize);
    else
        printf("%zu whole records; torn or corrupt record at offset %zu: %s\n", reading.records.size(), reading.end,
               reading.problem.c_str());
}

void printJson(const Reading& reading, size_t fileSize)
{
    for (const Record& r : reading.records) {
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
    const Reading reading = readJournal(file);
    if (json)
        printJson(reading, file.size());
    else
        printText(reading, file.size());
    return reading.problem.empty() ? 0 : 1;
}
