#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>

#include "ControllerClock.h"
#include "Types.h"

class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FaultRates {
    double drop = 0;
    double refuse = 0;
    double corrupt = 0;
    double fragment = 0;
};

struct FaultConfig {
    bool noReply = false;
    long long dropFirst = 0;
    long long refuseFirst = 0;
    long long corruptHeaderFirst = 0;
    long long corruptPayloadFirst = 0;
    int fragments = 1;
    double fragmentGapMs = 10;
    int trailingBytes = 0;
    std::optional<std::uint8_t> onlyCode;
    std::optional<std::uint8_t> onlySub;
    FaultRates rates;
    std::uint32_t seed = 1;
};

struct ClockConfig {
    ClockReading reading;
    bool running = false;

    bool operator==(const ClockConfig& other) const {
        return reading == other.reading && running == other.running;
    }
    bool operator!=(const ClockConfig& other) const { return !(*this == other); }
};

struct Config {
    std::array<std::uint8_t, 2> keypads{1, 1};
    std::uint8_t identity = 'H';
    std::uint8_t firmware = 7;
    std::uint8_t identityByte6 = 127;
    std::array<std::uint8_t, 6> mac{};
    std::array<std::uint8_t, 4> bootloaderCrc{};
    std::array<std::uint8_t, 4> kernelCrc{};
    std::size_t bootinfoLength = 16;
    std::size_t statusLength = 18;
    std::size_t identityLength = 8;
    std::size_t clockLength = 7;
    ClockConfig clock;
    std::optional<ClockBcd> clockBcd;
    double processingMs = 3;
    bool wireTime = true;
    FaultConfig faults;
};

// The defaults with the file's object merged over them; throws ConfigError.
Json effectiveConfig(const Json& file);
// Throws ConfigError naming the first bad or unknown key.
Config parseConfig(const Json& effective);
