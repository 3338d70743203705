#pragma once

// The per-song controls as the song record writes them into the engine.
//
// Gain in dB (0.0 leaves the level unchanged); pan from -1.0 (left) through
// 0.0 (centre) to +1.0 (right); DC-cut mode 0 is off and any other value on;
// fade type 0 (or below) is none, 1 linear and 2 (or above) squared; fade
// lengths in seconds.
class CDynamicControlParams
{
public:
    virtual ~CDynamicControlParams() = default;

    // Each setter returns the value stored.
    virtual float SetGaindB(float dB) = 0;
    virtual float SetPan(float pan) = 0;
    virtual int SetDcCutMode(int mode) = 0;
    // All four values take effect together.
    virtual void SetFadeParams(int fadeInType, float fadeInSeconds, int fadeOutType,
                               float fadeOutSeconds) = 0;

    virtual float GetGaindB() const = 0;
    virtual float GetPan() const = 0;
    virtual int GetDcCutMode() const = 0;
    // The fade types and the fade lengths in effect, which are shorter than
    // the requested ones when the song is too short for both. Null pointers
    // are skipped.
    virtual void GetFadeParams(int* fadeInType, float* fadeInSeconds, int* fadeOutType,
                               float* fadeOutSeconds) const = 0;
};
