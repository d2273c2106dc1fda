#include "misc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Bit-by-bit CRC-16/ARC, the textbook definition the table form must agree with.
unsigned short referenceCrc(const std::vector<unsigned char>& bytes)
{
    unsigned crc = 0;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return static_cast<unsigned short>(crc);
}

unsigned short crcOf(const std::string& text)
{
    std::vector<unsigned char> bytes(text.begin(), text.end());
    return CRC16(bytes.data(), static_cast<unsigned short>(bytes.size()));
}

TEST(Crc16, KnownVectors)
{
    EXPECT_EQ(crcOf("123456789"), 0xBB3D);
    EXPECT_EQ(crcOf("abc"), 0x9738);
    EXPECT_EQ(CRC16(nullptr, 0), 0);
}

TEST(Crc16, AgreesWithBitwiseDefinitionOnRandomBuffers)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 2000; ++round) {
        std::vector<unsigned char> bytes(random() % 300);
        for (auto& byte : bytes)
            byte = static_cast<unsigned char>(random());
        ASSERT_EQ(CRC16(bytes.data(), static_cast<unsigned short>(bytes.size())), referenceCrc(bytes))
            << "length " << bytes.size();
    }
}

std::string dumpOf(const std::vector<unsigned char>& bytes)
{
    testing::internal::CaptureStdout();
    printBytes(bytes.data(), static_cast<int>(bytes.size()));
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST(PrintBytes, TwoLowerCaseDigitsAndABlankPerByte)
{
    EXPECT_EQ(dumpOf({0x00, 0x0a, 0xbc, 0x01, 0xff}), "00 0a bc 01 ff \n");
    EXPECT_EQ(dumpOf({}), "\n");
}

TEST(PrintBytes, BreaksTheLineAfterEvery32Bytes)
{
    std::vector<unsigned char> bytes(40);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i);
    std::string expected;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == 32)
            expected += "\n";
        char group[4];
        snprintf(group, sizeof group, "%02x ", bytes[i]);
        expected += group;
    }
    expected += "\n";
    EXPECT_EQ(dumpOf(bytes), expected);
}

}  // namespace
