#include "common/file/CPeakValueDetectVirtualFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace
{
// Planar float buffers of a given size, zero-filled.
struct FloatBlock
{
    FloatBlock(uint16_t channels, uint32_t frames) : data(channels, std::vector<float>(frames, 0.0f))
    {
        for (auto& channel : data)
            ptrs.push_back(channel.data());
    }
    std::vector<std::vector<float>> data;
    std::vector<float*> ptrs;
};

PeakChannelData Peak(CPeakValueDetectVirtualFile& sink, uint16_t channel)
{
    PeakChannelData peak;
    peak.highestValue = 123.0f;
    peak.highestPosition = 123;
    peak.lowestValue = 123.0f;
    peak.lowestPosition = 123;
    sink.GetPeakData(&peak, channel);
    return peak;
}
} // namespace

TEST(CPeakValueDetectVirtualFile, KeepsHighestAndLowestWithTheirFrames)
{
    CPeakValueDetectVirtualFile sink(44100, 16, 1);
    float samples[] = {0.5f, -0.7f, 0.7f};
    float* bufs[] = {samples};
    EXPECT_EQ(sink.WriteAudioData(bufs, 3), 3u);

    const PeakChannelData peak = Peak(sink, 0);
    EXPECT_FLOAT_EQ(peak.highestValue, 0.7f);
    EXPECT_EQ(peak.highestPosition, 2);
    EXPECT_FLOAT_EQ(peak.lowestValue, -0.7f);
    EXPECT_EQ(peak.lowestPosition, 1);
    // Equal magnitudes: the lowest comes later among the candidates and wins.
    EXPECT_EQ(sink.GetAbsPeakPosition(), 1);
}

TEST(CPeakValueDetectVirtualFile, EqualPeaksKeepTheFirstPosition)
{
    CPeakValueDetectVirtualFile sink(44100, 16, 1);
    float samples[] = {0.0f, 0.25f, -0.25f, 0.25f, -0.25f};
    float* bufs[] = {samples};
    sink.WriteAudioData(bufs, 5);
    const PeakChannelData peak = Peak(sink, 0);
    EXPECT_EQ(peak.highestPosition, 1);
    EXPECT_EQ(peak.lowestPosition, 2);
}

TEST(CPeakValueDetectVirtualFile, FrameNumberingContinuesAcrossBlocks)
{
    CPeakValueDetectVirtualFile sink(44100, 16, 2);
    FloatBlock block(2, 1024);
    block.data[0][10] = 0.1f;
    ASSERT_EQ(sink.WriteAudioData(block.ptrs.data(), 1024), 1024u);
    block.data[0][10] = 0.0f;
    block.data[0][3] = 0.9f;
    block.data[1][5] = -0.3f;
    ASSERT_EQ(sink.WriteAudioData(block.ptrs.data(), 1024), 1024u);

    EXPECT_EQ(Peak(sink, 0).highestPosition, 1027);
    EXPECT_EQ(Peak(sink, 1).lowestPosition, 1029);
    EXPECT_EQ(sink.GetAbsPeakPosition(), 1027);
    EXPECT_EQ(sink.GetNumFramesWritten(), 2048u);
}

TEST(CPeakValueDetectVirtualFile, ChannelBeyondTheCountGivesZeros)
{
    CPeakValueDetectVirtualFile sink(44100, 16, 1);
    float samples[] = {0.5f, -0.5f};
    float* bufs[] = {samples};
    sink.WriteAudioData(bufs, 2);
    const PeakChannelData peak = Peak(sink, 1);
    EXPECT_EQ(peak.highestValue, 0.0f);
    EXPECT_EQ(peak.highestPosition, 0);
    EXPECT_EQ(peak.lowestValue, 0.0f);
    EXPECT_EQ(peak.lowestPosition, 0);
}

