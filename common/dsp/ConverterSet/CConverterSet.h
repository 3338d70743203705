#pragma once

#include "common/dsp/ConverterSet/CConverterPcmOutputDspBase.h"

#include <cstdint>
#include <memory>

// The fixed-ratio converters among 44100, 48000, 88200 and 96000 Hz. Each
// class is named after the rates it is designed at, and serves every pair of
// the same ratio (44100 to 48000 also does 88200 to 96000). The export forms
// use long filters of 120 dB stop-band attenuation; the _Peak_Detection forms
// use filters of a sixth of the length at 24 dB, good enough to estimate the
// peak a conversion produces. Every filter cuts off at half the lower rate.

// x 160 / 147 (polyphase).
class CConverter44_1kHz_To_48kHz : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter44_1kHz_To_48kHz(int channels);
};
class CConverter44_1kHz_To_48kHz_Peak_Detection : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter44_1kHz_To_48kHz_Peak_Detection(int channels);
};

// x 2 (oversampling filter).
class CConverter44_1kHz_To_88_2kHz : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter44_1kHz_To_88_2kHz(int channels);
};
class CConverter44_1kHz_To_88_2kHz_Peak_Detection : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter44_1kHz_To_88_2kHz_Peak_Detection(int channels);
};

// x 320 / 147 (polyphase).
class CConverter44_1kHz_To_96kHz : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter44_1kHz_To_96kHz(int channels);
};
class CConverter44_1kHz_To_96kHz_Peak_Detection : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter44_1kHz_To_96kHz_Peak_Detection(int channels);
};

// x 147 / 160 (polyphase).
class CConverter48kHz_To_44_1kHz : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter48kHz_To_44_1kHz(int channels);
};
class CConverter48kHz_To_44_1kHz_Peak_Detection : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter48kHz_To_44_1kHz_Peak_Detection(int channels);
};

// x 147 / 80 (polyphase).
class CConverter48kHz_To_88_2kHz : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter48kHz_To_88_2kHz(int channels);
};
class CConverter48kHz_To_88_2kHz_Peak_Detection : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter48kHz_To_88_2kHz_Peak_Detection(int channels);
};

// / 2 (decimating filter).
class CConverter88_2kHz_To_44_1kHz : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter88_2kHz_To_44_1kHz(int channels);
};
class CConverter88_2kHz_To_44_1kHz_Peak_Detection : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter88_2kHz_To_44_1kHz_Peak_Detection(int channels);
};

// x 80 / 147 (polyphase).
class CConverter88_2kHz_To_48kHz : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter88_2kHz_To_48kHz(int channels);
};
class CConverter88_2kHz_To_48kHz_Peak_Detection : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter88_2kHz_To_48kHz_Peak_Detection(int channels);
};

// x 147 / 320 (polyphase).
class CConverter96kHz_To_44_1kHz : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter96kHz_To_44_1kHz(int channels);
};
class CConverter96kHz_To_44_1kHz_Peak_Detection : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverter96kHz_To_44_1kHz_Peak_Detection(int channels);
};

// The converter of the set for a pair of rates (each one of 44100, 48000,
// 88200, 96000 Hz): the same-rate pass-through for equal rates, otherwise the
// class of the pair's ratio, in its export form or its peak-detection form.
// Null for any other rate.
std::unique_ptr<CConverterPcmOutputDspBase> CreateConverterForRates(uint32_t inputRate, uint32_t outputRate,
                                                                    int channels, bool peakDetection);
