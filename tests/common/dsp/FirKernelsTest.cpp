#include "common/dsp/FirKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace
{
using Windows = void (*)(const float*, const float* const*, uint32_t, float*);
constexpr uint32_t kMostWindows = 8;

// A kernel over several windows, and the single-window sum each of its
// results must equal bit for bit.
struct WindowKernel
{
    std::string name;
    uint32_t windows;
    Windows run;
    float (*single)(const float*, const float*, uint32_t);
};

float Avx512Single(const float* c, const float* x, uint32_t taps)
{
    float y = 0.0f;
    FirKernels::DotWindowsAvx512<1>(c, &x, taps, &y);
    return y;
}

std::vector<WindowKernel> WindowKernels()
{
    std::vector<WindowKernel> kernels;
    if (FirKernels::HasAvx2Fma())
        kernels.insert(kernels.end(), {{"AVX2 1", 1, &FirKernels::DotWindowsAvx<1>, &FirKernels::DotAvx},
                                       {"AVX2 2", 2, &FirKernels::DotWindowsAvx<2>, &FirKernels::DotAvx},
                                       {"AVX2 3", 3, &FirKernels::DotWindowsAvx<3>, &FirKernels::DotAvx},
                                       {"AVX2 4", 4, &FirKernels::DotWindowsAvx<4>, &FirKernels::DotAvx}});
    if (FirKernels::HasAvx512())
        kernels.insert(kernels.end(), {{"AVX-512 2", 2, &FirKernels::DotWindowsAvx512<2>, &Avx512Single},
                                       {"AVX-512 4", 4, &FirKernels::DotWindowsAvx512<4>, &Avx512Single},
                                       {"AVX-512 6", 6, &FirKernels::DotWindowsAvx512<6>, &Avx512Single},
                                       {"AVX-512 8", 8, &FirKernels::DotWindowsAvx512<8>, &Avx512Single}});
    return kernels;
}

// Every window of a multi-window kernel gets exactly the single-window sum
// (so a converter's output does not depend on how many it computed at once),
// and that sum is DotScalar's to float rounding: within 1e-6 of the sum of
// the products' magnitudes. Tap counts cover every remainder modulo 32 that
// a multiple of 4 leaves (every tail of both widths); windows start at every
// alignment.
TEST(FirKernels, WindowKernelsMatchTheSingleAndThePlainDotProduct)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> history(4096);
    for (float& v : history)
        v = dist(rng);
    std::uniform_int_distribution<size_t> offset(0, 3000);
    for (const WindowKernel& kernel : WindowKernels())
    {
        SCOPED_TRACE(kernel.name);
        for (uint32_t taps : {4u, 8u, 12u, 16u, 20u, 24u, 28u, 32u, 36u, 44u, 60u, 96u, 100u, 384u, 388u})
        {
            SCOPED_TRACE(taps);
            std::vector<float> c(taps);
            for (float& v : c)
                v = dist(rng) * 0.1f;
            const float* x[kMostWindows];
            for (uint32_t w = 0; w < kernel.windows; ++w)
                x[w] = history.data() + offset(rng);
            float y[kMostWindows];
            kernel.run(c.data(), x, taps, y);
            for (uint32_t w = 0; w < kernel.windows; ++w)
            {
                EXPECT_EQ(y[w], kernel.single(c.data(), x[w], taps)) << "window " << w;
                double magnitude = 0.0;
                for (uint32_t k = 0; k < taps; ++k)
                    magnitude += std::abs(static_cast<double>(c[k]) * x[w][k]);
                EXPECT_NEAR(y[w], FirKernels::DotScalar(c.data(), x[w], taps), 1e-6 * magnitude)
                    << "window " << w;
            }
        }
    }
}
} // namespace

namespace
{
// Two tap sets over two windows at once give each pair's single-window sum
// bit for bit (the oversampling filter's two phases over one window pair).
TEST(FirKernels, TapSetGridMatchesTheSingleSums)
{
    if (!FirKernels::HasAvx512())
        GTEST_SKIP() << "no AVX-512";
    std::mt19937 rng(8);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    for (uint32_t taps : {4u, 12u, 16u, 28u, 48u, 100u, 388u})
    {
        SCOPED_TRACE(taps);
        std::vector<float> c0(taps), c1(taps), x0(taps), x1(taps);
        for (auto* v : {&c0, &c1, &x0, &x1})
            for (float& f : *v)
                f = dist(rng);
        const float* c[2] = {c0.data(), c1.data()};
        const float* x[2] = {x0.data(), x1.data()};
        float y[4];
        FirKernels::DotGridAvx512<2, 2>(c, x, taps, y);
        for (uint32_t t = 0; t < 2; ++t)
            for (uint32_t w = 0; w < 2; ++w)
                EXPECT_EQ(y[2 * t + w], Avx512Single(c[t], x[w], taps)) << "taps " << t << " window " << w;
    }
}
} // namespace
