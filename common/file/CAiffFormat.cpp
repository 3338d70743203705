#include "common/file/CAiffFormat.h"

#include <cstring>

namespace
{
// The first four bytes of the extended values of the rates the format
// carries: sign and exponent, then the top 16 bits of the mantissa (the
// remaining mantissa bits are zero for all of them).
struct RateEntry
{
    uint32_t rate;
    uint8_t head[4];
};
constexpr RateEntry kRates[] = {
    {44100, {0x40, 0x0E, 0xAC, 0x44}}, {48000, {0x40, 0x0E, 0xBB, 0x80}},  {88200, {0x40, 0x0F, 0xAC, 0x44}},
    {96000, {0x40, 0x0F, 0xBB, 0x80}}, {176400, {0x40, 0x10, 0xAC, 0x44}}, {192000, {0x40, 0x10, 0xBB, 0x80}},
};
} // namespace

CAiffFormat::CAiffFormat()
{
    Initialize();
}

CAiffFormat::~CAiffFormat() = default;

void CAiffFormat::Initialize()
{
    std::memcpy(m_formID, "FORM", 4);
    m_formSize = 46;
    std::memcpy(m_formType, "AIFF", 4);
    std::memcpy(m_commID, "COMM", 4);
    m_commSize = kCommBodySize;
    m_channels = 2;
    m_sampleFrames = 0;
    m_bitsPerSample = 16;
    RateToExtended(44100, m_sampleRate);
    std::memcpy(m_ssndID, "SSND", 4);
    m_ssndSize = 8;
    m_ssndOffset = 0;
    m_ssndBlockSize = 0;
}

uint16_t CAiffFormat::GetBlockAlign() const
{
    return static_cast<uint16_t>(m_channels * (m_bitsPerSample / 8));
}

uint32_t CAiffFormat::ExtendedToRate(const uint8_t* bytes)
{
    // Sign 0 and a biased exponent of 0x4000 + e: the value is the 64-bit
    // mantissa (binary point after its top bit) times 2^(e + 1). Its integer
    // part is the top 32 mantissa bits shifted right by 30 - e.
    if (bytes[0] != 0x40 || bytes[1] > 28)
        return 0;
    const uint32_t high = static_cast<uint32_t>(bytes[2]) << 24 | static_cast<uint32_t>(bytes[3]) << 16 |
                          static_cast<uint32_t>(bytes[4]) << 8 | static_cast<uint32_t>(bytes[5]);
    return high >> (30 - bytes[1]);
}

bool CAiffFormat::RateToExtended(uint32_t rate, uint8_t* bytes)
{
    std::memset(bytes, 0, kRateBytes);
    for (const RateEntry& e : kRates)
    {
        if (e.rate == rate)
        {
            std::memcpy(bytes, e.head, sizeof(e.head));
            return true;
        }
    }
    return false;
}

bool CAiffFormat::IsSupportedSampleRate(uint32_t rate)
{
    for (const RateEntry& e : kRates)
        if (e.rate == rate)
            return true;
    return false;
}

bool CAiffFormat::IsSupportedFormat() const
{
    return IsSupportedSampleRate(GetSampleRate()) && (m_bitsPerSample == 16 || m_bitsPerSample == 24) &&
           (m_channels == 1 || m_channels == 2);
}
