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

namespace
{
using HalfBandForm = void (*)(const float*, uint32_t, const float*, float, const float*, uint32_t, uint32_t,
                              float*);

struct HalfBandKernel
{
    std::string name;
    int run;
    HalfBandForm form;
};

std::vector<HalfBandKernel> HalfBandKernels()
{
    using namespace FirKernels;
    std::vector<HalfBandKernel> kernels;
    if (HasAvx2Fma())
        kernels.insert(kernels.end(),
                       {{"AVX2 decimate", kHalfBandDecimate, &HalfBandRunAvx<kHalfBandDecimate>},
                        {"AVX2 double", kHalfBandDouble, &HalfBandRunAvx<kHalfBandDouble>}});
    if (HasAvx512())
        kernels.insert(kernels.end(),
                       {{"AVX-512 decimate", kHalfBandDecimate, &HalfBandRunAvx512<kHalfBandDecimate>},
                        {"AVX-512 double", kHalfBandDouble, &HalfBandRunAvx512<kHalfBandDouble>}});
    return kernels;
}

// A half-band run gives every output from its own window, whatever the run's
// length and where it starts: a run cut into pieces (of every length a
// vector tail can have) gives the whole run's outputs bit for bit, as does
// the other vector width. Each output is the definition's to float rounding
// (within 1e-6 of the sum of the products' magnitudes), and the centre
// phase of a doubling lands on its side of each pair. Inputs end exactly
// where the run's last window does, so a read past them would show under
// the sanitizers.
TEST(FirKernels, HalfBandRunsGiveEachOutputFromItsOwnWindow)
{
    const std::vector<HalfBandKernel> kernels = HalfBandKernels();
    if (kernels.empty())
        GTEST_SKIP() << "no AVX2";
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    const uint32_t n = 150;
    const std::vector<uint32_t> pieces = {1, 7, 8, 9, 15, 16, 17, 31, 32, 14};
    for (uint32_t taps : {1u, 16u, 47u, 96u, 100u, 252u})
    {
        SCOPED_TRACE(taps);
        std::vector<float> c(taps), x(n + taps - 1), xc(n);
        for (auto* v : {&c, &x, &xc})
            for (float& f : *v)
                f = dist(rng);
        const float centre = 0.75f;
        std::vector<float> first[2][2]; // by run and dense phase
        for (const HalfBandKernel& kernel : kernels)
        {
            SCOPED_TRACE(kernel.name);
            const size_t width = kernel.run == FirKernels::kHalfBandDouble ? 2 : 1;
            for (uint32_t dense : {0u, 1u})
            {
                std::vector<float> whole(width * n), cut(width * n);
                kernel.form(c.data(), taps, x.data(), centre, xc.data(), n, dense, whole.data());
                uint32_t done = 0;
                for (uint32_t piece : pieces)
                {
                    kernel.form(c.data(), taps, x.data() + done, centre, xc.data() + done, piece, dense,
                                cut.data() + width * done);
                    done += piece;
                }
                ASSERT_EQ(done, n);
                EXPECT_EQ(cut, whole) << "dense phase " << dense;
                for (uint32_t i = 0; i < n; ++i)
                {
                    double sum = 0.0, magnitude = 0.0;
                    for (uint32_t k = 0; k < taps; ++k)
                    {
                        sum += static_cast<double>(c[k]) * x[i + k];
                        magnitude += std::abs(static_cast<double>(c[k]) * x[i + k]);
                    }
                    const double side = static_cast<double>(centre) * xc[i];
                    if (width == 1)
                        ASSERT_NEAR(whole[i], sum + side, 1e-6 * (magnitude + std::abs(side))) << i;
                    else
                    {
                        ASSERT_NEAR(whole[2 * i + dense], sum, 1e-6 * magnitude) << i;
                        ASSERT_EQ(whole[2 * i + 1 - dense], centre * xc[i]) << i;
                    }
                }
                // The first width's outputs, for the other width to match.
                std::vector<float>& reference = first[kernel.run][dense];
                if (reference.empty())
                    reference = whole;
                else
                    EXPECT_EQ(whole, reference) << "the two widths differ, dense phase " << dense;
            }
        }
    }
}
} // namespace
