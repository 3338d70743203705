#pragma once

#include "common/dsp/ConverterSet/CConverterSet.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The sixteen rate-pair classes with the rates they are designed at and what
// they must report.
namespace ConverterSetTest
{
using Factory = std::function<std::unique_ptr<CConverterPcmOutputDspBase>(int channels)>;

struct ConverterCase
{
    const char* name;
    Factory make;
    uint32_t inputRate;
    uint32_t outputRate;
    int L;
    int M;
    int delay; // input frames
    bool peakDetection;
};

template <typename T>
Factory MakeFactory()
{
    return [](int channels) { return std::unique_ptr<CConverterPcmOutputDspBase>(new T(channels)); };
}

inline std::vector<ConverterCase> AllConverters()
{
    return {
        {"44_1kHz_To_48kHz", MakeFactory<CConverter44_1kHz_To_48kHz>(), 44100, 48000, 160, 147, 48, false},
        {"44_1kHz_To_48kHz_Peak", MakeFactory<CConverter44_1kHz_To_48kHz_Peak_Detection>(), 44100, 48000, 160,
         147, 8, true},
        {"44_1kHz_To_88_2kHz", MakeFactory<CConverter44_1kHz_To_88_2kHz>(), 44100, 88200, 2, 1, 48, false},
        {"44_1kHz_To_88_2kHz_Peak", MakeFactory<CConverter44_1kHz_To_88_2kHz_Peak_Detection>(), 44100, 88200,
         2, 1, 8, true},
        {"44_1kHz_To_96kHz", MakeFactory<CConverter44_1kHz_To_96kHz>(), 44100, 96000, 320, 147, 48, false},
        {"44_1kHz_To_96kHz_Peak", MakeFactory<CConverter44_1kHz_To_96kHz_Peak_Detection>(), 44100, 96000, 320,
         147, 8, true},
        {"48kHz_To_44_1kHz", MakeFactory<CConverter48kHz_To_44_1kHz>(), 48000, 44100, 147, 160, 48, false},
        {"48kHz_To_44_1kHz_Peak", MakeFactory<CConverter48kHz_To_44_1kHz_Peak_Detection>(), 48000, 44100, 147,
         160, 8, true},
        {"48kHz_To_88_2kHz", MakeFactory<CConverter48kHz_To_88_2kHz>(), 48000, 88200, 147, 80, 48, false},
        {"48kHz_To_88_2kHz_Peak", MakeFactory<CConverter48kHz_To_88_2kHz_Peak_Detection>(), 48000, 88200, 147,
         80, 8, true},
        {"88_2kHz_To_44_1kHz", MakeFactory<CConverter88_2kHz_To_44_1kHz>(), 88200, 44100, 1, 2, 96, false},
        {"88_2kHz_To_44_1kHz_Peak", MakeFactory<CConverter88_2kHz_To_44_1kHz_Peak_Detection>(), 88200, 44100,
         1, 2, 16, true},
        {"88_2kHz_To_48kHz", MakeFactory<CConverter88_2kHz_To_48kHz>(), 88200, 48000, 80, 147, 96, false},
        {"88_2kHz_To_48kHz_Peak", MakeFactory<CConverter88_2kHz_To_48kHz_Peak_Detection>(), 88200, 48000, 80,
         147, 16, true},
        {"96kHz_To_44_1kHz", MakeFactory<CConverter96kHz_To_44_1kHz>(), 96000, 44100, 147, 320, 192, false},
        {"96kHz_To_44_1kHz_Peak", MakeFactory<CConverter96kHz_To_44_1kHz_Peak_Detection>(), 96000, 44100, 147,
         320, 32, true},
    };
}

// Runs a mono signal through the converter in blocks and returns the whole output.
inline std::vector<float> Convert(CConverterPcmOutputDspBase& converter, const std::vector<float>& x,
                                  uint32_t block = 4096)
{
    std::vector<float> y;
    std::vector<float> out;
    for (size_t done = 0; done < x.size();)
    {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(block, x.size() - done));
        out.resize(converter.GetOutputFrameCount(n));
        const float* in[1] = {x.data() + done};
        float* o[1] = {out.data()};
        const uint32_t written = converter.Process(in, o, n);
        y.insert(y.end(), out.begin(), out.begin() + written);
        done += n;
    }
    return y;
}
} // namespace ConverterSetTest
