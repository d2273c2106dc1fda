#include "pivotal_gmtime_r.h"
#include "time_reference.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

const int64_t DAY = 86400;
const int64_t YEAR_0_START = -62167219200LL;   // 0000-01-01 00:00:00 UTC
const int64_t YEAR_9999_END = 253402300799LL;  // 9999-12-31 23:59:59 UTC
const int64_t TIME32_MAX = 2147483647LL;
const int64_t TIME32_MIN = -2147483648LL;

// The fields the conversions to broken-down time write (tm_isdst aside).
struct Fields {
    int year;  // full year
    int mon;   // 1-12
    int mday;
    int hour;
    int min;
    int sec;
    int wday;
    int yday;
};

std::string describe(const tm& t)
{
    char text[160];
    snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d wday %d yday %d isdst %d",
             t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
             t.tm_wday, t.tm_yday, t.tm_isdst);
    return text;
}

bool sameWrittenFields(const tm& a, const tm& b)
{
    return a.tm_sec == b.tm_sec && a.tm_min == b.tm_min && a.tm_hour == b.tm_hour &&
           a.tm_mday == b.tm_mday && a.tm_mon == b.tm_mon && a.tm_year == b.tm_year &&
           a.tm_wday == b.tm_wday && a.tm_yday == b.tm_yday;
}

tm fromFields(const Fields& f)
{
    tm t{};
    t.tm_year = f.year - 1900;
    t.tm_mon = f.mon - 1;
    t.tm_mday = f.mday;
    t.tm_hour = f.hour;
    t.tm_min = f.min;
    t.tm_sec = f.sec;
    t.tm_wday = f.wday;
    t.tm_yday = f.yday;
    return t;
}

tm utc(int64_t t)
{
    tm result{};
    long long v = t;
    gmtime64_r(&v, &result);
    return result;
}

// gmtime64_r against the C library, and mktime64 against both timegm and the
// instant it came from.
::testing::AssertionResult agreesWithReference(int64_t t)
{
    tm expected{};
    if (!referenceGmtime(t, &expected))
        return ::testing::AssertionFailure() << "reference cannot convert " << t;
    tm actual = utc(t);
    if (!sameWrittenFields(actual, expected))
        return ::testing::AssertionFailure() << "gmtime64_r(" << t << ") = " << describe(actual)
                                             << ", C library: " << describe(expected);
    tm fields = expected;
    fields.tm_wday = -1;
    const long long back = mktime64(&fields);
    if (back != t || back != referenceTimegm(&expected))
        return ::testing::AssertionFailure() << "mktime64(" << describe(expected) << ") = " << back
                                             << ", expected " << t;
    if (fields.tm_wday != expected.tm_wday)
        return ::testing::AssertionFailure() << "mktime64 weekday " << fields.tm_wday << " for "
                                             << describe(expected);
    return ::testing::AssertionSuccess();
}

// Instants every `step` seconds within `reach` seconds on either side of `centre`.
void addAround(std::vector<int64_t>& out, int64_t centre, int64_t reach, int64_t step)
{
    for (int64_t d = -reach; d <= reach; d += step)
        out.push_back(centre + d);
}

TEST(Time64Reference, UsesA64BitTime)
{
    // Without it the comparisons below would prove nothing beyond 2038.
    ASSERT_EQ(referenceTimeBits(), 64);
    tm t{};
    ASSERT_TRUE(referenceGmtime(TIME32_MAX + 1, &t));
    EXPECT_EQ(t.tm_year, 138);
}

struct KnownInstant {
    long long t;
    Fields expected;
};

