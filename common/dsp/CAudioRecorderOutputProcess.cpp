#include "common/dsp/CAudioRecorderOutputProcess.h"

#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace
{
// The linear congruential step of both dither generators.
constexpr uint32_t kLcgMultiplier = 196314165u;
constexpr uint32_t kLcgIncrement = 907633515u;

// The step taken k + 1 times at once (k < kDitherRun): state x becomes
// kJumpMultiplier[k] x + kJumpIncrement[k], modulo 2^32.
constexpr uint32_t kDitherRun = 8;
struct JumpTable
{
    uint32_t multiplier[kDitherRun];
    uint32_t increment[kDitherRun];
};
constexpr JumpTable MakeJumpTable()
{
    JumpTable t{};
    uint32_t m = 1, c = 0;
    for (uint32_t k = 0; k < kDitherRun; ++k)
    {
        m = m * kLcgMultiplier;
        c = c * kLcgMultiplier + kLcgIncrement;
        t.multiplier[k] = m;
        t.increment[k] = c;
    }
    return t;
}
constexpr JumpTable kJump = MakeJumpTable();

// The sink's word length limited to 1 .. 32 bits.
int SinkBits(CAudioRecorderOutput& output)
{
    return std::clamp(static_cast<int>(output.GetBitsPerSample()), 1, 32);
}
} // namespace

// ---------------------------------------------------------------------------
// Base

CAudioRecorderOutputProcessBase::~CAudioRecorderOutputProcessBase() = default;

void CAudioRecorderOutputProcessBase::SetAudioRecorderOutput(CAudioRecorderOutput* output)
{
    m_output = output;
}

// ---------------------------------------------------------------------------
// No word-length reduction

uint32_t CAudioRecorderOutputProcessNone::WriteAudioData(float** bufs, uint32_t n)
{
    return m_output != nullptr ? m_output->WriteAudioData(bufs, n) : 0;
}

uint32_t CAudioRecorderOutputProcessNone::WriteAudioData(int32_t** bufs, uint32_t n)
{
    return m_output != nullptr ? m_output->WriteAudioData(bufs, n) : 0;
}

uint32_t CAudioRecorderOutputProcessNone::WriteAudioData(uint8_t** bufs, uint32_t n)
{
    return m_output != nullptr ? m_output->WriteAudioData(bufs, n) : 0;
}

uint32_t CAudioRecorderOutputProcessNone::ProcessAndWriteAudioData(float** bufs, uint32_t n)
{
    return WriteAudioData(bufs, n);
}

// ---------------------------------------------------------------------------
// TPDF dither

void CAudioRecorderOutputProcessTpdfDither::SetAudioRecorderOutput(CAudioRecorderOutput* output)
{
    CAudioRecorderOutputProcessBase::SetAudioRecorderOutput(output);
    m_ditherScale = output != nullptr ? std::ldexp(1.0, -(SinkBits(*output) + 31)) : 0.0;
}

float CAudioRecorderOutputProcessTpdfDither::NextDitherValue()
{
    m_state1 = m_state1 * kLcgMultiplier + kLcgIncrement;
    m_state2 = m_state2 * kLcgMultiplier + kLcgIncrement;
    const double sum = static_cast<double>(static_cast<int32_t>(m_state1)) +
                       static_cast<double>(static_cast<int32_t>(m_state2));
    return static_cast<float>(sum * m_ditherScale);
}

void CAudioRecorderOutputProcessTpdfDither::FillDitherValues(float* values, uint32_t n)
{
    // kDitherRun frames at a time, each from both states jumped ahead: the
    // values NextDitherValue draws one by one, in a loop the compiler makes
    // vector code of.
    uint32_t i = 0;
    for (; i + kDitherRun <= n; i += kDitherRun)
    {
        uint32_t a[kDitherRun], b[kDitherRun];
        for (uint32_t k = 0; k < kDitherRun; ++k)
        {
            a[k] = kJump.multiplier[k] * m_state1 + kJump.increment[k];
            b[k] = kJump.multiplier[k] * m_state2 + kJump.increment[k];
        }
        for (uint32_t k = 0; k < kDitherRun; ++k)
        {
            const double sum = static_cast<double>(static_cast<int32_t>(a[k])) +
                               static_cast<double>(static_cast<int32_t>(b[k]));
            values[i + k] = static_cast<float>(sum * m_ditherScale);
        }
        m_state1 = a[kDitherRun - 1];
        m_state2 = b[kDitherRun - 1];
    }
    for (; i < n; ++i)
        values[i] = NextDitherValue();
}

