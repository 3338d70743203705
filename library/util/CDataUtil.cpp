#include "library/util/CDataUtil.h"

#include <climits>
#include <cmath>

namespace
{
int ClampByteCount(int n)
{
    if (n < 0)
        return 0;
    return n > 8 ? 8 : n;
}
} // namespace

uint64_t CDataUtil::LittleEndian(const void* p, int n)
{
    const auto* bytes = static_cast<const uint8_t*>(p);
    uint64_t value = 0;
    for (int i = ClampByteCount(n) - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

uint64_t CDataUtil::BigEndian(const void* p, int n)
{
    const auto* bytes = static_cast<const uint8_t*>(p);
    uint64_t value = 0;
    const int count = ClampByteCount(n);
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

void CDataUtil::LittleEndian(void* p, int64_t value, int n)
{
    auto* bytes = static_cast<uint8_t*>(p);
    auto bits = static_cast<uint64_t>(value);
    const int count = ClampByteCount(n);
    for (int i = 0; i < count; ++i, bits >>= 8)
        bytes[i] = static_cast<uint8_t>(bits);
}

void CDataUtil::BigEndian(void* p, int64_t value, int n)
{
    auto* bytes = static_cast<uint8_t*>(p);
    auto bits = static_cast<uint64_t>(value);
    for (int i = ClampByteCount(n) - 1; i >= 0; --i, bits >>= 8)
        bytes[i] = static_cast<uint8_t>(bits);
}

void CDataUtil::SecondToTime(double seconds, int* hours, int* minutes, float* rest)
{
    int64_t wholeMinutes = 0;
    double remainder = 0.0;
    if (seconds > 0.0) // false for negatives and not-a-number
    {
        // Beyond this the whole seconds no longer fit a 64-bit integer.
        const double whole = std::trunc(seconds < 9.0e18 ? seconds : 9.0e18);
        wholeMinutes = static_cast<int64_t>(whole) / 60;
        remainder = seconds - 60.0 * static_cast<double>(wholeMinutes);
        if (remainder < 0.0)
            remainder = 0.0;
    }
    const int64_t wholeHours = wholeMinutes / 60;
    if (hours)
        *hours = wholeHours > INT_MAX ? INT_MAX : static_cast<int>(wholeHours);
    if (minutes)
        *minutes = static_cast<int>(wholeMinutes % 60);
    if (rest)
        *rest = static_cast<float>(remainder);
}

float CDataUtil::DBToAmplitude(float dB)
{
    return static_cast<float>(std::pow(10.0, static_cast<double>(dB) / 20.0));
}
