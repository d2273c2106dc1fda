#include "Crc16.h"

std::uint16_t crc16(const std::uint8_t* data, std::size_t size)
{
    unsigned crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) != 0 ? (crc >> 1) ^ 0xA001U : crc >> 1;
        }
    }
    return static_cast<std::uint16_t>(crc);
}
