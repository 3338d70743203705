// The real-time rate converter against libsamplerate's SINC_MEDIUM_QUALITY and
// SINC_FASTEST on the same input: nanoseconds per output frame (stereo, in
// the player's blocks of at most 1023 output frames), and for each converter
// the stop-band attenuation and pass-band ripple measured by one analysis.
//
// The analysis feeds pure tones (amplitude 0.5) and looks at a Kaiser-windowed
// (beta 20) spectrum of 32768 output samples:
// - pass band: 40 tones from 20 Hz to 20 kHz (to 0.4 x the lower rate where
//   that is below 44.1 kHz); the ripple is the spread (max - min, dB) of
//   their gains;
// - stop band: everything in the output besides the tone itself (images and
//   aliases) for the pass-band tones up to 0.4 x the lower rate (the images
//   of higher ones lie in the transition band), and for conversions down also
//   the whole output for tones from 0.6 x the lower rate to the input's half
//   rate; the attenuation is the distance of the worst such component below
//   the tone's input level.

#include "common/dsp/CRealTimeFsConverterPcmOutput.h"
#include "tests/support/SpectrumSupport.h"

#include <benchmark/benchmark.h>
#include <samplerate.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
using SpectrumTest::kPi;
constexpr int kChannels = 2;
constexpr int kMaxBlockOutput = 1023;
constexpr size_t kFftSize = 32768;
constexpr size_t kSkip = 4096;
constexpr double kToneAmplitude = 0.5;

struct RatePair
{
    uint32_t in;
    uint32_t out;
};
const RatePair kPairs[] = {{44100, 48000}, {48000, 44100}, {96000, 44100}, {88200, 96000}, {22050, 44100}};

enum class Kind
{
    Vextal,
    SrcMedium,
    SrcFastest,
};
const Kind kKinds[] = {Kind::Vextal, Kind::SrcMedium, Kind::SrcFastest};

const char* KindName(Kind kind)
{
    switch (kind)
    {
    case Kind::Vextal:
        return "realtime";
    case Kind::SrcMedium:
        return "SINC_MEDIUM";
    case Kind::SrcFastest:
        return "SINC_FASTEST";
    }
    return "";
}

// One converter of planar blocks; libsamplerate is fed interleaved data.
class Converter
{
public:
    virtual ~Converter() = default;
    virtual void Reset() = 0;
    // Appends the conversion of n frames of `in` from `first` to `out`.
    virtual void Process(const std::vector<std::vector<float>>& in, size_t first, int n,
                         std::vector<std::vector<float>>& out) = 0;
};

class VextalConverter : public Converter
{
public:
    VextalConverter(int channels, const RatePair& pair)
        : m_converter(channels), m_in(static_cast<size_t>(channels)), m_out(static_cast<size_t>(channels)),
          m_work(static_cast<size_t>(channels)),
          m_result(static_cast<size_t>(channels), std::vector<float>(8192))
    {
        m_converter.SetSampleRates(pair.in, pair.out);
    }
    void Reset() override { m_converter.Reset(); }
    void Process(const std::vector<std::vector<float>>& in, size_t first, int n,
                 std::vector<std::vector<float>>& out) override
    {
        for (size_t c = 0; c < m_work.size(); ++c)
        {
            // The converter may modify its input.
            m_work[c].assign(in[c].begin() + static_cast<long>(first),
                             in[c].begin() + static_cast<long>(first) + n);
            m_in[c] = m_work[c].data();
            m_out[c] = m_result[c].data();
        }
        const int written = m_converter.Process(m_in.data(), m_out.data(), n);
        for (size_t c = 0; c < m_work.size(); ++c)
            out[c].insert(out[c].end(), m_result[c].begin(), m_result[c].begin() + written);
    }

private:
    CRealTimeFsConverterPcmOutput m_converter;
    std::vector<float*> m_in, m_out;
    std::vector<std::vector<float>> m_work, m_result;
};

