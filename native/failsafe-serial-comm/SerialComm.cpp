#include "SerialComm.h"

#include "misc.h"

#include <cstdlib>
#include <cstring>

namespace {
const int ATTEMPTS = 3;
const int DEFAULT_POLLS = 25;
const int POLLS_ADDED_PER_RETRY = 5;
const unsigned char CODE_SPACE = 0x20;
const unsigned char CODE_STATUS = 0x22;
const unsigned char CODE_KEYPAD_TEXT = 'P';

int pollsFor(unsigned char commandCode)
{
    switch (commandCode) {
    case 'e':
        return 250;
    case 'r':
    case 'p':
        return 100;
    default:
        return DEFAULT_POLLS;
    }
}

unsigned short wireChecksum(const unsigned char* twoBytes)
{
    return static_cast<unsigned short>(twoBytes[0] + 256 * twoBytes[1]);
}
}  // namespace

bool decodeReplyHeader(const unsigned char* wire, SerialPacket& reply)
{
    if (CRC16(wire, SerialPacket::HEADER_BYTES) != wireChecksum(wire + SerialPacket::HEADER_BYTES))
        return false;
    std::memcpy(reply.commandArray, wire, SerialPacket::HEADER_BYTES);
    reply.processHeader();
    return true;
}

bool decodeReplyPayload(const unsigned char* wire, SerialPacket& reply)
{
    if (CRC16(wire, reply.dataLength) != wireChecksum(wire + reply.dataLength))
        return false;
    std::memcpy(reply.payload, wire, reply.dataLength);
    return true;
}

bool isRefusedReply(const SerialPacket& request, const SerialPacket& reply)
{
    if (reply.commandCode != CODE_SPACE || reply.sequence != request.subCommand)
        return false;
    if (request.commandCode == CODE_STATUS)
        return true;
    if (request.commandCode == CODE_KEYPAD_TEXT)
        return reply.param1 == request.param1 && reply.param2 == request.param2;
    return false;
}

SerialComm::SerialComm(SerialIO port) : timeout(DEFAULT_POLLS), serialPort(port), replyTarget(nullptr)
{
}

bool SerialComm::sendCommand(SerialPacket& requestPacket, SerialPacket& reply)
{
    request = requestPacket;
    replyTarget = &reply;
    const int length = request.frameLength();
    timeout = pollsFor(request.commandCode);
    unsigned char sequence = static_cast<unsigned char>(rand() & 0xFF);
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        ++sequence;
        if (request.commandCode != CODE_SPACE)
            request.sequence = sequence;
        unsigned char frame[SerialPacket::MAX_FRAME_BYTES];
        request.makePacketBytes(frame);
        sendCommandPacket(frame, length);
        if (request.commandCode == CODE_SPACE)
            return true;
        if (getResponse())
            return true;
        timeout += POLLS_ADDED_PER_RETRY;
    }
    return false;
}

bool SerialComm::getResponse()
{
    return getSerialPacket() && commandResponseCheck();
}

// Input is purged before each request goes out, not here: a reply that is
// already arriving when the receive starts belongs to this request.
bool SerialComm::getSerialPacket()
{
    const unsigned short polls = static_cast<unsigned short>(timeout);
    unsigned char header[SerialPacket::HEADER_FRAME_BYTES];
    if (serialPort.receive_bytes(polls, header, SerialPacket::HEADER_FRAME_BYTES) != 0)
        return false;
    if (!decodeReplyHeader(header, *replyTarget))
        return false;
    if (replyTarget->dataLength == 0)
        return true;
    unsigned char payload[255 + 2];
    if (serialPort.receive_bytes(polls, payload, replyTarget->dataLength + 2) != 0)
        return false;
    return decodeReplyPayload(payload, *replyTarget);
}

bool SerialComm::commandResponseCheck()
{
    return !isRefusedReply(request, *replyTarget);
}

bool SerialComm::sendCommandPacket(unsigned char* frame, int length)
{
    serialPort.purgeComm();
    serialPort.send_bytes(frame, length);
    return true;
}
