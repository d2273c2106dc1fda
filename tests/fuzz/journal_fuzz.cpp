// The hub event journal, written by the programs' record builder and read by
// the journal reader. Input: records, each an event (4 bytes), a controller
// time (4 bytes), a text length (2 bytes: bit 15 set means a null text) and
// that many text bytes, zero bytes included. Every record built must read back
// whole with its event, time and text (cut at its first zero byte and to 255
// bytes); a journal cut inside its last record reads as a torn tail there; and
// the input itself read as a journal must give a consistent account.
#include "Fuzz.h"

#include "HubJournal.h"
#include "JournalReader.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Written {
    size_t offset;
    uint32_t time;
    int event;
    std::string text;
};

void checkReadBack(const std::vector<unsigned char>& journal, const std::vector<Written>& written)
{
    const JournalReading reading = readJournal(journal);
    FUZZ_CHECK(reading.problem.empty(), "built journal of %zu bytes: %s at %zu", journal.size(), reading.problem.c_str(),
               reading.end);
    FUZZ_CHECK(reading.end == journal.size(), "read to %zu of %zu", reading.end, journal.size());
    FUZZ_CHECK(reading.records.size() == written.size(), "%zu records read, %zu written", reading.records.size(),
               written.size());
    for (size_t i = 0; i < written.size(); ++i) {
        const JournalRecord& r = reading.records[i];
        const Written& w = written[i];
        FUZZ_CHECK(r.offset == w.offset && r.time == w.time && r.event == w.event && r.text == w.text,
                   "record %zu: offset %zu/%zu time %u/%u event %d/%d text %zu/%zu bytes", i, r.offset, w.offset, r.time,
                   w.time, r.event, w.event, r.text.size(), w.text.size());
    }
}

void checkTornTail(const std::vector<unsigned char>& journal, const std::vector<Written>& written, size_t cut)
{
    if (written.empty())
        return;
    const size_t last = written.back().offset;
    const size_t keep = last + cut % (journal.size() - last);
    if (keep == last)
        return;
    const std::vector<unsigned char> torn(journal.begin(), journal.begin() + static_cast<long>(keep));
    const JournalReading reading = readJournal(torn);
    FUZZ_CHECK(!reading.problem.empty() && reading.end == last && reading.records.size() == written.size() - 1,
               "cut at %zu inside the record at %zu: read %zu records to %zu (%s)", keep, last, reading.records.size(),
               reading.end, reading.problem.c_str());
}

// Whatever the bytes, the reader's account holds together, and each record it
// takes for whole is what the builder makes of its fields.
void checkAnyBytes(const uint8_t* data, size_t size)
{
    const std::vector<unsigned char> file(data, data + size);
    const JournalReading reading = readJournal(file);
    FUZZ_CHECK(reading.end <= size, "end %zu beyond %zu", reading.end, size);
    FUZZ_CHECK(reading.problem.empty() == (reading.end == size), "problem \"%s\" with end %zu of %zu",
               reading.problem.c_str(), reading.end, size);
    size_t next = 0;
    for (const JournalRecord& r : reading.records) {
        FUZZ_CHECK(r.offset == next && r.event >= 0 && r.event <= 255 && r.text.size() <= HUB_EVENT_TEXT_MAX,
                   "record at %zu (expected %zu), event %d, %zu text bytes", r.offset, next, r.event, r.text.size());
        next = r.offset + 15 + r.text.size();
        if (r.text.find('\0') == std::string::npos) {
            unsigned char record[HUB_EVENT_RECORD_MAX];
            const int length = buildHubEventRecord(record, r.time, r.event, r.text.c_str());
            FUZZ_CHECK(static_cast<size_t>(length) == 15 + r.text.size() &&
                           std::memcmp(record, data + r.offset, static_cast<size_t>(length)) == 0,
                       "the record at %zu is not what the builder makes of its fields", r.offset);
        }
    }
    FUZZ_CHECK(next == reading.end, "records end at %zu, reading at %zu", next, reading.end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    checkAnyBytes(data, size);

    FuzzInput input(data, size);
    std::vector<unsigned char> journal;
    std::vector<Written> written;
    while (input.restSize() >= 10) {
        const int event = input.int32();
        const uint32_t time = static_cast<uint32_t>(input.bits(4));
        const unsigned lengthField = static_cast<unsigned>(input.bits(2));
        const bool nullText = (lengthField & 0x8000) != 0;
        size_t got = 0;
        const uint8_t* bytes = input.take(lengthField & 0x7FFF, got);
        const std::string given(reinterpret_cast<const char*>(bytes), got);

        unsigned char record[HUB_EVENT_RECORD_MAX];
        const int length = buildHubEventRecord(record, time, event, nullText ? nullptr : given.c_str());
        const std::string stored = nullText ? std::string() : std::string(given.c_str()).substr(0, HUB_EVENT_TEXT_MAX);
        FUZZ_CHECK(length == static_cast<int>(15 + stored.size()), "record of %d bytes for a %zu-byte text", length,
                   stored.size());
        written.push_back({journal.size(), time, event & 0xFF, stored});
        journal.insert(journal.end(), record, record + length);
    }
    checkReadBack(journal, written);
    checkTornTail(journal, written, size);
    return 0;
}
