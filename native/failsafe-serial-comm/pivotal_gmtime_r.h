#pragma once

#include <time.h>

// Calendar conversions on 64-bit times (seconds since 1970-01-01 00:00:00 UTC),
// independent of the platform's 32-bit time_t, so dates after January 2038
// convert correctly. Reentrant; the results go into the caller's tm.
//
// The 32-bit values (`now` and the 32-bit `t`) are read as signed 32-bit
// numbers whatever the width of long.

// Pivot of a time that may have wrapped in 32 bits: when *now is more than
// 2^31 seconds ahead of *t, *t is taken 2^32 seconds later, which puts a
// sign-extended 32-bit *t into [*now - 2^31, *now + 2^31). A null
// now returns *t as it is; a *now before 2009-01-09 11:20:00 UTC is not trusted
// and 0x7FFFFFFF is used in its place.
long long pivot_time_t(const long* now, long long* t);

// UTC broken-down time of *t. Writes tm_sec ... tm_yday; tm_isdst and the
// zone fields are left as the caller had them.
tm* gmtime64_r(const long long* t, tm* result);

// As gmtime64_r, for a 32-bit time that may have wrapped, pivoted around *now.
tm* pivotal_gmtime_r(const long* now, const long* t, tm* result);

// Seconds since 1970 of the fields of *fields, read as UTC; fields outside their
// usual ranges carry over linearly. Writes tm_wday only.
long long mktime64(tm* fields);

// Local broken-down time of *t, with the zone rules of the C library. As those
// rules are reached through a 32-bit time_t, years after 2037 borrow the offset
// in force at the same calendar day and time of day 28*k years earlier.
tm* localtime64_r(const long long* t, tm* result);

// As localtime64_r, for a 32-bit time pivoted around *now.
tm* pivotal_localtime_r(const long* now, const long* t, tm* result);
