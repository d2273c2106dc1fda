#include "Controller.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "Hex.h"

namespace {

namespace sub {
constexpr std::uint8_t IDENTITY = 0x00;
constexpr std::uint8_t KEYPAD_STATUS = 0x03;
constexpr std::uint8_t CLOCK_READ = 0x04;
constexpr std::uint8_t BOOT_INFO = 0x80;
constexpr std::uint8_t CLOCK_SET = 0x20;
constexpr std::uint8_t WATCHDOG_ARM = 0x40;
constexpr std::uint8_t WATCHDOG_DISARM = 0x41;
constexpr std::uint8_t REBOOT = 0x42;
constexpr std::uint8_t SHOW_TEXT = 0x23;
}  // namespace sub

// Copies what fits into a payload of fixed length; bytes past its end are lost.
template <typename Container>
void place(Bytes& payload, std::size_t offset, const Container& bytes) {
    for (std::size_t i = 0; i < bytes.size() && offset + i < payload.size(); ++i) {
        payload[offset + i] = bytes[i];
    }
}

Bytes identityPayload(const Config& config) {
    Bytes payload(config.identityLength, 0);
    place(payload, 0, Bytes{config.identity, config.firmware});
    place(payload, 6, Bytes{config.identityByte6});
    return payload;
}

Bytes statusPayload(const Config& config) {
    Bytes payload(config.statusLength, 0);
    place(payload, 0, Bytes{config.keypads[0]});
    place(payload, 17, Bytes{config.keypads[1]});
    return payload;
}

Bytes bootInfoPayload(const Config& config) {
    Bytes payload(config.bootinfoLength, 0);
    place(payload, 2, config.mac);
    place(payload, 8, config.bootloaderCrc);
    place(payload, 12, config.kernelCrc);
    return payload;
}

std::string printable(const Bytes& bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?';
    }
    return text;
}

Json stateLine(const char* what) {
    Json line;
    line["event"] = "state";
    line["what"] = what;
    return line;
}

Json keypadLine(const Frame& request) {
    Json line = stateLine("keypad");
    line["keypad"] = request.param1;
    line["text"] = printable(request.payload);
    line["text_hex"] = toHex(request.payload);
    return line;
}

Json ledsLine(const Frame& request) {
    Json line = stateLine("leds");
    line["blinking"] = request.param1 != 0 || request.param2 != 0 || request.sub != 0;
    line["param1"] = request.param1;
    line["param2"] = request.param2;
    line["sub"] = request.sub;
    return line;
}

Json watchdogLine(bool armed, std::uint16_t period) {
    Json line = stateLine("watchdog");
    line["armed"] = armed;
    if (armed) {
        line["period"] = period;
    }
    return line;
}

Json clockLine(const ClockReading& reading) {
    Json line = stateLine("clock");
    line["time"] = formatTime(reading);
    line["weekday"] = reading.weekday;
    return line;
}

}  // namespace

Frame refusalFor(const Frame& request) {
    Frame refusal;
    refusal.code = code::REFUSAL;
    refusal.param1 = request.param1;
    refusal.param2 = request.param2;
    refusal.sub = request.sub;
    refusal.seq = request.sub;
    return refusal;
}

void Controller::setClock(const ClockConfig& clock, TimePoint now) {
    clock_.set(clock.reading, clock.running, now);
}

Frame Controller::reply(const Frame& request, const Config& config, TimePoint now) const {
    Frame answer;
    answer.code = request.code;
    answer.sub = request.sub;
    answer.seq = request.seq;
    if (request.code == code::QUERY) {
        answer.payload = queryPayload(request.sub, config, now);
    }
    return answer;
}

Bytes Controller::queryPayload(std::uint8_t subCommand, const Config& config, TimePoint now) const {
    switch (subCommand) {
    case sub::IDENTITY:
        return identityPayload(config);
    case sub::KEYPAD_STATUS:
        return statusPayload(config);
    case sub::CLOCK_READ:
        return clockPayload(config, now);
    case sub::BOOT_INFO:
        return bootInfoPayload(config);
    default:
        return {};
    }
}

Bytes Controller::clockPayload(const Config& config, TimePoint now) const {
    Bytes payload(config.clockLength, 0);
    place(payload, 0, config.clockBcd ? *config.clockBcd : toBcd(clock_.read(now)));
    return payload;
}

std::vector<Json> Controller::apply(const Frame& request, TimePoint now) {
    switch (request.code) {
    case code::QUERY:
        return request.sub == sub::BOOT_INFO ? cancelReboot(now) : std::vector<Json>{};
    case code::SYSTEM:
        return applySystem(request, now);
    case code::KEYPAD_TEXT:
        return request.sub == sub::SHOW_TEXT ? std::vector<Json>{keypadLine(request)} : std::vector<Json>{};
    case code::LEDS:
        return {ledsLine(request)};
    default:
        return {};
    }
}

std::vector<Json> Controller::applySystem(const Frame& request, TimePoint now) {
    switch (request.sub) {
    case sub::CLOCK_SET: {
        if (request.payload.size() < 7) {
            return {};
        }
        const ClockReading reading = fromBcd(request.payload.data());
        clock_.set(reading, clock_.running(), now);
        return {clockLine(reading)};
    }
    case sub::WATCHDOG_ARM:
        return {watchdogLine(true, request.param1)};
    case sub::WATCHDOG_DISARM:
        return {watchdogLine(false, 0)};
    case sub::REBOOT: {
        Json line = stateLine("reboot");
        line["delay"] = request.param1;
        rebootAt_.reset();
        if (request.param1 != 0) {
            rebootAt_ = now + std::chrono::seconds(request.param1);
        }
        return {line};
    }
    default:
        return {};
    }
}

std::vector<Json> Controller::cancelReboot(TimePoint now) {
    if (!rebootAt_ || now >= *rebootAt_) {
        rebootAt_.reset();
        return {};
    }
    rebootAt_.reset();
    Json line = stateLine("reboot");
    line["cancelled"] = true;
    return {line};
}