uint32_t CAudioRecorderOutputProcessTpdfDither::WriteAudioData(float** bufs, uint32_t n)
{
    if (m_output == nullptr)
        return 0;
    if (m_output->IsFloatingPoint())
        return m_output->WriteAudioData(bufs, n);
    return ProcessAndWriteAudioData(bufs, n);
}

uint32_t CAudioRecorderOutputProcessTpdfDither::WriteAudioData(int32_t** bufs, uint32_t n)
{
    if (m_output == nullptr)
        return 0;
    if (m_output->IsFloatingPoint() || m_sourceBitsPerSample <= m_output->GetBitsPerSample() ||
        bufs == nullptr)
        return m_output->WriteAudioData(bufs, n);
    // The source is wider than the sink: reduce its word length like a float
    // block. The conversion works in place, sample by sample.
    float** floats = reinterpret_cast<float**>(bufs);
    CPcmUtil::SignedIntToFloat(bufs, floats, n, m_output->GetNumChannels(), 0, 0);
    return ProcessAndWriteAudioData(floats, n);
}

uint32_t CAudioRecorderOutputProcessTpdfDither::WriteAudioData(uint8_t** bufs, uint32_t n)
{
    return m_output != nullptr ? m_output->WriteAudioData(bufs, n) : 0;
}

uint32_t CAudioRecorderOutputProcessTpdfDither::ProcessAndWriteAudioData(float** bufs, uint32_t n)
{
    if (m_output == nullptr)
        return 0;
    if (bufs != nullptr)
    {
        const uint16_t channels = m_output->GetNumChannels();
        // One value for all channels of a frame.
        float values[256];
        for (uint32_t first = 0; first < n; first += std::size(values))
        {
            const uint32_t count = std::min<uint32_t>(n - first, std::size(values));
            FillDitherValues(values, count);
            for (uint16_t c = 0; c < channels; ++c)
            {
                if (bufs[c] == nullptr)
                    continue;
                float* samples = bufs[c] + first;
                for (size_t i = 0; i < count; ++i)
                    samples[i] += values[i];
            }
        }
    }
    return m_output->WriteAudioData(bufs, n);
}

// ---------------------------------------------------------------------------
// Noise-shaped dither
//
// The error of every quantization (the output minus what was quantized) is fed
// back, weighted by the rate's coefficients, into the next samples, so the
// total error of the output is the white quantization error filtered by
// 1 + c0 z^-1 + c1 z^-2 + ...: small where the ear hears best, larger near
// the top of the band.

const float CAudioRecorderOutputProcessNoiseShapedDither::sm_afVextalMIST_44kHz[9] = {
    -2.56611f, 3.9481f, -4.79784f, 4.93415f, -4.19708f, 2.9046f, -1.63391f, 0.72051f, -0.1875f};
const float CAudioRecorderOutputProcessNoiseShapedDither::sm_afVextalMIST_48kHz[9] = {
    -2.48764f, 3.64192f, -4.26833f, 4.32497f, -3.69128f, 2.60922f, -1.52449f, 0.68188f, -0.16338f};
const float CAudioRecorderOutputProcessNoiseShapedDither::sm_afVextalMIST_88kHz[7] = {
    -2.88462f, 4.74373f, -5.2223f, 4.03013f, -2.15205f, 0.73473f, -0.12465f};
const float CAudioRecorderOutputProcessNoiseShapedDither::sm_afVextalMIST_96kHz[7] = {
    -2.81916f, 4.4538f, -4.632f, 3.31257f, -1.59952f, 0.47657f, -0.06631f};
const float CAudioRecorderOutputProcessNoiseShapedDither::sm_afNoNoiseShaperCoeff[2] = {0.0f, 0.0f};

CAudioRecorderOutputProcessNoiseShapedDither::CAudioRecorderOutputProcessNoiseShapedDither() = default;

