#pragma once

#include "common/dsp/ConverterSet/CConverterPcmOutputDspBase.h"

#include <cstdint>
#include <memory>

// The fixed-ratio converters among the export rates. Each class is named
// after the rates it is designed at, and serves every pair of the same ratio
// (44100 to 48000 also does 88200 to 96000). The export forms use long
// filters of 120 dB stop-band attenuation; the _Peak_Detection forms use
// filters of a sixth of the length at 24 dB, good enough to estimate the peak
// a conversion produces. Every filter cuts off at half the lower rate.

// The rates an export converts among, in the order of their indices.
inline constexpr uint32_t kExportRates[] = {44100, 48000, 88200, 96000};
inline constexpr int kNumExportRates = 4;
// The index of an export rate in kExportRates; -1 for any other rate.
int GetExportRateIndex(uint32_t rate);

// The designs of the converter classes, one per ratio.
enum eConverterDesign : int
{
    kDesign44_1kHz_To_48kHz,
    kDesign44_1kHz_To_88_2kHz,
    kDesign44_1kHz_To_96kHz,
    kDesign48kHz_To_44_1kHz,
    kDesign48kHz_To_88_2kHz,
    kDesign88_2kHz_To_44_1kHz,
    kDesign88_2kHz_To_48kHz,
    kDesign96kHz_To_44_1kHz,
    kNumConverterDesigns,
};

// One converter class of the set.
struct ConverterClass
{
    // The class name without "CConverter" (and without "_Peak_Detection").
    const char* name;
    // The rates it is designed at.
    uint32_t inputRate;
    uint32_t outputRate;
    // Makes the export form or the peak-detection form.
    std::unique_ptr<CConverterPcmOutputDspBase> (*make)(int channels, bool peakDetection);
};
// The classes, indexed by eConverterDesign.
const ConverterClass& GetConverterClass(int design);
// The class of the ratio of two different export rates; null for equal rates
// and any other rate.
const ConverterClass* FindConverterClass(uint32_t inputRate, uint32_t outputRate);

// The stage of a design in its export form or its peak-detection form.
std::unique_ptr<CFirLpfBase> MakeConverterStage(int design, bool peakDetection, int channels);

// The common body of the sixteen classes: the stage of one design and form.
template <int kDesign, bool kPeakDetection>
class CConverterSetMember : public CConverterPcmOutput1xStageDspBase
{
public:
    explicit CConverterSetMember(int channels)
        : CConverterPcmOutput1xStageDspBase(channels, MakeConverterStage(kDesign, kPeakDetection, channels))
    {
    }
};

// x 160 / 147 (polyphase).
class CConverter44_1kHz_To_48kHz : public CConverterSetMember<kDesign44_1kHz_To_48kHz, false>
{
public:
    using CConverterSetMember::CConverterSetMember;
};
class CConverter44_1kHz_To_48kHz_Peak_Detection : public CConverterSetMember<kDesign44_1kHz_To_48kHz, true>
{
public:
    using CConverterSetMember::CConverterSetMember;
};

// x 2 (oversampling filter).
class CConverter44_1kHz_To_88_2kHz : public CConverterSetMember<kDesign44_1kHz_To_88_2kHz, false>
{
public:
    using CConverterSetMember::CConverterSetMember;
};
class CConverter44_1kHz_To_88_2kHz_Peak_Detection
    : public CConverterSetMember<kDesign44_1kHz_To_88_2kHz, true>
{
public:
    using CConverterSetMember::CConverterSetMember;
};

// x 320 / 147 (polyphase).
class CConverter44_1kHz_To_96kHz : public CConverterSetMember<kDesign44_1kHz_To_96kHz, false>
{
public:
    using CConverterSetMember::CConverterSetMember;
};
class CConverter44_1kHz_To_96kHz_Peak_Detection : public CConverterSetMember<kDesign44_1kHz_To_96kHz, true>
{
public:
    using CConverterSetMember::CConverterSetMember;
};

// x 147 / 160 (polyphase).
class CConverter48kHz_To_44_1kHz : public CConverterSetMember<kDesign48kHz_To_44_1kHz, false>
{
public:
    using CConverterSetMember::CConverterSetMember;
};
class CConverter48kHz_To_44_1kHz_Peak_Detection : public CConverterSetMember<kDesign48kHz_To_44_1kHz, true>
{
public:
    using CConverterSetMember::CConverterSetMember;
};

// x 147 / 80 (polyphase).
class CConverter48kHz_To_88_2kHz : public CConverterSetMember<kDesign48kHz_To_88_2kHz, false>
{
public:
    using CConverterSetMember::CConverterSetMember;
};
class CConverter48kHz_To_88_2kHz_Peak_Detection : public CConverterSetMember<kDesign48kHz_To_88_2kHz, true>
{
public:
    using CConverterSetMember::CConverterSetMember;
};

// / 2 (decimating filter).
class CConverter88_2kHz_To_44_1kHz : public CConverterSetMember<kDesign88_2kHz_To_44_1kHz, false>
{
public:
    using CConverterSetMember::CConverterSetMember;
};
class CConverter88_2kHz_To_44_1kHz_Peak_Detection
    : public CConverterSetMember<kDesign88_2kHz_To_44_1kHz, true>
{
public:
    using CConverterSetMember::CConverterSetMember;
};

// x 80 / 147 (polyphase).
class CConverter88_2kHz_To_48kHz : public CConverterSetMember<kDesign88_2kHz_To_48kHz, false>
{
public:
    using CConverterSetMember::CConverterSetMember;
};
class CConverter88_2kHz_To_48kHz_Peak_Detection : public CConverterSetMember<kDesign88_2kHz_To_48kHz, true>
{
public:
    using CConverterSetMember::CConverterSetMember;
};

// x 147 / 320 (polyphase).
class CConverter96kHz_To_44_1kHz : public CConverterSetMember<kDesign96kHz_To_44_1kHz, false>
{
public:
    using CConverterSetMember::CConverterSetMember;
};
class CConverter96kHz_To_44_1kHz_Peak_Detection : public CConverterSetMember<kDesign96kHz_To_44_1kHz, true>
{
public:
    using CConverterSetMember::CConverterSetMember;
};

// The converter of the set for a pair of export rates: the same-rate
// pass-through for equal rates, otherwise the class of the pair's ratio, in
// its export form or its peak-detection form. Null for any other rate.
std::unique_ptr<CConverterPcmOutputDspBase> CreateConverterForRates(uint32_t inputRate, uint32_t outputRate,
                                                                    int channels, bool peakDetection);
