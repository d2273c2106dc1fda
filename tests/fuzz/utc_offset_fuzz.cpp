// The UTC-offset setting of the client's configuration file, as qor-watchdog
// reads it: the first 4095 bytes of the file in a zero-filled buffer of 4096.
// The result is checked against the rule written out here on its own.
#include "Fuzz.h"

#include "HubJournal.h"

#include <cstring>
#include <string>

namespace {

const size_t BUFFER_SIZE = 4096;
const long long LIMIT = 86400;

struct Expected {
    int offset;
    bool outOfRange;
};

// The key anywhere in the text (up to its first zero byte), the value up to the
// next line end; blanks, a sign, then decimal digits up to the first other byte.
Expected byTheRule(const char* buffer)
{
    const std::string text(buffer);
    const std::string key = "utc-offset=";
    const size_t at = text.find(key);
    if (at == std::string::npos)
        return {0, false};
    const size_t start = at + key.size();
    const size_t lineEnd = text.find('\n', start);
    if (lineEnd == std::string::npos || lineEnd == start)
        return {0, false};
    size_t i = start;
    while (i < lineEnd && (text[i] == ' ' || text[i] == '\t' || text[i] == '\v' || text[i] == '\f' || text[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < lineEnd && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    bool huge = false;
    for (; i < lineEnd && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > LIMIT) {
            huge = true;
            value = LIMIT + 1;
        }
    }
    if (negative)
        value = -value;
    if (huge || value < -LIMIT || value > LIMIT)
        return {0, true};
    return {static_cast<int>(value), false};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char* buffer = new char[BUFFER_SIZE]();
    const size_t read = size < BUFFER_SIZE - 1 ? size : BUFFER_SIZE - 1;
    if (read > 0)
        std::memcpy(buffer, data, read);
    const Expected expected = byTheRule(buffer);
    bool outOfRange = true;
    const int offset = utcOffsetOfConfig(buffer, &outOfRange);
    FUZZ_CHECK(offset == expected.offset && outOfRange == expected.outOfRange, "offset %d (%s), expected %d (%s)",
               offset, outOfRange ? "out of range" : "in range", expected.offset,
               expected.outOfRange ? "out of range" : "in range");
    FUZZ_CHECK(offset >= -LIMIT && offset <= LIMIT, "offset %d beyond the limit", offset);
    delete[] buffer;
    return 0;
}
