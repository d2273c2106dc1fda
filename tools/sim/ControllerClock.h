#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "Types.h"

constexpr int CLOCK_EPOCH_YEAR = 1996;

// One reading of the controller's real-time clock; year is the full year.
struct ClockReading {
    int year = CLOCK_EPOCH_YEAR;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 1;
    bool stopped = false;

    bool operator==(const ClockReading& other) const;
};

using ClockBcd = std::array<std::uint8_t, 7>;

ClockBcd toBcd(const ClockReading& reading);
// From the 7 bytes seconds (bit 7: stopped), minutes, hours, day, month, weekday, year.
ClockReading fromBcd(const std::uint8_t* bytes);
// "YYYY-MM-DD HH:MM:SS"
std::string formatTime(const ClockReading& reading);
std::optional<ClockReading> parseTime(const std::string& text);

// The battery-backed clock: holds a reading and, when running and not stopped,
// moves it on with the host's monotonic time.
class ControllerClock {
public:
    void set(const ClockReading& reading, bool running, TimePoint now);
    ClockReading read(TimePoint now) const;
    bool running() const { return running_; }

private:
    ClockReading base_;
    bool running_ = false;
    TimePoint since_;
};