TEST(Time64Gmtime, KnownInstants)
{
    const KnownInstant cases[] = {
        {0, {1970, 1, 1, 0, 0, 0, 4, 0}},
        {-1, {1969, 12, 31, 23, 59, 59, 3, 364}},
        {TIME32_MAX, {2038, 1, 19, 3, 14, 7, 2, 18}},
        {TIME32_MAX + 1, {2038, 1, 19, 3, 14, 8, 2, 18}},
        {TIME32_MIN, {1901, 12, 13, 20, 45, 52, 5, 346}},
        {951782400, {2000, 2, 29, 0, 0, 0, 2, 59}},
        {951868800, {2000, 3, 1, 0, 0, 0, 3, 60}},
        {4102444800LL, {2100, 1, 1, 0, 0, 0, 5, 0}},
        {4107542399LL, {2100, 2, 28, 23, 59, 59, 0, 58}},
        {4107542400LL, {2100, 3, 1, 0, 0, 0, 1, 59}},
        {4294967295LL, {2106, 2, 7, 6, 28, 15, 0, 37}},
        {4294967296LL, {2106, 2, 7, 6, 28, 16, 0, 37}},
        {-2208988800LL, {1900, 1, 1, 0, 0, 0, 1, 0}},
        {-2203891200LL, {1900, 3, 1, 0, 0, 0, 4, 59}},
        {YEAR_0_START, {0, 1, 1, 0, 0, 0, 6, 0}},
        {YEAR_0_START - 1, {-1, 12, 31, 23, 59, 59, 5, 364}},
        {YEAR_9999_END, {9999, 12, 31, 23, 59, 59, 5, 364}},
    };
    for (const KnownInstant& c : cases) {
        SCOPED_TRACE(c.t);
        const tm expected = fromFields(c.expected);
        const tm actual = utc(c.t);
        EXPECT_TRUE(sameWrittenFields(actual, expected))
            << describe(actual) << " instead of " << describe(expected);
    }
}

TEST(Time64Gmtime, LeavesOtherFieldsAsTheCallerHadThem)
{
    static const char zone[] = "ZONE";
    const long long instants[] = {0, -1, 4102444800LL, YEAR_0_START};
    for (const long long t : instants) {
        SCOPED_TRACE(t);
        tm result{};
        result.tm_isdst = 7;
        result.tm_gmtoff = 12345;
        result.tm_zone = zone;
        EXPECT_EQ(gmtime64_r(&t, &result), &result);
        EXPECT_EQ(result.tm_isdst, 7);
        EXPECT_EQ(result.tm_gmtoff, 12345);
        EXPECT_EQ(result.tm_zone, zone);
    }

    tm result{};
    result.tm_isdst = -3;
    result.tm_gmtoff = 12345;
    result.tm_zone = zone;
    const long now = 1300000000;
    const long t32 = -5;
    EXPECT_EQ(pivotal_gmtime_r(&now, &t32, &result), &result);
    EXPECT_EQ(result.tm_isdst, -3);
    EXPECT_EQ(result.tm_gmtoff, 12345);
    EXPECT_EQ(result.tm_zone, zone);
}

TEST(Time64Gmtime, AgreesWithTheCLibraryAroundBoundaries)
{
    const int64_t nearby[] = {
        0,                    // 1970
        TIME32_MIN,           // 1901, the 32-bit floor
        -2208988800LL,        // 1900, not a leap year
        946684800LL,          // 2000, a leap year
        951868800LL,          // 2000-03-01
        2145916800LL,         // 2038-01-01
        TIME32_MAX + 1,       // 2038-01-19 03:14:08
        4102444800LL,         // 2100-01-01
        4107542400LL,         // 2100-03-01
        4133980800LL,         // 2101-01-01
        4291747200LL,         // 2106-01-01
        4294967296LL,         // 2106-02-07 06:28:16, the unsigned 32-bit ceiling
    };
    std::vector<int64_t> instants;
    for (const int64_t b : nearby) {
        addAround(instants, b, 300, 1);
        addAround(instants, b, 2 * DAY, 127);
        addAround(instants, b, 400 * DAY, 14401);
    }
    // Far from 1970 each conversion walks thousands of years: fewer samples.
    addAround(instants, YEAR_0_START, 120, 1);
    addAround(instants, YEAR_9999_END - 120, 120, 1);
    for (const int64_t t : instants)
        ASSERT_TRUE(agreesWithReference(t));
}

TEST(Time64Gmtime, AgreesWithTheCLibraryAtEveryMidnight1890To2110)
{
    tm first{};
    first.tm_year = -10;
    first.tm_mday = 1;
    tm last{};
    last.tm_year = 211;
    last.tm_mday = 1;
    for (int64_t t = referenceTimegm(&first); t < referenceTimegm(&last); t += DAY) {
        ASSERT_TRUE(agreesWithReference(t));
        ASSERT_TRUE(agreesWithReference(t - 1));
    }
}

// The first second of each year and, in every fourth year, the last of February.
TEST(Time64Gmtime, AgreesWithTheCLibraryAtEveryYearStart0To9999)
{
    for (int year = 0; year <= 9999; ++year) {
        tm start{};
        start.tm_year = year - 1900;
        start.tm_mday = 1;
        const int64_t t = referenceTimegm(&start);
        ASSERT_TRUE(agreesWithReference(t));
        ASSERT_TRUE(agreesWithReference(t - 1));
        if (year % 4 == 0) {
            tm march = start;
            march.tm_mon = 2;
            ASSERT_TRUE(agreesWithReference(referenceTimegm(&march) - 1));
        }
    }
}

