#include "common/dsp/CGainControl.h"

#include "library/util/CDataUtil.h"
#include "library/util/CPcmUtil.h"

#include <cmath>

CGainControl::CGainControl(uint16_t channels)
    : m_gaindB(0.0f), m_linearGain(CDataUtil::DBToAmplitude(0.0f)), m_channels(channels)
{
}

float CGainControl::SetGaindB(float dB)
{
    m_gaindB = std::isnan(dB) ? 0.0f : dB;
    m_linearGain = CDataUtil::DBToAmplitude(m_gaindB);
    return m_gaindB;
}

void CGainControl::Process(float* const* bufs, uint32_t n) const
{
    if (m_linearGain == 1.0f)
        return;
    CPcmUtil::ChangeAmplitude(bufs, bufs, n, m_channels, m_linearGain);
}
