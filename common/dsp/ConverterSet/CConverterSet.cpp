#include "common/dsp/ConverterSet/CConverterSet.h"

#include "common/dsp/CDecimationFilter.h"
#include "common/dsp/CFsConverter.h"
#include "common/dsp/COversamplingFilter.h"

namespace
{
// Side-lobe attenuation of the export forms and of the peak-detection forms.
constexpr double kExport = 120.0;
constexpr double kPeak = 24.0;

// A polyphase stage by the ratio L / M, its prototype designed at rate x L.
std::unique_ptr<CFirLpfBase> Polyphase(int channels, double attenuation, int taps, int rate, int cutoff,
                                       int L, int M)
{
    auto stage = std::make_unique<CFsConverter>(channels);
    stage->SetSideLobeAttenuation(attenuation);
    stage->SetFilterCoeffs(taps, rate, cutoff, L, M, 0.0);
    return stage;
}

// Twice the rate of 44100 Hz material, cut off at 22050 Hz.
std::unique_ptr<CFirLpfBase> Doubler(int channels, double attenuation, int taps)
{
    auto stage = std::make_unique<COversamplingFilter>(channels);
    stage->SetSideLobeAttenuation(attenuation);
    stage->SetFilterCoeffs(taps, 44100, 22050, 2, 0.0);
    return stage;
}

// Half the rate of 88200 Hz material, cut off at 22050 Hz.
std::unique_ptr<CFirLpfBase> Halver(int channels, double attenuation, int taps)
{
    auto stage = std::make_unique<CDecimationFilter>(channels);
    stage->SetSideLobeAttenuation(attenuation);
    stage->SetFilterCoeffs(taps, 88200, 22050, 2, 0.0);
    return stage;
}
} // namespace

CConverter44_1kHz_To_48kHz::CConverter44_1kHz_To_48kHz(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kExport, 15361, 44100, 22050, 160, 147))
{
}

CConverter44_1kHz_To_48kHz_Peak_Detection::CConverter44_1kHz_To_48kHz_Peak_Detection(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kPeak, 2561, 44100, 22050, 160, 147))
{
}

CConverter44_1kHz_To_88_2kHz::CConverter44_1kHz_To_88_2kHz(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Doubler(channels, kExport, 193))
{
}

CConverter44_1kHz_To_88_2kHz_Peak_Detection::CConverter44_1kHz_To_88_2kHz_Peak_Detection(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Doubler(channels, kPeak, 33))
{
}

CConverter44_1kHz_To_96kHz::CConverter44_1kHz_To_96kHz(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kExport, 30721, 44100, 22050, 320, 147))
{
}

CConverter44_1kHz_To_96kHz_Peak_Detection::CConverter44_1kHz_To_96kHz_Peak_Detection(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kPeak, 5121, 44100, 22050, 320, 147))
{
}

CConverter48kHz_To_44_1kHz::CConverter48kHz_To_44_1kHz(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kExport, 14113, 48000, 22050, 147, 160))
{
}

CConverter48kHz_To_44_1kHz_Peak_Detection::CConverter48kHz_To_44_1kHz_Peak_Detection(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kPeak, 2353, 48000, 22050, 147, 160))
{
}

CConverter48kHz_To_88_2kHz::CConverter48kHz_To_88_2kHz(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kExport, 14113, 48000, 24000, 147, 80))
{
}

CConverter48kHz_To_88_2kHz_Peak_Detection::CConverter48kHz_To_88_2kHz_Peak_Detection(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kPeak, 2353, 48000, 24000, 147, 80))
{
}

CConverter88_2kHz_To_44_1kHz::CConverter88_2kHz_To_44_1kHz(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Halver(channels, kExport, 193))
{
}

CConverter88_2kHz_To_44_1kHz_Peak_Detection::CConverter88_2kHz_To_44_1kHz_Peak_Detection(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Halver(channels, kPeak, 33))
{
}

CConverter88_2kHz_To_48kHz::CConverter88_2kHz_To_48kHz(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kExport, 15361, 88200, 24000, 80, 147))
{
}

