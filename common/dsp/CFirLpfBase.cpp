#include "common/dsp/CFirLpfBase.h"

#include <algorithm>

CFirLpfBase::CFirLpfBase() = default;

CFirLpfBase::CFirLpfBase(std::unique_ptr<CFirLpfCoeffs> coeffs) : m_coeffs(std::move(coeffs))
{
    if (m_coeffs)
        InitDesigner(*m_coeffs);
}

CFirLpfBase::~CFirLpfBase() = default;

void CFirLpfBase::SetFilterCoeffs(int length, int sampleRate, int cutoffHz, double gaindB)
{
    if (!m_coeffs)
        return;
    m_coeffs->SetFilterLength(length);
    m_coeffs->SetSampleRate(sampleRate);
    m_coeffs->SetCutoffFreq(cutoffHz);
    m_coeffs->SetGain(gaindB);
}

double CFirLpfBase::SetSideLobeAttenuation(double attenuationdB)
{
    return m_coeffs ? m_coeffs->SetSideLobeAttenuation(attenuationdB) : 0.0;
}

int CFirLpfBase::SetBesselFunctionLength(int terms)
{
    return m_coeffs ? m_coeffs->SetBesselFunctionLength(terms) : 0;
}

int CFirLpfBase::GetDelayOffsetInputSamples() const
{
    return m_coeffs ? m_coeffs->GetDelayOffsetInputSamples() : 0;
}

void CFirLpfBase::InitDesigner(CFirLpfCoeffs& coeffs)
{
    coeffs.SetSideLobeAttenuation(100.0);
    coeffs.SetBesselFunctionLength(15);
}

int CFirLpfBase::ClampChannels(int channels)
{
    return std::clamp(channels, 0, kMaxChannels);
}
