#pragma once

// Sleeps the given number of milliseconds (the name is historical: one unit is 1 ms).
void WaitX20ms1(unsigned short units);

// CRC-16/ARC: reflected polynomial 0xA001, initial value 0, no final XOR.
unsigned short CRC16(const unsigned char* bytes, unsigned short length);

// Hexadecimal dump: two lower-case digits and a blank per byte, 32 bytes a line.
void printBytes(const unsigned char* bytes, int count);