TEST(Time64Gmtime, AgreesWithTheCLibraryAtRandomInstants0To9999)
{
    std::mt19937_64 random(20380119);
    std::uniform_int_distribution<int64_t> pick(YEAR_0_START, YEAR_9999_END);
    for (int i = 0; i < 4000; ++i)
        ASSERT_TRUE(agreesWithReference(pick(random)));
}

struct MktimeCase {
    Fields fields;  // wday and yday left at sentinels: neither is read
    const char* what;
};

// Fields outside their usual ranges carry over linearly, as they do in timegm.
TEST(Time64Mktime, AgreesWithTimegmIncludingCarries)
{
    const MktimeCase cases[] = {
        {{1969, 1, 1, 0, 0, 0, 9, 400}, "1969-01-01"},
        {{1969, 12, 18, 0, 0, 0, 9, 400}, "a Thursday just before 1970"},
        {{1970, 1, 1, 0, 0, 0, 9, 400}, "the epoch"},
        {{2100, 3, 0, 0, 0, 0, 9, 400}, "day 0: last day of February 2100"},
        {{2000, 3, 0, 0, 0, 0, 9, 400}, "day 0: 2000-02-29"},
        {{2037, 12, 32, 0, 0, 0, 9, 400}, "day 32 of December 2037"},
        {{2038, 1, 19, 3, 14, 8, 9, 400}, "first second past 32 bits"},
        {{2038, 1, 19, 27, 0, 0, 9, 400}, "hour 27"},
        {{2050, 6, 15, 0, 0, -1, 9, 400}, "second -1"},
        {{2050, 6, 15, 0, -90, 0, 9, 400}, "minute -90"},
        {{2050, 6, 15, -1, 0, 0, 9, 400}, "hour -1"},
        {{1960, 1, -400, 0, 0, 0, 9, 400}, "day -400"},
        {{2106, 2, 7, 6, 28, 16, 9, 400}, "2^32"},
        {{1900, 3, 1, 0, 0, 0, 9, 400}, "1900 is no leap year"},
        {{0, 3, 1, 0, 0, 0, 9, 400}, "year 0 is a leap year"},
        {{-1, 12, 31, 23, 59, 59, 9, 400}, "a negative year"},
        {{9999, 12, 31, 23, 59, 59, 9, 400}, "year 9999"},
        {{2024, 13, 1, 0, 0, 0, 9, 400}, "month 12 is January of the next year"},
        {{2024, -1, 31, 0, 0, 0, 9, 400}, "month -2 is November of the year before"},
        {{2024, 1, 1, 0, 0, 2000000000, 9, 400}, "a second count beyond any month"},
    };
    for (const MktimeCase& c : cases) {
        SCOPED_TRACE(c.what);
        tm fields = fromFields(c.fields);
        const int64_t expected = referenceTimegm(&fields);
        // The weekday is that of the day the date fields give: the time of day
        // does not carry into it.
        tm midnight = fields;
        midnight.tm_hour = midnight.tm_min = midnight.tm_sec = 0;
        tm day{};
        ASSERT_TRUE(referenceGmtime(referenceTimegm(&midnight), &day));
        EXPECT_EQ(mktime64(&fields), expected);
        EXPECT_EQ(fields.tm_wday, day.tm_wday);
    }
}

TEST(Time64Mktime, YearsBefore1970CountBack)
{
    tm fields{};
    fields.tm_year = 69;
    fields.tm_mday = 1;
    EXPECT_EQ(mktime64(&fields), -365 * DAY);
    EXPECT_EQ(fields.tm_wday, 3);

    fields.tm_mon = 11;
    fields.tm_mday = 18;
    mktime64(&fields);
    EXPECT_EQ(fields.tm_wday, 4);  // never the negative remainder
}

