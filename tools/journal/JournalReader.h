#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reading a hub event journal: whole records from the start, up to the first
// byte that does not begin one.

struct JournalRecord {
    size_t offset;
    uint32_t time;
    int event;
    std::string text;
};

struct JournalReading {
    std::vector<JournalRecord> records;
    size_t end = 0;       // where reading stopped
    std::string problem;  // empty when every byte belonged to a whole record
};

// Why the record at `at` (below file.size()) is not whole, or empty when it is.
std::string checkJournalRecord(const std::vector<unsigned char>& file, size_t at);

JournalReading readJournal(const std::vector<unsigned char>& file);
