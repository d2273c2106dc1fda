#include "FrameParser.h"

#include "Crc16.h"

namespace {

constexpr std::size_t MAX_GARBAGE_RUN = 256;

void flushSkipped(std::vector<ParsedItem>& items, Bytes& skipped) {
    if (!skipped.empty()) {
        items.emplace_back(Garbage{skipped});
        skipped.clear();
    }
}

}  // namespace

std::vector<ParsedItem> FrameParser::feed(const std::uint8_t* data, std::size_t size) {
    buffer_.insert(buffer_.end(), data, data + size);
    std::vector<ParsedItem> items;
    std::size_t pos = 0;
    while (buffer_.size() - pos >= HEADER_FRAME_BYTES) {
        if (!headerValidAt(pos)) {
            skipped_.push_back(buffer_[pos]);
            ++pos;
            if (skipped_.size() >= MAX_GARBAGE_RUN) {
                flushSkipped(items, skipped_);
            }
            continue;
        }
        const std::size_t length = frameLengthAt(pos);
        if (buffer_.size() - pos < length) {
            break;
        }
        flushSkipped(items, skipped_);
        items.emplace_back(decodeAt(pos, length));
        pos += length;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos));
    return items;
}

std::optional<Garbage> FrameParser::dropIncomplete() {
    if (empty()) {
        return std::nullopt;
    }
    Garbage garbage{skipped_};
    garbage.raw.insert(garbage.raw.end(), buffer_.begin(), buffer_.end());
    skipped_.clear();
    buffer_.clear();
    return garbage;
}

bool FrameParser::headerValidAt(std::size_t pos) const {
    const std::uint8_t* header = buffer_.data() + pos;
    return crc16(header, HEADER_BYTES) == readLittleEndian(header + HEADER_BYTES);
}

std::size_t FrameParser::frameLengthAt(std::size_t pos) const {
    const std::size_t payloadLength = buffer_[pos + 1];
    return payloadLength == 0 ? HEADER_FRAME_BYTES : HEADER_FRAME_BYTES + payloadLength + 2;
}

ReceivedFrame FrameParser::decodeAt(std::size_t pos, std::size_t length) const {
    const std::uint8_t* bytes = buffer_.data() + pos;
    ReceivedFrame received;
    received.raw.assign(bytes, bytes + length);
    received.frame.code = bytes[0];
    received.frame.param1 = readLittleEndian(bytes + 2);
    received.frame.param2 = readLittleEndian(bytes + 4);
    received.frame.sub = bytes[6];
    received.frame.seq = bytes[7];
    const std::size_t payloadLength = bytes[1];
    if (payloadLength != 0) {
        const std::uint8_t* payload = bytes + HEADER_FRAME_BYTES;
        received.frame.payload.assign(payload, payload + payloadLength);
        received.payloadCrcOk = crc16(payload, payloadLength) == readLittleEndian(payload + payloadLength);
    }
    return received;
}
