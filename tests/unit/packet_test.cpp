#include "SerialComm.h"
#include "SerialPacket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes frameOf(SerialPacket packet)
{
    Bytes frame(static_cast<size_t>(packet.frameLength()));
    packet.makePacketBytes(frame.data());
    return frame;
}

SerialPacket packet(unsigned char code, unsigned char sub, unsigned short p1 = 0, unsigned short p2 = 0,
                    const Bytes& payload = {})
{
    SerialPacket p;
    p.commandCode = code;
    p.subCommand = sub;
    p.param1 = p1;
    p.param2 = p2;
    p.sequence = 0x01;
    p.dataLength = static_cast<unsigned char>(payload.size());
    if (!payload.empty())
        std::memcpy(p.payload, payload.data(), payload.size());
    return p;
}

struct WorkedFrame {
    const char* name;
    SerialPacket request;
    Bytes wire;
};

TEST(SerialPacket, WorkedFramesMatchByteForByte)
{
    const WorkedFrame frames[] = {
        {"keypad status query", packet(0x22, 0x03), {0x22, 0, 0, 0, 0, 0, 0x03, 0x01, 0, 0, 0xF1, 0x24}},
        {"immediate reboot", packet(0x23, 0x42), {0x23, 0, 0, 0, 0, 0, 0x42, 0x01, 0, 0, 0xB4, 0xDD}},
        {"HI on keypad 1", packet(0x50, 0x23, 1, 0, {'H', 'I'}),
         {0x50, 0x02, 0x01, 0, 0, 0, 0x23, 0x01, 0, 0, 0x81, 0xA9, 0x48, 0x49, 0xF7, 0xF6}},
        {"clock reset", packet(0x23, 0x20, 0, 0, {0, 0, 0, 1, 1, 1, 0, 0}),
         {0x23, 0x08, 0, 0, 0, 0, 0x20, 0x01, 0, 0, 0xCC, 0xA5, 0, 0, 0, 1, 1, 1, 0, 0, 0x6D, 0xFC}},
    };
    for (const auto& f : frames)
        EXPECT_EQ(frameOf(f.request), f.wire) << f.name;
}

TEST(SerialPacket, FrameLengthDependsOnPayload)
{
    EXPECT_EQ(packet(0x22, 0).frameLength(), 12);
    EXPECT_EQ(packet(0x23, 0x20, 0, 0, Bytes(8)).frameLength(), 22);
    EXPECT_EQ(packet(0x50, 0x23, 1, 0, Bytes(255)).frameLength(), 269);
}

TEST(SerialPacket, HeaderGoesOutInWireOrderWithParamsLowByteFirst)
{
    SerialPacket p = packet(0xA1, 0xB2, 0x1234, 0xABCD);
    p.sequence = 0x77;
    p.makeCommandArray();
    const Bytes expected = {0xA1, 0x00, 0x34, 0x12, 0xCD, 0xAB, 0xB2, 0x77, 0x00, 0x00};
    EXPECT_EQ(Bytes(p.commandArray, p.commandArray + 10), expected);
}

TEST(SerialPacket, ProcessHeaderUnpacksWhatMakeCommandArrayPacked)
{
    SerialPacket sent = packet(0x50, 0x23, 0xFEDC, 0x0102, Bytes(16, 'x'));
    sent.sequence = 0xF0;
    sent.makeCommandArray();
    SerialPacket received;
    std::memcpy(received.commandArray, sent.commandArray, 10);
    received.processHeader();
    EXPECT_EQ(received.commandCode, 0x50);
    EXPECT_EQ(received.dataLength, 16);
    EXPECT_EQ(received.param1, 0xFEDC);
    EXPECT_EQ(received.param2, 0x0102);
    EXPECT_EQ(received.subCommand, 0x23);
    EXPECT_EQ(received.sequence, 0xF0);
}

TEST(SerialPacket, ConstructorZeroesTheHeaderMembers)
{
    SerialPacket p;
    p.commandCode = 9;
    p.param2 = 9;
    p.init();
    EXPECT_EQ(frameOf(p), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ReplyDecoding, AcceptsAFrameWithMatchingChecksums)
{
    const Bytes wire = frameOf(packet(0x22, 0x03, 0, 0, {1, 2, 3}));
    SerialPacket reply;
    ASSERT_TRUE(decodeReplyHeader(wire.data(), reply));
    EXPECT_EQ(reply.dataLength, 3);
    ASSERT_TRUE(decodeReplyPayload(wire.data() + 12, reply));
    EXPECT_EQ(Bytes(reply.payload, reply.payload + 3), (Bytes{1, 2, 3}));
}

TEST(ReplyDecoding, RejectsAnyCorruptedByte)
{
    const Bytes good = frameOf(packet(0x22, 0x00, 0, 0, {'H', 7, 0, 0, 0, 0, 0x7F, 0}));
    for (size_t i = 0; i < good.size(); ++i) {
        Bytes bad = good;
        bad[i] ^= 0x10;
        SerialPacket reply;
        const bool header = decodeReplyHeader(bad.data(), reply);
        const bool whole = header && decodeReplyPayload(bad.data() + 12, reply);
        EXPECT_FALSE(whole) << "byte " << i;
        if (i < 12) {
            EXPECT_FALSE(header) << "byte " << i;
        }
    }
}

TEST(ReplyDecoding, AHeaderWithABadChecksumLeavesTheReplyAlone)
{
    Bytes wire = frameOf(packet(0x22, 0x04));
    wire[11] ^= 1;
    SerialPacket reply;
    reply.commandCode = 0x99;
    EXPECT_FALSE(decodeReplyHeader(wire.data(), reply));
    EXPECT_EQ(reply.commandCode, 0x99);
}

struct AcceptanceCase {
    const char* name;
    SerialPacket request;
    SerialPacket reply;
    bool refused;
};

SerialPacket reply(unsigned char code, unsigned char seq, unsigned short p1 = 0, unsigned short p2 = 0)
{
    SerialPacket p = packet(code, 0, p1, p2);
    p.sequence = seq;
    return p;
}

TEST(ReplyAcceptance, RefusalsAreRecognisedOnlyWhereTheyApply)
{
    const AcceptanceCase cases[] = {
        {"status: space with byte 7 = sub", packet(0x22, 3), reply(0x20, 3), true},
        {"status: space with other byte 7", packet(0x22, 3), reply(0x20, 4), false},
        {"status: ordinary reply", packet(0x22, 3), reply(0x22, 3), false},
        {"identity: space with byte 7 = sub", packet(0x22, 0), reply(0x20, 0), true},
        {"text: space, byte 7 and params equal", packet(0x50, 0x23, 2, 0), reply(0x20, 0x23, 2, 0), true},
        {"text: other param1", packet(0x50, 0x23, 2, 0), reply(0x20, 0x23, 1, 0), false},
        {"text: other param2", packet(0x50, 0x23, 2, 0), reply(0x20, 0x23, 2, 5), false},
        {"text: other byte 7", packet(0x50, 0x23, 2, 0), reply(0x20, 0x24, 2, 0), false},
        {"control command: space is accepted", packet(0x23, 0x42), reply(0x20, 0x42), false},
        {"leds: space is accepted", packet(0x73, 0), reply(0x20, 0), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isRefusedReply(c.request, c.reply), c.refused) << c.name;
}

}  // namespace
