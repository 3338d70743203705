// Exporting 10 minutes of stereo 16-bit audio at 44100 Hz to a 48000 Hz
// 24-bit WAV file with TPDF dither: through our WAV reader, export converter
// and WAV writer, and with the commands
//   sox --single-threaded in.wav -b 24 out.wav rate -h 48000 dither
//   ffmpeg -threads 1 -i in.wav -af aresample=48000:resampler=soxr -c:a pcm_s24le out.wav
// on the same file in the same run (each command timed with a wall clock
// around the call). The input (a chord of tones with a little noise, dithered
// to 16 bits) is made when the program starts.
//
// The three exports are then compared by one analysis of their outputs for
// 24-bit test signals at 44100 Hz, converted the same way:
// - THD+N: a 997 Hz tone at -1 dBFS; everything but the fitted tone, relative
//   to the tone, over the middle 4 seconds;
// - pass-band ripple: a logarithmic sweep from 20 Hz to 20 kHz at -6 dBFS; the
//   spread (max - min) of the gain |Y(f)| / |X(f)| at 60 frequencies from
//   20 Hz to 20 kHz, each from a DFT of the whole input and output;
// - stop-band attenuation: the same sweep in frames of 8192 output samples
//   (Kaiser window, beta 20); the distance from the sweep's own peak to the
//   strongest component between 20.5 kHz and 24 kHz (images and aliases), the
//   worst over all frames;
// - 21 kHz tone: its gain, and the level of its image at 23.1 kHz relative to
//   it (the band our filters leave to the transition around 22.05 kHz).
// The outputs are read by parsing their "fmt " and "data" chunks here, so the
// extensible WAV format the commands write for 24 bits is read as well.
//
// Every pair of export rates is then raced against
//   sox --single-threaded in.wav -b 24 out.wav rate -h OUT dither
//   ffmpeg -threads 1 -i in.wav -af aresample=OUT:resampler=soxr:precision=28 -c:a pcm_s24le out.wav
// on 2 minutes of the same kind of song made at the input rate, in turns in
// one run; the table gives our time as a fraction of each command's and
// whether it is at most half of the sox command's and at most the ffmpeg
// command's on every pair. And, for
// every pair, the normalization gain detection against one plain render of
// the song with the export filter into a peak sink (what the detection must
// never be slower than); each table prints the ratios.

#include "common/dsp/CAudioFileConverterPcmOutput.h"
#include "common/dsp/CNormalizeGainDetect.h"
#include "common/dsp/ConverterSet/CConverterSet.h"
#include "common/file/CWavFileRead.h"
#include "common/file/CWavFileWrite.h"
#include "tests/support/SpectrumSupport.h"

#include "bench/BenchSupport.h"
#include "bench/ExportSupport.h"
#include "bench/TimingSupport.h"
#include "tests/support/TempFolder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kInRate = 44100;
constexpr uint32_t kOutRate = 48000;
constexpr uint32_t kSeconds = 600;
constexpr uint16_t kChannels = 2;
// The song of every rate pair's race.
constexpr uint32_t kPairSeconds = 120;

std::wstring Wide(const std::filesystem::path& p)
{
    const std::string s = p.string();
    return std::wstring(s.begin(), s.end());
}