class SrcConverter : public Converter
{
public:
    SrcConverter(int channels, const RatePair& pair, int type) : m_channels(channels)
    {
        int error = 0;
        m_state = src_new(type, channels, &error);
        m_ratio = static_cast<double>(pair.out) / pair.in;
    }
    ~SrcConverter() override { src_delete(m_state); }
    void Reset() override { src_reset(m_state); }
    void Process(const std::vector<std::vector<float>>& in, size_t first, int n,
                 std::vector<std::vector<float>>& out) override
    {
        m_interleaved.resize(static_cast<size_t>(n) * m_channels);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < m_channels; ++c)
                m_interleaved[static_cast<size_t>(i) * m_channels + c] = in[c][first + i];
        m_result.resize(8192 * static_cast<size_t>(m_channels));
        long done = 0;
        while (done < n)
        {
            SRC_DATA data = {};
            data.data_in = m_interleaved.data() + done * m_channels;
            data.input_frames = n - done;
            data.data_out = m_result.data();
            data.output_frames = 8192;
            data.src_ratio = m_ratio;
            src_process(m_state, &data);
            for (long i = 0; i < data.output_frames_gen; ++i)
                for (int c = 0; c < m_channels; ++c)
                    out[c].push_back(m_result[static_cast<size_t>(i) * m_channels + c]);
            done += data.input_frames_used;
            if (data.input_frames_used == 0 && data.output_frames_gen == 0)
                break;
        }
    }

private:
    SRC_STATE* m_state = nullptr;
    int m_channels;
    double m_ratio = 1.0;
    std::vector<float> m_interleaved, m_result;
};

