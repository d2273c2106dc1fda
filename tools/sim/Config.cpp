#include "Config.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <limits>
#include <string>

namespace {

const char* const DEFAULTS = R"({
  "keypads": [true, true],
  "identity": "H",
  "firmware": 7,
  "identity_byte6": 127,
  "mac": "00:11:22:0a:bc:01",
  "bootloader_crc": "deadbeef",
  "kernel_crc": "01020304",
  "bootinfo_length": 16,
  "status_length": 18,
  "identity_length": 8,
  "clock": {"time": "2024-03-07 13:05:09", "weekday": 4, "stopped": false, "running": false},
  "clock_length": 7,
  "processing_ms": 3,
  "wire_time": true,
  "faults": {
    "no_reply": false,
    "drop_first": 0,
    "corrupt_header_first": 0,
    "corrupt_payload_first": 0,
    "refuse_first": 0,
    "fragments": 1,
    "fragment_gap_ms": 10,
    "trailing_bytes": 0,
    "rates": {"drop": 0, "corrupt": 0, "refuse": 0, "fragment": 0},
    "seed": 1
  }
})";

[[noreturn]] void fail(const std::string& key, const std::string& problem) {
    throw ConfigError("\"" + key + "\": " + problem);
}

void checkKeys(const Json& object, const std::string& where, std::initializer_list<const char*> known) {
    if (!object.is_object()) {
        fail(where, "must be an object");
    }
    for (const auto& item : object.items()) {
        const bool isKnown = std::any_of(known.begin(), known.end(),
                                         [&item](const char* key) { return item.key() == key; });
        if (!isKnown) {
            fail(where.empty() ? item.key() : where + "." + item.key(), "unknown key");
        }
    }
}

bool getBool(const Json& object, const char* key) {
    const Json& value = object.at(key);
    if (!value.is_boolean()) {
        fail(key, "must be true or false");
    }
    return value.get<bool>();
}

long long getInteger(const Json& object, const char* key, long long low, long long high) {
    const Json& value = object.at(key);
    if (!value.is_number_integer()) {
        fail(key, "must be an integer");
    }
    const bool tooLarge =
        value.is_number_unsigned() && value.get<unsigned long long>() > static_cast<unsigned long long>(high);
    const long long number = value.get<long long>();
    if (tooLarge || number < low || number > high) {
        fail(key, "must be from " + std::to_string(low) + " to " + std::to_string(high));
    }
    return number;
}

int getInt(const Json& object, const char* key, int low, int high) {
    return static_cast<int>(getInteger(object, key, low, high));
}

double getNumber(const Json& object, const char* key, double low, double high) {
    const Json& value = object.at(key);
    if (!value.is_number() || value.get<double>() < low || value.get<double>() > high) {
        fail(key, "must be a number from " + std::to_string(low) + " to " + std::to_string(high));
    }
    return value.get<double>();
}

// A byte given as a number or as a one-character string.
std::uint8_t toByte(const Json& value, const std::string& key) {
    if (value.is_string() && value.get<std::string>().size() == 1) {
        return static_cast<std::uint8_t>(value.get<std::string>()[0]);
    }
    if (value.is_number_integer() && value.get<long long>() >= 0 && value.get<long long>() <= 255) {
        return static_cast<std::uint8_t>(value.get<long long>());
    }
    fail(key, "must be a number from 0 to 255 or a one-character string");
}

int hexDigit(char c) {
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
        return -1;
    }
    return std::isdigit(static_cast<unsigned char>(c)) != 0 ? c - '0' : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// Pairs of hex digits, optionally separated by one character (the MAC's colons).
template <std::size_t N>
std::array<std::uint8_t, N> getHexBytes(const Json& object, const char* key, bool separated) {
    const Json& value = object.at(key);
    const std::size_t step = separated ? 3 : 2;
    const std::size_t expected = separated ? N * 3 - 1 : N * 2;
    if (!value.is_string() || value.get<std::string>().size() != expected) {
        fail(key, separated ? "must be six hex pairs separated by ':'" : "must be " + std::to_string(N * 2) + " hex digits");
    }
    const std::string text = value.get<std::string>();
    std::array<std::uint8_t, N> bytes{};
    for (std::size_t i = 0; i < N; ++i) {
        const int high = hexDigit(text[i * step]);
        const int low = hexDigit(text[i * step + 1]);
        if (high < 0 || low < 0 || (separated && i + 1 < N && text[i * step + 2] != ':')) {
            fail(key, "is not valid hex");
        }
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return bytes;
}

std::uint8_t keypadStatus(const Json& value) {
    if (value.is_boolean()) {
        return value.get<bool>() ? 1 : 0;
    }
    return toByte(value, "keypads");
}

std::array<std::uint8_t, 2> getKeypads(const Json& object) {
    const Json& value = object.at("keypads");
    if (!value.is_array() || value.size() != 2) {
        fail("keypads", "must be an array of two booleans (or status bytes)");
    }
    return {keypadStatus(value[0]), keypadStatus(value[1])};
}

ClockConfig getClock(const Json& object) {
    const Json& clock = object.at("clock");
    checkKeys(clock, "clock", {"time", "weekday", "stopped", "running"});
    const Json& time = clock.at("time");
    std::optional<ClockReading> reading = time.is_string() ? parseTime(time.get<std::string>()) : std::nullopt;
    if (!reading) {
        fail("clock.time", "must be \"YYYY-MM-DD HH:MM:SS\" between 1996 and 2095");
    }
    ClockConfig config;
    config.reading = *reading;
    config.reading.weekday = getInt(clock, "weekday", 0, 99);
    config.reading.stopped = getBool(clock, "stopped");
    config.running = getBool(clock, "running");
    return config;
}

std::optional<ClockBcd> getClockBcd(const Json& object) {
    if (!object.contains("clock_bcd")) {
        return std::nullopt;
    }
    const Json& value = object.at("clock_bcd");
    if (!value.is_array() || value.size() != 7) {
        fail("clock_bcd", "must be an array of seven numbers");
    }
    ClockBcd bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!value[i].is_number_integer()) {
            fail("clock_bcd", "must be an array of seven numbers");
        }
        bytes[i] = toByte(value[i], "clock_bcd");
    }
    return bytes;
}

