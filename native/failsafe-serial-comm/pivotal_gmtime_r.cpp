#include "pivotal_gmtime_r.h"

#include <cstdint>

namespace {

// Row 0/1: month lengths of a common/leap year; row 2/3: days before each
// month, with the year length in column 12. Read as days[row * 13 + column].
const int32_t days[4 * 13] = {
    31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 0,
    31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 0,
    0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365,
    0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366,
};

// Before 2009-01-09 11:20:00 UTC a clock reading is not taken for the present.
const long long PIVOT_TRUSTED_AFTER = 1231499999LL;
const long long PIVOT_SUBSTITUTE_NOW = 2147483647LL;
const long long PIVOT_HALF_WINDOW = 2147483648LL;
const long long PIVOT_SHIFT = 4294967296LL;

// Local time is looked up through a 32-bit time_t: later years are folded back.
const int LOCAL_YEAR_LIMIT = 137;
const int CALENDAR_CYCLE_YEARS = 28;

// The low 32 bits of v as a signed number, without relying on how an
// out-of-range conversion to a signed type behaves.
int32_t low32(long long v)
{
    const uint32_t u = static_cast<uint32_t>(static_cast<unsigned long long>(v));
    if (u <= 0x7FFFFFFFU)
        return static_cast<int32_t>(u);
    return static_cast<int32_t>(u - 0x80000000U) + INT32_MIN;
}

// tmYear counts from 1900. The Gregorian rule depends only on the year modulo
// 400, so the full year is taken in that residue (1900 = 300 modulo 400) and
// no year can overflow. The remainder is taken in 32 bits where the year fits:
// 64-bit division is a library call on the hub, and this runs once a year walked.
int leapIndex(long long tmYear)
{
    const int residue = (tmYear >= INT32_MIN && tmYear <= INT32_MAX)
                            ? static_cast<int32_t>(tmYear) % 400
                            : static_cast<int>(tmYear % 400);
    const int y = residue + 300;
    return ((y & 3) == 0 && (y % 100 != 0 || y % 400 == 0)) ? 1 : 0;
}

int32_t yearLength(long long tmYear)
{
    return days[(2 + leapIndex(tmYear)) * 13 + 12];
}

int32_t monthLength(long long tmYear, int month)
{
    return days[leapIndex(tmYear) * 13 + month];
}

int32_t daysBeforeMonth(long long tmYear, int month)
{
    return days[(2 + leapIndex(tmYear)) * 13 + month];
}

// 1970-01-01 was a Thursday.
int weekdayOfDay(long long day)
{
    long long w = (day + 4) % 7;
    if (w < 0)
        w += 7;
    return static_cast<int>(w);
}

tm* _gmtime64_r(const long* now, long long* t, tm* result)
{
    long long v = pivot_time_t(now, t);

    int sec = static_cast<int>(v % 60);
    v /= 60;
    int min = static_cast<int>(v % 60);
    v /= 60;
    int hour = static_cast<int>(v % 24);
    v /= 24;
    // Widened again after the cut to 32 bits, so the borrow below cannot
    // overflow at the far end of the range.
    long long day = low32(v);

    if (sec < 0) {
        sec += 60;
        min -= 1;
    }
    if (min < 0) {
        min += 60;
        hour -= 1;
    }
    if (hour < 0) {
        hour += 24;
        day -= 1;
    }

    const int wday = weekdayOfDay(day);

    int year;
    int month;
    if (day >= 0) {
        year = 70;
        while (day >= yearLength(year)) {
            day -= yearLength(year);
            year += 1;
        }
        month = 0;
        while (day >= monthLength(year, month)) {
            day -= monthLength(year, month);
            month += 1;
        }
    } else {
        year = 69;
        while (day < -yearLength(year)) {
            day += yearLength(year);
            year -= 1;
        }
        month = 11;
        while (day < -monthLength(year, month)) {
            day += monthLength(year, month);
            month -= 1;
        }
        day += monthLength(year, month);
    }

    result->tm_sec = sec;
    result->tm_min = min;
    result->tm_hour = hour;
    result->tm_mday = static_cast<int>(day) + 1;
    result->tm_mon = month;
    result->tm_year = year;
    result->tm_wday = wday;
    result->tm_yday = daysBeforeMonth(year, month) + static_cast<int>(day);
    return result;
}

tm* _localtime64_r(const long* now, long long* t, tm* result)
{
    // Pivoted once, here: pivoting the zone-shifted value again would move an
    // input near the edge of the window by 2^32 seconds.
    long long v = pivot_time_t(now, t);
    tm folded{};
    _gmtime64_r(nullptr, &v, &folded);
    while (folded.tm_year > LOCAL_YEAR_LIMIT)
        folded.tm_year -= CALENDAR_CYCLE_YEARS;

    // Years before 1902 are not shifted into the 32-bit range: the low 32 bits
    // stand as they are.
    const time_t s = low32(mktime64(&folded));

    tm local{};
    tm utc{};
    long long offset = 0;
    if (localtime_r(&s, &local) != nullptr && gmtime_r(&s, &utc) != nullptr)
        offset = mktime64(&local) - mktime64(&utc);
    else
        local.tm_isdst = 0;

    // Added in unsigned so that an input at the very end of the 64-bit range
    // wraps instead of overflowing.
    long long r = static_cast<long long>(static_cast<unsigned long long>(v) +
                                         static_cast<unsigned long long>(offset));
    _gmtime64_r(nullptr, &r, result);
    result->tm_isdst = local.tm_isdst;
    return result;
}

}  // namespace

long long pivot_time_t(const long* now, long long* t)
{
    long long r = *t;
    if (now == nullptr)
        return r;
    long long n = low32(*now);
    if (n <= PIVOT_TRUSTED_AFTER)
        n = PIVOT_SUBSTITUTE_NOW;
    // n > r + 2^31, written so that no r can overflow.
    if (n - PIVOT_HALF_WINDOW > r)
        r += PIVOT_SHIFT;
    return r;
}

tm* gmtime64_r(const long long* t, tm* result)
{
    long long v = *t;
    return _gmtime64_r(nullptr, &v, result);
}

tm* pivotal_gmtime_r(const long* now, const long* t, tm* result)
{
    long long v = low32(*t);
    return _gmtime64_r(now, &v, result);
}

long long mktime64(tm* fields)
{
    // A month outside 0 ... 11 is carried into the year rather than read past
    // the month table.
    long long year = fields->tm_year;
    int month = fields->tm_mon;
    year += month / 12;
    month %= 12;
    if (month < 0) {
        month += 12;
        year -= 1;
    }

    long long d = 0;
    if (year > 69) {
        for (long long y = 70; y < year; ++y)
            d += yearLength(y);
    } else {
        for (long long y = year; y <= 69; ++y)
            d -= yearLength(y);
    }
    d += daysBeforeMonth(year, month);
    d += static_cast<long long>(fields->tm_mday) - 1;

    fields->tm_wday = weekdayOfDay(d);

    // The time-of-day products are 32-bit, as on the hub; formed in unsigned so
    // that out-of-range fields wrap instead of overflowing.
    const int32_t hours = low32(static_cast<uint32_t>(fields->tm_hour) * 3600U);
    const int32_t minutes = low32(static_cast<uint32_t>(fields->tm_min) * 60U);
    return d * 86400 + hours + minutes + fields->tm_sec;
}

tm* localtime64_r(const long long* t, tm* result)
{
    long long v = *t;
    return _localtime64_r(nullptr, &v, result);
}

tm* pivotal_localtime_r(const long* now, const long* t, tm* result)
{
    long long v = low32(*t);
    return _localtime64_r(now, &v, result);
}
