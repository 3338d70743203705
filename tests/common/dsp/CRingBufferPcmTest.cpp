#include "common/dsp/CRingBufferPcm.h"
#include "common/dsp/CSimpleBufferPcm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace
{
// Two channels of n frames; channel 0 holds the frame numbers from `first`,
// channel 1 their negatives, so any lost, repeated or swapped frame shows.
struct Frames
{
    explicit Frames(uint32_t n) : left(n), right(n), ptrs{left.data(), right.data()} {}
    void Number(uint32_t first)
    {
        for (size_t i = 0; i < left.size(); ++i)
        {
            left[i] = static_cast<float>(first + i);
            right[i] = -static_cast<float>(first + i);
        }
    }
    std::vector<float> left, right;
    float* ptrs[2];
};

// Checks that k frames read hold the numbers from `expected`.
::testing::AssertionResult Consecutive(const Frames& f, uint32_t k, uint32_t expected)
{
    for (uint32_t i = 0; i < k; ++i)
    {
        const float want = static_cast<float>(expected + i);
        if (f.left[i] != want || f.right[i] != -want)
            return ::testing::AssertionFailure()
                   << "frame " << i << " is " << f.left[i] << "/" << f.right[i] << ", expected " << want;
    }
    return ::testing::AssertionSuccess();
}
} // namespace

TEST(SimpleBufferPcm, ChannelCountLengthAndReset)
{
    struct Case
    {
        uint16_t requested, channels;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, 2}, Case{3, 2}})
    {
        CSimpleBufferPcm b(16, c.requested);
        EXPECT_EQ(b.GetNumChannels(), c.channels) << c.requested;
        EXPECT_EQ(b.GetBufferLength(), 16u);
        for (uint16_t ch = 0; ch < 2; ++ch)
        {
            float* p = b.GetBufferPointer()[ch];
            ASSERT_EQ(p != nullptr, ch < c.channels) << c.requested;
            for (uint32_t i = 0; p != nullptr && i < 16; ++i)
                EXPECT_EQ(p[i], 0.0f);
        }
    }

    CSimpleBufferPcm b(8, 2);
    float* const* p = b.GetBufferPointer();
    std::fill(p[0], p[0] + 8, 1.0f);
    std::fill(p[1], p[1] + 8, 2.0f);
    b.Reset(1);
    b.Reset(2); // past the count: ignored
    EXPECT_EQ(p[0][7], 1.0f);
    EXPECT_EQ(p[1][0], 0.0f);
    EXPECT_EQ(p[1][7], 0.0f);
    b.Reset();
    EXPECT_EQ(p[0][0], 0.0f);
    EXPECT_EQ(p[0][7], 0.0f);
}

TEST(RingBufferPcm, FullEmptyAndResetEdges)
{
    CRingBufferPcm ring(8, 2);
    EXPECT_EQ(ring.GetBufferFilledSamples(), 0u);
    EXPECT_EQ(ring.GetBufferWriteReadySamples(), 6u);

    Frames in(8), out(8);
    in.Number(100);
    EXPECT_EQ(ring.WriteToBuffer(in.ptrs, 8), 6u); // only the free space is written
    EXPECT_EQ(ring.GetBufferFilledSamples(), 6u);
    EXPECT_EQ(ring.GetBufferWriteReadySamples(), 0u);
    EXPECT_EQ(ring.WriteToBuffer(in.ptrs, 1), 0u);
    EXPECT_DOUBLE_EQ(ring.GetBufferFilledPercent(), 75.0);

    EXPECT_EQ(ring.ReadFromBuffer(out.ptrs, 3), 3u);
    EXPECT_TRUE(Consecutive(out, 3, 100));
    // 3 left; reading 4 gives 3 and a silent fourth frame.
    out.Number(7);
    EXPECT_EQ(ring.ReadFromBuffer(out.ptrs, 4), 3u);
    EXPECT_TRUE(Consecutive(out, 3, 103));
    EXPECT_EQ(out.left[3], 0.0f);
    EXPECT_EQ(out.right[3], 0.0f);
    // Empty: the whole block is silence and nothing is consumed.
    out.Number(7);
    EXPECT_EQ(ring.ReadFromBuffer(out.ptrs, 5), 0u);
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(out.left[i], 0.0f);

    // QuickReset empties from the consumer's side and leaves the samples.
    ring.WriteToBuffer(in.ptrs, 4);
    std::vector<float> before(ring.GetBufferPointer()[0], ring.GetBufferPointer()[0] + 8);
    ring.QuickReset();
    EXPECT_EQ(ring.GetBufferFilledSamples(), 0u);
    EXPECT_EQ(ring.GetBufferWriteReadySamples(), 6u);
    EXPECT_EQ(std::vector<float>(ring.GetBufferPointer()[0], ring.GetBufferPointer()[0] + 8), before);

    // Reset silences the storage and starts over.
    ring.WriteToBuffer(in.ptrs, 2);
    ring.Reset();
    EXPECT_EQ(ring.GetBufferFilledSamples(), 0u);
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(ring.GetBufferPointer()[0][i], 0.0f);

    // A null output channel is skipped but its frames are still consumed.
    in.Number(0);
    ring.WriteToBuffer(in.ptrs, 2);
    float* leftOnly[2] = {out.left.data(), nullptr};
    EXPECT_EQ(ring.ReadFromBuffer(leftOnly, 2), 2u);
    EXPECT_EQ(ring.GetBufferFilledSamples(), 0u);
}