// Writes planar float channels as a WAV file of the given word length, with
// TPDF dither of one step.
bool WriteWav(const std::filesystem::path& path, uint32_t rate, uint16_t bits,
              const std::vector<std::vector<float>>& channels)
{
    CWavFileWrite w;
    const uint16_t count = static_cast<uint16_t>(channels.size());
    if (w.OpenFile(Wide(path).c_str(), rate, bits, count, 0) != 0)
        return false;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-0.5, 0.5);
    const double scale = std::ldexp(1.0, bits - 1);
    const uint32_t shift = 32 - bits;
    const size_t frames = channels[0].size();
    const size_t block = 65536;
    std::vector<std::vector<int32_t>> ints(count, std::vector<int32_t>(block));
    for (size_t start = 0; start < frames; start += block)
    {
        const size_t n = std::min(block, frames - start);
        for (size_t i = 0; i < n; ++i)
        {
            const double d = u(rng) + u(rng);
            for (uint16_t c = 0; c < count; ++c)
            {
                double v = std::round(channels[c][start + i] * scale + d);
                v = std::clamp(v, -scale, scale - 1.0);
                ints[c][i] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int32_t>(v)) << shift);
            }
        }
        std::vector<int32_t*> p;
        for (auto& c : ints)
            p.push_back(c.data());
        if (w.WriteAudioData(p.data(), static_cast<uint32_t>(n)) != n)
            return false;
    }
    return w.CloseFile();
}

// The song: a chord of tones with slow level changes and a little noise.
std::vector<std::vector<float>> MakeSong(size_t frames, uint32_t rate)
{
    std::vector<std::vector<float>> song(kChannels, std::vector<float>(frames));
    const double tones[] = {110.0, 164.8, 220.0, 329.6, 440.0, 659.3, 1318.5, 2637.0, 5274.0, 10548.0};
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0.0f, 0.01f);
    for (size_t n = 0; n < frames; ++n)
    {
        const double t = static_cast<double>(n) / rate;
        double v = 0.0;
        for (size_t k = 0; k < std::size(tones); ++k)
            v += 0.05 * std::sin(2.0 * kPi * tones[k] * t + k) * (0.7 + 0.3 * std::sin(0.1 * t + k));
        song[0][n] = static_cast<float>(v) + noise(rng);
        song[1][n] = static_cast<float>(-0.9 * v) + noise(rng);
    }
    return song;
}

std::vector<float> Tone(double seconds, double frequency, double amplitude)
{
    std::vector<float> x(static_cast<size_t>(seconds * kInRate));
    for (size_t n = 0; n < x.size(); ++n)
        x[n] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * n / kInRate));
    return x;
}

// 20 Hz to 20 kHz, exponential, with half a second of silence on each side.
std::vector<float> Sweep(double seconds, double amplitude)
{
    const double f0 = 20.0, f1 = 20000.0;
    const size_t pad = kInRate / 2;
    const size_t frames = static_cast<size_t>(seconds * kInRate);
    std::vector<float> x(frames + 2 * pad, 0.0f);
    const double k = std::log(f1 / f0);
    for (size_t n = 0; n < frames; ++n)
    {
        const double t = static_cast<double>(n) / kInRate;
        const double phase = 2.0 * kPi * f0 * seconds / k * (std::exp(t / seconds * k) - 1.0);
        // Short raised-cosine edges.
        const double edge = std::min({1.0, n / 2000.0, (frames - 1 - n) / 2000.0});
        x[pad + n] = static_cast<float>(amplitude * std::sin(phase) * (0.5 - 0.5 * std::cos(kPi * edge)));
    }
    return x;
}

// Channel 0 of a WAV file of 16-, 24- or 32-bit integer samples, whatever its
// format chunk's kind; empty when the file cannot be read.
std::vector<double> ReadChannel0(const std::filesystem::path& path, uint32_t* rate)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return {};
    const auto u32 = [&](size_t at)
    {
        return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
               uint32_t(bytes[at + 3]) << 24;
    };
    const auto u16 = [&](size_t at) { return uint16_t(bytes[at] | bytes[at + 1] << 8); };
    uint16_t channels = 0, bits = 0;
    size_t at = 12;
    while (at + 8 <= bytes.size())
    {
        const uint32_t size = u32(at + 4);
        const size_t body = at + 8;
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && body + 16 <= bytes.size())
        {
            channels = u16(body + 2);
            *rate = u32(body + 4);
            bits = u16(body + 14);
        }
        else if (std::memcmp(bytes.data() + at, "data", 4) == 0 && channels > 0 && bits >= 16)
        {
            const size_t width = bits / 8;
            const size_t frames = std::min<size_t>(size, bytes.size() - body) / (width * channels);
            std::vector<double> out(frames);
            for (size_t i = 0; i < frames; ++i)
            {
                const unsigned char* p = bytes.data() + body + i * width * channels;
                int32_t v = 0;
                for (size_t b = 0; b < width; ++b)
                    v |= int32_t(p[b]) << (8 * (4 - width + b));
                out[i] = v / 2147483648.0;
            }
            return out;
        }
        at = body + size + (size & 1);
    }
    return {};
}

