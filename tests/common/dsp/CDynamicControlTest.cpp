#include "common/dsp/CDynamicControl.h"
#include "common/dsp/CDcCutFilter.h"

#include "library/util/CDataUtil.h"

#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

namespace
{
constexpr uint32_t kRate = 44100;

// Seconds that convert to exactly `samples` at `rate` despite rounding.
double Sec(double samples, uint32_t rate = kRate)
{
    return (samples + 0.5) / rate;
}

uint32_t Bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

// Planar channels of n frames, all set to `value`.
struct Block
{
    Block(uint16_t channels, uint32_t n, float value = 1.0f) : data(channels, std::vector<float>(n, value)) {}
    // The channel pointers, taken afresh so that copies stay valid.
    float* const* p()
    {
        ptrs.clear();
        for (auto& d : data)
            ptrs.push_back(d.data());
        return ptrs.data();
    }
    std::vector<std::vector<float>> data;
    std::vector<float*> ptrs;
};

// Processes `source` through `dc` in blocks of `blockSize` frames; returns the result.
Block Render(CDynamicControl& dc, const Block& source, uint32_t blockSize)
{
    Block out = source;
    float* const* whole = out.p();
    const uint32_t total = static_cast<uint32_t>(source.data[0].size());
    std::vector<float*> at(out.data.size());
    for (uint32_t done = 0; done < total; done += blockSize)
    {
        for (size_t c = 0; c < at.size(); ++c)
            at[c] = whole[c] + done;
        dc.Process(at.data(), std::min(blockSize, total - done));
    }
    return out;
}
} // namespace

TEST(DynamicControl, NewChainLeavesSamplesAndReportsEachPeakOnce)
{
    CDynamicControl dc(2);
    EXPECT_TRUE(dc.DirectModeIsSuggested());
    for (int ch : {0, 1, 2, -1})
        EXPECT_EQ(dc.GetPeakLeveldB(ch), -200.0f) << ch;

    Block b(2, 64, 0.25f);
    b.data[0][10] = 0.5f;
    b.data[1][3] = -1.0f;
    const Block original = b;
    EXPECT_EQ(dc.Process(b.p(), 64), 64u);
    EXPECT_EQ(b.data, original.data);

    // A quieter later block doesn't lower the level held since the last read.
    Block quiet(2, 16, 0.01f);
    dc.Process(quiet.p(), 16);
    EXPECT_EQ(dc.GetPeakLeveldB(0), -6.0f); // 0.5 is -6.02 dB, rounded up to the next half step
    EXPECT_EQ(dc.GetPeakLeveldB(1), 0.0f);
    EXPECT_EQ(dc.GetPeakLeveldB(0), -200.0f);
    EXPECT_EQ(dc.GetPeakLeveldB(1), -200.0f);

    dc.Process(quiet.p(), 16);
    dc.ResetPeakLeveldB();
    EXPECT_EQ(dc.GetPeakLeveldB(0), -200.0f);
    dc.Process(quiet.p(), 16);
    dc.Reset();
    EXPECT_EQ(dc.GetPeakLeveldB(1), -200.0f);

    // Gain: the out-of-place form leaves its input alone.
    EXPECT_EQ(dc.SetGaindB(6.0f), 6.0f);
    EXPECT_FALSE(dc.DirectModeIsSuggested());
    Block in(2, 8, 0.5f), out(2, 8, 0.0f);
    dc.Process(in.p(), out.p(), 8);
    EXPECT_EQ(in.data[0][0], 0.5f);
    EXPECT_NEAR(out.data[0][7], 0.5f * CDataUtil::DBToAmplitude(6.0f), 1e-6f);
    EXPECT_NEAR(out.data[1][0], 0.5f * CDataUtil::DBToAmplitude(6.0f), 1e-6f);
    dc.SetGaindB(0.0f);
    EXPECT_TRUE(dc.DirectModeIsSuggested());
    dc.SetDcCutMode(1);
    EXPECT_FALSE(dc.DirectModeIsSuggested());
    dc.SetDcCutMode(0);
    dc.SetPan(0.1f);
    EXPECT_FALSE(dc.DirectModeIsSuggested());
}

