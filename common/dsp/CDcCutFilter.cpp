#include "common/dsp/CDcCutFilter.h"

#include "library/util/CSystemUtil.h"

#include <xmmintrin.h>

#include <cstring>

namespace
{
float FromBits(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Corner near 0.9 Hz at 44100 Hz, and the coefficient for the very high rates
// of 1-bit-derived material.
constexpr uint32_t kCoefficientBits = 0x3F7FF77Bu;         // 0.99987
constexpr uint32_t kHighRateCoefficientBits = 0x3F7FFFDBu; // 0.9999978
constexpr uint32_t kHighRateThreshold = 192000;
constexpr float kDenormalOffset = 1.0e-18f;
constexpr unsigned int kRoundingBits = 0x6000u;

// The engine's control word but rounding to nearest: adding and removing the
// offset must give every normal sample back exactly, which rounding toward
// zero would not (it takes one unit off 1.0, and the error feeds back).
class CScopedNearestMxcsr
{
public:
    CScopedNearestMxcsr() : m_saved(_mm_getcsr())
    {
        _mm_setcsr(CSystemUtil::GetPreferredMxcsr() & ~kRoundingBits);
    }
    ~CScopedNearestMxcsr() { _mm_setcsr(m_saved); }
    CScopedNearestMxcsr(const CScopedNearestMxcsr&) = delete;
    CScopedNearestMxcsr& operator=(const CScopedNearestMxcsr&) = delete;

private:
    unsigned int m_saved;
};
} // namespace

CDcCutFilter::CDcCutFilter(uint32_t channels)
    : m_sampleRate(44100), m_mode(0), m_slots(), m_channels(channels > kMaxChannels ? kMaxChannels : channels)
{
    for (Slot& s : m_slots)
        s = Slot{1.0f, 0.0f, 0.0f, kDenormalOffset};
}

float CDcCutFilter::Coefficient(int mode, uint32_t rate)
{
    if (mode == 0)
        return 1.0f;
    return FromBits(rate > kHighRateThreshold ? kHighRateCoefficientBits : kCoefficientBits);
}

uint32_t CDcCutFilter::SetSampleRate(uint32_t rate)
{
    if (rate != m_sampleRate)
    {
        m_sampleRate = rate;
        UpdateCoefficient();
    }
    return m_sampleRate;
}

int CDcCutFilter::SetDcCutMode(int mode)
{
    if (mode != m_mode)
    {
        m_mode = mode;
        UpdateCoefficient();
    }
    return m_mode;
}

void CDcCutFilter::UpdateCoefficient()
{
    const float a = Coefficient(m_mode, m_sampleRate);
    for (Slot& s : m_slots)
        s.a = a;
}

void CDcCutFilter::Reset()
{
    for (Slot& s : m_slots)
    {
        s.x1 = 0.0f;
        s.y1 = 0.0f;
    }
}

void CDcCutFilter::Process(float* const* bufs, uint32_t n)
{
    if (m_mode == 0 || bufs == nullptr)
        return;
    CScopedNearestMxcsr mxcsr;
    for (uint32_t c = 0; c < m_channels; ++c)
    {
        float* p = bufs[c];
        if (p == nullptr)
            continue;
        Slot& s = m_slots[c];
        const float a = s.a;
        const float offset = s.offset;
        float x1 = s.x1;
        float y1 = s.y1;
        for (uint32_t i = 0; i < n; ++i)
        {
            const float x = p[i];
            float y = x - x1 + a * y1;
            // Adding and removing the offset rounds away anything far below it,
            // so the decaying tail ends in 0 instead of denormals.
            const float d = y >= 0.0f ? offset : -offset;
            y = (y + d) - d;
            x1 = x;
            y1 = y;
            p[i] = y;
        }
        s.x1 = x1;
        s.y1 = y1;
    }
}