CConverter88_2kHz_To_48kHz_Peak_Detection::CConverter88_2kHz_To_48kHz_Peak_Detection(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kPeak, 2561, 88200, 24000, 80, 147))
{
}

CConverter96kHz_To_44_1kHz::CConverter96kHz_To_44_1kHz(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kExport, 56449, 96000, 22050, 147, 320))
{
}

CConverter96kHz_To_44_1kHz_Peak_Detection::CConverter96kHz_To_44_1kHz_Peak_Detection(int channels)
    : CConverterPcmOutput1xStageDspBase(channels, Polyphase(channels, kPeak, 9409, 96000, 22050, 147, 320))
{
}

namespace
{
template <typename TExport, typename TPeak>
std::unique_ptr<CConverterPcmOutputDspBase> Make(int channels, bool peakDetection)
{
    if (peakDetection)
        return std::make_unique<TPeak>(channels);
    return std::make_unique<TExport>(channels);
}

// 0 .. 3 for 44100, 48000, 88200, 96000 Hz; -1 for any other rate.
int RateIndex(uint32_t rate)
{
    switch (rate)
    {
    case 44100:
        return 0;
    case 48000:
        return 1;
    case 88200:
        return 2;
    case 96000:
        return 3;
    default:
        return -1;
    }
}
} // namespace

std::unique_ptr<CConverterPcmOutputDspBase> CreateConverterForRates(uint32_t inputRate, uint32_t outputRate,
                                                                    int channels, bool peakDetection)
{
    const int in = RateIndex(inputRate);
    const int out = RateIndex(outputRate);
    if (in < 0 || out < 0)
        return nullptr;
    if (in == out)
        return std::make_unique<CConverterPcmOutputSameRate>(channels);

    switch (in * 4 + out)
    {
    case 0 * 4 + 1: // 44100 -> 48000
    case 2 * 4 + 3: // 88200 -> 96000
        return Make<CConverter44_1kHz_To_48kHz, CConverter44_1kHz_To_48kHz_Peak_Detection>(channels,
                                                                                           peakDetection);
    case 0 * 4 + 2: // 44100 -> 88200
    case 1 * 4 + 3: // 48000 -> 96000
        return Make<CConverter44_1kHz_To_88_2kHz, CConverter44_1kHz_To_88_2kHz_Peak_Detection>(channels,
                                                                                               peakDetection);
    case 0 * 4 + 3: // 44100 -> 96000
        return Make<CConverter44_1kHz_To_96kHz, CConverter44_1kHz_To_96kHz_Peak_Detection>(channels,
                                                                                           peakDetection);
    case 1 * 4 + 0: // 48000 -> 44100
    case 3 * 4 + 2: // 96000 -> 88200
        return Make<CConverter48kHz_To_44_1kHz, CConverter48kHz_To_44_1kHz_Peak_Detection>(channels,
                                                                                           peakDetection);
    case 1 * 4 + 2: // 48000 -> 88200
        return Make<CConverter48kHz_To_88_2kHz, CConverter48kHz_To_88_2kHz_Peak_Detection>(channels,
                                                                                           peakDetection);
    case 2 * 4 + 0: // 88200 -> 44100
    case 3 * 4 + 1: // 96000 -> 48000
        return Make<CConverter88_2kHz_To_44_1kHz, CConverter88_2kHz_To_44_1kHz_Peak_Detection>(channels,
                                                                                               peakDetection);
    case 2 * 4 + 1: // 88200 -> 48000
        return Make<CConverter88_2kHz_To_48kHz, CConverter88_2kHz_To_48kHz_Peak_Detection>(channels,
                                                                                           peakDetection);
    case 3 * 4 + 0: // 96000 -> 44100
        return Make<CConverter96kHz_To_44_1kHz, CConverter96kHz_To_44_1kHz_Peak_Detection>(channels,
                                                                                           peakDetection);
    default:
        return nullptr;
    }
}
