// The 64-bit calendar conversions against each other and against the C
// library built with a 64-bit time_t. Input: a mode byte, then the numbers of
// that mode. Times are kept within about 35,000 years of 1970: the conversions
// walk one year at a time.
#include "Fuzz.h"

#include "pivotal_gmtime_r.h"
#include "time_reference.h"

#include <cstdlib>

namespace {

const long long SPAN = 1LL << 40;
const int ISDST_MARK = 77;

long long within(long long v, long long span)
{
    return v % span;
}

bool sameWrittenFields(const tm& a, const tm& b)
{
    return a.tm_sec == b.tm_sec && a.tm_min == b.tm_min && a.tm_hour == b.tm_hour && a.tm_mday == b.tm_mday &&
           a.tm_mon == b.tm_mon && a.tm_year == b.tm_year && a.tm_wday == b.tm_wday && a.tm_yday == b.tm_yday;
}

void checkGmtime(long long t)
{
    tm ours{};
    ours.tm_isdst = ISDST_MARK;
    long long v = t;
    gmtime64_r(&v, &ours);
    FUZZ_CHECK(v == t, "the input was changed");
    FUZZ_CHECK(ours.tm_isdst == ISDST_MARK, "tm_isdst written for %lld", t);
    FUZZ_CHECK(ours.tm_sec >= 0 && ours.tm_sec < 60 && ours.tm_min >= 0 && ours.tm_min < 60 && ours.tm_hour >= 0 &&
                   ours.tm_hour < 24 && ours.tm_mday >= 1 && ours.tm_mday <= 31 && ours.tm_mon >= 0 && ours.tm_mon < 12 &&
                   ours.tm_wday >= 0 && ours.tm_wday < 7 && ours.tm_yday >= 0 && ours.tm_yday < 366,
               "fields out of range for %lld", t);
    tm theirs{};
    if (referenceGmtime(t, &theirs))
        FUZZ_CHECK(sameWrittenFields(ours, theirs), "gmtime64_r(%lld) gives %d-%d-%d %d:%d:%d wday %d yday %d",
                   t, ours.tm_year + 1900, ours.tm_mon + 1, ours.tm_mday, ours.tm_hour, ours.tm_min,
                   ours.tm_sec, ours.tm_wday, ours.tm_yday);
    tm back = ours;
    back.tm_wday = -1;
    const long long seconds = mktime64(&back);
    FUZZ_CHECK(seconds == t, "mktime64(gmtime64_r(%lld)) = %lld", t, seconds);
    FUZZ_CHECK(back.tm_wday == ours.tm_wday, "mktime64 stores weekday %d, gmtime64_r %d", back.tm_wday, ours.tm_wday);
}

// Fields outside their usual ranges carry over linearly, as timegm has them;
// only tm_wday is written, with the weekday of the date before the time of day
// is added.
void checkMktime(FuzzInput& input)
{
    tm fields{};
    fields.tm_year = static_cast<int16_t>(input.bits(2));
    fields.tm_mon = static_cast<int8_t>(input.byte());
    fields.tm_mday = static_cast<int16_t>(input.bits(2));
    fields.tm_hour = static_cast<int16_t>(input.bits(2));
    fields.tm_min = static_cast<int16_t>(input.bits(2));
    fields.tm_sec = static_cast<int16_t>(input.bits(2));
    fields.tm_yday = 1234;
    fields.tm_isdst = ISDST_MARK;
    tm ours = fields;
    const long long seconds = mktime64(&ours);
    const long long reference = referenceTimegm(&fields);
    FUZZ_CHECK(seconds == reference, "mktime64 %lld, timegm %lld for year %d month %d day %d %d:%d:%d", seconds,
               reference, fields.tm_year, fields.tm_mon, fields.tm_mday, fields.tm_hour,
               fields.tm_min, fields.tm_sec);
    tm date = fields;
    date.tm_hour = date.tm_min = date.tm_sec = 0;
    tm dateFields{};
    FUZZ_CHECK(referenceGmtime(referenceTimegm(&date), &dateFields), "no reference for the date");
    FUZZ_CHECK(ours.tm_wday == dateFields.tm_wday, "weekday %d, the date's is %d", ours.tm_wday, dateFields.tm_wday);
    FUZZ_CHECK(ours.tm_sec == fields.tm_sec && ours.tm_min == fields.tm_min && ours.tm_hour == fields.tm_hour &&
                   ours.tm_mday == fields.tm_mday && ours.tm_mon == fields.tm_mon && ours.tm_year == fields.tm_year &&
                   ours.tm_yday == fields.tm_yday && ours.tm_isdst == fields.tm_isdst,
               "mktime64 wrote more than tm_wday");
}

// A 32-bit time is read as signed 32 bits whatever the width of long, and lands
// in the window of 2^32 seconds around a trusted present.
void checkPivot(FuzzInput& input)
{
    const uint64_t nowBits = input.bits(8);
    const uint64_t tBits = input.bits(8);
    const long now = static_cast<long>(nowBits);
    const long t = static_cast<long>(tBits);
    const int32_t now32 = static_cast<int32_t>(static_cast<uint32_t>(nowBits));
    const int32_t t32 = static_cast<int32_t>(static_cast<uint32_t>(tBits));

    long long v = t32;
    const long long pivoted = pivot_time_t(&now, &v);
    FUZZ_CHECK(v == t32, "pivot_time_t changed its input");
    FUZZ_CHECK(pivoted == t32 || pivoted == t32 + (1LL << 32), "pivot of %d gave %lld", t32, pivoted);
    const long long n = now32 > 1231499999 ? now32 : 2147483647LL;
    FUZZ_CHECK(pivoted >= n - (1LL << 31) && pivoted < n + (1LL << 31), "pivot of %d around %d gave %lld", t32, now32,
               pivoted);
    const long nowNarrow = now32;
    long long again = t32;
    FUZZ_CHECK(pivot_time_t(&nowNarrow, &again) == pivoted, "the upper half of now was read");
    FUZZ_CHECK(pivot_time_t(nullptr, &again) == t32, "a null now changed the time");

    tm viaPivot{};
    tm direct{};
    pivotal_gmtime_r(&now, &t, &viaPivot);
    long long expected = pivoted;
    gmtime64_r(&expected, &direct);
    FUZZ_CHECK(sameWrittenFields(viaPivot, direct), "pivotal_gmtime_r(%d, %d) is not gmtime64_r of the pivot", now32, t32);
}

// Within the 32-bit range, local time is the C library's own.
void checkLocaltime(long long t)
{
    tm ours{};
    long long v = t;
    localtime64_r(&v, &ours);
    tm theirs{};
    if (!referenceLocaltime(t, &theirs))
        return;
    FUZZ_CHECK(sameWrittenFields(ours, theirs) && ours.tm_isdst == theirs.tm_isdst,
               "localtime64_r(%lld) gives %d-%d-%d %d:%d:%d isdst %d, the C library %d-%d-%d %d:%d:%d isdst %d",
               t, ours.tm_year + 1900, ours.tm_mon + 1, ours.tm_mday, ours.tm_hour, ours.tm_min,
               ours.tm_sec, ours.tm_isdst, theirs.tm_year + 1900, theirs.tm_mon + 1, theirs.tm_mday, theirs.tm_hour,
               theirs.tm_min, theirs.tm_sec, theirs.tm_isdst);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool zoneSet = [] {
        // A zone with daylight saving time, given by its rule: no zone files needed.
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        return true;
    }();
    (void)zoneSet;

    FuzzInput input(data, size);
    switch (input.byte() % 4) {
    case 0:
        checkGmtime(within(input.int64(), SPAN));
        break;
    case 1:
        checkMktime(input);
        break;
    case 2:
        checkPivot(input);
        break;
    default:
        checkLocaltime(static_cast<int32_t>(static_cast<uint32_t>(input.bits(4))));
        break;
    }
    return 0;
}
