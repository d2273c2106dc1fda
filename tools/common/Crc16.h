#pragma once

#include <cstddef>
#include <cstdint>

// CRC-16/ARC: reflected polynomial 0xA001, initial value 0, no final xor.
std::uint16_t crc16(const std::uint8_t* data, std::size_t size);