// --- analysis ---------------------------------------------------------------

std::complex<double> Dft(const std::vector<double>& x, double cyclesPerSample)
{
    // Goertzel-style recursion in double precision.
    const double w = 2.0 * kPi * cyclesPerSample;
    const double c = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (double v : x)
    {
        const double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return {s1 - s2 * std::cos(w), s2 * std::sin(w)};
}

// Power spectrum (bins 0 .. n/2) of n samples from first, Kaiser window beta 20.
std::vector<double> PowerSpectrum(const std::vector<double>& x, size_t first, size_t n)
{
    return SpectrumTest::PowerSpectrum(x, first, SpectrumTest::KaiserWindow(n, 20.0));
}

double ThdPlusNdB(const std::vector<double>& y, double rate)
{
    const size_t first = static_cast<size_t>(0.5 * rate), count = static_cast<size_t>(4.0 * rate);
    if (y.size() < first + count)
        return 0.0;
    const double w = 2.0 * kPi * 997.0 / rate;
    // Least squares of a sin + b cos + c.
    double m[3][4] = {};
    for (size_t n = first; n < first + count; ++n)
    {
        const double r[3] = {std::sin(w * n), std::cos(w * n), 1.0};
        for (int i = 0; i < 3; ++i)
        {
            for (int j = 0; j < 3; ++j)
                m[i][j] += r[i] * r[j];
            m[i][3] += r[i] * y[n];
        }
    }
    for (int i = 0; i < 3; ++i)
        for (int k = i + 1; k < 3; ++k)
        {
            const double f = m[k][i] / m[i][i];
            for (int j = i; j < 4; ++j)
                m[k][j] -= f * m[i][j];
        }
    double coef[3];
    for (int i = 2; i >= 0; --i)
    {
        double s = m[i][3];
        for (int j = i + 1; j < 3; ++j)
            s -= m[i][j] * coef[j];
        coef[i] = s / m[i][i];
    }
    double residual = 0.0;
    for (size_t n = first; n < first + count; ++n)
    {
        const double e = y[n] - coef[0] * std::sin(w * n) - coef[1] * std::cos(w * n) - coef[2];
        residual += e * e;
    }
    const double toneRms = std::hypot(coef[0], coef[1]) / std::sqrt(2.0);
    return 20.0 * std::log10(std::sqrt(residual / count) / toneRms);
}

double RippledB(const std::vector<double>& x, const std::vector<double>& y)
{
    double lo = 1e9, hi = -1e9;
    for (int i = 0; i < 60; ++i)
    {
        const double f = 20.0 * std::pow(1000.0, i / 59.0);
        const double gx = std::abs(Dft(x, f / kInRate)) / x.size();
        const double gy = std::abs(Dft(y, f / kOutRate)) / y.size();
        const double g = 20.0 * std::log10(gy / gx);
        lo = std::min(lo, g);
        hi = std::max(hi, g);
    }
    return hi - lo;
}

double StopBanddB(const std::vector<double>& y)
{
    const size_t n = 8192;
    const size_t from = static_cast<size_t>(20500.0 / kOutRate * n);
    std::vector<std::pair<double, double>> frames; // tone power, strongest stop-band power
    for (size_t first = 0; first + n <= y.size(); first += n / 2)
    {
        const std::vector<double> p = PowerSpectrum(y, first, n);
        const size_t toneBin = static_cast<size_t>(std::max_element(p.begin(), p.end()) - p.begin());
        // The sweep between 1 kHz and 19.5 kHz, clear of the band and of its
        // own end.
        if (toneBin < 1000.0 / kOutRate * n || toneBin > 19500.0 / kOutRate * n)
            continue;
        frames.emplace_back(p[toneBin], *std::max_element(p.begin() + static_cast<long>(from), p.end()));
    }
    double loudest = 0.0;
    for (const auto& f : frames)
        loudest = std::max(loudest, f.first);
    double worst = 1e9;
    for (const auto& [tone, stop] : frames)
        if (tone >= loudest * 0.01) // frames with the sweep itself, not its silent edges
            worst = std::min(worst, 10.0 * std::log10(tone / stop));
    return worst;
}

// The 21 kHz tone's gain (dB) and the level of its image at 23.1 kHz relative
// to the tone in the output (dB).
std::pair<double, double> Tone21k(const std::vector<double>& x, const std::vector<double>& y)
{
    const size_t n = 16384;
    const std::vector<double> px = PowerSpectrum(x, x.size() / 2 - n / 2, n);
    const std::vector<double> py = PowerSpectrum(y, y.size() / 2 - n / 2, n);
    const auto band = [&](const std::vector<double>& p, double rate, double f)
    {
        const long centre = std::lround(f / rate * n);
        double sum = 0.0;
        for (long k = centre - 16; k <= centre + 16; ++k)
            sum += p[static_cast<size_t>(std::clamp<long>(k, 0, static_cast<long>(p.size()) - 1))];
        return sum;
    };
    const double gain = 10.0 * std::log10(band(py, kOutRate, 21000.0) / band(px, kInRate, 21000.0));
    const double image = 10.0 * std::log10(band(py, kOutRate, 23100.0) / band(py, kOutRate, 21000.0));
    return {gain, image};
}

// --- the three exports ------------------------------------------------------

bool ExportWithOurs(const std::filesystem::path& in, const std::filesystem::path& out,
                    uint32_t outRate = kOutRate)
{
    return benchexport::ExportWav(in, out, outRate);
}

std::string SoxCommand(const std::filesystem::path& in, const std::filesystem::path& out,
                       uint32_t outRate = kOutRate)
{
    return "sox --single-threaded '" + in.string() + "' -b 24 '" + out.string() + "' rate -h " +
           std::to_string(outRate) + " dither";
}

std::string FfmpegCommand(const std::filesystem::path& in, const std::filesystem::path& out)
{
    return "ffmpeg -v error -nostdin -y -threads 1 -i '" + in.string() +
           "' -af aresample=48000:resampler=soxr -c:a pcm_s24le '" + out.string() + "'";
}

enum Tool
{
    kOurs,
    kSox,
    kFfmpeg,
};
const char* const kToolNames[] = {"ours", "sox command", "ffmpeg command"};

bool Export(Tool tool, const std::filesystem::path& in, const std::filesystem::path& out)
{
    switch (tool)
    {
    case kOurs:
        return ExportWithOurs(in, out);
    case kSox:
        return std::system(SoxCommand(in, out).c_str()) == 0;
    case kFfmpeg:
        return std::system(FfmpegCommand(in, out).c_str()) == 0;
    }
    return false;
}

struct Fixture
{
    Fixture()
    {
        if (folder.empty())
            return;
        input = folder / "in.wav";
        ready = WriteWav(input, kInRate, 16, MakeSong(size_t{kInRate} * kSeconds, kInRate));
    }
    // The song of the rate pairs' races at a rate, made when first asked for;
    // empty when it could not be made.
    std::filesystem::path PairInput(uint32_t rate)
    {
        const std::filesystem::path path = folder / ("pair" + std::to_string(rate) + ".wav");
        if (!std::filesystem::exists(path) &&
            !WriteWav(path, rate, 16, MakeSong(size_t{rate} * kPairSeconds, rate)))
            return {};
        return path;
    }
    vxtest::TempFolder scratch{"exportbench"};
    std::filesystem::path folder = scratch.Path();
    std::filesystem::path input;
    bool ready = false;
    std::vector<double> seconds[3];
    // The seconds of every run of the rate pairs' races, by benchmark name.
    std::map<std::string, std::vector<double>> pairSeconds;
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

void Run(benchmark::State& state, Tool tool)
{
    Fixture& f = Shared();
    if (!f.ready)
    {
        state.SkipWithError("the input could not be made");
        return;
    }
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = Export(tool, f.input, f.folder / "out.wav");
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok)
        {
            state.SkipWithError("the export failed");
            break;
        }
        state.SetIterationTime(seconds);
        f.seconds[tool].push_back(seconds);
    }
}

