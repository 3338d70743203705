#include "common/dsp/CRealTimeFsConverterPcmOutput.h"

#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cmath>

namespace
{
// Decimation of 1-bit-derived rates: 60 kHz cut-off, 82 dB, gain x 2.
struct DecimationSetting
{
    uint32_t minRate;
    int taps;
    int factor;
};
constexpr DecimationSetting kDecimationSettings[] = {
    {11289600, 289, 64},
    {5644800, 145, 32},
    {2822400, 73, 16},
};
constexpr int kDecimationCutoff = 60000;
constexpr double kDecimationAttenuation = 82.0;
constexpr double kDecimationGaindB = 6.020599913279624;

struct InterpolationSetting
{
    int taps;
    int cutoff;
    int factor;
};

InterpolationSetting ChooseInterpolation(uint32_t rate, uint32_t outputRate)
{
    if (rate > 96000)
        return outputRate > 96000 ? InterpolationSetting{96, 40000, 4} : InterpolationSetting{384, 22000, 4};
    if (rate > 48000)
        return outputRate <= 48000 ? InterpolationSetting{384, 22000, 8}
                                   : InterpolationSetting{192, 30000, 8};
    return {384, 22000, 16};
}

// The fixed cut-offs above are made for rates of 44.1 kHz and up. Below that
// they would pass the images of a low source rate (or the aliases of a high
// one into a low output rate), so the pass band then ends at 0.45 x the lower
// rate. From 44.1 kHz on the table stands, keeping the band up to 20 kHz.
constexpr uint32_t kLowestFullBandRate = 44100;

int LimitCutoff(int cutoff, uint32_t rate, uint32_t outputRate)
{
    const uint32_t lower = std::min(rate, outputRate);
    if (lower >= kLowestFullBandRate)
        return cutoff;
    const double limit = std::floor(0.45 * lower);
    return static_cast<int>(std::min<double>(cutoff, limit));
}
} // namespace

CRealTimeFsConverterPcmOutput::CRealTimeFsConverterPcmOutput(int channels)
    : m_interpolator(std::make_unique<CFsCwInterpolation>(channels)),
      m_decimator(std::make_unique<CDecimationFilter>(channels)), m_interpolationOn(false),
      m_decimationOn(false), m_inputRate(44100), m_outputRate(44100),
      m_channels(static_cast<uint16_t>(m_interpolator->GetNumChannels()))
{
    m_interpolator->SetSideLobeAttenuation(kInterpolationAttenuation);
    Configure();
}

CRealTimeFsConverterPcmOutput::~CRealTimeFsConverterPcmOutput() = default;

bool CRealTimeFsConverterPcmOutput::SetSampleRates(uint32_t inputRate, uint32_t outputRate)
{
    if (inputRate == m_inputRate && outputRate == m_outputRate)
        return false;
    if (inputRate == 0 || outputRate == 0 || inputRate > kMaxSampleRate || outputRate > kMaxSampleRate)
        return false;
    m_inputRate = inputRate;
    m_outputRate = outputRate;
    Configure();
    return true;
}

void CRealTimeFsConverterPcmOutput::Configure()
{
    m_interpolationOn = false;
    m_decimationOn = false;
    if (m_inputRate == m_outputRate)
        return;

    uint32_t rate = m_inputRate;
    for (const DecimationSetting& setting : kDecimationSettings)
    {
        if (rate < setting.minRate)
            continue;
        m_decimator->SetSideLobeAttenuation(kDecimationAttenuation);
        m_decimator->SetFilterCoeffs(setting.taps, static_cast<int>(rate), kDecimationCutoff, setting.factor,
                                     kDecimationGaindB);
        m_decimationOn = true;
        rate /= static_cast<uint32_t>(setting.factor);
        break;
    }
    if (rate == m_outputRate)
        return;

    const InterpolationSetting setting = ChooseInterpolation(rate, m_outputRate);
    m_interpolationOn = m_interpolator->SetFilterCoeffs(
        setting.taps, static_cast<int>(rate), static_cast<float>(m_outputRate),
        LimitCutoff(setting.cutoff, rate, m_outputRate), setting.factor, 0.0);
}

bool CRealTimeFsConverterPcmOutput::IsProcessRequired() const
{
    return m_inputRate != m_outputRate;
}

int CRealTimeFsConverterPcmOutput::Process(float* const* in, float* const* out, int n)
{
    if (n <= 0)
        return 0;
    if (m_inputRate == m_outputRate)
    {
        CPcmUtil::Copy(in, out, static_cast<uint32_t>(n), m_channels, 0, 0);
        return n;
    }
    if (!m_decimationOn)
        return m_interpolator->Process(in, out, n);
    if (m_interpolationOn)
    {
        const int m = m_decimator->Process(in, in, n);
        return m_interpolator->Process(in, out, m);
    }
    return m_decimator->Process(in, out, n);
}

void CRealTimeFsConverterPcmOutput::Reset()
{
    m_interpolator->Reset();
    m_decimator->Reset();
}

double CRealTimeFsConverterPcmOutput::GetDelayOffsetSeconds() const
{
    double delay = 0.0;
    double workingRate = m_inputRate;
    if (m_decimationOn)
    {
        delay = m_decimator->GetDelayOffsetInputSamples() / static_cast<double>(m_inputRate);
        workingRate = static_cast<double>(m_inputRate) / m_decimator->GetDecimationRate();
    }
    if (m_interpolationOn)
        delay += m_interpolator->GetDelayOffsetInputSamples() / workingRate;
    return delay;
}

int CRealTimeFsConverterPcmOutput::GetOutputFrameCount(int n) const
{
    if (n <= 0)
        return 0;
    if (m_inputRate == m_outputRate)
        return n;
    if (!m_decimationOn)
        return m_interpolator->GetOutputFrameCount(n);
    const int m = m_decimator->GetOutputFrameCount(n);
    return m_interpolationOn ? m_interpolator->GetOutputFrameCount(m) : m;
}
