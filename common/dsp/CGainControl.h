#pragma once

#include <cstdint>

// A fixed gain in dB for every channel; nothing is done at exactly unity.
class CGainControl
{
public:
    explicit CGainControl(uint16_t channels);

    // Stores dB and the linear gain 10^(dB / 20); not a number is taken as
    // 0 dB. Returns the dB stored.
    float SetGaindB(float dB);
    float GetGaindB() const { return m_gaindB; }
    float GetLinearGain() const { return m_linearGain; }
    uint16_t GetNumChannels() const { return m_channels; }

    // Multiplies n samples of every channel in place by the linear gain.
    void Process(float* const* bufs, uint32_t n) const;

private:
    float m_gaindB;
    float m_linearGain;
    uint16_t m_channels;
};