using benchsupport::Median;

void PrintQuality(Fixture& f)
{
    std::vector<float> tone = Tone(5.0, 997.0, std::pow(10.0, -1.0 / 20.0));
    std::vector<float> sweep = Sweep(20.0, 0.5);
    std::vector<float> high = Tone(3.0, 21000.0, 0.5);
    const std::filesystem::path toneIn = f.folder / "tone.wav", sweepIn = f.folder / "sweep.wav",
                                highIn = f.folder / "high.wav";
    if (!WriteWav(toneIn, kInRate, 24, {tone}) || !WriteWav(sweepIn, kInRate, 24, {sweep}) ||
        !WriteWav(highIn, kInRate, 24, {high}))
        return;
    uint32_t rate = 0;
    const std::vector<double> sweepX = ReadChannel0(sweepIn, &rate);
    const std::vector<double> highX = ReadChannel0(highIn, &rate);

    std::printf("\nQuality of the three exports (24-bit test signals at 44100 Hz to 48000 Hz 24-bit):\n");
    std::printf("%-16s %12s %12s %14s %12s %14s\n", "case", "THD+N dB", "ripple dB", "stop band dB",
                "21k gain dB", "21k image dB");
    for (Tool tool : {kOurs, kSox, kFfmpeg})
    {
        const std::filesystem::path toneOut = f.folder / "tone.out.wav",
                                    sweepOut = f.folder / "sweep.out.wav",
                                    highOut = f.folder / "high.out.wav";
        if (!Export(tool, toneIn, toneOut) || !Export(tool, sweepIn, sweepOut) ||
            !Export(tool, highIn, highOut))
        {
            std::printf("%-16s failed\n", kToolNames[tool]);
            continue;
        }
        const std::vector<double> toneY = ReadChannel0(toneOut, &rate);
        const std::vector<double> sweepY = ReadChannel0(sweepOut, &rate);
        const std::vector<double> highY = ReadChannel0(highOut, &rate);
        const auto [gain21, image21] = Tone21k(highX, highY);
        std::printf("%-16s %12.1f %12.4f %14.1f %12.2f %14.1f\n", kToolNames[tool], ThdPlusNdB(toneY, rate),
                    RippledB(sweepX, sweepY), StopBanddB(sweepY), gain21, image21);
    }
}

