#include "common/dsp/CPanControl.h"

#include "library/util/CPcmUtil.h"

#include <cmath>

CPanControl::CPanControl(uint16_t channels)
    : m_channels(channels > kMaxChannels ? kMaxChannels : channels), m_pan(0.0f), m_leftGain(1.0f),
      m_rightGain(1.0f), m_bypass(true)
{
}

float CPanControl::SetPan(float p)
{
    constexpr double kSqrt2 = 1.41421356237309504880;
    constexpr double kQuarterPi = 0.78539816339744830962;
    if (m_channels != 2 || p == 0.0f || std::isnan(p))
    {
        m_bypass = true;
        m_pan = 0.0f;
        m_leftGain = 1.0f;
        m_rightGain = 1.0f;
        return m_pan;
    }
    m_bypass = false;
    if (p <= -1.0f)
    {
        m_pan = -1.0f;
        m_leftGain = static_cast<float>(kSqrt2);
        m_rightGain = 0.0f;
    }
    else if (p >= 1.0f)
    {
        m_pan = 1.0f;
        m_leftGain = 0.0f;
        m_rightGain = static_cast<float>(kSqrt2);
    }
    else
    {
        m_pan = p;
        const double x = (static_cast<double>(p) + 1.0) * kQuarterPi;
        m_leftGain = static_cast<float>(std::cos(x) * kSqrt2);
        m_rightGain = static_cast<float>(std::sin(x) * kSqrt2);
    }
    return m_pan;
}

void CPanControl::Process(float* const* bufs, uint32_t n) const
{
    if (m_bypass || m_channels < 2 || bufs == nullptr)
        return;
    CPcmUtil::ChangeAmplitude(&bufs[0], &bufs[0], n, 1, m_leftGain);
    CPcmUtil::ChangeAmplitude(&bufs[1], &bufs[1], n, 1, m_rightGain);
}
