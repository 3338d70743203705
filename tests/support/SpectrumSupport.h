#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <utility>
#include <vector>

// The one FFT of the tests and benchmarks, with the windows and spectrum
// estimates built on it: a radix-2 transform, a Kaiser window, a windowed
// power spectrum and a Welch estimate.
namespace SpectrumTest
{
constexpr double kPi = 3.14159265358979323846;

// In-place forward transform; the size must be a power of two.
inline void Fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i)
    {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1)
    {
        const std::complex<double> step = std::polar(1.0, -2.0 * kPi / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len)
        {
            std::complex<double> w(1.0, 0.0);
            for (size_t k = 0; k < len / 2; ++k)
            {
                const std::complex<double> u = a[i + k];
                const std::complex<double> v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

// The Kaiser window of `size` samples: I0(beta sqrt(1 - x^2)) / I0(beta),
// x running from -1 to +1 over the window.
inline std::vector<double> KaiserWindow(size_t size, double beta)
{
    std::vector<double> w(size, 1.0);
    const double norm = std::cyl_bessel_i(0.0, beta);
    for (size_t i = 0; size > 1 && i < size; ++i)
    {
        const double x = 2.0 * static_cast<double>(i) / static_cast<double>(size - 1) - 1.0;
        w[i] = std::cyl_bessel_i(0.0, beta * std::sqrt(std::max(0.0, 1.0 - x * x))) / norm;
    }
    return w;
}

// The power (|X(k)|^2, bins 0 .. size / 2) of window.size() samples of x
// from `first`, each multiplied by the window; samples past the end of x
// count as 0. The window's size must be a power of two.
inline std::vector<double> PowerSpectrum(const std::vector<double>& x, size_t first,
                                         const std::vector<double>& window)
{
    const size_t size = window.size();
    std::vector<std::complex<double>> a(size);
    for (size_t i = 0; i < size; ++i)
        a[i] = first + i < x.size() ? x[first + i] * window[i] : 0.0;
    Fft(a);
    std::vector<double> power(size / 2 + 1);
    for (size_t k = 0; k <= size / 2; ++k)
        power[k] = std::norm(a[k]);
    return power;
}

// Welch estimate of the power spectrum of x: Hann-windowed segments of
// `size` samples (a power of two) overlapping by half, their periodograms
// averaged. Bin k (0 .. size / 2) is the frequency k / size in cycles per
// sample. The scale is arbitrary but the same for every bin and every input
// of the same length, so ratios between bins and between signals are what
// count.
inline std::vector<double> WelchPsd(const std::vector<double>& x, size_t size)
{
    std::vector<double> window(size);
    for (size_t i = 0; i < size; ++i)
        window[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(size));
    std::vector<double> psd(size / 2 + 1, 0.0);
    size_t segments = 0;
    for (size_t start = 0; start + size <= x.size(); start += size / 2)
    {
        const std::vector<double> power = PowerSpectrum(x, start, window);
        for (size_t k = 0; k <= size / 2; ++k)
            psd[k] += power[k];
        ++segments;
    }
    for (double& p : psd)
        p /= static_cast<double>(segments > 0 ? segments : 1);
    return psd;
}

// The mean of the bins within +-halfWidth of the bin nearest `cyclesPerSample`.
inline double BandPower(const std::vector<double>& psd, size_t size, double cyclesPerSample, size_t halfWidth)
{
    const size_t centre = static_cast<size_t>(std::lround(cyclesPerSample * static_cast<double>(size)));
    const size_t first = centre > halfWidth ? centre - halfWidth : 0;
    const size_t last = std::min(centre + halfWidth, psd.size() - 1);
    double sum = 0.0;
    for (size_t k = first; k <= last; ++k)
        sum += psd[k];
    return sum / static_cast<double>(last - first + 1);
}
} // namespace SpectrumTest