// --- every rate pair ---------------------------------------------------------

struct RatePair
{
    uint32_t in;
    uint32_t out;
};

// Every pair of different export rates.
std::vector<RatePair> ConvertedPairs()
{
    std::vector<RatePair> pairs;
    for (uint32_t in : kExportRates)
        for (uint32_t out : kExportRates)
            if (in != out)
                pairs.push_back({in, out});
    return pairs;
}

std::string PairName(const RatePair& p)
{
    return std::to_string(p.in) + "_to_" + std::to_string(p.out);
}

enum PairCase
{
    kPairOurs,
    kPairSox,
    kPairSoxr,
    kPairDetect,
    kPairRender,
};
const char* const kPairCaseNames[] = {"pair/ours/", "pair/sox-command/", "pair/ffmpeg-soxr-28/",
                                      "normalize/detect/", "normalize/one-render/"};

// The most of each command's time our export of a rate pair may take.
constexpr double kGoalOfSox = 0.5;
constexpr double kGoalOfSoxr = 1.0;

std::string SoxrCommand(const std::filesystem::path& in, const std::filesystem::path& out, uint32_t outRate)
{
    return "ffmpeg -v error -nostdin -y -threads 1 -i '" + in.string() +
           "' -af aresample=" + std::to_string(outRate) + ":resampler=soxr:precision=28 -c:a pcm_s24le '" +
           out.string() + "'";
}

