#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What every fuzz target shares: the entry point that libFuzzer (or the corpus
// runner where there is no libFuzzer) calls, a check that ends the run with a
// message, and a reader of fixed-width numbers from the input.

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#define FUZZ_CHECK(condition, ...)                                                      \
    do {                                                                                \
        if (!(condition)) {                                                             \
            fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #condition); \
            fprintf(stderr, __VA_ARGS__);                                               \
            fprintf(stderr, "\n");                                                      \
            abort();                                                                    \
        }                                                                               \
    } while (0)

// Takes numbers from the front of the input, little-endian; past its end they
// are 0. What is left is the rest().
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : at(data), left(size) {}

    uint64_t bits(int bytes)
    {
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<uint64_t>(byte()) << (8 * i);
        return value;
    }

    uint8_t byte()
    {
        if (left == 0)
            return 0;
        --left;
        return *at++;
    }

    int32_t int32() { return static_cast<int32_t>(static_cast<uint32_t>(bits(4))); }
    int64_t int64() { return static_cast<int64_t>(bits(8)); }

    const uint8_t* rest() const { return at; }
    size_t restSize() const { return left; }

    // The next `count` bytes (fewer at the end); they are used up.
    const uint8_t* take(size_t count, size_t& got)
    {
        got = count < left ? count : left;
        const uint8_t* start = at;
        at += got;
        left -= got;
        return start;
    }

private:
    const uint8_t* at;
    size_t left;
};
