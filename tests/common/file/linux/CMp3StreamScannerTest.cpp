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

// An "Info" frame declaring the given frame count (and byte count, unless
// 0), then two silent frames.
Bytes FileWithFrameCount(uint32_t frames, uint32_t bytes = 0)
{
    Bytes b;
    PutHeader(b);
    b.resize(b.size() + 32); // side information
    rifftest::PutID(b, "Info");
    rifftest::PutBe32(b, bytes != 0 ? 3 : 1); // a frame count, and a byte count
    rifftest::PutBe32(b, frames);
    if (bytes != 0)
        rifftest::PutBe32(b, bytes);
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
// A frame count the file cannot hold, beside a byte count that agrees with
// it and runs past the end, means the file was cut: the tag's count is kept
// (and the decoder's read of the missing frames is an error). A byte count
// that disagrees with the frame count leaves the count for damage.
TEST(CMp3StreamScanner, AFrameCountConfirmedByTheByteCountIsKept)
{
    const rifftest::TempFolder dir;
    const std::string path = (dir / "bytes.mp3").string();
    const struct
    {
        uint32_t frames;
        uint32_t bytes;
        int64_t kept;
    } cases[] = {
        {100, 100 * 417, 100},
        {100, 1251, -1},       // fits the file: the count disagrees
        {100, 100 * 2000, -1}, // larger frames than layer III has
        {4000000000u, 0xFFFFFFFFu, -1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.frames) + " frames, " + std::to_string(c.bytes) + " bytes");
        rifftest::WriteBytes(path, FileWithFrameCount(c.frames, c.bytes));
        CMp3StreamScanner scanner;
        ASSERT_TRUE(scanner.Open(path.c_str()));
        EXPECT_EQ(scanner.GetTagFrames(), c.kept);
        EXPECT_EQ(scanner.CountFrames(), 2);
    }
}

// An MP3 file with an information tag cut to any part of its length keeps
// the tag's length and reports the missing part as a read error: a file cut
// to less than a sixth (where the rest could not hold the frames even at
// the lowest bit rate) read as a complete shorter file.
TEST(CMp3StreamScanner, ACutFileKeepsItsLengthAndReportsTheMissingPart)
{
    if (!rifftest::HaveTool("ffmpeg") || !CQuickTimeFileRead::IsAvailable())
        GTEST_SKIP() << "ffmpeg and the platform decoder are needed";
    const rifftest::TempFolder dir;
    const std::string whole = (dir / "whole.mp3").string();
    ASSERT_EQ(rifftest::RunQuietly("ffmpeg -nostdin -y -f lavfi -i sine=frequency=440:sample_rate=44100:d=10"
                                   " -ac 2 -c:a libmp3lame -b:a 192k " +
                                   whole),
              0);
    const Bytes bytes = rifftest::ReadBytes(whole);
    for (const int percent : {5, 15, 50})
    {
        SCOPED_TRACE(std::to_string(percent) + " %");
        const std::string cut = (dir / "cut.mp3").string();
        rifftest::WriteBytes(cut, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(
                                                                           bytes.size() * percent / 100)));
        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(rifftest::Wide(cut).c_str()), 0);
        EXPECT_EQ(reader.GetNumSamples(), 441000);
        std::vector<int32_t> left(441000 + 10), right(441000 + 10);
        int32_t* bufs[2] = {left.data(), right.data()};
        EXPECT_EQ(reader.ReadAudioData(bufs, 441010, 0), 441000u);
        EXPECT_TRUE(reader.AudioDataReadErrorOccured());
        // The part that is there sounds; the rest is silence.
        const size_t there = 441000u * static_cast<size_t>(percent) / 100 - 20000;
        EXPECT_NE(std::count(left.begin(), left.begin() + static_cast<std::ptrdiff_t>(there), 0),
                  static_cast<std::ptrdiff_t>(there));
        EXPECT_EQ(std::count(left.end() - 100000, left.end(), 0), 100000);
    }
}
} // namespace
