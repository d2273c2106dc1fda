#include "JournalReader.h"

#include "Crc16.h"

#include <cstdio>

namespace {

const size_t HEADER_BYTES = 8;
const size_t FIXED_BODY_BYTES = 7;

unsigned bigEndian(const unsigned char* at, int bytes)
{
    unsigned value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | at[i];
    return value;
}

}  // namespace

std::string checkJournalRecord(const std::vector<unsigned char>& file, size_t at)
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

JournalReading readJournal(const std::vector<unsigned char>& file)
{
    JournalReading reading;
    size_t at = 0;
    while (at < file.size()) {
        reading.problem = checkJournalRecord(file, at);
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