const float* CAudioRecorderOutputProcessNoiseShapedDither::CoefficientsForRate(uint32_t rate, uint32_t* count)
{
    uint32_t n = 0;
    const float* table = sm_afNoNoiseShaperCoeff;
    switch (rate)
    {
    case 44100:
        table = sm_afVextalMIST_44kHz;
        n = 9;
        break;
    case 48000:
        table = sm_afVextalMIST_48kHz;
        n = 9;
        break;
    case 88200:
    case 176400:
        table = sm_afVextalMIST_88kHz;
        n = 7;
        break;
    case 96000:
    case 192000:
        table = sm_afVextalMIST_96kHz;
        n = 7;
        break;
    default:
        break;
    }
    if (count != nullptr)
        *count = n;
    return table;
}

void CAudioRecorderOutputProcessNoiseShapedDither::SetAudioRecorderOutput(CAudioRecorderOutput* output)
{
    CAudioRecorderOutputProcessTpdfDither::SetAudioRecorderOutput(output);
    if (output == nullptr)
    {
        m_coeffs = sm_afNoNoiseShaperCoeff;
        m_numCoeffs = 0;
        m_roundingOffset = 0;
        return;
    }
    m_coeffs = CoefficientsForRate(output->GetSampleRate(), &m_numCoeffs);
    const int bits = SinkBits(*output);
    m_roundingOffset = bits >= 32 ? 0 : (int64_t{1} << 31) >> bits;
    // Every channel of the sink keeps its own error history.
    const uint32_t channels = output->GetNumChannels();
    if (channels > m_numErrorChannels)
    {
        m_errors.resize(static_cast<size_t>(channels) * kHistoryLength, 0.0f);
        m_numErrorChannels = channels;
    }
}

void CAudioRecorderOutputProcessNoiseShapedDither::Reset()
{
    std::fill(m_errors.begin(), m_errors.end(), 0.0f);
    m_historyIndex = 0;
}

uint32_t CAudioRecorderOutputProcessNoiseShapedDither::ProcessAndWriteAudioData(float** bufs, uint32_t n)
{
    if (m_output == nullptr)
        return 0;
    if (bufs == nullptr || n == 0)
        return m_output->WriteAudioData(reinterpret_cast<int32_t**>(bufs), n);

    const uint32_t channels = m_output->GetNumChannels();
    if (channels > m_numErrorChannels)
    {
        // Only reached when the sink changed its channel count after set-up.
        m_errors.resize(static_cast<size_t>(channels) * kHistoryLength, 0.0f);
        m_numErrorChannels = channels;
    }
    const int shift = 32 - SinkBits(*m_output);
    const int64_t keepMask = ~static_cast<int64_t>((uint64_t{1} << shift) - 1);
    constexpr int64_t kMin = -2147483648LL;
    constexpr int64_t kMax = 2147483647LL;
    constexpr uint32_t kWrap = kHistoryLength - 1;

    for (uint32_t i = 0; i < n; ++i)
    {
        const float d = NextDitherValue();
        for (uint32_t c = 0; c < channels; ++c)
        {
            float* sample = bufs[c] != nullptr ? bufs[c] + i : nullptr;
            if (sample == nullptr)
                continue;
            float* errors = &m_errors[static_cast<size_t>(c) * kHistoryLength];

            float feedback = 0.0f;
            for (uint32_t k = 0; k < m_numCoeffs; ++k)
                feedback += m_coeffs[k] * errors[(m_historyIndex + 1 + k) & kWrap];
            float v = *sample + feedback;
            // NaN counts as the negative end.
            if (!(v > -1.0f))
                v = -1.0f;
            else if (v > 1.0f)
                v = 1.0f;

            int64_t q =
                static_cast<int64_t>(static_cast<double>(v + d) * m_fCoeffFloatToInt) + m_roundingOffset;
            q = std::clamp(q, kMin, kMax);
            const int32_t y = static_cast<int32_t>(q & keepMask);

            errors[m_historyIndex & kWrap] = static_cast<float>(y * m_fCoeffIntToFloat) - v;
            // The buffer now holds integers.
            std::memcpy(sample, &y, sizeof y);
        }
        --m_historyIndex;
    }
    return m_output->WriteAudioData(reinterpret_cast<int32_t**>(bufs), n);
}
