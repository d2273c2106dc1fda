#pragma once

// One controller packet, in structured form (the ten header members) and in
// wire form (commandArray and the checksums). Copied whole; owns nothing.
class SerialPacket {
public:
    static const int HEADER_BYTES = 10;
    static const int HEADER_FRAME_BYTES = HEADER_BYTES + 2;
    static const int PAYLOAD_CAPACITY = 512;
    static const int MAX_FRAME_BYTES = HEADER_FRAME_BYTES + 255 + 2;

    unsigned char commandCode;
    unsigned char dataLength;
    unsigned short param1;
    unsigned short param2;
    unsigned char subCommand;
    unsigned char sequence;
    unsigned char reserved1;
    unsigned char reserved2;
    unsigned char commandArray[HEADER_BYTES];
    unsigned short headerCRC;
    unsigned char payload[PAYLOAD_CAPACITY];
    unsigned short payloadCRC;

    SerialPacket();
    void init();
    void makeCommandArray();
    void processHeader();
    // Writes the frame into a buffer of exactly frameLength() bytes.
    void makePacketBytes(unsigned char* frame);
    // 12 without payload, dataLength + 14 with one.
    int frameLength() const;
};
