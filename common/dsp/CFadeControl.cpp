#include "common/dsp/CFadeControl.h"

#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// Limits for positions: far beyond any song, far inside int64_t.
constexpr double kMaxPosition = 4611686018427387904.0; // 2^62

// v truncated toward zero and limited to lo .. hi; not a number gives 0.
int64_t ToSamples(double v, double lo, double hi)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int64_t>(std::min(std::max(v, lo), hi));
}

double NonNegative(double seconds)
{
    return std::isnan(seconds) || seconds < 0.0 ? 0.0 : seconds;
}

int64_t Rescale(int64_t samples, uint32_t from, uint32_t to)
{
    return ToSamples(static_cast<double>(samples) * to / from, -kMaxPosition, kMaxPosition);
}

int Curve(int type)
{
    return type > 1 ? 1 : 0;
}
} // namespace

CFadeControl::CFadeControl(uint16_t channels)
    : m_channels(channels), m_sampleRate(44100), m_curSample(0), m_totalTime(0.0), m_fadeInTime(0.0),
      m_fadeOutTime(0.0), m_requestedFadeInTime(0.0), m_requestedFadeOutTime(0.0), m_delayOffset(0),
      m_totalSamples(0), m_fadeInLength(0), m_fadeOutLength(0), m_fadeInType(0), m_fadeOutType(0)
{
}

uint32_t CFadeControl::SetSampleRate(uint32_t rate)
{
    if (rate == 0 || rate == m_sampleRate)
        return m_sampleRate;
    m_curSample = Rescale(m_curSample, m_sampleRate, rate);
    m_delayOffset = static_cast<uint32_t>(
        ToSamples(static_cast<double>(m_delayOffset) * rate / m_sampleRate, 0.0, 4294967295.0));
    m_sampleRate = rate;
    UpdateLengths();
    return m_sampleRate;
}

double CFadeControl::SetTotalTimeSecond(double seconds)
{
    m_totalTime = NonNegative(seconds);
    UpdateLengths();
    return m_totalTime;
}

double CFadeControl::SetCurTimeSecond(double seconds)
{
    m_curSample = ToSamples(seconds * m_sampleRate, -kMaxPosition, kMaxPosition);
    return seconds;
}

double CFadeControl::SetDelayOffsetSecond(double seconds)
{
    m_delayOffset = static_cast<uint32_t>(ToSamples(seconds * m_sampleRate, 0.0, 4294967295.0));
    return seconds;
}

int CFadeControl::SetFadeInType(int type)
{
    m_fadeInType = type;
    UpdateLengths();
    return m_fadeInType;
}

int CFadeControl::SetFadeOutType(int type)
{
    m_fadeOutType = type;
    UpdateLengths();
    return m_fadeOutType;
}

double CFadeControl::SetFadeInTimeSecond(double seconds)
{
    m_requestedFadeInTime = NonNegative(seconds);
    UpdateLengths();
    return m_requestedFadeInTime;
}

double CFadeControl::SetFadeOutTimeSecond(double seconds)
{
    m_requestedFadeOutTime = NonNegative(seconds);
    UpdateLengths();
    return m_requestedFadeOutTime;
}

void CFadeControl::UpdateLengths()
{
    const double rate = m_sampleRate;
    const double maxLength = std::numeric_limits<int32_t>::max();
    m_totalSamples = ToSamples(m_totalTime * rate, 0.0, kMaxPosition);
    int64_t in = m_fadeInType > 0 ? ToSamples(m_requestedFadeInTime * rate, 0.0, maxLength) : 0;
    int64_t out = m_fadeOutType > 0 ? ToSamples(m_requestedFadeOutTime * rate, 0.0, maxLength) : 0;

    // Leave at least one second of the song between the fades.
    const int64_t room = m_totalSamples - m_sampleRate;
    if (in + out > room)
    {
        const int64_t half = (in + out - room) / 2; // positive, so this rounds down
        in = std::max<int64_t>(in - half, 0);
        out = std::max<int64_t>(out - half, 0);
    }
    m_fadeInLength = static_cast<int32_t>(in);
    m_fadeOutLength = static_cast<int32_t>(out);
    m_fadeInTime = m_fadeInLength / rate;
    m_fadeOutTime = m_fadeOutLength / rate;
}

void CFadeControl::AdoptSettings(const CFadeControl& settings)
{
    const int64_t cur = m_curSample;
    const uint32_t oldRate = m_sampleRate;
    *this = settings;
    m_curSample = oldRate != m_sampleRate ? Rescale(cur, oldRate, m_sampleRate) : cur;
}

void CFadeControl::Process(float* const* bufs, uint32_t n)
{
    const int64_t p = m_curSample - m_delayOffset;
    const int64_t fadeOutStart = m_totalSamples - m_fadeOutLength;
    // The two fades never overlap (at least a second minus one sample lies
    // between them), so a block long enough to reach both gets both and the
    // result doesn't depend on how the song is cut into blocks.
    if (m_fadeInLength >= 1 && p < m_fadeInLength)
    {
        CPcmUtil::FadeIn(bufs, bufs, n, m_channels, static_cast<uint32_t>(m_fadeInLength), p,
                         Curve(m_fadeInType));
    }
    if (m_fadeOutLength >= 1 && p - fadeOutStart + n > 0)
    {
        CPcmUtil::FadeOut(bufs, bufs, n, m_channels, static_cast<uint32_t>(m_fadeOutLength), p - fadeOutStart,
                          Curve(m_fadeOutType));
    }
    m_curSample = std::min<int64_t>(m_curSample + n, static_cast<int64_t>(kMaxPosition));
}
