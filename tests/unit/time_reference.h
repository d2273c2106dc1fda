#pragma once

#include <cstdint>
#include <time.h>

// The C library's own conversions with a 64-bit time_t, as a yardstick for the
// 64-bit calendar code. Built apart with 64-bit time so that, on the hub too,
// they cover the years beyond 2038; only int64_t and tm cross this interface.

// True when the C library converted t (the conversion can fail on range).
bool referenceGmtime(int64_t t, tm* result);
bool referenceLocaltime(int64_t t, tm* result);

// timegm of a copy of *fields: the caller's structure is left as it is.
int64_t referenceTimegm(const tm* fields);

// Width in bits of the time_t these helpers use.
int referenceTimeBits();