TEST(RingBufferPcm, WriteReadyIsStrictAndLengthIsAPowerOfTwo)
{
    CRingBufferPcm ring(256, 1);
    std::vector<float> block(126, 0.5f);
    float* p[1] = {block.data()};
    ASSERT_EQ(ring.WriteToBuffer(p, 126), 126u);
    EXPECT_EQ(ring.GetBufferWriteReadySamples(), 128u);
    EXPECT_FALSE(ring.BufferWriteReady(128));
    EXPECT_TRUE(ring.BufferWriteReady(127));

    // Masking only works on powers of two: other lengths are rounded up.
    struct Case
    {
        uint32_t requested, length;
    };
    for (const Case c : {Case{0, 4}, Case{3, 4}, Case{100, 128}, Case{262144, 262144}})
    {
        CRingBufferPcm r(c.requested, 1);
        EXPECT_EQ(r.GetBufferLength(), c.length) << c.requested;
        EXPECT_EQ(r.GetBufferWriteReadySamples(), c.length - 2) << c.requested;
    }
}

// Random block sizes on both sides keep every frame, in order, across many
// wrap-arounds, and filled + free always equals the capacity.
TEST(RingBufferPcm, RandomBlockSizesDeliverConsecutiveFrames)
{
    for (uint32_t length : {4u, 8u, 64u, 1024u})
    {
        CRingBufferPcm ring(length, 2);
        std::mt19937 rng(length);
        std::uniform_int_distribution<uint32_t> size(0, length + 3);
        Frames in(length + 3), out(length + 3);
        uint32_t written = 0, read = 0;
        while (read < 20000)
        {
            in.Number(written);
            written += ring.WriteToBuffer(in.ptrs, size(rng));
            ASSERT_EQ(ring.GetBufferFilledSamples() + ring.GetBufferWriteReadySamples(), length - 2);
            const uint32_t n = size(rng);
            const uint32_t k = ring.ReadFromBuffer(out.ptrs, n);
            ASSERT_TRUE(Consecutive(out, k, read)) << "length " << length;
            for (uint32_t i = k; i < n; ++i)
                ASSERT_EQ(out.left[i], 0.0f);
            read += k;
            ASSERT_EQ(written - read, ring.GetBufferFilledSamples());
        }
    }
}

// One producer and one consumer thread hand over a numbered stream through a
// small ring, so both sides keep meeting at the full and the empty edge.
TEST(RingBufferPcm, TwoThreadsHandOverEveryFrameInOrder)
{
    constexpr uint32_t kFrames = 300000;
    constexpr uint32_t kMaxBlock = 40;
    CRingBufferPcm ring(64, 2);
    std::atomic<bool> failed{false};

    std::thread producer(
        [&]
        {
            std::mt19937 rng(1);
            std::uniform_int_distribution<uint32_t> size(1, kMaxBlock);
            Frames in(kMaxBlock);
            uint32_t written = 0;
            while (written < kFrames && !failed.load())
            {
                in.Number(written);
                const uint32_t k = ring.WriteToBuffer(in.ptrs, std::min(size(rng), kFrames - written));
                written += k;
                if (k == 0)
                    std::this_thread::yield();
            }
        });

    std::mt19937 rng(2);
    std::uniform_int_distribution<uint32_t> size(1, kMaxBlock);
    Frames out(kMaxBlock);
    uint32_t read = 0;
    while (read < kFrames)
    {
        const uint32_t k = ring.ReadFromBuffer(out.ptrs, size(rng));
        const ::testing::AssertionResult ok = Consecutive(out, k, read);
        if (!ok)
        {
            failed = true;
            ADD_FAILURE() << ok.message();
            break;
        }
        read += k;
        if (k == 0)
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_EQ(read, kFrames);
}
