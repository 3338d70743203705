#pragma once

#include <cstdint>

// A constant-power balance for two channels with unity gain at the centre:
// at pan p the left channel gets cos((p + 1) pi/4) sqrt(2) and the right
// sin((p + 1) pi/4) sqrt(2). One channel, and the centre, are bypassed;
// channels beyond the second are never panned.
class CPanControl
{
public:
    static constexpr uint16_t kMaxChannels = 2;

    // Channels above 2 are taken as 2.
    explicit CPanControl(uint16_t channels);

    // Limits p to -1.0 .. +1.0; 0.0, not a number, or a single channel give
    // the bypass (pan 0.0, both gains 1.0). Returns the pan stored.
    float SetPan(float p);
    float GetPan() const { return m_pan; }
    float GetLeftGain() const { return m_leftGain; }
    float GetRightGain() const { return m_rightGain; }
    bool IsBypassed() const { return m_bypass; }

    // Channel 0 times the left gain, channel 1 times the right gain, in place.
    void Process(float* const* bufs, uint32_t n) const;

private:
    uint16_t m_channels;
    float m_pan;
    float m_leftGain;
    float m_rightGain;
    bool m_bypass;
};