TEST(CPeakValueDetectVirtualFile, MeasuresEveryChannelOfAMultichannelSink)
{
    CPeakValueDetectVirtualFile sink(48000, 24, 6);
    EXPECT_EQ(sink.GetNumChannels(), 6);
    EXPECT_EQ(sink.GetSampleRate(), 48000u);
    EXPECT_EQ(sink.GetBitsPerSample(), 24);

    FloatBlock block(6, 64);
    block.data[0][1] = 0.2f;
    block.data[5][40] = -0.95f;
    ASSERT_EQ(sink.WriteAudioData(block.ptrs.data(), 64), 64u);

    const PeakChannelData peak = Peak(sink, 5);
    EXPECT_FLOAT_EQ(peak.lowestValue, -0.95f);
    EXPECT_EQ(peak.lowestPosition, 40);
    EXPECT_EQ(sink.GetAbsPeakPosition(), 40);
}

TEST(CPeakValueDetectVirtualFile, IntegerWriteMeasuresWithoutTouchingTheCallersBuffers)
{
    CPeakValueDetectVirtualFile sink(44100, 16, 3);
    // Longer than one conversion round so that frame numbering across rounds
    // is exercised too.
    const uint32_t frames = 10000;
    std::vector<std::vector<int32_t>> data(3, std::vector<int32_t>(frames, 0));
    data[0][7] = 1 << 30;       // 0.5
    data[2][9000] = -(1 << 29); // -0.25
    data[1][4097] = 3 << 28;    // 0.375
    const auto original = data;
    std::vector<int32_t*> ptrs = {data[0].data(), data[1].data(), data[2].data()};

    ASSERT_EQ(sink.WriteAudioData(ptrs.data(), frames), frames);
    EXPECT_EQ(data, original);

    EXPECT_FLOAT_EQ(Peak(sink, 0).highestValue, 0.5f);
    EXPECT_EQ(Peak(sink, 0).highestPosition, 7);
    EXPECT_FLOAT_EQ(Peak(sink, 1).highestValue, 0.375f);
    EXPECT_EQ(Peak(sink, 1).highestPosition, 4097);
    EXPECT_FLOAT_EQ(Peak(sink, 2).lowestValue, -0.25f);
    EXPECT_EQ(Peak(sink, 2).lowestPosition, 9000);

    // A second integer block continues the numbering.
    data[0][7] = 0;
    data[0][3] = INT32_MAX;
    ASSERT_EQ(sink.WriteAudioData(ptrs.data(), 8), 8u);
    EXPECT_EQ(Peak(sink, 0).highestPosition, static_cast<int64_t>(frames) + 3);
}

TEST(CPeakValueDetectVirtualFile, ResetStartsAFreshPass)
{
    CPeakValueDetectVirtualFile sink(44100, 16, 2);
    FloatBlock block(2, 16);
    block.data[1][12] = -0.8f;
    sink.WriteAudioData(block.ptrs.data(), 16);
    ASSERT_EQ(sink.GetAbsPeakPosition(), 12);

    sink.Reset();
    EXPECT_EQ(sink.GetNumFramesWritten(), 0u);
    EXPECT_EQ(Peak(sink, 1).lowestValue, 0.0f);
    EXPECT_EQ(Peak(sink, 1).lowestPosition, 0);

    block.data[1][12] = 0.0f;
    block.data[0][2] = 0.4f;
    sink.WriteAudioData(block.ptrs.data(), 16);
    EXPECT_EQ(Peak(sink, 0).highestPosition, 2);
    EXPECT_EQ(sink.GetAbsPeakPosition(), 2);
}

TEST(CPeakValueDetectVirtualFile, SinkWithoutChannelsOnlyCountsFrames)
{
    CPeakValueDetectVirtualFile sink(44100, 16, 0);
    EXPECT_EQ(sink.WriteAudioData(static_cast<float**>(nullptr), 100), 100u);
    EXPECT_EQ(sink.GetNumFramesWritten(), 100u);
    EXPECT_EQ(sink.GetAbsPeakPosition(), 0);
}

TEST(CPeakValueDetectVirtualFile, MissingChannelBufferIsRefused)
{
    CPeakValueDetectVirtualFile sink(44100, 16, 2);
    float samples[] = {0.5f};
    float* bufs[] = {samples, nullptr};
    EXPECT_EQ(sink.WriteAudioData(bufs, 1), 0u);
    EXPECT_EQ(sink.GetNumFramesWritten(), 0u);
    EXPECT_EQ(Peak(sink, 0).highestValue, 0.0f);
}
