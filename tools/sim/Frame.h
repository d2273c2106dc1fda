#pragma once

#include <cstddef>
#include <cstdint>
#include <variant>

#include "Types.h"

constexpr std::size_t HEADER_BYTES = 10;
constexpr std::size_t HEADER_FRAME_BYTES = HEADER_BYTES + 2;
constexpr std::size_t MAX_PAYLOAD = 255;

// One controller frame in structured form; the reserved header bytes are always 0.
struct Frame {
    std::uint8_t code = 0;
    std::uint16_t param1 = 0;
    std::uint16_t param2 = 0;
    std::uint8_t sub = 0;
    std::uint8_t seq = 0;
    Bytes payload;
};

// Wire form with both checksums; the payload is cut to MAX_PAYLOAD bytes.
Bytes encodeFrame(const Frame& frame);

std::uint16_t readLittleEndian(const std::uint8_t* bytes);

struct ReceivedFrame {
    Frame frame;
    Bytes raw;
    bool payloadCrcOk = true;
};

struct Garbage {
    Bytes raw;
};

using ParsedItem = std::variant<ReceivedFrame, Garbage>;
