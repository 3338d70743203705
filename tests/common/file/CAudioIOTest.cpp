#include "common/file/CAudioPlayerInput.h"

#include <gtest/gtest.h>

namespace
{
// A source that only knows its format and position.
class FakeSource : public CAudioPlayerInput
{
public:
    FakeSource(uint32_t rate, int64_t frames) : m_rate(rate), m_frames(frames) {}
    uint32_t GetSampleRate() override { return m_rate; }
    uint16_t GetBitsPerSample() override { return 16; }
    uint16_t GetNumChannels() override { return 2; }
    int64_t GetNumSamples() override { return m_frames; }
    int64_t GetCurSamplePosition() override { return m_pos; }
    void SetCurSamplePosition(int64_t frame) override { m_pos = frame; }

private:
    uint32_t m_rate;
    int64_t m_frames;
    int64_t m_pos = 0;
};
} // namespace

TEST(CAudioPlayerInput, DefaultTimesAndPositions)
{
    FakeSource zeroRate(0, 1000);
    zeroRate.SetCurSamplePosition(10);
    EXPECT_EQ(zeroRate.GetTotalTimeSecond(), 0.0);
    EXPECT_EQ(zeroRate.GetCurTimeSecond(), 0.0);
    EXPECT_EQ(zeroRate.GetCurPositionPercent(), 0.0);
    EXPECT_EQ(zeroRate.SetCurTimeSecond(3.0), 0.0);

    FakeSource source(44100, 1001);
    EXPECT_DOUBLE_EQ(source.SetCurTimeSecond(1.5), 1.5);
    EXPECT_EQ(source.GetCurSamplePosition(), 66150);
    source.SetCurPositionPercent(50);
    EXPECT_EQ(source.GetCurSamplePosition(), 500);
    source.SetCurSamplePosition(5000);
    EXPECT_EQ(source.GetNumSamplesLeft(), 0);
    EXPECT_EQ(source.GetBitRate(), 44100u * 16 * 2);

    int h = -1, m = -1;
    float s = -1;
    FakeSource hour(44100, 44100LL * 3725 + 22050);
    hour.GetTotalTime(&h, &m, &s);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(m, 2);
    EXPECT_FLOAT_EQ(s, 5.5f);
}

TEST(CAudioPlayerInput, DefaultReadsDeliverSilence)
{
    FakeSource source(44100, 100);
    float left[8], right[8];
    std::fill(std::begin(left), std::end(left), 1.0f);
    std::fill(std::begin(right), std::end(right), 1.0f);
    float* f[] = {left, right};
    EXPECT_EQ(source.ReadAudioData(f, 6, 2), 0u);
    EXPECT_EQ(left[0], 1.0f);
    EXPECT_EQ(left[2], 0.0f);
    EXPECT_EQ(right[7], 0.0f);

    uint8_t a[4] = {1, 1, 1, 1}, b[4] = {1, 1, 1, 1};
    uint8_t* d[] = {a, b};
    EXPECT_EQ(source.ReadAudioData(d, 16, 8), 0u);
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[1], 0x96);
    EXPECT_EQ(b[2], 0x96);
    EXPECT_EQ(b[3], 1);
}
