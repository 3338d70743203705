#include "common/file/linux/CFfmpegAudioDecoder.h"

#include "tests/common/file/RiffTestFiles.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <sys/stat.h>

extern "C"
{
#include <libavformat/avformat.h>
}

namespace
{
// The containers this program has opened.
std::atomic<int> g_containerOpens{0};
} // namespace

// Every container opening of this program comes here in place of FFmpeg's,
// which it then calls, and is counted.
extern "C" int avformat_open_input(AVFormatContext** format, const char* url, const AVInputFormat* input,
                                   AVDictionary** options)
{
    using Open = int (*)(AVFormatContext**, const char*, const AVInputFormat*, AVDictionary**);
    static const Open ffmpegOpen = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "avformat_open_input"));
    ++g_containerOpens;
    return ffmpegOpen(format, url, input, options);
}

namespace
{
using rifftest::Bytes;

uint32_t Be32(const Bytes& b, size_t at)
{
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// The offset of the payload of the first box of the type (after its
// version and flags for a full box); 0 when there is none.
size_t FindPayload(const Bytes& b, const char* type, size_t header)
{
    const auto it = std::search(b.begin(), b.end(), type, type + 4);
    return it == b.end() ? 0 : static_cast<size_t>(it - b.begin()) + 4 + header;
}

bool RunFfmpeg(const std::string& args)
{
    const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// The frames of channel 0 that n-frame reads deliver from the position on.
std::vector<int32_t> ReadChannel0(CFfmpegAudioDecoder& decoder, int64_t frames)
{
    const uint16_t channels = decoder.GetDescription().channels;
    std::vector<std::vector<int32_t>> planes(channels, std::vector<int32_t>(1000));
    std::vector<int32_t*> bufs;
    for (auto& plane : planes)
        bufs.push_back(plane.data());
    std::vector<int32_t> out;
    while (frames > 0)
    {
        const uint32_t got =
            decoder.Read(bufs.data(), static_cast<uint32_t>(std::min<int64_t>(frames, 1000)), 0);
        if (got == 0)
            break;
        out.insert(out.end(), planes[0].begin(), planes[0].begin() + got);
        frames -= got;
    }
    return out;
}

// The decoder reads regular files only, and opens them without waiting: a
// FIFO (whose open waited for a writer for good) and a link to an endless
// device (read by the demuxer until memory ran out) are refused as files
// that cannot be opened, named like the songs they stand for.
TEST(CFfmpegAudioDecoder, SpecialFilesAreRefusedUnread)
{
    if (!CFfmpegAudioDecoder::Initialise())
        GTEST_SKIP() << "the platform decoder is missing";
    const rifftest::TempFolder dir;
    const std::string fifo = (dir / "fifo.mp3").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = (dir / "zero.m4a").string();
    std::filesystem::create_symlink("/dev/zero", zero);
    for (const std::string& path : {fifo, zero, dir.Path().string()})
    {
        SCOPED_TRACE(path);
        CFfmpegAudioDecoder decoder;
        EXPECT_EQ(decoder.Open(path.c_str()), CFfmpegAudioDecoder::kCannotOpen);
        EXPECT_FALSE(decoder.IsOpen());
    }
}

// An AAC stream whose first packets don't decode begins after the target of
// a seek near the start, though the seek began at the stream's first packet:
// a decode from the start (the file opened again) finds nothing else, so the
// seek delivers the silence before the first decoded packet and what follows
// it, as a read from the start does, without opening the file again.
TEST(CFfmpegAudioDecoder, SeekFromTheFirstPacketIsNotDecodedTwice)
{
    if (!CFfmpegAudioDecoder::Initialise())
        GTEST_SKIP() << "the platform decoder is missing";
    const rifftest::TempFolder dir;
    const std::string path = (dir / "late.m4a").string();
    if (!RunFfmpeg(
            "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 -c:a aac -aac_pns 0 -b:a 64k " +
            path))
        GTEST_SKIP() << "ffmpeg is needed to make the test file";

    // The first three packets (one chunk from the first chunk offset on)
    // overwritten with 0xFF bytes, which decode to no frame.
    Bytes bytes = rifftest::ReadBytes(path);
    const size_t sizes = FindPayload(bytes, "stsz", 4);
    const size_t chunks = FindPayload(bytes, "stco", 4);
    ASSERT_TRUE(sizes != 0 && chunks != 0);
    ASSERT_EQ(Be32(bytes, sizes), 0u) << "a size per packet";
    size_t damage = 0;
    for (size_t i = 0; i < 3; ++i)
        damage += Be32(bytes, sizes + 8 + 4 * i);
    const size_t first = Be32(bytes, chunks + 4);
    ASSERT_LE(first + damage, bytes.size());
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(first), damage, uint8_t{0xFF});
    rifftest::WriteBytes(path, bytes);

    CFfmpegAudioDecoder decoder;
    ASSERT_EQ(decoder.Open(path.c_str()), CFfmpegAudioDecoder::kOpened);
    ASSERT_TRUE(decoder.StartDecoding());
    const int64_t length = decoder.GetDescription().numFrames;
    ASSERT_GT(length, 40000);
    const std::vector<int32_t> all = ReadChannel0(decoder, length);
    ASSERT_EQ(static_cast<int64_t>(all.size()), length);
    // The damaged packets are silence; the audio begins after them.
    const auto audible = std::find_if(all.begin(), all.end(), [](int32_t v) { return v != 0; });
    ASSERT_NE(audible, all.end());
    const int64_t start = audible - all.begin();
    ASSERT_GT(start, 1000);

    const int opens = g_containerOpens.load();
    for (const int64_t target : {int64_t{0}, int64_t{1000}, start - 1, start + 500})
    {
        SCOPED_TRACE(target);
        decoder.Seek(target);
        const std::vector<int32_t> part = ReadChannel0(decoder, 3000);
        ASSERT_EQ(part.size(), 3000u);
        EXPECT_TRUE(std::equal(part.begin(), part.end(), all.begin() + target));
    }
    EXPECT_EQ(g_containerOpens.load(), opens);
    EXPECT_FALSE(decoder.ReadErrorOccurred());
}

// A cover is kept as its bytes and never decoded while the streams are
// found: a picture header that claims 6000 x 6000 pixels in a file of a
// kilobyte had the picture decoder allocate and clear a frame of a hundred
// megabytes (a second to open the file).
TEST(CFfmpegAudioDecoder, CoverPicturesAreNotDecodedToOpenAFile)
{
    if (!CFfmpegAudioDecoder::Initialise())
        GTEST_SKIP() << "the platform decoder is missing";
    const rifftest::TempFolder dir;
    const std::string png = (dir / "cover.png").string();
    const std::string path = (dir / "cover.m4a").string();
    if (!RunFfmpeg("-f lavfi -i color=c=red:s=4x4:d=1 -frames:v 1 " + png) ||
        !RunFfmpeg("-f lavfi -i sine=frequency=440:sample_rate=44100:duration=0.1 -i " + png +
                   " -map 0:a -map 1:v -c:a aac -b:a 32k -c:v copy -disposition:v attached_pic " + path))
        GTEST_SKIP() << "ffmpeg is needed to make the test file";

    // The cover's header made to claim 6000 x 6000 pixels.
    Bytes bytes = rifftest::ReadBytes(path);
    const size_t header = FindPayload(bytes, "IHDR", 0);
    ASSERT_NE(header, 0u);
    for (const size_t at : {header, header + 4})
    {
        bytes[at] = 0;
        bytes[at + 1] = 0;
        bytes[at + 2] = 0x17;
        bytes[at + 3] = 0x70;
    }
    rifftest::WriteBytes(path, bytes);
    const size_t coverSize = rifftest::ReadBytes(png).size();

    CFfmpegAudioDecoder decoder;
    const bool counted = TestSupport::ThreadAllocationCounter::Available();
    TestSupport::ThreadAllocationCounter::Start();
    ASSERT_EQ(decoder.Open(path.c_str()), CFfmpegAudioDecoder::kOpened);
    TestSupport::ThreadAllocationCounter::Stop();
    EXPECT_EQ(decoder.GetCoverPicture().size(), coverSize);
    EXPECT_TRUE(decoder.StartDecoding());
    // Nothing the opening needs comes near the frame the header claims.
    if (counted)
        EXPECT_LT(TestSupport::ThreadAllocationCounter::Largest(), size_t{16} << 20);
}
} // namespace