std::unique_ptr<Converter> MakeConverter(Kind kind, int channels, const RatePair& pair)
{
    switch (kind)
    {
    case Kind::Vextal:
        return std::make_unique<VextalConverter>(channels, pair);
    case Kind::SrcMedium:
        return std::make_unique<SrcConverter>(channels, pair, SRC_SINC_MEDIUM_QUALITY);
    case Kind::SrcFastest:
        return std::make_unique<SrcConverter>(channels, pair, SRC_SINC_FASTEST);
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Analysis

const std::vector<double>& AnalysisWindow()
{
    static const std::vector<double> window = SpectrumTest::KaiserWindow(kFftSize, 20.0);
    return window;
}

struct Quality
{
    double stopbanddB = 1e9; // worst spurious component below the tone, dB
    double rippledB = 0.0;   // pass-band gain spread, dB
    double minGaindB = 1e9, maxGaindB = -1e9;
};

// What one tone is measured for: its gain (pass band), what the output holds
// besides it (stop band), or both.
struct ToneUse
{
    bool gain;
    bool spurious;
};

// Converts one tone and looks at its output's windowed spectrum, scaled so
// that a tone of the input's amplitude reads 1.0.
void AnalyseTone(Converter& converter, const RatePair& pair, double frequency, ToneUse use, Quality& quality)
{
    const size_t outputs = kSkip + kFftSize + 2048;
    const size_t frames = static_cast<size_t>(static_cast<double>(outputs) * pair.in / pair.out) + 4096;
    std::vector<std::vector<float>> in(1, std::vector<float>(frames));
    for (size_t n = 0; n < frames; ++n)
        in[0][n] = static_cast<float>(kToneAmplitude * std::sin(2.0 * kPi * frequency * n / pair.in));
    std::vector<std::vector<float>> out(1);
    converter.Reset();
    for (size_t done = 0; done < frames && out[0].size() < outputs; done += 1024)
        converter.Process(in, done, static_cast<int>(std::min<size_t>(1024, frames - done)), out);

    const std::vector<double>& window = AnalysisWindow();
    double windowSum = 0.0;
    for (double w : window)
        windowSum += w;
    const double scale = 2.0 / (windowSum * kToneAmplitude);
    const std::vector<double> output(out[0].begin(), out[0].end());
    if (use.spurious)
    {
        const bool toneIsWanted = use.gain;
        const std::vector<double> power = SpectrumTest::PowerSpectrum(output, kSkip, window);
        const double binOfTone = frequency / pair.out * kFftSize;
        double worst = 0.0;
        for (size_t k = 0; k < power.size(); ++k)
        {
            if (toneIsWanted && std::abs(static_cast<double>(k) - binOfTone) < 16.0)
                continue;
            worst = std::max(worst, std::sqrt(power[k]) * scale);
        }
        quality.stopbanddB = std::min(quality.stopbanddB, -20.0 * std::log10(std::max(worst, 1e-12)));
    }
    if (use.gain)
    {
        std::complex<double> tone = 0.0;
        const double w = 2.0 * kPi * frequency / pair.out;
        for (size_t m = 0; m < kFftSize; ++m)
            tone += window[m] * output[kSkip + m] * std::polar(1.0, -w * static_cast<double>(m));
        const double gaindB = 20.0 * std::log10(std::abs(tone) * scale);
        quality.minGaindB = std::min(quality.minGaindB, gaindB);
        quality.maxGaindB = std::max(quality.maxGaindB, gaindB);
        quality.rippledB = quality.maxGaindB - quality.minGaindB;
    }
}

// The top of the pass band: 20 kHz where both rates carry it, else 0.4 x the
// lower rate.
double PassBandEdge(const RatePair& pair)
{
    const double lower = std::min(pair.in, pair.out);
    return lower >= 44100.0 ? 20000.0 : 0.4 * lower;
}

Quality Analyse(Kind kind, const RatePair& pair)
{
    std::unique_ptr<Converter> converter = MakeConverter(kind, 1, pair);
    Quality quality;
    const double lower = std::min(pair.in, pair.out);
    const int passTones = 40;
    const double passEdge = PassBandEdge(pair);
    // Pass-band tones above 0.4 x the lower rate have their images in the
    // transition band: they count for the ripple only.
    for (int k = 0; k < passTones; ++k)
    {
        const double frequency = 20.0 + (passEdge - 20.0) * k / (passTones - 1);
        AnalyseTone(*converter, pair, frequency, {true, frequency <= 0.4 * lower}, quality);
    }
    if (pair.in > pair.out)
    {
        const double from = 0.6 * lower, to = 0.495 * pair.in;
        for (int k = 0; from < to && k < 24; ++k)
            AnalyseTone(*converter, pair, from + (to - from) * k / 23.0, {false, true}, quality);
    }
    return quality;
}

std::string Key(Kind kind, const RatePair& pair)
{
    return std::string(KindName(kind)) + " " + std::to_string(pair.in) + "->" + std::to_string(pair.out);
}

std::map<std::string, Quality>& Qualities()
{
    static std::map<std::string, Quality> qualities;
    return qualities;
}

std::map<std::string, double>& Speeds()
{
    static std::map<std::string, double> speeds;
    return speeds;
}

const Quality& QualityOf(Kind kind, const RatePair& pair)
{
    auto& all = Qualities();
    const std::string key = Key(kind, pair);
    auto it = all.find(key);
    if (it == all.end())
        it = all.emplace(key, Analyse(kind, pair)).first;
    return it->second;
}

// ---------------------------------------------------------------------------
// Speed

// One second of stereo noise.
std::vector<std::vector<float>> Input(uint32_t rate)
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    std::vector<std::vector<float>> in(kChannels, std::vector<float>(rate));
    for (auto& c : in)
        for (float& s : c)
            s = dist(rng);
    return in;
}

void BM_Convert(benchmark::State& state, Kind kind, RatePair pair)
{
    const std::vector<std::vector<float>> input = Input(pair.in);
    const size_t frames = input[0].size();
    // The player's blocks: as many input frames as give at most 1023 output frames.
    const int block = static_cast<int>(static_cast<double>(kMaxBlockOutput) * pair.in / pair.out);
    int64_t outputFrames = 0;
    double nanoseconds = 0.0;

    if (kind == Kind::Vextal)
    {
        CRealTimeFsConverterPcmOutput converter(kChannels);
        converter.SetSampleRates(pair.in, pair.out);
        // The decimator may work in place, so the converter gets a copy of the input.
        std::vector<std::vector<float>> work = input;
        std::vector<std::vector<float>> out(kChannels, std::vector<float>(2048));
        float* outs[kChannels] = {out[0].data(), out[1].data()};
        for (auto _ : state)
        {
            const auto start = std::chrono::steady_clock::now();
            converter.Reset();
            int64_t written = 0;
            for (size_t done = 0; done + static_cast<size_t>(block) <= frames;
                 done += static_cast<size_t>(block))
            {
                float* ins[kChannels] = {work[0].data() + done, work[1].data() + done};
                written += converter.Process(ins, outs, block);
            }
            benchmark::DoNotOptimize(out[0].data());
            nanoseconds +=
                std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
            outputFrames += written;
        }
    }
    else
    {
        int error = 0;
        SRC_STATE* src =
            src_new(kind == Kind::SrcMedium ? SRC_SINC_MEDIUM_QUALITY : SRC_SINC_FASTEST, kChannels, &error);
        std::vector<float> interleaved(frames * kChannels);
        for (size_t i = 0; i < frames; ++i)
            for (int c = 0; c < kChannels; ++c)
                interleaved[i * kChannels + c] = input[c][i];
        std::vector<float> out(2048 * kChannels);
        const double ratio = static_cast<double>(pair.out) / pair.in;
        for (auto _ : state)
        {
            const auto start = std::chrono::steady_clock::now();
            src_reset(src);
            int64_t written = 0;
            for (size_t done = 0; done + static_cast<size_t>(block) <= frames;
                 done += static_cast<size_t>(block))
            {
                long used = 0;
                while (used < block)
                {
                    SRC_DATA data = {};
                    data.data_in = interleaved.data() + (done + static_cast<size_t>(used)) * kChannels;
                    data.input_frames = block - used;
                    data.data_out = out.data();
                    data.output_frames = 2048;
                    data.src_ratio = ratio;
                    src_process(src, &data);
                    used += data.input_frames_used;
                    written += data.output_frames_gen;
                    if (data.input_frames_used == 0)
                        break;
                }
            }
            benchmark::DoNotOptimize(out.data());
            nanoseconds +=
                std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
            outputFrames += written;
        }
        src_delete(src);
    }

    const Quality& quality = QualityOf(kind, pair);
    const double perFrame = nanoseconds / static_cast<double>(std::max<int64_t>(outputFrames, 1));
    Speeds()[Key(kind, pair)] = perFrame;
    state.counters["ns_per_frame"] = perFrame;
    state.counters["stopband_dB"] = quality.stopbanddB;
    state.counters["ripple_mdB"] = quality.rippledB * 1000.0;
    state.SetItemsProcessed(outputFrames);
}

void RegisterAll()
{
    for (const RatePair& pair : kPairs)
        for (Kind kind : kKinds)
        {
            const std::string name = std::string("Convert/") + std::to_string(pair.in) + "_to_" +
                                     std::to_string(pair.out) + "/" + KindName(kind);
            benchmark::RegisterBenchmark(name.c_str(), BM_Convert, kind, pair)->Unit(benchmark::kMillisecond);
        }
}

void PrintSummary()
{
    std::printf("\n%-16s %-13s %12s %14s %14s\n", "rates", "converter", "ns/frame", "stop band dB",
                "ripple dB");
    for (const RatePair& pair : kPairs)
        for (Kind kind : kKinds)
        {
            const std::string key = Key(kind, pair);
            auto speed = Speeds().find(key);
            if (speed == Speeds().end())
                continue;
            const Quality& quality = QualityOf(kind, pair);
            std::printf("%-16s %-13s %12.2f %14.1f %14.4f\n",
                        (std::to_string(pair.in) + "->" + std::to_string(pair.out)).c_str(), KindName(kind),
                        speed->second, quality.stopbanddB, quality.rippledB);
        }
    std::printf("(stereo; ripple over 20 Hz .. 20 kHz, or .. 0.4 x the lower rate below 44.1 kHz; stop band: "
                "images of tones up to 0.4 x the lower rate, and tones from 0.6 x the lower rate)\n");
}
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    PrintSummary();
    benchmark::Shutdown();
    return 0;
}