TEST(Time64Mktime, WritesOnlyTheWeekday)
{
    static const char zone[] = "ZONE";
    tm fields{};
    fields.tm_year = 150;
    fields.tm_mon = 4;
    fields.tm_mday = 40;  // carries into June, but is not normalised
    fields.tm_hour = 25;
    fields.tm_min = 61;
    fields.tm_sec = 61;
    fields.tm_wday = -7;
    fields.tm_yday = 999;  // not read either
    fields.tm_isdst = 5;
    fields.tm_gmtoff = -1234;
    fields.tm_zone = zone;
    tm before = fields;
    const long long t = mktime64(&fields);
    EXPECT_EQ(t, referenceTimegm(&before));
    before.tm_wday = fields.tm_wday;
    EXPECT_TRUE(sameWrittenFields(fields, before)) << describe(fields);
    EXPECT_EQ(fields.tm_isdst, 5);
    EXPECT_EQ(fields.tm_gmtoff, -1234);
    EXPECT_EQ(fields.tm_zone, zone);
    EXPECT_GE(fields.tm_wday, 0);
    EXPECT_LE(fields.tm_wday, 6);
}

// The 32-bit arguments as the hub passes them. Natively long has 64 bits: the
// upper half is set to show that only the low 32 bits count.
long asLong32(long long v)
{
    const long long wide = sizeof(long) > 4 ? v + (0x5ALL << 32) : v;
    return static_cast<long>(wide);
}

struct PivotCase {
    bool hasNow;
    int64_t now;
    int64_t t;
    int64_t expected;
    const char* what;
};

TEST(Time64Pivot, Cases)
{
    const PivotCase cases[] = {
        {false, 0, -1000000000, -1000000000, "no now: unchanged"},
        {false, 0, -2, -2, "no now: unchanged even when negative"},
        {true, 1300000000, -1000000000, 3294967296LL, "wrapped time from 2074"},
        {true, 1300000000, -847483648, -847483648, "at the edge: 2^31 before now"},
        {true, 1300000000, -847483649, 3447483647LL, "one second beyond the edge"},
        {true, 1300000000, 1300000000, 1300000000, "now itself"},
        {true, 1300000000, TIME32_MAX, TIME32_MAX, "top of the 32-bit range"},
        {true, 1231499999, -2, 4294967294LL, "untrusted now: 2106"},
        {true, 1231499999, -1, -1, "untrusted now: -1 stays"},
        {true, 0, -2, 4294967294LL, "clock at 1970: untrusted"},
        {true, -5, -3, 4294967293LL, "negative now: untrusted"},
        {true, 1231500000, -2, -2, "first trusted now: -2 lies within the window"},
        {true, 1231500000, -915983649, 3378983647LL, "first trusted now: beyond the window"},
        {true, TIME32_MAX, TIME32_MIN, 2147483648LL, "latest now, earliest input"},
    };
    for (const PivotCase& c : cases) {
        SCOPED_TRACE(c.what);
        const long now = asLong32(c.now);
        const long* nowArg = c.hasNow ? &now : nullptr;

        long long t = c.t;
        EXPECT_EQ(pivot_time_t(nowArg, &t), c.expected);
        EXPECT_EQ(t, c.t);

        const long t32 = asLong32(c.t);
        tm viaPivot{};
        pivotal_gmtime_r(nowArg, &t32, &viaPivot);
        const tm expected = utc(c.expected);
        EXPECT_TRUE(sameWrittenFields(viaPivot, expected))
            << describe(viaPivot) << " instead of " << describe(expected);
        EXPECT_EQ(t32, asLong32(c.t));
        EXPECT_EQ(now, asLong32(c.now));
    }
}

TEST(Time64Pivot, KnownDates)
{
    const long now = 1300000000;
    const long untrusted = 1000000000;
    const long wrapped = -1000000000;
    const long minusTwo = -2;
    tm result{};
    pivotal_gmtime_r(&now, &wrapped, &result);
    EXPECT_TRUE(sameWrittenFields(result, fromFields({2074, 5, 31, 4, 41, 36, 4, 150})))
        << describe(result);
    pivotal_gmtime_r(&untrusted, &minusTwo, &result);
    EXPECT_TRUE(sameWrittenFields(result, fromFields({2106, 2, 7, 6, 28, 14, 0, 37})))
        << describe(result);
}