std::optional<std::uint8_t> getOptionalByte(const Json& object, const char* key) {
    if (!object.contains(key)) {
        return std::nullopt;
    }
    return toByte(object.at(key), key);
}

FaultRates getRates(const Json& faults) {
    const Json& rates = faults.at("rates");
    checkKeys(rates, "faults.rates", {"drop", "corrupt", "refuse", "fragment"});
    FaultRates result;
    result.drop = getNumber(rates, "drop", 0, 1);
    result.refuse = getNumber(rates, "refuse", 0, 1);
    result.corrupt = getNumber(rates, "corrupt", 0, 1);
    result.fragment = getNumber(rates, "fragment", 0, 1);
    return result;
}

FaultConfig getFaults(const Json& object) {
    const Json& faults = object.at("faults");
    checkKeys(faults, "faults",
              {"no_reply", "drop_first", "corrupt_header_first", "corrupt_payload_first", "refuse_first", "fragments",
               "fragment_gap_ms", "trailing_bytes", "only_code", "only_sub", "rates", "seed"});
    constexpr long long MANY = std::numeric_limits<long long>::max();
    FaultConfig config;
    config.noReply = getBool(faults, "no_reply");
    config.dropFirst = getInteger(faults, "drop_first", 0, MANY);
    config.refuseFirst = getInteger(faults, "refuse_first", 0, MANY);
    config.corruptHeaderFirst = getInteger(faults, "corrupt_header_first", 0, MANY);
    config.corruptPayloadFirst = getInteger(faults, "corrupt_payload_first", 0, MANY);
    config.fragments = getInt(faults, "fragments", 1, 269);
    config.fragmentGapMs = getNumber(faults, "fragment_gap_ms", 0, 60000);
    config.trailingBytes = getInt(faults, "trailing_bytes", 0, 4096);
    config.onlyCode = getOptionalByte(faults, "only_code");
    config.onlySub = getOptionalByte(faults, "only_sub");
    config.rates = getRates(faults);
    config.seed = static_cast<std::uint32_t>(getInteger(faults, "seed", 0, 0xFFFFFFFFLL));
    return config;
}

std::size_t getLength(const Json& object, const char* key) {
    return static_cast<std::size_t>(getInt(object, key, 0, 255));
}

}  // namespace

Json effectiveConfig(const Json& file) {
    if (!file.is_object()) {
        throw ConfigError("the configuration must be a JSON object");
    }
    Json effective = Json::parse(DEFAULTS);
    effective.merge_patch(file);
    return effective;
}

Config parseConfig(const Json& effective) {
    checkKeys(effective, "",
              {"keypads", "identity", "firmware", "identity_byte6", "mac", "bootloader_crc", "kernel_crc",
               "bootinfo_length", "status_length", "identity_length", "clock", "clock_bcd", "clock_length",
               "processing_ms", "wire_time", "faults", "generation", "comment"});
    Config config;
    config.keypads = getKeypads(effective);
    config.identity = toByte(effective.at("identity"), "identity");
    config.firmware = static_cast<std::uint8_t>(getInt(effective, "firmware", 0, 255));
    config.identityByte6 = static_cast<std::uint8_t>(getInt(effective, "identity_byte6", 0, 255));
    config.mac = getHexBytes<6>(effective, "mac", true);
    config.bootloaderCrc = getHexBytes<4>(effective, "bootloader_crc", false);
    config.kernelCrc = getHexBytes<4>(effective, "kernel_crc", false);
    config.bootinfoLength = getLength(effective, "bootinfo_length");
    config.statusLength = getLength(effective, "status_length");
    config.identityLength = getLength(effective, "identity_length");
    config.clockLength = getLength(effective, "clock_length");
    config.clock = getClock(effective);
    config.clockBcd = getClockBcd(effective);
    config.processingMs = getNumber(effective, "processing_ms", 0, 60000);
    config.wireTime = getBool(effective, "wire_time");
    config.faults = getFaults(effective);
    return config;
}
