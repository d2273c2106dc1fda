#include "time_reference.h"

bool referenceGmtime(int64_t t, tm* result)
{
    const time_t v = t;
    return gmtime_r(&v, result) != nullptr;
}

bool referenceLocaltime(int64_t t, tm* result)
{
    const time_t v = t;
    return localtime_r(&v, result) != nullptr;
}

int64_t referenceTimegm(const tm* fields)
{
    tm copy = *fields;
    return timegm(&copy);
}

int referenceTimeBits()
{
    return static_cast<int>(sizeof(time_t) * 8);
}
