#pragma once

#include <cstdint>

// The song's fade-in and fade-out, applied by song position.
//
// The position of a block is the song sample of its first frame as heard
// after the rate converter ahead of this stage: the current sample less the
// converter's delay. Fade lengths are whole samples at the current rate; when
// the two fades together would leave less than one second of the song
// untouched, both are shortened by half the excess. Nothing allocates.
class CFadeControl
{
public:
    explicit CFadeControl(uint16_t channels);

    // A rate of 0 is ignored. Another rate rescales the current sample and the
    // delay and recomputes the lengths. Returns the rate stored.
    uint32_t SetSampleRate(uint32_t rate);
    // The song's length; negative or not a number is taken as 0.
    double SetTotalTimeSecond(double seconds);
    // Current sample = seconds x rate, truncated (not a number is 0). Returns seconds.
    double SetCurTimeSecond(double seconds);
    // The delay of the converter ahead of this stage, 0 .. 4294967295 samples.
    // Returns seconds.
    double SetDelayOffsetSecond(double seconds);
    // Type 0 or below: none; 1: linear; 2 or above: squared. Return the type.
    int SetFadeInType(int type);
    int SetFadeOutType(int type);
    // Requested lengths in seconds; negative or not a number is 0. Return seconds.
    double SetFadeInTimeSecond(double seconds);
    double SetFadeOutTimeSecond(double seconds);

    uint16_t GetNumChannels() const { return m_channels; }
    uint32_t GetSampleRate() const { return m_sampleRate; }
    double GetTotalTimeSecond() const { return m_totalTime; }
    int64_t GetCurSample() const { return m_curSample; }
    uint32_t GetDelayOffsetSamples() const { return m_delayOffset; }
    int GetFadeInType() const { return m_fadeInType; }
    int GetFadeOutType() const { return m_fadeOutType; }
    // The lengths in effect, after shortening.
    double GetFadeInTimeSecond() const { return m_fadeInTime; }
    double GetFadeOutTimeSecond() const { return m_fadeOutTime; }
    double GetRequestedFadeInTimeSecond() const { return m_requestedFadeInTime; }
    double GetRequestedFadeOutTimeSecond() const { return m_requestedFadeOutTime; }
    int64_t GetTotalSamples() const { return m_totalSamples; }
    int32_t GetFadeInLength() const { return m_fadeInLength; }
    int32_t GetFadeOutLength() const { return m_fadeOutLength; }
    // The fade-in length, and the total samples less the fade-out length.
    int64_t GetFadeInStopSample() const { return m_fadeInLength; }
    int64_t GetFadeOutStartSample() const { return m_totalSamples - m_fadeOutLength; }

    // Takes every setting of `settings` but keeps this object's current
    // sample, rescaled when the rate changes. Lets a copy made elsewhere
    // replace the settings without moving the position.
    void AdoptSettings(const CFadeControl& settings);

    // Fades n frames of every channel in place and advances the current
    // sample by n. With a fade-in set, frames before the song's start are
    // silent; with a fade-out set, frames after its end are silent.
    void Process(float* const* bufs, uint32_t n);

private:
    void UpdateLengths();

    uint16_t m_channels;
    uint32_t m_sampleRate;
    int64_t m_curSample;
    double m_totalTime;
    double m_fadeInTime;
    double m_fadeOutTime;
    double m_requestedFadeInTime;
    double m_requestedFadeOutTime;
    uint32_t m_delayOffset;
    int64_t m_totalSamples;
    int32_t m_fadeInLength;
    int32_t m_fadeOutLength;
    int m_fadeInType;
    int m_fadeOutType;
};