// For every trusted now, a 32-bit time lands in [now - 2^31, now + 2^31) and
// keeps its value modulo 2^32.
TEST(Time64Pivot, PlacesEvery32BitTimeInTheWindowAroundNow)
{
    std::mt19937 random(1231500000);
    std::uniform_int_distribution<int32_t> pickNow(1231500000, std::numeric_limits<int32_t>::max());
    std::uniform_int_distribution<int32_t> pickT(std::numeric_limits<int32_t>::min(),
                                                 std::numeric_limits<int32_t>::max());
    for (int i = 0; i < 20000; ++i) {
        const int64_t n = pickNow(random);
        const int64_t t = pickT(random);
        const long now = asLong32(n);
        long long v = t;
        const long long r = pivot_time_t(&now, &v);
        ASSERT_GE(r, n - 2147483648LL) << "now " << n << " t " << t;
        ASSERT_LT(r, n + 2147483648LL) << "now " << n << " t " << t;
        ASSERT_EQ((r - t) % 4294967296LL, 0) << "now " << n << " t " << t;
    }
}

TEST(Time64Pivot, ExtremeInputsDoNotOverflow)
{
    const long now = 1300000000;
    long long t = std::numeric_limits<long long>::max();
    EXPECT_EQ(pivot_time_t(&now, &t), std::numeric_limits<long long>::max());
    t = std::numeric_limits<long long>::min();
    EXPECT_EQ(pivot_time_t(&now, &t), std::numeric_limits<long long>::min() + 4294967296LL);
}

