#include "SerialIO.h"

#include "misc.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

const char* const SERIAL_DEVICE = "/dev/ttyAM1";

namespace {
const int OPEN_ATTEMPTS = 500;
const unsigned short OPEN_RETRY_PAUSE_MS = 1;
const unsigned short FIRST_READ_WAIT_MS = 100;
const unsigned short POLL_PAUSE_MS = 2;
const unsigned short RECV_BYTE_PAUSE_MS = 15;
const int RECV_BYTE_UNITS_PER_PAUSE = 40;

void makeRaw8N1(termios& settings)
{
    settings.c_cflag |= (CLOCAL | CREAD);
    settings.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE);
    settings.c_cflag |= CS8;
    settings.c_iflag = 0;
    settings.c_oflag = 0;
    settings.c_lflag = 0;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 1;
}
}  // namespace

int SerialIO::openPort(int speed)
{
    int fd = open(SERIAL_DEVICE, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd == -1)
        return -1;
    fcntl(fd, F_SETFL, O_NONBLOCK);
    termios settings{};
    tcgetattr(fd, &settings);
    cfsetispeed(&settings, static_cast<speed_t>(speed));
    cfsetospeed(&settings, static_cast<speed_t>(speed));
    makeRaw8N1(settings);
    tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

bool SerialIO::openSerialPort()
{
    for (int attempt = 0; attempt < OPEN_ATTEMPTS; ++attempt) {
        portFd = openPort(B115200);
        if (portFd != -1)
            return true;
        WaitX20ms1(OPEN_RETRY_PAUSE_MS);
    }
    return false;
}

bool SerialIO::closeSerialPort()
{
    if (portFd != -1) {
        fcntl(portFd, F_SETFL, 0);
        close(portFd);
    }
    return true;
}

void SerialIO::purgeComm()
{
    unsigned char discarded;
    while (read(portFd, &discarded, 1) > 0) {
    }
}

void SerialIO::send_bytes(unsigned char* bytes, int count)
{
    ssize_t ignored = write(portFd, bytes, static_cast<size_t>(count));
    (void)ignored;
}

int SerialIO::receive_bytes(unsigned short polls, unsigned char* buffer, int wanted)
{
    WaitX20ms1(FIRST_READ_WAIT_MS);
    int received = 0;
    for (unsigned short poll = 0; poll < polls; ++poll) {
        const int got = read(portFd, buffer + received, static_cast<size_t>(wanted - received));
        if (got > 0)
            received += got;
        if (received >= wanted)
            return 0;
        WaitX20ms1(POLL_PAUSE_MS);
    }
    return 1;
}

bool SerialIO::send_byte(unsigned char byte)
{
    return write(portFd, &byte, 1) == 1;
}

bool SerialIO::recv_byte(unsigned char* byte, int limit)
{
    int spent = 0;
    while (spent < limit) {
        if (read(portFd, byte, 1) == 1)
            return true;
        WaitX20ms1(RECV_BYTE_PAUSE_MS);
        spent += RECV_BYTE_UNITS_PER_PAUSE;
    }
    return false;
}

int SerialIO::getSerialPort()
{
    return portFd;
}
