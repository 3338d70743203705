#include "common/dsp/CDynamicControl.h"

#include "library/util/CPcmUtil.h"
#include "library/util/CSystemUtil.h"

#include <cmath>
#include <limits>

static_assert(std::atomic<double>::is_always_lock_free, "the seek request must be lock-free");
static_assert(std::atomic<float>::is_always_lock_free, "peak levels must be lock-free");

namespace
{
constexpr double kNoSeek = std::numeric_limits<double>::quiet_NaN();

uint16_t LimitChannels(uint16_t channels)
{
    return channels > CDynamicControl::kMaxChannels ? CDynamicControl::kMaxChannels : channels;
}
} // namespace

CDynamicControl::Settings::Settings(uint16_t channels)
    : gain(channels), pan(channels), dcCutMode(0), fade(channels)
{
}

CDynamicControl::CDynamicControl(uint16_t channels)
    : m_channels(LimitChannels(channels)), m_model(m_channels),
      m_backSlot(0), m_slots{Settings(m_channels), Settings(m_channels), Settings(m_channels)},
      m_middleSlot(1), m_resetRequests(0), m_pendingSeek(kNoSeek), m_frontSlot(2), m_resetRequestsSeen(0),
      m_dcCut(m_channels), m_fade(m_channels)
{
    for (auto& level : m_peakLevels)
        level.store(kNoPeakLevel, std::memory_order_relaxed);
}

CDynamicControl::~CDynamicControl() = default;

// Three slots: the setters fill the back slot and swap it with the middle one,
// marking it fresh; the audio thread swaps its front slot with a fresh middle
// one. Neither ever touches a slot the other owns.
void CDynamicControl::Publish()
{
    m_slots[m_backSlot] = m_model;
    m_backSlot = m_middleSlot.exchange(m_backSlot | kFreshSlot, std::memory_order_acq_rel) & kSlotMask;
}

void CDynamicControl::TakeSettings()
{
    if ((m_middleSlot.load(std::memory_order_relaxed) & kFreshSlot) != 0)
    {
        m_frontSlot = m_middleSlot.exchange(m_frontSlot, std::memory_order_acq_rel) & kSlotMask;
        const Settings& s = m_slots[m_frontSlot];
        m_dcCut.SetSampleRate(s.fade.GetSampleRate());
        m_dcCut.SetDcCutMode(s.dcCutMode);
        m_fade.AdoptSettings(s.fade);
    }
    const uint32_t resets = m_resetRequests.load(std::memory_order_acquire);
    if (resets != m_resetRequestsSeen)
    {
        m_resetRequestsSeen = resets;
        m_dcCut.Reset();
    }
    if (!std::isnan(m_pendingSeek.load(std::memory_order_relaxed)))
    {
        const double seconds = m_pendingSeek.exchange(kNoSeek, std::memory_order_acq_rel);
        if (!std::isnan(seconds))
            m_fade.SetCurTimeSecond(seconds);
    }
}

float CDynamicControl::SetGaindB(float dB)
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    const float stored = m_model.gain.SetGaindB(dB);
    Publish();
    return stored;
}

float CDynamicControl::SetPan(float pan)
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    const float stored = m_model.pan.SetPan(pan);
    Publish();
    return stored;
}

int CDynamicControl::SetDcCutMode(int mode)
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    m_model.dcCutMode = mode;
    Publish();
    return mode;
}

void CDynamicControl::SetFadeParams(int fadeInType, float fadeInSeconds, int fadeOutType,
                                    float fadeOutSeconds)
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    m_model.fade.SetFadeInType(fadeInType);
    m_model.fade.SetFadeInTimeSecond(fadeInSeconds);
    m_model.fade.SetFadeOutType(fadeOutType);
    m_model.fade.SetFadeOutTimeSecond(fadeOutSeconds);
    Publish();
}

float CDynamicControl::GetGaindB() const
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    return m_model.gain.GetGaindB();
}

float CDynamicControl::GetPan() const
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    return m_model.pan.GetPan();
}