// The normalization gain of a song at an output rate: by the detection (which
// chooses its way), or by one plain render with the export filter.
bool DetectGain(const std::filesystem::path& in, uint32_t outRate, bool detection)
{
    CWavFileRead reader;
    if (reader.OpenFile(Wide(in).c_str()) != 0)
        return false;
    if (detection)
    {
        CNormalizeGainDetect detect;
        if (!detect.SetInputFile(&reader, outRate))
            return false;
        detect.StartDetection();
        return detect.GetDetectionResult() == kNormalizeDetectMeasured;
    }
    CNormalizeGainDetectPcm render;
    if (!render.SetInputFile(&reader, outRate))
        return false;
    render.Process();
    return render.GetResult() == kNormalizeDetectMeasured;
}

bool RunPairCase(PairCase c, const RatePair& p, const std::filesystem::path& in,
                 const std::filesystem::path& out)
{
    switch (c)
    {
    case kPairOurs:
        return ExportWithOurs(in, out, p.out);
    case kPairSox:
        return std::system(SoxCommand(in, out, p.out).c_str()) == 0;
    case kPairSoxr:
        return std::system(SoxrCommand(in, out, p.out).c_str()) == 0;
    case kPairDetect:
        return DetectGain(in, p.out, true);
    case kPairRender:
        return DetectGain(in, p.out, false);
    }
    return false;
}

// Races cases on one rate pair in turns (benchsupport::RunInTurns): every
// timed run goes into the fixture's table; the iteration's time is that of
// the first case (ours, or the detection).
void RunPair(benchmark::State& state, const std::vector<PairCase>& cases, RatePair p)
{
    Fixture& f = Shared();
    const std::filesystem::path in = f.ready ? f.PairInput(p.in) : std::filesystem::path();
    const std::filesystem::path out = f.folder / "pair.out.wav";
    std::vector<std::function<bool()>> runs;
    for (const PairCase c : cases)
        runs.push_back([c, &p, &in, &out] { return RunPairCase(c, p, in, out); });
    benchsupport::RunInTurns(
        state, !in.empty(), runs, 0, [] {},
        [&f, &cases, &p](size_t c, double wall, double)
        { f.pairSeconds[kPairCaseNames[cases[c]] + PairName(p)].push_back(wall); });
}

// Our export of every rate pair against both commands: the medians, our
// time as a fraction of each, and whether the goals are met on every pair.
void PrintRaceTable(Fixture& f, const char* title)
{
    std::printf("\n%s\n", title);
    std::printf("%-18s %10s %10s %12s %10s %12s\n", "pair", "ours", "sox -h", "soxr 28", "ours/sox",
                "ours/soxr");
    bool met = true, measured = false;
    for (const RatePair& p : ConvertedPairs())
    {
        const double ours = Median(f.pairSeconds[kPairCaseNames[kPairOurs] + PairName(p)]);
        const double sox = Median(f.pairSeconds[kPairCaseNames[kPairSox] + PairName(p)]);
        const double soxr = Median(f.pairSeconds[kPairCaseNames[kPairSoxr] + PairName(p)]);
        if (ours <= 0.0 || sox <= 0.0 || soxr <= 0.0)
            continue;
        measured = true;
        const bool pairMet = ours / sox <= kGoalOfSox && ours / soxr <= kGoalOfSoxr;
        met = met && pairMet;
        std::printf("%-18s %10.3f %10.3f %12.3f %10.2f %12.2f%s\n", PairName(p).c_str(), ours, sox, soxr,
                    ours / sox, ours / soxr, pairMet ? "" : "  (goal missed)");
    }
    if (measured)
        std::printf("Goal, ours at most %.1f of sox -h and %.1f of soxr 28 on every pair: %s\n", kGoalOfSox,
                    kGoalOfSoxr, met ? "met" : "NOT met");
}