// Local time with a fixed zone rule, restored afterwards.
class Time64Localtime : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        const char* old = getenv("TZ");
        hadZone_ = old != nullptr;
        if (hadZone_)
            oldZone_ = old;
        setenv("TZ", GetParam(), 1);
        tzset();
    }

    void TearDown() override
    {
        if (hadZone_)
            setenv("TZ", oldZone_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    static bool sameLocal(const tm& a, const tm& b)
    {
        return sameWrittenFields(a, b) && a.tm_isdst == b.tm_isdst;
    }

    // Within the 32-bit range the C library's local time is the answer itself.
    static ::testing::AssertionResult matchesLocaltime(int64_t t)
    {
        tm expected{};
        if (!referenceLocaltime(t, &expected))
            return ::testing::AssertionFailure() << "reference cannot convert " << t;
        tm actual{};
        long long v = t;
        localtime64_r(&v, &actual);
        if (!sameLocal(actual, expected))
            return ::testing::AssertionFailure() << "localtime64_r(" << t << ") = "
                                                 << describe(actual)
                                                 << ", C library: " << describe(expected);
        return ::testing::AssertionSuccess();
    }

    // Beyond 2037 the offset is the one in force at the same UTC calendar day
    // and time of day in the latest year up to 2037 that is 28*k years earlier.
    static ::testing::AssertionResult matchesFoldedOffset(int64_t t)
    {
        tm calendar{};
        if (!referenceGmtime(t, &calendar))
            return ::testing::AssertionFailure() << "reference cannot convert " << t;
        const int cycles = (calendar.tm_year - 137 + 27) / 28;
        calendar.tm_year -= 28 * cycles;
        const int64_t earlier = referenceTimegm(&calendar);
        tm earlierLocal{};
        if (!referenceLocaltime(earlier, &earlierLocal))
            return ::testing::AssertionFailure() << "reference cannot convert " << earlier;
        const int64_t offset = referenceTimegm(&earlierLocal) - earlier;

        tm expected{};
        referenceGmtime(t + offset, &expected);
        expected.tm_isdst = earlierLocal.tm_isdst;
        tm actual{};
        long long v = t;
        localtime64_r(&v, &actual);
        if (!sameLocal(actual, expected))
            return ::testing::AssertionFailure() << "localtime64_r(" << t << ") = "
                                                 << describe(actual) << ", expected "
                                                 << describe(expected);
        return ::testing::AssertionSuccess();
    }

    bool hadZone_ = false;
    std::string oldZone_;
};

TEST_P(Time64Localtime, AgreesWithTheCLibraryWithin32Bits)
{
    std::vector<int64_t> instants;
    addAround(instants, 1700000000LL, 400 * DAY, 2700);  // two DST seasons of 2023/2024
    addAround(instants, 0, 2 * DAY, 900);
    addAround(instants, TIME32_MAX - 2 * DAY, 2 * DAY, 900);
    addAround(instants, TIME32_MIN + 2 * DAY + 1, 2 * DAY, 900);
    std::mt19937_64 random(1902);
    std::uniform_int_distribution<int64_t> pick(TIME32_MIN + DAY, TIME32_MAX - DAY);
    for (int i = 0; i < 2000; ++i)
        instants.push_back(pick(random));
    for (const int64_t t : instants)
        ASSERT_TRUE(matchesLocaltime(t));
}

TEST_P(Time64Localtime, BorrowsTheOffsetOf28YearsEarlierBeyond2037)
{
    std::vector<int64_t> instants;
    addAround(instants, TIME32_MAX + 1, 2 * DAY, 900);
    addAround(instants, 4107542400LL + 180 * DAY, 200 * DAY, 2700);  // the year 2100
    addAround(instants, 4294967296LL, 2 * DAY, 900);
    std::mt19937_64 random(2100);
    std::uniform_int_distribution<int64_t> pick(TIME32_MAX + 1, YEAR_9999_END - DAY);
    for (int i = 0; i < 500; ++i)
        instants.push_back(pick(random));
    for (const int64_t t : instants)
        ASSERT_TRUE(matchesFoldedOffset(t));
}

TEST_P(Time64Localtime, LeavesZoneFieldsAsTheCallerHadThem)
{
    static const char zone[] = "ZONE";
    tm result{};
    result.tm_gmtoff = 4321;
    result.tm_zone = zone;
    const long long t = 4118000000LL;
    EXPECT_EQ(localtime64_r(&t, &result), &result);
    EXPECT_EQ(result.tm_gmtoff, 4321);
    EXPECT_EQ(result.tm_zone, zone);
    EXPECT_EQ(t, 4118000000LL);
}

// A pivoted 32-bit time shows the local time of the instant it was pivoted to,
// also within an offset of the window's edge.
TEST_P(Time64Localtime, PivotalLocaltimeShowsThePivotedInstant)
{
    const int64_t n = 1300000000;
    const int64_t edge = n - 2147483648LL;
    const long now = asLong32(n);
    std::vector<int64_t> inputs;
    addAround(inputs, edge, 6 * 3600, 600);
    addAround(inputs, -1000000000, 3600, 600);
    addAround(inputs, 1300000000, 3600, 600);
    for (const int64_t t : inputs) {
        SCOPED_TRACE(t);
        long long v = t;
        const long long pivoted = pivot_time_t(&now, &v);
        tm expected{};
        localtime64_r(&pivoted, &expected);
        const long t32 = asLong32(t);
        tm actual{};
        pivotal_localtime_r(&now, &t32, &actual);
        EXPECT_TRUE(sameLocal(actual, expected))
            << describe(actual) << " instead of " << describe(expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, Time64Localtime,
                         ::testing::Values("CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0"));

struct ZoneCase {
    const char* zone;
    long long t;
    Fields expected;
    int isdst;
    const char* what;
};

// 2100-03-27 is a Saturday, so the zone's summer time starts on the 28th that
// year; 84 years earlier the same date, 2016-03-27, was the starting Sunday.
TEST(Time64LocaltimeZones, KnownLocalTimes)
{
    const long long JAN_2100 = 4102444800LL;
    const long long MAR_27_2100 = 4109788800LL;
    const long long JUL_2100 = 4118083200LL;
    const long long NOON = 43200;
    const char* cet = "CET-1CEST,M3.5.0,M10.5.0/3";
    const char* est = "EST5EDT,M3.2.0,M11.1.0";
    const ZoneCase cases[] = {
        {cet, JAN_2100 + 14 * DAY + NOON, {2100, 1, 15, 13, 0, 0, 5, 14}, 0, "CET winter"},
        {cet, JUL_2100 + NOON, {2100, 7, 1, 14, 0, 0, 4, 181}, 1, "CET summer"},
        {cet, MAR_27_2100 + NOON, {2100, 3, 27, 14, 0, 0, 6, 85}, 1, "summer time of 2016"},
        {est, JUL_2100 + NOON, {2100, 7, 1, 8, 0, 0, 4, 181}, 1, "EST summer"},
        {est, JAN_2100, {2099, 12, 31, 19, 0, 0, 4, 364}, 0, "EST back into 2099"},
        {cet, 1300000000LL, {2011, 3, 13, 8, 6, 40, 0, 71}, 0, "CET 2011"},
    };
    for (const ZoneCase& c : cases) {
        SCOPED_TRACE(c.what);
        setenv("TZ", c.zone, 1);
        tzset();
        tm result{};
        result.tm_isdst = -9;
        localtime64_r(&c.t, &result);
        tm expected = fromFields(c.expected);
        expected.tm_isdst = c.isdst;
        EXPECT_TRUE(sameWrittenFields(result, expected) && result.tm_isdst == c.isdst)
            << describe(result) << " instead of " << describe(expected);
    }
    unsetenv("TZ");
    tzset();
}

}  // namespace
