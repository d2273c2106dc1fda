#include "ControllerClock.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr long long SECONDS_PER_DAY = 86400;

std::uint8_t bcdByte(int value) {
    const int clipped = ((value % 100) + 100) % 100;
    return static_cast<std::uint8_t>(((clipped / 10) << 4) | (clipped % 10));
}

int bcdValue(std::uint8_t byte) {
    return (byte >> 4) * 10 + (byte & 0x0F);
}

// Proleptic Gregorian day count relative to 1970-01-01.
long long daysFromCivil(int year, int month, int day) {
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097LL + dayOfEra - 719468;
}

void civilFromDays(long long days, ClockReading& reading) {
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    reading.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    reading.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    reading.year = static_cast<int>(yearOfEra + era * 400 + (reading.month <= 2 ? 1 : 0));
}

long long toSeconds(const ClockReading& reading) {
    const long long days = daysFromCivil(reading.year, std::clamp(reading.month, 1, 12), reading.day);
    return days * SECONDS_PER_DAY + reading.hour * 3600LL + reading.minute * 60LL + reading.second;
}

// Weekdays count 1 to 7 (1996-01-01, a Monday, is 1); a clock set to another
// number keeps it until the first midnight.
int advanceWeekday(int weekday, long long days) {
    if (days == 0) {
        return weekday;
    }
    return static_cast<int>(((weekday - 1 + days) % 7 + 7) % 7) + 1;
}

long long floorDiv(long long value, long long divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

}  // namespace

bool ClockReading::operator==(const ClockReading& other) const {
    return year == other.year && month == other.month && day == other.day && hour == other.hour &&
           minute == other.minute && second == other.second && weekday == other.weekday &&
           stopped == other.stopped;
}

ClockBcd toBcd(const ClockReading& reading) {
    ClockBcd bytes{};
    bytes[0] = static_cast<std::uint8_t>(bcdByte(reading.second) | (reading.stopped ? 0x80 : 0));
    bytes[1] = bcdByte(reading.minute);
    bytes[2] = bcdByte(reading.hour);
    bytes[3] = bcdByte(reading.day);
    bytes[4] = bcdByte(reading.month);
    bytes[5] = bcdByte(reading.weekday);
    bytes[6] = bcdByte(reading.year - CLOCK_EPOCH_YEAR);
    return bytes;
}

ClockReading fromBcd(const std::uint8_t* bytes) {
    ClockReading reading;
    reading.stopped = (bytes[0] & 0x80) != 0;
    reading.second = bcdValue(bytes[0] & 0x7F);
    reading.minute = bcdValue(bytes[1]);
    reading.hour = bcdValue(bytes[2]);
    reading.day = bcdValue(bytes[3]);
    reading.month = bcdValue(bytes[4]);
    reading.weekday = bcdValue(bytes[5]);
    reading.year = CLOCK_EPOCH_YEAR + bcdValue(bytes[6]);
    return reading;
}

std::string formatTime(const ClockReading& reading) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", reading.year, reading.month,
                  reading.day, reading.hour, reading.minute, reading.second);
    return text;
}

std::optional<ClockReading> parseTime(const std::string& text) {
    ClockReading reading;
    char extra = 0;
    const int fields = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &reading.year, &reading.month,
                                   &reading.day, &reading.hour, &reading.minute, &reading.second, &extra);
    const bool valid = fields == 6 && reading.year >= CLOCK_EPOCH_YEAR && reading.year <= CLOCK_EPOCH_YEAR + 99 &&
                       reading.month >= 1 && reading.month <= 12 && reading.day >= 1 && reading.day <= 31 &&
                       reading.hour >= 0 && reading.hour <= 23 && reading.minute >= 0 && reading.minute <= 59 &&
                       reading.second >= 0 && reading.second <= 59;
    if (!valid) {
        return std::nullopt;
    }
    return reading;
}

void ControllerClock::set(const ClockReading& reading, bool running, TimePoint now) {
    base_ = reading;
    running_ = running;
    since_ = now;
}

ClockReading ControllerClock::read(TimePoint now) const {
    if (!running_ || base_.stopped) {
        return base_;
    }
    const long long elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - since_).count();
    const long long baseSeconds = toSeconds(base_);
    const long long seconds = baseSeconds + elapsed;
    const long long days = floorDiv(seconds, SECONDS_PER_DAY);
    ClockReading reading = base_;
    civilFromDays(days, reading);
    const long long secondOfDay = seconds - days * SECONDS_PER_DAY;
    reading.hour = static_cast<int>(secondOfDay / 3600);
    reading.minute = static_cast<int>(secondOfDay / 60 % 60);
    reading.second = static_cast<int>(secondOfDay % 60);
    reading.weekday = advanceWeekday(base_.weekday, days - floorDiv(baseSeconds, SECONDS_PER_DAY));
    return reading;
}
