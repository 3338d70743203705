#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

// Planar sample buffers and sine analysis shared by the filter tests.
namespace DspTest
{
constexpr double kPi = 3.14159265358979323846;

struct Planar
{
    Planar(int channels, size_t frames) : data(static_cast<size_t>(channels), std::vector<float>(frames)) {}

    // Per-channel pointers at a frame offset.
    std::vector<float*> At(size_t offset)
    {
        std::vector<float*> p;
        for (auto& c : data)
            p.push_back(c.data() + offset);
        return p;
    }

    std::vector<std::vector<float>> data;
};

inline Planar Noise(int channels, size_t frames, uint32_t seed, float amplitude = 0.5f)
{
    Planar p(channels, frames);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-amplitude, amplitude);
    for (auto& c : p.data)
        for (float& s : c)
            s = dist(rng);
    return p;
}

// amplitude x sin(2 pi f n / rate) on every channel.
inline Planar Sine(int channels, size_t frames, double frequency, double rate, double amplitude)
{
    Planar p(channels, frames);
    for (size_t n = 0; n < frames; ++n)
    {
        const float v = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * n / rate));
        for (auto& c : p.data)
            c[n] = v;
    }
    return p;
}

struct SineFit
{
    double amplitude;
    double phase;       // of A sin(w m + phase), m counted from index 0 of the signal
    double residualRms; // what the fitted sine leaves
};

// Least-squares fit of A sin(w m + phase) to y[first .. first + count).
inline SineFit FitSine(const std::vector<float>& y, size_t first, size_t count, double cyclesPerSample)
{
    const double w = 2.0 * kPi * cyclesPerSample;
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0;
    for (size_t m = first; m < first + count; ++m)
    {
        const double s = std::sin(w * m), c = std::cos(w * m);
        ss += s * s;
        cc += c * c;
        sc += s * c;
        ys += y[m] * s;
        yc += y[m] * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det; // weight of sin
    const double b = (yc * ss - ys * sc) / det; // weight of cos
    double residual = 0;
    for (size_t m = first; m < first + count; ++m)
    {
        const double e = y[m] - a * std::sin(w * m) - b * std::cos(w * m);
        residual += e * e;
    }
    return {std::hypot(a, b), std::atan2(b, a), std::sqrt(residual / count)};
}

// The amplitude of the DFT component at an exact frequency over whole periods.
inline double ToneAmplitude(const std::vector<float>& y, size_t first, size_t count, double cyclesPerSample)
{
    double re = 0, im = 0;
    for (size_t m = 0; m < count; ++m)
    {
        re += y[first + m] * std::cos(2.0 * kPi * cyclesPerSample * m);
        im += y[first + m] * std::sin(2.0 * kPi * cyclesPerSample * m);
    }
    return 2.0 * std::hypot(re, im) / count;
}

// Random block sizes, small and large, summing to total.
inline std::vector<int> RandomPartition(size_t total, uint32_t seed, int largest)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> kind(0, 3), small(0, 3), large(1, largest);
    std::vector<int> blocks;
    size_t done = 0;
    while (done < total)
    {
        int n = kind(rng) == 0 ? small(rng) : large(rng);
        n = static_cast<int>(std::min<size_t>(static_cast<size_t>(n), total - done));
        blocks.push_back(n);
        done += static_cast<size_t>(n);
    }
    return blocks;
}
} // namespace DspTest