TEST(DynamicControl, PanGivesConstantPowerGains)
{
    struct Case
    {
        float pan, stored, left, right;
    };
    const Case cases[] = {
        {-1.0f, -1.0f, 1.4142135f, 0.0f}, {-0.5f, -0.5f, 1.3065630f, 0.5411961f},
        {0.0f, 0.0f, 1.0f, 1.0f},         {0.5f, 0.5f, 0.5411961f, 1.3065630f},
        {1.0f, 1.0f, 0.0f, 1.4142135f},   {2.0f, 1.0f, 0.0f, 1.4142135f},
        {-7.0f, -1.0f, 1.4142135f, 0.0f}, {std::nanf(""), 0.0f, 1.0f, 1.0f},
    };
    for (const Case& c : cases)
    {
        CDynamicControl dc(3);
        EXPECT_EQ(dc.SetPan(c.pan), c.stored) << c.pan;
        EXPECT_EQ(dc.GetPan(), c.stored) << c.pan;
        Block b(3, 5);
        dc.Process(b.p(), 5);
        EXPECT_NEAR(b.data[0][4], c.left, 2e-6f) << c.pan;
        EXPECT_NEAR(b.data[1][4], c.right, 2e-6f) << c.pan;
        EXPECT_EQ(b.data[2][4], 1.0f) << c.pan; // a third channel is never panned
    }

    CDynamicControl mono(1);
    EXPECT_EQ(mono.SetPan(1.0f), 0.0f);
    Block b(1, 5);
    mono.Process(b.p(), 5);
    EXPECT_EQ(b.data[0][4], 1.0f);
}

