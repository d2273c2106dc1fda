#pragma once

#include <optional>
#include <vector>

#include "Config.h"
#include "ControllerClock.h"
#include "Frame.h"
#include "Types.h"

namespace code {
constexpr std::uint8_t REFUSAL = 0x20;
constexpr std::uint8_t QUERY = 0x22;
constexpr std::uint8_t SYSTEM = 0x23;  // '#'
constexpr std::uint8_t KEYPAD_TEXT = 0x50;  // 'P'
constexpr std::uint8_t LEDS = 0x73;  // 's'
}  // namespace code

// The controller's firmware: builds the reply to a request and carries out
// what the request asks for. State changes come back as record lines.
class Controller {
public:
    void setClock(const ClockConfig& clock, TimePoint now);
    Frame reply(const Frame& request, const Config& config, TimePoint now) const;
    std::vector<Json> apply(const Frame& request, TimePoint now);

private:
    Bytes queryPayload(std::uint8_t sub, const Config& config, TimePoint now) const;
    Bytes clockPayload(const Config& config, TimePoint now) const;
    std::vector<Json> applySystem(const Frame& request, TimePoint now);
    std::vector<Json> cancelReboot(TimePoint now);

    ControllerClock clock_;
    std::optional<TimePoint> rebootAt_;
};

Frame refusalFor(const Frame& request);
