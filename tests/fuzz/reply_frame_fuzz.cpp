// A controller reply as the exchange takes it in: the 12 header bytes, then,
// when the header passes, its dataLength + 2 payload bytes, then the acceptance
// rule against the request. Input: a flags byte, the request's code,
// sub-command, param1 and param2 (6 bytes), then the bytes on the line. The
// header and the payload get their right checksums unless flag bit 0 (header)
// or bit 1 (payload) keeps the bytes as given: most inputs then reach the
// checks beyond the checksums.
#include "Fuzz.h"

#include "Crc16.h"
#include "SerialComm.h"

#include <cstring>

namespace {

const unsigned char UNTOUCHED = 0xA7;

void fillUntouched(SerialPacket& packet)
{
    packet.commandCode = packet.dataLength = packet.subCommand = packet.sequence = UNTOUCHED;
    packet.reserved1 = packet.reserved2 = UNTOUCHED;
    packet.param1 = packet.param2 = UNTOUCHED * 257;
    std::memset(packet.commandArray, UNTOUCHED, sizeof packet.commandArray);
    std::memset(packet.payload, UNTOUCHED, sizeof packet.payload);
}

bool headerUntouched(const SerialPacket& p)
{
    for (unsigned char b : p.commandArray)
        if (b != UNTOUCHED)
            return false;
    return p.commandCode == UNTOUCHED && p.dataLength == UNTOUCHED && p.subCommand == UNTOUCHED &&
           p.sequence == UNTOUCHED && p.param1 == UNTOUCHED * 257 && p.param2 == UNTOUCHED * 257;
}

bool payloadUntouchedFrom(const SerialPacket& p, int from)
{
    for (int i = from; i < SerialPacket::PAYLOAD_CAPACITY; ++i)
        if (p.payload[i] != UNTOUCHED)
            return false;
    return true;
}

unsigned littleEndian(const unsigned char* at)
{
    return at[0] | at[1] << 8;
}

void putChecksum(unsigned char* at, const unsigned char* bytes, size_t length)
{
    const uint16_t crc = crc16(bytes, length);
    at[0] = static_cast<unsigned char>(crc & 0xFF);
    at[1] = static_cast<unsigned char>(crc >> 8);
}

// The acceptance rule, written out from the protocol apart from the library.
bool refusedByTheRule(const SerialPacket& request, const SerialPacket& reply)
{
    if (reply.commandCode != 0x20 || reply.sequence != request.subCommand)
        return false;
    if (request.commandCode == 0x22)
        return true;
    return request.commandCode == 'P' && reply.param1 == request.param1 && reply.param2 == request.param2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t flags = input.byte();
    SerialPacket request;
    request.commandCode = input.byte();
    request.subCommand = input.byte();
    request.param1 = static_cast<unsigned short>(input.bits(2));
    request.param2 = static_cast<unsigned short>(input.bits(2));

    unsigned char wire[SerialPacket::MAX_FRAME_BYTES] = {};
    size_t got = 0;
    const uint8_t* bytes = input.take(sizeof wire, got);
    if (got < SerialPacket::HEADER_FRAME_BYTES)
        return 0;  // the receive times out before a header is complete
    std::memcpy(wire, bytes, got);
    if (!(flags & 1))
        putChecksum(wire + SerialPacket::HEADER_BYTES, wire, SerialPacket::HEADER_BYTES);
    const size_t length = wire[1];
    const size_t frameLength = length == 0 ? SerialPacket::HEADER_FRAME_BYTES : length + 14;
    if (!(flags & 2) && length != 0 && got >= frameLength)
        putChecksum(wire + SerialPacket::HEADER_FRAME_BYTES + length, wire + SerialPacket::HEADER_FRAME_BYTES, length);

    SerialPacket reply;
    fillUntouched(reply);
    const bool headerSound = crc16(wire, SerialPacket::HEADER_BYTES) == littleEndian(wire + SerialPacket::HEADER_BYTES);
    const bool headerTaken = decodeReplyHeader(wire, reply);
    FUZZ_CHECK(headerTaken == headerSound, "header taken %d, checksum sound %d", headerTaken, headerSound);
    if (!headerTaken) {
        FUZZ_CHECK(headerUntouched(reply) && payloadUntouchedFrom(reply, 0), "a refused header changed the reply");
        return 0;
    }
    FUZZ_CHECK(reply.commandCode == wire[0] && reply.dataLength == wire[1] && reply.param1 == littleEndian(wire + 2) &&
                   reply.param2 == littleEndian(wire + 4) && reply.subCommand == wire[6] && reply.sequence == wire[7],
               "header members do not match the wire");
    FUZZ_CHECK(payloadUntouchedFrom(reply, 0), "the header step wrote into the payload");
    {
        SerialPacket again = reply;
        unsigned char frame[SerialPacket::MAX_FRAME_BYTES];
        again.makePacketBytes(frame);
        FUZZ_CHECK(std::memcmp(frame, wire, SerialPacket::HEADER_FRAME_BYTES) == 0,
                   "an accepted header does not encode to the same bytes");
    }

    bool received = true;
    if (length != 0) {
        if (got < frameLength)
            return 0;  // the payload's receive times out
        const unsigned char* payload = wire + SerialPacket::HEADER_FRAME_BYTES;
        const bool payloadSound = crc16(payload, length) == littleEndian(payload + length);
        received = decodeReplyPayload(payload, reply);
        FUZZ_CHECK(received == payloadSound, "payload taken %d, checksum sound %d", received, payloadSound);
        if (!received) {
            FUZZ_CHECK(payloadUntouchedFrom(reply, 0), "a refused payload was copied");
        } else {
            FUZZ_CHECK(std::memcmp(reply.payload, payload, length) == 0, "payload differs from the wire");
            FUZZ_CHECK(payloadUntouchedFrom(reply, static_cast<int>(length)), "bytes beyond the payload written");
            SerialPacket again = reply;
            unsigned char frame[SerialPacket::MAX_FRAME_BYTES];
            again.makePacketBytes(frame);
            FUZZ_CHECK(std::memcmp(frame, wire, frameLength) == 0, "an accepted frame does not encode to the same bytes");
        }
    }
    if (!received)
        return 0;

    const bool refused = refusedByTheRule(request, reply);
    FUZZ_CHECK(isRefusedReply(request, reply) == refused, "request %02x/%02x, reply %02x seq %02x: refused should be %d",
               request.commandCode, request.subCommand, reply.commandCode, reply.sequence, refused);
    // The exchange's own step, on its copy of the request.
    SerialIO noPort;
    noPort.portFd = -1;
    SerialComm comm(noPort);
    comm.request = request;
    comm.replyTarget = &reply;
    FUZZ_CHECK(comm.commandResponseCheck() == !refused, "the exchange judges the reply otherwise");
    return 0;
}
