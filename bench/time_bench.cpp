// Cost per call of the 64-bit calendar conversions against the C library's own
// (64-bit time_t), for instants in 1996, 2038 and 2132.
#include "pivotal_gmtime_r.h"
#include "time_reference.h"

#include <chrono>
#include <cstdio>

namespace {

const int CALLS = 200000;

template <typename Convert>
double nanosecondsPerCall(Convert convert)
{
    volatile long long sink = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < CALLS; ++i)
        sink = sink + convert(i);
    const auto spent = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::nano>(spent).count() / CALLS;
}

}  // namespace

int main()
{
    struct Year {
        const char* name;
        long long t;
    };
    const Year years[] = {{"1996", 820454400LL + 86400 * 100}, {"2038", 2147483647LL}, {"2132", 5115421695LL}};
    printf("%-6s %14s %14s %8s %14s %14s %8s\n", "year", "gmtime64_r", "gmtime_r", "ratio", "mktime64", "timegm",
           "ratio");
    for (const Year& year : years) {
        const double ours = nanosecondsPerCall([&](int i) {
            tm fields{};
            long long t = year.t + i;
            gmtime64_r(&t, &fields);
            return static_cast<long long>(fields.tm_sec);
        });
        const double theirs = nanosecondsPerCall([&](int i) {
            tm fields{};
            referenceGmtime(year.t + i, &fields);
            return static_cast<long long>(fields.tm_sec);
        });
        tm sample{};
        long long t = year.t;
        gmtime64_r(&t, &sample);
        const double oursBack = nanosecondsPerCall([&](int i) {
            tm fields = sample;
            fields.tm_sec = i % 60;
            return mktime64(&fields);
        });
        const double theirsBack = nanosecondsPerCall([&](int i) {
            tm fields = sample;
            fields.tm_sec = i % 60;
            const long long seconds = referenceTimegm(&fields);
            return seconds;
        });
        printf("%-6s %11.1f ns %11.1f ns %8.2f %11.1f ns %11.1f ns %8.2f\n", year.name, ours, theirs, ours / theirs,
               oursBack, theirsBack, oursBack / theirsBack);
    }
    return 0;
}
