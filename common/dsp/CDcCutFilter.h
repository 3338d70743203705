#pragma once

#include <cstdint>

// A first-order DC blocker per channel, y = x - x1 + a y1, for up to four
// channels. The filter state is kept across blocks and across changes of the
// mode and the sample rate; only Reset clears it. Results that would be
// denormal are flushed to 0 by adding and removing a small offset; the filter
// computes with round-to-nearest (and denormals flushed) whatever the caller's
// control word, so that this leaves normal samples exact.
class CDcCutFilter
{
public:
    static constexpr uint32_t kMaxChannels = 4;

    // Channels above 4 are taken as 4.
    explicit CDcCutFilter(uint32_t channels);

    // Both recompute the coefficient when their value changes and keep the
    // filter state. Return the value stored.
    uint32_t SetSampleRate(uint32_t rate);
    int SetDcCutMode(int mode);

    uint32_t GetSampleRate() const { return m_sampleRate; }
    int GetDcCutMode() const { return m_mode; }
    uint32_t GetNumChannels() const { return m_channels; }
    // The coefficient a in effect: 1.0 while off; 0.99987 up to 192000 Hz and
    // 0.9999978 above it while on.
    float GetCoefficient() const { return m_slots[0].a; }

    // Clears the previous input and output of every channel.
    void Reset();
    // Filters n samples of every channel in place (null channels are
    // skipped); nothing while the mode is 0.
    void Process(float* const* bufs, uint32_t n);

    // The coefficient for a mode and a rate.
    static float Coefficient(int mode, uint32_t rate);

private:
    struct Slot
    {
        float a;
        float x1;
        float y1;
        float offset;
    };

    void UpdateCoefficient();

    uint32_t m_sampleRate;
    int m_mode;
    Slot m_slots[kMaxChannels];
    uint32_t m_channels;
};
