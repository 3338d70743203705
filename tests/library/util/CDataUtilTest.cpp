#include "library/util/CDataUtil.h"
#include "library/util/CDsdUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

TEST(CDataUtil, EndianReads)
{
    const uint8_t bytes[12] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xAA, 0xBB, 0xCC, 0xDD};
    const struct
    {
        int n;
        uint64_t little;
        uint64_t big;
    } cases[] = {
        {3, 0x030201u, 0x010203u},
        {1, 0x01u, 0x01u},
        {0, 0u, 0u},
        {-5, 0u, 0u},
        {8, 0x0807060504030201ull, 0x0102030405060708ull},
        {12, 0x0807060504030201ull, 0x0102030405060708ull}, // more than 8 reads 8
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(CDataUtil::LittleEndian(bytes, c.n), c.little);
        EXPECT_EQ(CDataUtil::BigEndian(bytes, c.n), c.big);
    }
    EXPECT_EQ(CDataUtil::LittleEndian(bytes, 3), 197121u);
    EXPECT_EQ(CDataUtil::BigEndian(bytes, 3), 66051u);
    const uint8_t high[2] = {0xFF, 0xFE};
    EXPECT_EQ(CDataUtil::BigEndian(high, 2), 0xFFFEu) << "bytes are unsigned";
}

TEST(CDataUtil, EndianWritesTouchOnlyTheLowNBytes)
{
    const struct
    {
        int64_t value;
        int n;
        std::vector<uint8_t> little;
        std::vector<uint8_t> big;
    } cases[] = {
        {0x0102, 4, {0x02, 0x01, 0x00, 0x00}, {0x00, 0x00, 0x01, 0x02}},
        {0x11223344, 2, {0x44, 0x33}, {0x33, 0x44}},
        {-2, 3, {0xFE, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFE}},
        {0x0102030405060708, 8, {8, 7, 6, 5, 4, 3, 2, 1}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0x0102030405060708, 11, {8, 7, 6, 5, 4, 3, 2, 1}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0x55, 0, {}, {}},
        {0x55, -1, {}, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.n);
        uint8_t little[12];
        uint8_t big[12];
        std::memset(little, 0xEE, sizeof little);
        std::memset(big, 0xEE, sizeof big);
        CDataUtil::LittleEndian(little, c.value, c.n);
        CDataUtil::BigEndian(big, c.value, c.n);
        const size_t written = c.little.size();
        EXPECT_EQ(std::vector<uint8_t>(little, little + written), c.little);
        EXPECT_EQ(std::vector<uint8_t>(big, big + written), c.big);
        for (size_t i = written; i < sizeof little; ++i)
        {
            EXPECT_EQ(little[i], 0xEE) << i;
            EXPECT_EQ(big[i], 0xEE) << i;
        }
    }
}

TEST(CDataUtil, SecondToTime)
{
    const struct
    {
        double seconds;
        int hours;
        int minutes;
        float rest;
    } cases[] = {
        {0.0, 0, 0, 0.0f},     {59.999, 0, 0, 59.999f}, {60.0, 0, 1, 0.0f},      {3599.5, 0, 59, 59.5f},
        {3600.0, 1, 0, 0.0f},  {3725.5, 1, 2, 5.5f},    {-3.0, 0, 0, 0.0f},      {-61.5, 0, 0, 0.0f},
        {-3725.5, 0, 0, 0.0f}, {NAN, 0, 0, 0.0f},       {-INFINITY, 0, 0, 0.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.seconds);
        int hours = -7;
        int minutes = -7;
        float rest = -7.0f;
        CDataUtil::SecondToTime(c.seconds, &hours, &minutes, &rest);
        EXPECT_EQ(hours, c.hours);
        EXPECT_EQ(minutes, c.minutes);
        EXPECT_FLOAT_EQ(rest, c.rest);
    }

    // Values too large for the hour count saturate instead of overflowing.
    int hours = 0;
    int minutes = 0;
    float rest = 0.0f;
    CDataUtil::SecondToTime(1e300, &hours, &minutes, &rest);
    EXPECT_EQ(hours, INT_MAX);
    EXPECT_GE(minutes, 0);
    EXPECT_LT(minutes, 60);
}

TEST(CDataUtil, DBToAmplitude)
{
    EXPECT_EQ(CDataUtil::DBToAmplitude(0.0f), 1.0f);
    EXPECT_NEAR(CDataUtil::DBToAmplitude(-6.0206f), 0.5f, 1e-5f);
    EXPECT_NEAR(CDataUtil::DBToAmplitude(20.0f), 10.0f, 1e-5f);
    EXPECT_EQ(CDataUtil::DBToAmplitude(-INFINITY), 0.0f);
}

TEST(CDsdUtil, FillSilenceWritesThePatternInRangeAndSkipsNullChannels)
{
    for (bool pattern : {true, false})
    {
        SCOPED_TRACE(pattern);
        uint8_t left[8];
        uint8_t right[8];
        std::memset(left, 0, sizeof left);
        std::memset(right, 0, sizeof right);
        uint8_t* bufs[3] = {left, nullptr, right};
        EXPECT_EQ(CDsdUtil::FillSilence(bufs, 4, 3, 2, pattern), 4u);
        const uint8_t idle = pattern ? 0x69 : 0x96;
        const uint8_t expected[8] = {0, 0, idle, idle, idle, idle, 0, 0};
        EXPECT_EQ(std::memcmp(left, expected, 8), 0);
        EXPECT_EQ(std::memcmp(right, expected, 8), 0);
    }
}

TEST(CDsdUtil, CopySkipsNullChannelsAndHandlesOverlap)
{
    uint8_t a[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t b[8] = {0};
    uint8_t c[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    uint8_t* src[3] = {a, a, c};
    uint8_t* dst[3] = {b, nullptr, nullptr};
    EXPECT_EQ(CDsdUtil::Copy(src, dst, 3, 3, 1, 4), 3u);
    const uint8_t expectedB[8] = {0, 0, 0, 0, 2, 3, 4, 0};
    EXPECT_EQ(std::memcmp(b, expectedB, 8), 0);

    // Copy within one buffer, forwards and backwards over overlapping ranges.
    uint8_t forward[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t* fwd[1] = {forward};
    EXPECT_EQ(CDsdUtil::Copy(fwd, fwd, 5, 1, 0, 2), 5u);
    const uint8_t expectedForward[8] = {1, 2, 1, 2, 3, 4, 5, 8};
    EXPECT_EQ(std::memcmp(forward, expectedForward, 8), 0);

    uint8_t backward[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t* bwd[1] = {backward};
    EXPECT_EQ(CDsdUtil::Copy(bwd, bwd, 5, 1, 2, 0), 5u);
    const uint8_t expectedBackward[8] = {3, 4, 5, 6, 7, 6, 7, 8};
    EXPECT_EQ(std::memcmp(backward, expectedBackward, 8), 0);
}