// Fades of 4 samples in 8-frame blocks of 1.0: at the song's start, partly
// before it (a converter delay of 2 samples), and over the song's end.
TEST(DynamicControl, FadeCurvesOfLengthFour)
{
    constexpr int64_t kTotal = 2 * kRate;
    struct Case
    {
        const char* name;
        int inType, outType;
        int64_t start;
        uint32_t delay;
        float expected[8];
    };
    const Case cases[] = {
        {"linear in", 1, 0, 0, 0, {0, 0.25f, 0.5f, 0.75f, 1, 1, 1, 1}},
        {"squared in", 2, 0, 0, 0, {0, 0.0625f, 0.25f, 0.5625f, 1, 1, 1, 1}},
        {"type 7 is squared", 7, 0, 0, 0, {0, 0.0625f, 0.25f, 0.5625f, 1, 1, 1, 1}},
        {"type -1 is none", -1, 0, 0, 0, {1, 1, 1, 1, 1, 1, 1, 1}},
        {"in, delayed", 1, 0, 0, 2, {0, 0, 0, 0.25f, 0.5f, 0.75f, 1, 1}},
        {"linear out", 0, 1, kTotal - 6, 0, {1, 1, 0.75f, 0.5f, 0.25f, 0, 0, 0}},
        {"squared out", 0, 2, kTotal - 6, 0, {1, 1, 0.5625f, 0.25f, 0.0625f, 0, 0, 0}},
        {"out, delayed", 0, 1, kTotal - 4, 2, {1, 1, 0.75f, 0.5f, 0.25f, 0, 0, 0}},
        {"past the end", 0, 1, kTotal + 100, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases)
    {
        CDynamicControl dc(2);
        dc.SetSampleRate(kRate);
        dc.SetTotalTimeSecond(Sec(kTotal));
        dc.SetFadeParams(c.inType, static_cast<float>(Sec(4)), c.outType, static_cast<float>(Sec(4)));
        dc.SetDelayOffsetSeconds(Sec(c.delay));
        dc.SetCurTimeSecond(Sec(c.start));
        Block b(2, 8);
        dc.Process(b.p(), 8);
        for (int i = 0; i < 8; ++i)
        {
            EXPECT_EQ(b.data[0][i], c.expected[i]) << c.name << ", frame " << i;
            EXPECT_EQ(b.data[1][i], c.expected[i]) << c.name << ", frame " << i;
        }
    }
}

// Fades that would leave less than a second untouched are both shortened by
// half the excess (rounded down), neither below 0.
TEST(DynamicControl, OverlappingFadesAreShortened)
{
    struct Case
    {
        double totalSamples;
        int inType;
        double inSamples;
        int outType;
        double outSamples;
        int32_t inLength, outLength;
    };
    constexpr double s = kRate;
    const Case cases[] = {
        {10 * s, 1, 6 * s, 1, 6 * s, 198450, 198450}, // 6 s + 6 s in 10 s: 4.5 s each
        {10 * s, 1, 8 * s, 2, 2 * s, 330750, 66150},  // 7.5 s and 1.5 s
        {10 * s, 1, 4 * s, 1, 5 * s, 176400, 220500}, // exactly one second left: unchanged
        {10 * s, 0, 6 * s, 1, 6 * s, 0, 264600},      // type 0: no length, no overlap
        {s + 3, 1, 2, 1, 4, 1, 3},                    // excess 3: both lose 1
        {0.5 * s, 1, s, 1, s, 0, 0},                  // shorter than a second
        {10 * s, 1, 9.5 * s, 1, 100, 407875, 0},      // the short fade stops at 0
    };
    for (const Case& c : cases)
    {
        CDynamicControl dc(2);
        dc.SetTotalTimeSecond(Sec(c.totalSamples));
        dc.SetFadeParams(c.inType, static_cast<float>(Sec(c.inSamples)), c.outType,
                         static_cast<float>(Sec(c.outSamples)));
        int inType = -9, outType = -9;
        float inSeconds = -1, outSeconds = -1;
        dc.GetFadeParams(&inType, &inSeconds, &outType, &outSeconds);
        EXPECT_EQ(inType, c.inType);
        EXPECT_EQ(outType, c.outType);
        EXPECT_EQ(dc.GetFadeInStopSample(), c.inLength) << c.inSamples << " + " << c.outSamples;
        EXPECT_EQ(dc.GetFadeOutStartSample(), static_cast<int64_t>(c.totalSamples) - c.outLength)
            << c.inSamples << " + " << c.outSamples;
        EXPECT_FLOAT_EQ(inSeconds, static_cast<float>(c.inLength / s));
        EXPECT_FLOAT_EQ(outSeconds, static_cast<float>(c.outLength / s));
    }
}

TEST(DcCutFilter, CoefficientFollowsModeAndRateClass)
{
    struct Case
    {
        int mode;
        uint32_t rate;
        uint32_t bits;
    };
    const Case cases[] = {
        {1, 44100, 0x3F7FF77B},  {1, 48000, 0x3F7FF77B},   {1, 96000, 0x3F7FF77B},   {1, 192000, 0x3F7FF77B},
        {1, 192001, 0x3F7FFFDB}, {1, 352800, 0x3F7FFFDB},  {1, 2822400, 0x3F7FFFDB}, {-3, 44100, 0x3F7FF77B},
        {0, 44100, Bits(1.0f)},  {0, 2822400, Bits(1.0f)},
    };
    for (const Case& c : cases)
    {
        CDcCutFilter f(2);
        f.SetSampleRate(c.rate);
        f.SetDcCutMode(c.mode);
        EXPECT_EQ(Bits(f.GetCoefficient()), c.bits) << c.mode << " at " << c.rate;
    }
    EXPECT_NEAR(CDcCutFilter::Coefficient(1, 44100), 0.99987f, 1e-7f);
    EXPECT_NEAR(CDcCutFilter::Coefficient(1, 352800), 0.9999978f, 1e-7f);
}

TEST(DynamicControl, DcCutRemovesOffsetAndResetClearsItsState)
{
    CDynamicControl dc(2);
    Block b(2, kRate);
    dc.Process(b.p(), kRate);
    EXPECT_EQ(b.data[0].back(), 1.0f); // off: untouched

    dc.SetDcCutMode(1);
    Block step(2, kRate);
    dc.Process(step.p(), kRate);
    EXPECT_EQ(step.data[0][0], 1.0f);
    for (const auto& ch : step.data)
    {
        EXPECT_GT(ch.back(), 0.0f);
        EXPECT_LT(ch.back(), 0.01f); // about 0.9 Hz corner: e^-5.7 after a second
        EXPECT_LT(ch[1000], ch[999]);
    }

    // The state carries over to the next block; Reset clears it.
    Block next(2, 2);
    dc.Process(next.p(), 2);
    EXPECT_LT(next.data[0][0], step.data[0].back());
    dc.Reset();
    next = Block(2, 2);
    dc.Process(next.p(), 2);
    EXPECT_EQ(next.data[0][0], 1.0f);
}

// Denormal input through every stage that touches samples comes out as 0, a
// long DC-cut tail settles without passing through denormals, and the
// caller's control word survives.
TEST(DynamicControl, DenormalInputGivesZero)
{
    const float denormals[] = {1e-40f, -1e-39f, std::numeric_limits<float>::denorm_min(),
                               -std::numeric_limits<float>::denorm_min(), 1.1e-38f};
    struct Case
    {
        const char* name;
        void (*configure)(CDynamicControl&);
    };
    const Case cases[] = {
        {"dc cut", [](CDynamicControl& dc) { dc.SetDcCutMode(1); }},
        {"gain down", [](CDynamicControl& dc) { dc.SetGaindB(-6.0f); }},
        {"gain up", [](CDynamicControl& dc) { dc.SetGaindB(6.0f); }},
        {"pan", [](CDynamicControl& dc) { dc.SetPan(0.5f); }},
        {"fade",
         [](CDynamicControl& dc)
         {
             dc.SetTotalTimeSecond(10.0);
             dc.SetFadeParams(1, 1.0f, 0, 0.0f);
         }},
    };
    const unsigned int callerWord = _mm_getcsr();
    _mm_setcsr(0x1F80); // the default: denormals kept
    for (const Case& c : cases)
    {
        CDynamicControl dc(2);
        c.configure(dc);
        Block b(2, 5);
        for (auto& ch : b.data)
            std::copy(std::begin(denormals), std::end(denormals), ch.begin());
        dc.Process(b.p(), 5);
        for (const auto& ch : b.data)
            for (float v : ch)
                EXPECT_EQ(v, 0.0f) << c.name;
        EXPECT_EQ(_mm_getcsr() & ~0x3Fu, 0x1F80u) << c.name; // control bits; flags may be set
    }

    CDynamicControl dc(1);
    dc.SetDcCutMode(1);
    Block b(1, 1);
    dc.Process(b.p(), 1);
    Block tail(1, 1000000, 0.0f);
    dc.Process(tail.p(), 1000000);
    size_t denormalCount = 0;
    for (float v : tail.data[0])
        denormalCount += std::fpclassify(v) == FP_SUBNORMAL;
    EXPECT_EQ(denormalCount, 0u);
    EXPECT_LT(std::fabs(tail.data[0].back()), 1e-20f); // settles far below any audible level
    _mm_setcsr(callerWord);
}

// A new rate mid-song keeps the song position in seconds (so a fade goes on
// where it was, with at most one old sample step of difference) and keeps the
// DC-cut state while switching its coefficient.
TEST(DynamicControl, RateChangeMidSong)
{
    CDynamicControl dc(1);
    dc.SetSampleRate(44100);
    dc.SetTotalTimeSecond(10.0);
    dc.SetFadeParams(1, 2.0f, 0, 0.0f);
    ASSERT_EQ(dc.GetFadeInStopSample(), 88200);
    Block before(1, 44100);
    const Block b1 = Render(dc, before, 1000);
    const float last = b1.data[0].back();
    EXPECT_FLOAT_EQ(last, 44099.0f / 88200.0f);

    EXPECT_EQ(dc.SetSampleRate(48000), 48000u);
    EXPECT_EQ(dc.GetFadeInStopSample(), 96000);
    Block after(1, 2);
    dc.Process(after.p(), 2);
    EXPECT_EQ(after.data[0][0], 0.5f); // sample 48000 of 96000
    EXPECT_FLOAT_EQ(after.data[0][1], 48001.0f / 96000.0f);
    EXPECT_NEAR(after.data[0][0] - last, 1.0f / 88200.0f, 1e-6f);

    // DC cut at 176400 Hz, then 352800 Hz: a constant input decays by a per
    // sample, and keeps decaying from where it was with the new a.
    CDynamicControl cut(1);
    cut.SetSampleRate(176400);
    cut.SetDcCutMode(1);
    Block low = Render(cut, Block(1, 1000), 1000);
    const float aLow = CDcCutFilter::Coefficient(1, 176400);
    const float aHigh = CDcCutFilter::Coefficient(1, 352800);
    EXPECT_NEAR(low.data[0][999] / low.data[0][998], aLow, 1e-6f);
    cut.SetSampleRate(352800);
    Block high = Render(cut, Block(1, 2), 2);
    EXPECT_NEAR(high.data[0][0] / low.data[0][999], aHigh, 1e-6f);
    EXPECT_NEAR(high.data[0][1] / high.data[0][0], aHigh, 1e-6f);
}

// The whole chain with every stage on gives the same samples whatever the
// block partition: the DC-cut state and the fade position carry across blocks,
// and a single block spanning the song gets both fades.
TEST(DynamicControl, BlockSizesGiveIdenticalOutput)
{
    constexpr uint32_t kFrames = 2 * kRate + 300; // runs past the song's end
    Block source(2, kFrames);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    for (auto& ch : source.data)
        for (float& v : ch)
            v = 0.2f + noise(rng);

    auto render = [&](uint32_t blockSize)
    {
        CDynamicControl dc(2);
        dc.SetSampleRate(kRate);
        dc.SetTotalTimeSecond(2.0);
        dc.SetDcCutMode(1);
        dc.SetGaindB(-3.0f);
        dc.SetPan(0.3f);
        dc.SetFadeParams(1, 0.5f, 2, 0.5f);
        dc.SetDelayOffsetSeconds(Sec(44));
        return Render(dc, source, blockSize).data;
    };
    const auto whole = render(kFrames);
    EXPECT_EQ(whole[0][0], 0.0f);
    EXPECT_EQ(whole[1].back(), 0.0f);
    for (uint32_t blockSize : {1u, 7u, 4096u})
        EXPECT_TRUE(render(blockSize) == whole) << "blocks of " << blockSize;
}

// Fade parameters changed from another thread while blocks are processed: every
// block matches one whole parameter set, never a mix. The song is short enough
// that both fades are shortened, so each fade's length depends on both times.
TEST(DynamicControl, ConcurrentFadeChangesArriveWhole)
{
    constexpr uint32_t kSongRate = 1000;
    struct Params
    {
        int inType;
        float inSeconds;
        int outType;
        float outSeconds;
    };
    const Params sets[2] = {{1, 1.5f, 2, 1.5f}, {2, 0.625f, 1, 1.75f}};
    struct Region
    {
        double start;
        uint32_t frames;
    };
    const Region regions[2] = {{0.0, 1024}, {1.3, 1700}}; // over the fade-in, over the fade-out

    auto setUp = [&](CDynamicControl& dc)
    {
        dc.SetSampleRate(kSongRate);
        dc.SetTotalTimeSecond(3.0);
    };
    auto renderRegion = [](CDynamicControl& dc, const Region& r)
    {
        Block b(1, r.frames);
        dc.SetCurTimeSecond(r.start);
        dc.Process(b.p(), r.frames);
        return b.data[0];
    };
    std::vector<float> expected[2][2]; // [set][region]
    for (int s = 0; s < 2; ++s)
    {
        CDynamicControl dc(1);
        setUp(dc);
        dc.SetFadeParams(sets[s].inType, sets[s].inSeconds, sets[s].outType, sets[s].outSeconds);
        for (int r = 0; r < 2; ++r)
            expected[s][r] = renderRegion(dc, regions[r]);
    }
    ASSERT_NE(expected[0][0], expected[1][0]);
    ASSERT_NE(expected[0][1], expected[1][1]);

    CDynamicControl dc(1);
    setUp(dc);
    dc.SetFadeParams(sets[0].inType, sets[0].inSeconds, sets[0].outType, sets[0].outSeconds);
    std::atomic<bool> done{false};
    std::thread writer(
        [&]
        {
            for (unsigned i = 0; !done.load(std::memory_order_relaxed); ++i)
            {
                const Params& p = sets[i & 1];
                dc.SetFadeParams(p.inType, p.inSeconds, p.outType, p.outSeconds);
            }
        });

    int seen[2][2] = {};
    int mixed = 0;
    for (int i = 0; i < 200000 && mixed == 0; ++i)
    {
        const int r = i & 1;
        const std::vector<float> got = renderRegion(dc, regions[r]);
        if (got == expected[0][r])
            ++seen[0][r];
        else if (got == expected[1][r])
            ++seen[1][r];
        else
            ++mixed;
        if (seen[0][0] >= 20 && seen[1][0] >= 20 && seen[0][1] >= 20 && seen[1][1] >= 20)
            break;
    }
    done = true;
    writer.join();
    ASSERT_EQ(mixed, 0);
    for (int s = 0; s < 2; ++s)
        for (int r = 0; r < 2; ++r)
            EXPECT_GE(seen[s][r], 20) << "set " << s << ", region " << r;
}
