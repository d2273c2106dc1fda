#include "SerialPacket.h"

#include "misc.h"

#include <cstring>

namespace {
unsigned char lowByte(unsigned short value)
{
    return static_cast<unsigned char>(value & 0xFF);
}

unsigned char highByte(unsigned short value)
{
    return static_cast<unsigned char>(value >> 8);
}

unsigned short littleEndian16(unsigned char low, unsigned char high)
{
    return static_cast<unsigned short>(low + 256 * high);
}
}  // namespace

SerialPacket::SerialPacket()
{
    init();
}

void SerialPacket::init()
{
    commandCode = 0;
    dataLength = 0;
    param1 = 0;
    param2 = 0;
    subCommand = 0;
    sequence = 0;
    reserved1 = 0;
    reserved2 = 0;
}

void SerialPacket::makeCommandArray()
{
    commandArray[0] = commandCode;
    commandArray[1] = dataLength;
    commandArray[2] = lowByte(param1);
    commandArray[3] = highByte(param1);
    commandArray[4] = lowByte(param2);
    commandArray[5] = highByte(param2);
    commandArray[6] = subCommand;
    commandArray[7] = sequence;
    commandArray[8] = reserved1;
    commandArray[9] = reserved2;
}

void SerialPacket::processHeader()
{
    commandCode = commandArray[0];
    dataLength = commandArray[1];
    param1 = littleEndian16(commandArray[2], commandArray[3]);
    param2 = littleEndian16(commandArray[4], commandArray[5]);
    subCommand = commandArray[6];
    sequence = commandArray[7];
    reserved1 = commandArray[8];
    reserved2 = commandArray[9];
}

void SerialPacket::makePacketBytes(unsigned char* frame)
{
    makeCommandArray();
    headerCRC = CRC16(commandArray, HEADER_BYTES);
    std::memcpy(frame, commandArray, HEADER_BYTES);
    frame[10] = lowByte(headerCRC);
    frame[11] = highByte(headerCRC);
    if (dataLength == 0)
        return;
    payloadCRC = CRC16(payload, dataLength);
    std::memcpy(frame + HEADER_FRAME_BYTES, payload, dataLength);
    frame[HEADER_FRAME_BYTES + dataLength] = lowByte(payloadCRC);
    frame[HEADER_FRAME_BYTES + dataLength + 1] = highByte(payloadCRC);
}

int SerialPacket::frameLength() const
{
    return dataLength == 0 ? HEADER_FRAME_BYTES : dataLength + HEADER_FRAME_BYTES + 2;
}
