#pragma once

#include "SerialIO.h"
#include "SerialPacket.h"

// One request/reply exchange with the controller over a port that the caller
// holds open. Lives on the caller's stack; allocates nothing.
class SerialComm {
public:
    explicit SerialComm(SerialIO port);

    // True when a reply was received and accepted into `reply`, or at once
    // after sending the command code ' '. The caller's request is not changed.
    bool sendCommand(SerialPacket& requestPacket, SerialPacket& reply);
    bool getResponse();
    bool getSerialPacket();
    bool commandResponseCheck();
    bool sendCommandPacket(unsigned char* frame, int length);

    int timeout;
    SerialIO serialPort;
    SerialPacket* replyTarget;
    SerialPacket request;
};

// The pure steps of receiving a reply, shared by the exchange and its tests.
// Header: 12 wire bytes; on a matching checksum the header goes into `reply`.
bool decodeReplyHeader(const unsigned char* wire, SerialPacket& reply);
// Payload: reply.dataLength bytes followed by their checksum.
bool decodeReplyPayload(const unsigned char* wire, SerialPacket& reply);
// The controller's "not now" answer to a status query or a keypad text.
bool isRefusedReply(const SerialPacket& request, const SerialPacket& reply);
