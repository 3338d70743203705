#include "common/dsp/ConverterSet/CConverterSet.h"

#include "common/dsp/CDecimationFilter.h"
#include "common/dsp/CFsConverter.h"
#include "common/dsp/COversamplingFilter.h"

#include <cstddef>

namespace
{
// Side-lobe attenuation of the export forms and of the peak-detection forms.
constexpr double kExportAttenuation = 120.0;
constexpr double kPeakAttenuation = 24.0;

enum eStageKind
{
    kPolyphase, // CFsConverter by L / M
    kDoubler,   // COversamplingFilter x 2
    kHalver,    // CDecimationFilter / 2
};

// The stage of a design: the prototype is designed at rate x L, cut off at
// half the lower of the two rates.
struct StageDesign
{
    eStageKind kind;
    int exportTaps;
    int peakTaps;
    int rate;
    int cutoff;
    int L;
    int M;
};

// Indexed by eConverterDesign.
constexpr StageDesign kStageDesigns[kNumConverterDesigns] = {
    {kPolyphase, 15361, 2561, 44100, 22050, 160, 147}, // 44100 -> 48000
    {kDoubler, 193, 33, 44100, 22050, 2, 1},           // 44100 -> 88200
    {kPolyphase, 30721, 5121, 44100, 22050, 320, 147}, // 44100 -> 96000
    {kPolyphase, 14113, 2353, 48000, 22050, 147, 160}, // 48000 -> 44100
    {kPolyphase, 14113, 2353, 48000, 24000, 147, 80},  // 48000 -> 88200
    {kHalver, 193, 33, 88200, 22050, 1, 2},            // 88200 -> 44100
    {kPolyphase, 15361, 2561, 88200, 24000, 80, 147},  // 88200 -> 48000
    {kPolyphase, 56449, 9409, 96000, 22050, 147, 320}, // 96000 -> 44100
};

template <typename TExport, typename TPeak>
std::unique_ptr<CConverterPcmOutputDspBase> Make(int channels, bool peakDetection)
{
    if (peakDetection)
        return std::make_unique<TPeak>(channels);
    return std::make_unique<TExport>(channels);
}

// Indexed by eConverterDesign.
const ConverterClass kConverterClasses[kNumConverterDesigns] = {
    {"44_1kHz_To_48kHz", 44100, 48000,
     &Make<CConverter44_1kHz_To_48kHz, CConverter44_1kHz_To_48kHz_Peak_Detection>},
    {"44_1kHz_To_88_2kHz", 44100, 88200,
     &Make<CConverter44_1kHz_To_88_2kHz, CConverter44_1kHz_To_88_2kHz_Peak_Detection>},
    {"44_1kHz_To_96kHz", 44100, 96000,
     &Make<CConverter44_1kHz_To_96kHz, CConverter44_1kHz_To_96kHz_Peak_Detection>},
    {"48kHz_To_44_1kHz", 48000, 44100,
     &Make<CConverter48kHz_To_44_1kHz, CConverter48kHz_To_44_1kHz_Peak_Detection>},
    {"48kHz_To_88_2kHz", 48000, 88200,
     &Make<CConverter48kHz_To_88_2kHz, CConverter48kHz_To_88_2kHz_Peak_Detection>},
    {"88_2kHz_To_44_1kHz", 88200, 44100,
     &Make<CConverter88_2kHz_To_44_1kHz, CConverter88_2kHz_To_44_1kHz_Peak_Detection>},
    {"88_2kHz_To_48kHz", 88200, 48000,
     &Make<CConverter88_2kHz_To_48kHz, CConverter88_2kHz_To_48kHz_Peak_Detection>},
    {"96kHz_To_44_1kHz", 96000, 44100,
     &Make<CConverter96kHz_To_44_1kHz, CConverter96kHz_To_44_1kHz_Peak_Detection>},
};
} // namespace

int GetExportRateIndex(uint32_t rate)
{
    for (int i = 0; i < kNumExportRates; ++i)
        if (kExportRates[i] == rate)
            return i;
    return -1;
}

const ConverterClass& GetConverterClass(int design)
{
    return kConverterClasses[static_cast<size_t>(design)];
}

const ConverterClass* FindConverterClass(uint32_t inputRate, uint32_t outputRate)
{
    if (inputRate == outputRate || GetExportRateIndex(inputRate) < 0 || GetExportRateIndex(outputRate) < 0)
        return nullptr;
    // The classes work on ratios: one serves every pair of its ratio.
    for (const ConverterClass& c : kConverterClasses)
        if (uint64_t{inputRate} * c.outputRate == uint64_t{outputRate} * c.inputRate)
            return &c;
    return nullptr;
}

std::unique_ptr<CFirLpfBase> MakeConverterStage(int design, bool peakDetection, int channels)
{
    const StageDesign& d = kStageDesigns[static_cast<size_t>(design)];
    const double attenuation = peakDetection ? kPeakAttenuation : kExportAttenuation;
    const int taps = peakDetection ? d.peakTaps : d.exportTaps;
    switch (d.kind)
    {
    case kDoubler:
    {
        auto stage = std::make_unique<COversamplingFilter>(channels);
        stage->SetSideLobeAttenuation(attenuation);
        stage->SetFilterCoeffs(taps, d.rate, d.cutoff, d.L, 0.0);
        return stage;
    }
    case kHalver:
    {
        auto stage = std::make_unique<CDecimationFilter>(channels);
        stage->SetSideLobeAttenuation(attenuation);
        stage->SetFilterCoeffs(taps, d.rate, d.cutoff, d.M, 0.0);
        return stage;
    }
    case kPolyphase:
    default:
    {
        auto stage = std::make_unique<CFsConverter>(channels);
        stage->SetSideLobeAttenuation(attenuation);
        stage->SetFilterCoeffs(taps, d.rate, d.cutoff, d.L, d.M, 0.0);
        return stage;
    }
    }
}

std::unique_ptr<CConverterPcmOutputDspBase> CreateConverterForRates(uint32_t inputRate, uint32_t outputRate,
                                                                    int channels, bool peakDetection)
{
    if (GetExportRateIndex(inputRate) < 0 || GetExportRateIndex(outputRate) < 0)
        return nullptr;
    if (inputRate == outputRate)
        return std::make_unique<CConverterPcmOutputSameRate>(channels);
    const ConverterClass* c = FindConverterClass(inputRate, outputRate);
    return c != nullptr ? c->make(channels, peakDetection) : nullptr;
}
