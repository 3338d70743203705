#include "common/file/linux/CMp3StreamScanner.h"

#include "common/file/CQuickTimeFileRead.h"
#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
using rifftest::Bytes;

// An MPEG-1 layer III frame header: 128 kbit/s, 44.1 kHz, stereo, so each
// frame is 417 bytes (and a frame of the lowest rate would be 104).
void PutHeader(Bytes& b)
{
    b.insert(b.end(), {0xFF, 0xFB, 0x90, 0x00});
}

// An "Info" frame declaring the given frame count, then two silent frames.
Bytes FileWithFrameCount(uint32_t frames)
{
    Bytes b;
    PutHeader(b);
    b.resize(b.size() + 32); // side information
    rifftest::PutID(b, "Info");
    rifftest::PutBe32(b, 1); // a frame count only
    rifftest::PutBe32(b, frames);
    b.resize(417);
    for (int i = 0; i < 2; ++i)
    {
        PutHeader(b);
        b.resize(b.size() + 413);
    }
    return b;
}

// A frame count the file cannot hold (such as damage in the information
// frame) no longer sets the length: a file of three frames declared 4e9
// frames, which made it last for years of silence.
TEST(CMp3StreamScanner, FrameCountsTheFileCannotHoldAreDropped)
{
    const rifftest::TempFolder dir;
    const std::string path = (dir / "count.mp3").string();
    // 834 bytes follow the tag: at most 8 frames of the lowest bit rate.
    const struct
    {
        uint32_t declared;
        int64_t kept;
    } cases[] = {{2, 2}, {8, 8}, {9, -1}, {4000000000u, -1}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.declared);
        rifftest::WriteBytes(path, FileWithFrameCount(c.declared));
        CMp3StreamScanner scanner;
        ASSERT_TRUE(scanner.Open(path.c_str()));
        EXPECT_TRUE(scanner.HasInfoTag());
        EXPECT_EQ(scanner.GetTagFrames(), c.kept);
        EXPECT_EQ(scanner.GetAudioStart(), 417);
        EXPECT_EQ(scanner.CountFrames(), 2);

        if (!CQuickTimeFileRead::IsAvailable())
            continue;
        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(rifftest::Wide(path).c_str()), 0);
        EXPECT_EQ(reader.GetNumSamples(), 1152 * (c.kept > 0 ? c.kept : 2));
    }
}

// An ID3v2.4 tag whose album frame claims more bytes than the tag holds,
// before a few frames of audio: the tag is skipped by its own size, and the
// frames decode (through the sample-format converter) to their length.
TEST(CMp3StreamScanner, ADamagedTagBeforeAFewFramesIsSkipped)
{
    const rifftest::TempFolder dir;
    const std::string path = (dir / "talb.mp3").string();
    Bytes b = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 20};
    rifftest::PutID(b, "TALB");
    b.insert(b.end(), {0x7F, 0x7F, 0x7F, 0x7F, 0, 0, 3, 'A', 'l', 'b', 'u', 'm', 0xFF, 0xFE, 0, 0});
    ASSERT_EQ(b.size(), 30u);
    for (int i = 0; i < 3; ++i)
    {
        // 32 kbit/s at 44.1 kHz: 104 bytes.
        b.insert(b.end(), {0xFF, 0xFB, 0x10, 0x00});
        b.resize(b.size() + 100);
    }
    rifftest::WriteBytes(path, b);
    CMp3StreamScanner scanner;
    ASSERT_TRUE(scanner.Open(path.c_str()));
    EXPECT_EQ(scanner.GetAudioStart(), 30);
    EXPECT_EQ(scanner.CountFrames(), 3);

    if (!CQuickTimeFileRead::IsAvailable())
        return;
    CQuickTimeFileRead reader;
    ASSERT_EQ(reader.OpenFile(rifftest::Wide(path).c_str()), 0);
    ASSERT_EQ(reader.GetNumSamples(), 3 * 1152);
    std::vector<int32_t> left(4000, 1), right(4000, 1);
    int32_t* bufs[2] = {left.data(), right.data()};
    EXPECT_EQ(reader.ReadAudioData(bufs, 4000, 0), 3u * 1152u);
    EXPECT_FALSE(reader.AudioDataReadErrorOccured());
    EXPECT_EQ(std::count(left.begin(), left.end(), 0), 4000);
}
} // namespace
