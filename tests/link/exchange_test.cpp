#include "SimTest.h"

#include "SerialComm.h"

#include <cstdlib>
#include <cstring>
#include <new>

// Counts heap allocations while `gCountAllocations` is set.
namespace {
bool gCountAllocations = false;
long gAllocations = 0;
}  // namespace

#ifndef __SANITIZE_ADDRESS__
extern "C" void* __libc_malloc(size_t size);
extern "C" void* malloc(size_t size)
{
    if (gCountAllocations)
        ++gAllocations;
    return __libc_malloc(size);
}
#endif

namespace {

class ExchangeTest : public SimTest {
protected:
    struct Outcome {
        bool accepted;
        SerialPacket reply;
    };

    Outcome exchange(SerialPacket request)
    {
        SerialIO port;
        EXPECT_TRUE(port.openSerialPort());
        SerialComm comm(port);
        Outcome outcome{false, SerialPacket()};
        outcome.accepted = comm.sendCommand(request, outcome.reply);
        port.closeSerialPort();
        return outcome;
    }

    static SerialPacket statusQuery()
    {
        SerialPacket request;
        request.commandCode = 0x22;
        request.subCommand = 0x03;
        return request;
    }

    std::vector<int> sequences() const
    {
        std::vector<int> list;
        for (auto& frame : sim.frames())
            list.push_back(frame["seq"].get<int>());
        return list;
    }

    void expectConsecutive(const std::vector<int>& seqs) const
    {
        for (size_t i = 1; i < seqs.size(); ++i)
            EXPECT_EQ(seqs[i], (seqs[i - 1] + 1) % 256) << "frame " << i;
    }
};

TEST_F(ExchangeTest, AnAnsweredRequestTakesOneFrameAndFillsTheReply)
{
    const Outcome outcome = exchange(statusQuery());
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.reply.commandCode, 0x22);
    EXPECT_EQ(outcome.reply.dataLength, 18);
    EXPECT_EQ(outcome.reply.payload[0] & 1, 1);
    EXPECT_EQ(outcome.reply.payload[17] & 1, 1);
    ASSERT_EQ(sim.frames().size(), 1u);
    EXPECT_TRUE(sim.frames()[0]["header_crc_ok"].get<bool>());
}

TEST_F(ExchangeTest, TheFirstSequenceIsTheDrawnValuePlusOne)
{
    srand(77);
    const int expected = ((rand() & 0xFF) + 1) % 256;
    srand(77);
    exchange(statusQuery());
    ASSERT_EQ(sequences().size(), 1u);
    EXPECT_EQ(sequences()[0], expected);
}

// Faults that make an attempt fail: each costs one more frame, with the next sequence number.
struct RetryCase {
    const char* name;
    SimControl::Json faults;
    size_t frames;
    bool accepted;
};

TEST_F(ExchangeTest, FailedAttemptsAreRetriedWithConsecutiveSequenceNumbers)
{
    const RetryCase cases[] = {
        {"one reply lost", {{"drop_first", 1}}, 2, true},
        {"one refusal", {{"refuse_first", 1}}, 2, true},
        {"two refusals", {{"refuse_first", 2}}, 3, true},
        {"corrupt header checksum", {{"corrupt_header_first", 1}}, 2, true},
        {"corrupt payload checksum", {{"corrupt_payload_first", 2}}, 3, true},
        {"three replies lost", {{"drop_first", 3}}, 3, false},
        {"dead controller", {{"no_reply", true}}, 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.configure({{"faults", c.faults}});
        EXPECT_EQ(exchange(statusQuery()).accepted, c.accepted);
        EXPECT_EQ(sim.frames().size(), c.frames);
        expectConsecutive(sequences());
    }
}

TEST_F(ExchangeTest, AFragmentedReplyIsAssembled)
{
    sim.configure({{"faults", {{"fragments", 5}, {"fragment_gap_ms", 8}}}});
    const Outcome outcome = exchange(statusQuery());
    EXPECT_TRUE(outcome.accepted);
    EXPECT_EQ(outcome.reply.dataLength, 18);
    EXPECT_EQ(sim.frames().size(), 1u);
}

TEST_F(ExchangeTest, BytesBeyondAReplyAreDiscardedBeforeTheNextRequest)
{
    sim.configure({{"faults", {{"trailing_bytes", 7}}}});
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(exchange(statusQuery()).accepted);
    EXPECT_EQ(sim.frames().size(), 3u) << "every request answered at the first attempt";
}

TEST_F(ExchangeTest, ADeadControllerFailsAfterAboutHalfASecond)
{
    sim.configure({{"faults", {{"no_reply", true}}}});
    bool accepted = true;
    const double seconds = secondsTaken([&] { accepted = exchange(statusQuery()).accepted; });
    EXPECT_FALSE(accepted);
    // Three receives: 100 ms each plus 25, 30 and 35 polls of 2 ms.
    EXPECT_GE(seconds, 0.48);
    EXPECT_LT(seconds, 5.0);
}

TEST_F(ExchangeTest, TheCallersRequestIsNotChanged)
{
    sim.configure({{"faults", {{"drop_first", 1}}}});
    SerialPacket request = statusQuery();
    request.sequence = 0x55;
    SerialPacket before = request;
    SerialIO port;
    ASSERT_TRUE(port.openSerialPort());
    SerialComm comm(port);
    SerialPacket reply;
    EXPECT_TRUE(comm.sendCommand(request, reply));
    port.closeSerialPort();
    EXPECT_EQ(std::memcmp(&before.commandCode, &request.commandCode,
                          offsetof(SerialPacket, commandArray) - offsetof(SerialPacket, commandCode)),
              0);
}

TEST_F(ExchangeTest, TheSpaceCommandIsSentOnceWithTheCallersSequenceAndNotAnswered)
{
    SerialPacket request;
    request.commandCode = 0x20;
    request.sequence = 0x42;
    bool accepted = false;
    const double seconds = secondsTaken([&] { accepted = exchange(request).accepted; });
    EXPECT_TRUE(accepted);
    EXPECT_LT(seconds, 0.1) << "no receive";
    usleep(50000);
    ASSERT_EQ(sim.frames().size(), 1u);
    EXPECT_EQ(sim.frames()[0]["seq"].get<int>(), 0x42);
}

TEST_F(ExchangeTest, AnExchangeAllocatesNothingOnTheHeap)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer owns malloc";
#endif
    sim.configure({{"faults", {{"drop_first", 1}}}});
    SerialIO port;
    ASSERT_TRUE(port.openSerialPort());
    SerialPacket request = statusQuery();
    SerialPacket reply;
    SerialComm comm(port);
    // The counter must see an allocation that does happen.
    void* (*volatile allocate)(size_t) = malloc;
    gAllocations = 0;
    gCountAllocations = true;
    free(allocate(16));
    gCountAllocations = false;
    ASSERT_EQ(gAllocations, 1);
    gAllocations = 0;
    gCountAllocations = true;
    const bool accepted = comm.sendCommand(request, reply);
    gCountAllocations = false;
    port.closeSerialPort();
    EXPECT_TRUE(accepted);
    EXPECT_EQ(gAllocations, 0);
}

}  // namespace