int CDynamicControl::GetDcCutMode() const
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    return m_model.dcCutMode;
}

void CDynamicControl::GetFadeParams(int* fadeInType, float* fadeInSeconds, int* fadeOutType,
                                    float* fadeOutSeconds) const
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    if (fadeInType != nullptr)
        *fadeInType = m_model.fade.GetFadeInType();
    if (fadeInSeconds != nullptr)
        *fadeInSeconds = static_cast<float>(m_model.fade.GetFadeInTimeSecond());
    if (fadeOutType != nullptr)
        *fadeOutType = m_model.fade.GetFadeOutType();
    if (fadeOutSeconds != nullptr)
        *fadeOutSeconds = static_cast<float>(m_model.fade.GetFadeOutTimeSecond());
}

uint32_t CDynamicControl::SetSampleRate(uint32_t rate)
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    const uint32_t stored = m_model.fade.SetSampleRate(rate);
    Publish();
    return stored;
}

double CDynamicControl::SetTotalTimeSecond(double seconds)
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    const double stored = m_model.fade.SetTotalTimeSecond(seconds);
    Publish();
    return stored;
}

double CDynamicControl::SetCurTimeSecond(double seconds)
{
    m_pendingSeek.store(std::isnan(seconds) ? 0.0 : seconds, std::memory_order_release);
    return seconds;
}

double CDynamicControl::SetDelayOffsetSeconds(double seconds)
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    const double stored = m_model.fade.SetDelayOffsetSecond(seconds);
    Publish();
    return stored;
}

uint32_t CDynamicControl::Process(float* const* buffers, uint32_t n)
{
    CScopedPreferredMxcsr mxcsr;
    TakeSettings();
    const Settings& s = m_slots[m_frontSlot];
    m_dcCut.Process(buffers, n);
    s.gain.Process(buffers, n);
    if (!m_panBypassed.load(std::memory_order_relaxed))
        s.pan.Process(buffers, n);
    m_fade.Process(buffers, n);
    if (buffers != nullptr)
    {
        for (uint16_t c = 0; c < m_channels; ++c)
        {
            if (buffers[c] != nullptr)
                RaisePeak(c, CPcmUtil::GetPeakLeveldB(buffers[c], n));
        }
    }
    return n;
}

uint32_t CDynamicControl::Process(const float* const* in, float* const* out, uint32_t n)
{
    CPcmUtil::Copy(in, out, n, m_channels, 0, 0);
    return Process(out, n);
}

void CDynamicControl::RaisePeak(uint16_t channel, float level)
{
    std::atomic<float>& peak = m_peakLevels[channel];
    float current = peak.load(std::memory_order_relaxed);
    while (level > current && !peak.compare_exchange_weak(current, level, std::memory_order_relaxed))
    {
    }
}

float CDynamicControl::GetPeakLeveldB(int channel)
{
    if (channel < 0 || channel >= m_channels)
        return kNoPeakLevel;
    return m_peakLevels[channel].exchange(kNoPeakLevel, std::memory_order_relaxed);
}

void CDynamicControl::ResetPeakLeveldB()
{
    for (uint16_t c = 0; c < m_channels; ++c)
        m_peakLevels[c].store(kNoPeakLevel, std::memory_order_relaxed);
}

void CDynamicControl::Reset()
{
    m_resetRequests.fetch_add(1, std::memory_order_release);
    for (auto& level : m_peakLevels)
        level.store(kNoPeakLevel, std::memory_order_relaxed);
}

int64_t CDynamicControl::GetFadeInStopSample() const
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    return m_model.fade.GetFadeInStopSample();
}

int64_t CDynamicControl::GetFadeOutStartSample() const
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    return m_model.fade.GetFadeOutStartSample();
}

bool CDynamicControl::DirectModeIsSuggested() const
{
    std::lock_guard<std::mutex> lock(m_writeLock);
    return m_model.gain.GetGaindB() == 0.0f && m_model.pan.GetPan() == 0.0f && m_model.dcCutMode == 0;
}
