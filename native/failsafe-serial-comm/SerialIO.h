#pragma once

// The serial line to the controller. A plain value: copies share the
// descriptor, and only the function that opened the port closes it.
class SerialIO {
public:
    int portFd;  // meaningful only after openSerialPort(); -1 after a failed open

    bool openSerialPort();
    int openPort(int speed);
    bool closeSerialPort();
    void purgeComm();
    void send_bytes(unsigned char* bytes, int count);
    // 0 when all wanted bytes arrived, 1 on timeout.
    int receive_bytes(unsigned short polls, unsigned char* buffer, int wanted);
    bool send_byte(unsigned char byte);
    bool recv_byte(unsigned char* byte, int limit);
    int getSerialPort();
};

extern const char* const SERIAL_DEVICE;
