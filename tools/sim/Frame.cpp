#include "Frame.h"

#include <algorithm>

#include "Crc16.h"

namespace {

void appendLittleEndian(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

}  // namespace

Bytes encodeFrame(const Frame& frame) {
    const std::size_t length = std::min(frame.payload.size(), MAX_PAYLOAD);
    Bytes bytes;
    bytes.reserve(HEADER_FRAME_BYTES + length + 2);
    bytes.push_back(frame.code);
    bytes.push_back(static_cast<std::uint8_t>(length));
    appendLittleEndian(bytes, frame.param1);
    appendLittleEndian(bytes, frame.param2);
    bytes.push_back(frame.sub);
    bytes.push_back(frame.seq);
    bytes.push_back(0);
    bytes.push_back(0);
    appendLittleEndian(bytes, crc16(bytes.data(), HEADER_BYTES));
    if (length != 0) {
        bytes.insert(bytes.end(), frame.payload.begin(), frame.payload.begin() + static_cast<std::ptrdiff_t>(length));
        appendLittleEndian(bytes, crc16(bytes.data() + HEADER_FRAME_BYTES, length));
    }
    return bytes;
}

std::uint16_t readLittleEndian(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}
