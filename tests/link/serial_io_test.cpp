#include "SimTest.h"

#include "SerialIO.h"

#include <fcntl.h>
#include <termios.h>

namespace {

using SerialPortTest = SimTest;

TEST_F(SerialPortTest, OpensRaw115200With8N1AndNonBlockingReads)
{
    SerialIO port;
    ASSERT_TRUE(port.openSerialPort());
    termios settings{};
    ASSERT_EQ(tcgetattr(port.portFd, &settings), 0);
    EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B115200));
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B115200));
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(settings.c_iflag, 0u);
    EXPECT_EQ(settings.c_oflag, 0u);
    EXPECT_EQ(settings.c_lflag, 0u);
    EXPECT_EQ(settings.c_cc[VMIN], 0);
    EXPECT_EQ(settings.c_cc[VTIME], 1);
    EXPECT_TRUE(fcntl(port.portFd, F_GETFL) & O_NONBLOCK);
    EXPECT_TRUE(port.closeSerialPort());
}

TEST_F(SerialPortTest, AMissingDeviceIsGivenUpAfterAboutHalfASecond)
{
    ASSERT_TRUE(SimControl::removeDevice());
    SerialIO port;
    bool opened = true;
    const double seconds = secondsTaken([&] { opened = port.openSerialPort(); });
    ASSERT_TRUE(SimControl::restoreDevice());
    EXPECT_FALSE(opened);
    EXPECT_EQ(port.portFd, -1);
    // 500 attempts with a 1 ms pause after each: never less, and no hang.
    EXPECT_GE(seconds, 0.5);
    EXPECT_LT(seconds, 10.0);
    EXPECT_TRUE(port.closeSerialPort());
}

TEST_F(SerialPortTest, ReceiveWithNoPollsWaitsTheFirstReadPauseAndTimesOut)
{
    SerialIO port;
    ASSERT_TRUE(port.openSerialPort());
    unsigned char buffer[4];
    int result = 0;
    const double seconds = secondsTaken([&] { result = port.receive_bytes(0, buffer, 4); });
    port.closeSerialPort();
    EXPECT_EQ(result, 1);
    EXPECT_GE(seconds, 0.1);
}

TEST_F(SerialPortTest, PendingInputIsPurgedAndAFragmentedReplyIsCollected)
{
    sim.configure({{"faults", {{"fragments", 3}, {"fragment_gap_ms", 60}}}});
    SerialIO port;
    ASSERT_TRUE(port.openSerialPort());
    // A status query by hand; the reply arrives in three pieces, the last one while polling.
    unsigned char query[] = {0x22, 0, 0, 0, 0, 0, 0x03, 0x01, 0, 0, 0xF1, 0x24};
    port.send_bytes(query, sizeof query);
    unsigned char reply[12 + 18 + 2];
    EXPECT_EQ(port.receive_bytes(25, reply, sizeof reply), 0);
    EXPECT_EQ(reply[0], 0x22);
    EXPECT_EQ(reply[1], 18);
    // Ask again, let the reply arrive unread, then purge it away.
    port.send_bytes(query, sizeof query);
    usleep(200000);
    port.purgeComm();
    unsigned char leftover[1];
    EXPECT_EQ(port.receive_bytes(5, leftover, 1), 1);
    port.closeSerialPort();
}

}  // namespace