// One table of a pair of cases for every rate pair, with the ratio of the
// second's time to the first's (1 or more: the first is at least as fast).
void PrintPairTable(Fixture& f, PairCase first, PairCase second, const char* title)
{
    std::printf("\n%s\n", title);
    std::printf("%-18s %12s %12s %10s\n", "pair", kPairCaseNames[first], kPairCaseNames[second], "ratio");
    for (const RatePair& p : ConvertedPairs())
    {
        const double a = Median(f.pairSeconds[kPairCaseNames[first] + PairName(p)]);
        const double b = Median(f.pairSeconds[kPairCaseNames[second] + PairName(p)]);
        if (a > 0.0 && b > 0.0)
            std::printf("%-18s %12.3f %12.3f %10.2f\n", PairName(p).c_str(), a, b, b / a);
    }
}
} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("export/ours", [](benchmark::State& s) { Run(s, kOurs); })
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("export/sox-command", [](benchmark::State& s) { Run(s, kSox); })
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("export/ffmpeg-command", [](benchmark::State& s) { Run(s, kFfmpeg); })
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    for (const RatePair& p : ConvertedPairs())
    {
        benchmark::RegisterBenchmark(("pair/ours-sox-soxr/" + PairName(p)).c_str(),
                                     [p](benchmark::State& s) {
                                         RunPair(s, {kPairOurs, kPairSox, kPairSoxr}, p);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(6);
        benchmark::RegisterBenchmark(("normalize/detect-and-render/" + PairName(p)).c_str(),
                                     [p](benchmark::State& s) {
                                         RunPair(s, {kPairDetect, kPairRender}, p);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(6);
    }
    if (!benchsupport::RunBenchmarks(&argc, argv))
        return 1;

    Fixture& f = Shared();
    const double ours = Median(f.seconds[kOurs]);
    std::printf(
        "\n%u s of stereo 16-bit audio at %u Hz to %u Hz 24-bit with TPDF dither (median of 3 runs)\n",
        kSeconds, kInRate, kOutRate);
    std::printf("%-16s %10s %12s %16s\n", "case", "seconds", "x real time", "time / ours");
    for (Tool tool : {kOurs, kSox, kFfmpeg})
    {
        const double t = Median(f.seconds[tool]);
        if (t > 0.0)
            std::printf("%-16s %10.2f %12.1f %16.2f\n", kToolNames[tool], t, kSeconds / t,
                        ours > 0.0 ? t / ours : 0.0);
    }
    if (f.ready)
        PrintQuality(f);
    const std::string pairTitle = "Every rate pair: " + std::to_string(kPairSeconds) +
                                  " s of stereo 16-bit audio to 24-bit, ours (TPDF dither) against the sox "
                                  "command (rate -h, dither) and the ffmpeg command (soxr, precision 28), "
                                  "raced in turns (seconds, median of 6)";
    PrintRaceTable(f, pairTitle.c_str());
    PrintPairTable(f, kPairDetect, kPairRender,
                   "Normalization gain detection against one plain render with the export filter (seconds, "
                   "median of 6; ratio = render / detect)");
    return 0;
}
