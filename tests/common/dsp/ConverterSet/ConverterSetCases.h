#pragma once

#include "common/dsp/ConverterSet/CConverterSet.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
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

// What every design must report: L, M and the delay in input frames of its
// export form and of its peak-detection form.
struct Expected
{
    int L;
    int M;
    int delay;
    int peakDelay;
};
constexpr Expected kExpected[kNumConverterDesigns] = {
    {160, 147, 48, 8},   // 44100 -> 48000
    {2, 1, 48, 8},       // 44100 -> 88200
    {320, 147, 48, 8},   // 44100 -> 96000
    {147, 160, 48, 8},   // 48000 -> 44100
    {147, 80, 48, 8},    // 48000 -> 88200
    {1, 2, 96, 16},      // 88200 -> 44100
    {80, 147, 96, 16},   // 88200 -> 48000
    {147, 320, 192, 32}, // 96000 -> 44100
};

// The sixteen classes of the set's table, both forms of every design.
inline std::vector<ConverterCase> AllConverters()
{
    static const std::vector<std::string> names = []
    {
        std::vector<std::string> all;
        for (int d = 0; d < kNumConverterDesigns; ++d)
        {
            all.push_back(GetConverterClass(d).name);
            all.push_back(all.back() + "_Peak");
        }
        return all;
    }();
    std::vector<ConverterCase> cases;
    for (int d = 0; d < kNumConverterDesigns; ++d)
        for (bool peak : {false, true})
        {
            const ConverterClass& c = GetConverterClass(d);
            const Expected& e = kExpected[d];
            cases.push_back({names[static_cast<size_t>(2 * d + (peak ? 1 : 0))].c_str(),
                             [make = c.make, peak](int channels) { return make(channels, peak); },
                             c.inputRate, c.outputRate, e.L, e.M, peak ? e.peakDelay : e.delay, peak});
        }
    return cases;
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
