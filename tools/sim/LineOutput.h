#pragma once

#include <cstddef>

#include "Types.h"

// Bytes for the master, written without blocking. What the terminal does not
// take at once waits here for the next chance, in order.
class LineOutput {
public:
    explicit LineOutput(int fd) : fd_(fd) {}
    void send(const Bytes& bytes);
    void flush();
    bool pending() const { return !buffer_.empty(); }

private:
    static constexpr std::size_t LIMIT = 1 << 16;

    int fd_;
    Bytes buffer_;
};
