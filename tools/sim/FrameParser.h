#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "Frame.h"

// Cuts the byte stream from the line into frames. A position whose 12 bytes do
// not carry a valid header checksum is skipped one byte at a time, so the parser
// falls back in step after noise or a torn frame. Skipped bytes are held back
// until a frame follows them, so that a run of noise makes one garbage item.
class FrameParser {
public:
    std::vector<ParsedItem> feed(const std::uint8_t* data, std::size_t size);
    // Gives up on an incomplete frame: everything buffered becomes garbage.
    std::optional<Garbage> dropIncomplete();
    bool empty() const { return buffer_.empty() && skipped_.empty(); }

private:
    bool headerValidAt(std::size_t pos) const;
    std::size_t frameLengthAt(std::size_t pos) const;
    ReceivedFrame decodeAt(std::size_t pos, std::size_t length) const;

    Bytes buffer_;
    Bytes skipped_;
};
