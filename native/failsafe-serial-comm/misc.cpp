#include "misc.h"

#include <cstdio>
#include <unistd.h>

namespace {
const unsigned char oddparity[16] = {0, 1, 1, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 1, 1, 0};
const int BYTES_PER_DUMP_LINE = 32;
}  // namespace

void WaitX20ms1(unsigned short units)
{
    usleep(static_cast<useconds_t>(units) * 1000U);
}

unsigned short CRC16(const unsigned char* bytes, unsigned short length)
{
    unsigned short crc = 0;
    for (unsigned short i = 0; i < length; ++i) {
        unsigned short t = static_cast<unsigned short>((bytes[i] ^ crc) & 0xFF);
        crc = static_cast<unsigned short>(crc >> 8);
        if (oddparity[t & 0x0F] != oddparity[t >> 4])
            crc ^= 0xC001;
        t = static_cast<unsigned short>(t << 6);
        crc ^= t;
        t = static_cast<unsigned short>(t << 1);
        crc ^= t;
    }
    return crc;
}

void printBytes(const unsigned char* bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        if (i != 0 && i % BYTES_PER_DUMP_LINE == 0)
            printf("\n");
        if (bytes[i] < 16)
            printf("0%x ", bytes[i]);
        else
            printf("%x ", bytes[i]);
    }
    printf("\n");
}
