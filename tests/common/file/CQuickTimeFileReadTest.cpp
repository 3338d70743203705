#include "common/file/CQuickTimeFileRead.h"
#include "tests/support/TempFolder.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <sys/inotify.h>
#include <unistd.h>

extern "C"
{
#include <libavutil/channel_layout.h>

    // Under AddressSanitizer: whether p is a block the allocator handed out.
    int __sanitizer_get_ownership(const volatile void* p) __attribute__((weak));
}

namespace
{
// Channel-layout copies whose destination held no layout (see below).
std::atomic<int> g_copiesOverGarbage{0};

// What a copy's destination must hold, since the copy first frees it: a
// layout of a known order, whose custom map (if any) is a live block.
bool HoldsALayout(const AVChannelLayout& layout)
{
    // Read as a number: garbage need not be a value of the enumeration.
    int order = 0;
    std::memcpy(&order, &layout.order, sizeof(order));
    switch (order)
    {
    case AV_CHANNEL_ORDER_UNSPEC:
    case AV_CHANNEL_ORDER_NATIVE:
    case AV_CHANNEL_ORDER_AMBISONIC:
        return true;
    case AV_CHANNEL_ORDER_CUSTOM:
        return layout.u.map == nullptr || __sanitizer_get_ownership == nullptr ||
               __sanitizer_get_ownership(layout.u.map) != 0;
    default:
        return false;
    }
}
} // namespace

// Every channel-layout copy of this program comes here in place of
// FFmpeg's, which it then calls: a destination that holds no layout is
// counted (and cleared, so that the copy frees nothing it shouldn't).
extern "C" int av_channel_layout_copy(AVChannelLayout* dst, const AVChannelLayout* src)
{
    using Copy = int (*)(AVChannelLayout*, const AVChannelLayout*);
    static const Copy ffmpegCopy = reinterpret_cast<Copy>(dlsym(RTLD_NEXT, "av_channel_layout_copy"));
    if (!HoldsALayout(*dst))
    {
        ++g_copiesOverGarbage;
        std::memset(dst, 0, sizeof(*dst));
    }
    return ffmpegCopy(dst, src);
}

namespace
{
using Planar = std::vector<std::vector<int32_t>>;

// The test signal: two tones and a chirp per channel, so that the codecs have
// something to code in every band and a misplaced frame shows.
std::string Source(uint32_t rate, const char* seconds = "1.5")
{
    return "-f lavfi -i 'aevalsrc=0.5*sin(2*PI*440*t)+0.25*sin(2*PI*(1000+2000*t)*t)|"
           "0.4*sin(2*PI*660*t)+0.2*sin(2*PI*5000*t)+0.1*sin(2*PI*(200+3000*t)*t):s=" +
           std::to_string(rate) + ":d=" + seconds + "'";
}

bool RunFfmpeg(const std::string& args)
{
    const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

std::wstring Wide(const std::string& utf8)
{
    return juce::String::fromUTF8(utf8.c_str()).toWideCharPointer();
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, size_t count = SIZE_MAX)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(std::min(count, bytes.size())));
}

// Boxes of the MP4 files ffmpeg writes, found by their type: the offset of
// the type (the box's size is the 4 bytes before it); 0 when not found.
size_t FindBox(const std::vector<uint8_t>& bytes, const char* type)
{
    const auto it = std::search(bytes.begin(), bytes.end(), type, type + 4);
    return it == bytes.end() ? size_t{0} : static_cast<size_t>(it - bytes.begin());
}

uint32_t GetBe32(const std::vector<uint8_t>& bytes, size_t at)
{
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) | (uint32_t{bytes[at + 2]} << 8) |
           bytes[at + 3];
}

void SetBe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

std::vector<uint8_t> Box(const char* type, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> box(8);
    SetBe32(box, 0, static_cast<uint32_t>(payload.size() + 8));
    std::memcpy(box.data() + 4, type, 4);
    box.insert(box.end(), payload.begin(), payload.end());
    return box;
}

std::vector<uint8_t> FullBoxText(const char* type, uint32_t versionAndFlags, const std::string& text)
{
    std::vector<uint8_t> payload(4);
    SetBe32(payload, 0, versionAndFlags);
    payload.insert(payload.end(), text.begin(), text.end());
    return Box(type, payload);
}

// Adds iTunes gapless information to the item list of a file whose movie
// box comes after its media data (nothing before the list moves).
void AddGaplessInfo(std::vector<uint8_t>& bytes, const std::string& text)
{
    std::vector<uint8_t> item = FullBoxText("mean", 0, "com.apple.iTunes");
    const std::vector<uint8_t> name = FullBoxText("name", 0, "iTunSMPB");
    // A data box: type 1 (text) and a locale of 0 before the text.
    std::vector<uint8_t> data = FullBoxText("data", 1, std::string(4, '\0') + text);
    item.insert(item.end(), name.begin(), name.end());
    item.insert(item.end(), data.begin(), data.end());
    item = Box("----", item);
    for (const char* type : {"moov", "udta", "meta", "ilst"})
    {
        const size_t at = FindBox(bytes, type);
        ASSERT_GT(at, 4u) << type;
        SetBe32(bytes, at - 4, GetBe32(bytes, at - 4) + static_cast<uint32_t>(item.size()));
    }
    const size_t ilst = FindBox(bytes, "ilst") - 4;
    const size_t end = ilst + GetBe32(bytes, ilst) - item.size();
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(end), item.begin(), item.end());
}

// The whole file through the reader, in blocks of an odd size.
Planar DecodeAll(CQuickTimeFileRead& reader, uint32_t block = 1000)
{
    const uint16_t channels = reader.GetNumChannels();
    Planar out(channels);
    std::vector<std::vector<int32_t>> buf(channels, std::vector<int32_t>(block));
    std::vector<int32_t*> ptrs;
    for (auto& b : buf)
        ptrs.push_back(b.data());
    for (;;)
    {
        const uint32_t got = reader.ReadAudioData(ptrs.data(), block, 0);
        for (uint16_t c = 0; c < channels; ++c)
            out[c].insert(out[c].end(), buf[c].begin(), buf[c].begin() + got);
        if (got < block)
            break;
    }
    return out;
}

Planar ReadFrames(CQuickTimeFileRead& reader, uint32_t n, uint32_t* got)
{
    const uint16_t channels = reader.GetNumChannels();
    Planar out(channels, std::vector<int32_t>(n, 0x5A5A5A5A));
    std::vector<int32_t*> ptrs;
    for (auto& b : out)
        ptrs.push_back(b.data());
    *got = reader.ReadAudioData(ptrs.data(), n, 0);
    return out;
}

// Frames start .. start+n-1 of every channel agree.
::testing::AssertionResult SameFrames(const Planar& a, int64_t aStart, const Planar& b, int64_t bStart,
                                      int64_t n)
{
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << "channel counts " << a.size() << " and " << b.size();
    for (size_t c = 0; c < a.size(); ++c)
        for (int64_t i = 0; i < n; ++i)
            if (a[c][static_cast<size_t>(aStart + i)] != b[c][static_cast<size_t>(bStart + i)])
                return ::testing::AssertionFailure()
                       << "channel " << c << " frame " << i << ": " << a[c][static_cast<size_t>(aStart + i)]
                       << " vs " << b[c][static_cast<size_t>(bStart + i)];
    return ::testing::AssertionSuccess();
}

struct FixtureRow
{
    const char* file;
    std::string args; // inputs and codec options of the ffmpeg command
    int openResult;
    const char* formatId;
    uint16_t bits;
    bool vbr;
    bool lossless;
    uint16_t channels;
    uint32_t rate;
    // The length the source had, when the format records it; -1 otherwise.
    int64_t length;
    const char* title;
    const char* artist;
    const char* genre;
    const char* recDate; // null: the file's time stamp
    const char* recTime;
    // The bit rate the stream declares; 0: not checked.
    uint32_t bitRate;
};

const std::string kTags = " -metadata title='Song Tïtle' -metadata artist=Artist -metadata album=Album"
                          " -metadata album_artist='Album Artist' -metadata genre=Rock";

// The AAC files are coded without perceptual noise substitution: its noise
// comes from the decoder's random generator, which only a decode from the
// start reproduces (see AacNoiseSubstitution... below).
std::vector<FixtureRow> Rows()
{
    const std::string s44 = Source(44100);
    return {
        {"cbr.mp3", s44 + " -c:a libmp3lame -b:a 128k -metadata date=2009-03-05" + kTags, 0, "MP3", 32, false,
         false, 2, 44100, 66150, "Song Tïtle", "Artist", "Rock", "2009-03-05", "", 128000u},
        {"vbr.mp3", s44 + " -c:a libmp3lame -q:a 2", 0, "MP3", 32, true, false, 2, 44100, 66150, "", "", "",
         nullptr, "", 0u},
        {"noxing.mp3", s44 + " -c:a libmp3lame -b:a 128k -write_xing 0", 0, "MP3", 32, false, false, 2, 44100,
         -1, "", "", "", nullptr, "", 128000u},
        {"noxingvbr.mp3", s44 + " -c:a libmp3lame -q:a 2 -write_xing 0", 0, "MP3", 32, true, false, 2, 44100,
         -1, "", "", "", nullptr, "", 0u},
        {"mono48.mp3", Source(48000) + " -ac 1 -c:a libmp3lame -b:a 96k", 0, "MP3", 32, false, false, 1,
         48000, 72000, "", "", "", nullptr, "", 96000u},
        {"cover.mp3",
         s44 + " -i cover.png -map 0:a -map 1:v -c:a libmp3lame -b:a 128k -c:v copy -id3v2_version 3"
               " -metadata:s:v comment='Cover (front)' -metadata date=2009",
         0, "MP3", 32, false, false, 2, 44100, 66150, "", "", "", "2009-  -  ", "", 128000u},
        {"aac.m4a", s44 + " -c:a aac -aac_pns 0 -b:a 128k -metadata date=2008-05-01T12:34:56Z" + kTags, 0,
         "AAC", 32, false, false, 2, 44100, 66150, "Song Tïtle", "Artist", "Rock", "2008-05-01", "12:34:56",
         0u},
        {"cover.m4a",
         s44 + " -i cover.png -map 0:a -map 1:v -c:a aac -aac_pns 0 -c:v copy -disposition:v:0 attached_pic",
         0, "AAC", 32, false, false, 2, 44100, 66150, "", "", "", nullptr, "", 0u},
        // 3.68 s at 48 kHz: the edit list (in milliseconds) doesn't hold
        // the exact length, the sample table does.
        {"aac48.m4a", Source(48000, "4") + " -ac 1 -af atrim=end_sample=176737 -c:a aac -aac_pns 0", 0, "AAC",
         32, false, false, 1, 48000, 176737, "", "", "", nullptr, "", 0u},
        {"alac16.m4a", s44 + " -c:a alac -sample_fmt s16p", 0, "ALAC", 16, true, true, 2, 44100, 66150, "",
         "", "", nullptr, "", 0u},
        {"alac24.m4a", Source(96000, "0.75") + " -c:a alac -sample_fmt s32p", 0, "ALAC", 24, true, true, 2,
         96000, 72000, "", "", "", nullptr, "", 0u},
        {"wma2.wma",
         s44 +
             " -c:a wmav2 -b:a 128k -metadata title=WmaTitle -metadata artist=WmaArtist -metadata genre=Jazz"
             " -metadata date=2007",
         0, "WMA", 32, false, false, 2, 44100, -1, "WmaTitle", "WmaArtist", "Jazz", "2007-  -  ", "",
         128000u},
        // Refused: codec, rate, channels, a video track beside the audio.
        {"wma1.wma", s44 + " -c:a wmav1", 3, "", 0, false, false, 0, 0, 0, "", "", "", nullptr, "", 0u},
        {"rate32k.mp3", Source(32000) + " -c:a libmp3lame", 3, "", 0, false, false, 0, 0, 0, "", "", "",
         nullptr, "", 0u},
        {"mono22k.m4a", Source(22050) + " -ac 1 -c:a aac", 3, "", 0, false, false, 0, 0, 0, "", "", "",
         nullptr, "", 0u},
        {"six.m4a", Source(48000) + " -ac 6 -c:a aac", 3, "", 0, false, false, 0, 0, 0, "", "", "", nullptr,
         "", 0u},
        {"video.mp4", "-f lavfi -i testsrc=s=64x48:d=1.5:r=10 " + s44 + " -c:v mpeg4 -c:a aac", 2, "", 0,
         false, false, 0, 0, 0, "", "", "", nullptr, "", 0u},
    };
}

class CQuickTimeFileReadTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = std::make_unique<vxtest::TempFolder>("vextal_qtread");
        if (!s_folder->IsValid() || std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
            return;
        s_dir = s_folder->Path().string();
        std::ofstream(s_dir + "/text.mp3") << "This is not a compressed audio file at all.\n";
        s_ready = RunFfmpeg("-f lavfi -i color=c=red:s=16x16 -frames:v 1 " + s_dir + "/cover.png");
    }

    static void TearDownTestSuite()
    {
        s_folder.reset();
        s_dir.clear();
        s_ready = false;
        s_sequential.clear();
    }

    void SetUp() override
    {
        if (!s_ready)
            GTEST_SKIP() << "ffmpeg is needed to make the test files";
        ASSERT_TRUE(CQuickTimeFileRead::IsAvailable());
    }

    // The path of a file in the test folder; a file of the table is made at
    // the first call.
    static std::string PathOf(const char* file)
    {
        const std::string path = s_dir + "/" + file;
        if (std::filesystem::exists(path))
            return path;
        for (const FixtureRow& row : Rows())
        {
            if (std::strcmp(row.file, file) != 0)
                continue;
            std::string args = row.args;
            const size_t at = args.find("-i cover.png");
            if (at != std::string::npos)
                args.replace(at, 12, "-i " + s_dir + "/cover.png");
            EXPECT_TRUE(RunFfmpeg(args + " " + path)) << file;
        }
        return path;
    }

    static std::vector<FixtureRow> Decodable()
    {
        std::vector<FixtureRow> out;
        for (const FixtureRow& row : Rows())
            if (row.openResult == 0)
                out.push_back(row);
        return out;
    }

    // A read of the whole file from the start, kept for comparisons.
    static const Planar& Sequential(const char* file)
    {
        auto it = s_sequential.find(file);
        if (it == s_sequential.end())
        {
            CQuickTimeFileRead reader;
            Planar all;
            if (reader.OpenFile(Wide(PathOf(file)).c_str()) == 0)
                all = DecodeAll(reader);
            it = s_sequential.emplace(file, std::move(all)).first;
        }
        return it->second;
    }

    // The decode of the file by the ffmpeg command.
    static Planar ReferenceDecode(const char* file, uint16_t channels)
    {
        const std::string raw = PathOf(file) + ".raw";
        Planar out(channels);
        if (!RunFfmpeg("-threads 1 -i " + PathOf(file) + " -vn -f s32le -c:a pcm_s32le " + raw))
            return out;
        const std::vector<uint8_t> bytes = ReadBytes(raw);
        std::remove(raw.c_str());
        const size_t frames = bytes.size() / (4u * channels);
        for (uint16_t c = 0; c < channels; ++c)
        {
            out[c].resize(frames);
            for (size_t i = 0; i < frames; ++i)
                std::memcpy(&out[c][i], bytes.data() + (i * channels + c) * 4, 4);
        }
        return out;
    }

    static std::unique_ptr<vxtest::TempFolder> s_folder;
    static std::string s_dir;
    static bool s_ready;
    static std::map<std::string, Planar> s_sequential;
};

std::unique_ptr<vxtest::TempFolder> CQuickTimeFileReadTest::s_folder;
std::string CQuickTimeFileReadTest::s_dir;
bool CQuickTimeFileReadTest::s_ready = false;
std::map<std::string, Planar> CQuickTimeFileReadTest::s_sequential;

TEST_F(CQuickTimeFileReadTest, FixtureTableOpensDescribesAndTags)
{
    for (const FixtureRow& row : Rows())
    {
        SCOPED_TRACE(row.file);
        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(Wide(PathOf(row.file)).c_str()), row.openResult);
        if (row.openResult != 0)
        {
            EXPECT_STREQ(reader.GetFormatUniqueID(), "");
            EXPECT_EQ(reader.GetNumSamples(), 0);
            continue;
        }
        EXPECT_STREQ(reader.GetFormatUniqueID(), row.formatId);
        EXPECT_EQ(reader.GetBitsPerSample(), row.bits);
        EXPECT_EQ(reader.IsVBR(), row.vbr);
        EXPECT_EQ(reader.IsLossless(), row.lossless);
        EXPECT_TRUE(reader.IsCompressed());
        EXPECT_FALSE(reader.IsFloatingPoint());
        EXPECT_FALSE(reader.IsProcessingInternally());
        EXPECT_EQ(reader.GetNumChannels(), row.channels);
        EXPECT_EQ(reader.GetSampleRate(), row.rate);
        if (row.length >= 0)
        {
            EXPECT_EQ(reader.GetNumSamples(), row.length);
        }
        EXPECT_EQ(reader.GetCurSamplePosition(), 0);
        EXPECT_EQ(reader.GetAbsStartSample(), 0);
        EXPECT_EQ(reader.GetMarkerPtr()->GetNumMarkers(), 0);
        EXPECT_GT(reader.GetBitRate(), 0u);
        if (row.bitRate != 0)
        {
            EXPECT_EQ(reader.GetBitRate(), row.bitRate);
        }

        CAudioMetaData* meta = reader.GetMetaDataPtr();
        EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kTitle)->GetReadPtrChar(), row.title);
        EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kArtist)->GetReadPtrChar(), row.artist);
        EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kGenre)->GetReadPtrChar(), row.genre);
        EXPECT_FALSE(meta->GetStringPtr(CAudioMetaData::kEncodingSoftware)->IsEmpty());
        if (std::strcmp(row.title, "Song Tïtle") == 0)
        {
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kAlbum)->GetReadPtrChar(), "Album");
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kAlbumArtist)->GetReadPtrChar(), "Album Artist");
        }
        // Without a date in the tags the file's time stamp stands in.
        EXPECT_TRUE(meta->IsRecDateAvailable());
        if (row.recDate != nullptr)
        {
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kRecDate)->GetReadPtrChar(), row.recDate);
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kRecTime)->GetReadPtrChar(), row.recTime);
        }
    }

    for (const char* file : {"missing.mp3", "text.mp3"})
    {
        CQuickTimeFileRead reader;
        EXPECT_EQ(reader.OpenFile(Wide(PathOf(file)).c_str()), 2) << file;
    }
    CQuickTimeFileRead reader;
    EXPECT_EQ(reader.OpenFile(L""), 2);
    EXPECT_EQ(reader.OpenFile(Wide(s_dir).c_str()), 2);
}

TEST_F(CQuickTimeFileReadTest, ClosedReaderReportsDefaultsAndSilence)
{
    CQuickTimeFileRead reader;
    EXPECT_EQ(reader.GetSampleRate(), 44100u);
    EXPECT_EQ(reader.GetNumChannels(), 2);
    EXPECT_STREQ(reader.GetFormatUniqueID(), "");
    EXPECT_EQ(reader.GetNumSamples(), 0);
    EXPECT_EQ(reader.GetAttachedPictureSize(), 0u);
    uint32_t got = 1;
    const Planar out = ReadFrames(reader, 64, &got);
    EXPECT_EQ(got, 0u);
    for (const auto& channel : out)
        EXPECT_TRUE(std::all_of(channel.begin(), channel.end(), [](int32_t v) { return v == 0; }));

    // Closing after an open returns to the same state.
    ASSERT_EQ(reader.OpenFile(Wide(PathOf("aac.m4a")).c_str()), 0);
    reader.CloseFile();
    EXPECT_EQ(reader.GetNumSamples(), 0);
    EXPECT_STREQ(reader.GetFormatUniqueID(), "");
    EXPECT_TRUE(reader.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kTitle)->IsEmpty());
}

// The declared length is what a read from the start delivers, and the samples
// are those of the ffmpeg command's own decode of the file.
TEST_F(CQuickTimeFileReadTest, LengthEqualsDeliveredFramesAndMatchesReferenceDecode)
{
    for (const FixtureRow& row : Decodable())
    {
        SCOPED_TRACE(row.file);
        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(Wide(PathOf(row.file)).c_str()), 0);
        const int64_t length = reader.GetNumSamples();
        const Planar all = DecodeAll(reader, 1000);
        ASSERT_EQ(static_cast<int64_t>(all[0].size()), length);
        EXPECT_EQ(reader.GetCurSamplePosition(), length);
        EXPECT_EQ(reader.GetNumSamplesLeft(), 0);
        EXPECT_FALSE(reader.AudioDataReadErrorOccured());

        const Planar reference = ReferenceDecode(row.file, row.channels);
        const int64_t referenceLength = static_cast<int64_t>(reference[0].size());
        // The command trims the AAC priming but not the padding after the
        // last frame; everything else it delivers to the same length.
        if (std::strcmp(row.formatId, "AAC") == 0)
            EXPECT_GT(referenceLength, length);
        else
            EXPECT_EQ(referenceLength, length);
        EXPECT_TRUE(SameFrames(all, 0, reference, 0, std::min(length, referenceLength)));

        // Not silence: the codec delivered the signal.
        int32_t peak = 0;
        for (int32_t v : all[0])
            peak = std::max(peak, v < 0 ? -(v + 1) : v);
        EXPECT_GT(peak, 1 << 29);
    }
}

TEST_F(CQuickTimeFileReadTest, SeeksGiveTheSamplesOfASequentialRead)
{
    for (const FixtureRow& row : Decodable())
    {
        SCOPED_TRACE(row.file);
        const Planar& all = Sequential(row.file);
        ASSERT_FALSE(all.empty());
        const int64_t length = static_cast<int64_t>(all[0].size());
        ASSERT_GT(length, 44100);
        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(Wide(PathOf(row.file)).c_str()), 0);
        ASSERT_EQ(reader.GetNumSamples(), length);

        // Forward and backward, far and near, the last frame, and reads that
        // carry on after a seek.
        for (int64_t target :
             {int64_t{44100}, int64_t{0}, int64_t{1152}, int64_t{1151}, length - 1, int64_t{1}, length / 2,
              int64_t{44100}, length / 2 + 5000, int64_t{2000}, length - 3000})
        {
            SCOPED_TRACE(target);
            reader.SetCurSamplePosition(target);
            ASSERT_EQ(reader.GetCurSamplePosition(), target);
            uint32_t got = 0;
            const Planar part = ReadFrames(reader, 3000, &got);
            const int64_t expected = std::min<int64_t>(3000, length - target);
            ASSERT_EQ(got, expected);
            EXPECT_TRUE(SameFrames(part, 0, all, target, expected));
            EXPECT_EQ(reader.GetCurSamplePosition(), target + expected);
            if (target + 6000 <= length)
            {
                const Planar more = ReadFrames(reader, 3000, &got);
                EXPECT_TRUE(SameFrames(more, 0, all, target + 3000, 3000));
            }
        }

        // A second seek without a read between, back into the stretch the
        // first one decodes to run up to its target.
        for (int64_t back : {int64_t{100}, int64_t{9030}, int64_t{11900}})
        {
            SCOPED_TRACE(back);
            reader.SetCurSamplePosition(50000);
            reader.SetCurSamplePosition(50000 - back);
            uint32_t got = 0;
            const Planar part = ReadFrames(reader, 3000, &got);
            ASSERT_EQ(got, 3000u);
            EXPECT_TRUE(SameFrames(part, 0, all, 50000 - back, 3000));
        }

        // Positions outside the file are limited to it.
        reader.SetCurSamplePosition(-50);
        EXPECT_EQ(reader.GetCurSamplePosition(), 0);
        reader.SetCurSamplePosition(length + 50);
        EXPECT_EQ(reader.GetCurSamplePosition(), length);
        uint32_t got = 1;
        const Planar past = ReadFrames(reader, 16, &got);
        EXPECT_EQ(got, 0u);
        EXPECT_EQ(past[0][0], 0);
    }
}

// Bands coded as noise are filled from the decoder's random generator, so
// after a seek they differ from a read from the start; the rest is exact. A
// seek gives the same samples whatever was read before it.
TEST_F(CQuickTimeFileReadTest, AacNoiseSubstitutionIsTheOnlyDifferenceAfterASeek)
{
    ASSERT_TRUE(RunFfmpeg(Source(44100) + " -c:a aac -aac_pns 1 -b:a 96k " + PathOf("pns.m4a")));
    const Planar& all = Sequential("pns.m4a");
    ASSERT_FALSE(all.empty());
    CQuickTimeFileRead reader;
    ASSERT_EQ(reader.OpenFile(Wide(PathOf("pns.m4a")).c_str()), 0);
    const int64_t target = 30000;
    const uint32_t n = 8192;

    // Signal to difference in dB over n frames of channel 0, with b shifted.
    auto snr = [&](const Planar& a, int64_t shift)
    {
        double signal = 0;
        double noise = 0;
        for (uint32_t i = 0; i < n; ++i)
        {
            const double x = all[0][static_cast<size_t>(target + i)];
            const double d = x - a[0][static_cast<size_t>(i + shift)];
            signal += x * x;
            noise += d * d;
        }
        return noise == 0 ? 1000.0 : 10.0 * std::log10(signal / noise);
    };

    uint32_t got = 0;
    reader.SetCurSamplePosition(target);
    const Planar first = ReadFrames(reader, n + 1, &got);
    reader.SetCurSamplePosition(50000);
    ReadFrames(reader, 3000, &got);
    reader.SetCurSamplePosition(target);
    const Planar again = ReadFrames(reader, n + 1, &got);
    EXPECT_TRUE(SameFrames(first, 0, again, 0, n));

    // Off by one frame the difference would be far larger than the noise.
    EXPECT_GT(snr(first, 0), 60.0);
    EXPECT_LT(snr(first, 1), 20.0);
}

TEST_F(CQuickTimeFileReadTest, ExtractDataWindowsTheFile)
{
    for (const char* file : {"cbr.mp3", "aac.m4a", "wma2.wma", "alac16.m4a"})
    {
        SCOPED_TRACE(file);
        const Planar& all = Sequential(file);
        ASSERT_FALSE(all.empty());
        const int64_t length = static_cast<int64_t>(all[0].size());
        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(Wide(PathOf(file)).c_str()), 0);

        reader.ExtractData(1000, 5000);
        EXPECT_EQ(reader.GetNumSamples(), 4000);
        EXPECT_EQ(reader.GetAbsStartSample(), 1000);
        EXPECT_EQ(reader.GetAbsStopSample(), 5000);
        EXPECT_EQ(reader.GetCurSamplePosition(), 0);
        uint32_t got = 0;
        Planar part = ReadFrames(reader, 4096, &got);
        ASSERT_EQ(got, 4000u);
        EXPECT_TRUE(SameFrames(part, 0, all, 1000, 4000));
        // The rest of the request is silence.
        for (const auto& channel : part)
            EXPECT_TRUE(std::all_of(channel.begin() + 4000, channel.end(), [](int32_t v) { return v == 0; }));
        EXPECT_EQ(reader.GetCurAbsSamplePosition(), 5000);

        reader.SetCurSamplePosition(3000);
        EXPECT_EQ(reader.GetCurAbsSamplePosition(), 4000);
        part = ReadFrames(reader, 2000, &got);
        ASSERT_EQ(got, 1000u);
        EXPECT_TRUE(SameFrames(part, 0, all, 4000, 1000));
        reader.SetCurSamplePosition(9000);
        EXPECT_EQ(reader.GetCurSamplePosition(), 4000);

        // An end at or before the start gives an empty window; an end below 0
        // reads to the end.
        reader.ExtractData(44100, 500);
        EXPECT_EQ(reader.GetNumSamples(), 0);
        part = ReadFrames(reader, 1500, &got);
        EXPECT_EQ(got, 0u);
        reader.ExtractData(44100, -1);
        EXPECT_EQ(reader.GetNumSamples(), length - 44100);
        part = ReadFrames(reader, 1500, &got);
        ASSERT_EQ(got, 1500u);
        EXPECT_TRUE(SameFrames(part, 0, all, 44100, 1500));
        reader.ExtractData(-20, -1);
        EXPECT_EQ(reader.GetAbsStartSample(), 0);
        EXPECT_EQ(reader.GetNumSamples(), length);
        reader.ExtractData(length - 100, length + 1000);
        EXPECT_EQ(reader.GetNumSamples(), 100);
        part = ReadFrames(reader, 200, &got);
        ASSERT_EQ(got, 100u);
        EXPECT_TRUE(SameFrames(part, 0, all, length - 100, 100));
    }
}

TEST_F(CQuickTimeFileReadTest, FloatReadsAreTheIntegersScaled)
{
    const Planar& all = Sequential("vbr.mp3");
    ASSERT_FALSE(all.empty());
    CQuickTimeFileRead reader;
    ASSERT_EQ(reader.OpenFile(Wide(PathOf("vbr.mp3")).c_str()), 0);
    reader.SetCurSamplePosition(20000);
    std::vector<std::vector<float>> out(2, std::vector<float>(1010, 7.0f));
    float* ptrs[2] = {out[0].data(), out[1].data()};
    ASSERT_EQ(reader.ReadAudioData(ptrs, 1000, 10), 1000u);
    for (int c = 0; c < 2; ++c)
    {
        EXPECT_EQ(out[c][9], 7.0f);
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ(out[c][10 + i], static_cast<float>(all[c][20000 + i] * (1.0 / 2147483648.0))) << i;
    }
}

TEST_F(CQuickTimeFileReadTest, CoverPictureIsReadAndIsNoSecondTrack)
{
    const std::vector<uint8_t> png = ReadBytes(PathOf("cover.png"));
    ASSERT_FALSE(png.empty());
    for (const char* file : {"cover.mp3", "cover.m4a"})
    {
        SCOPED_TRACE(file);
        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(Wide(PathOf(file)).c_str()), 0);
        const uint32_t size = reader.GetAttachedPictureSize();
        ASSERT_EQ(size, png.size());
        EXPECT_EQ(reader.ReadAttachedPicture(nullptr, 0), size);
        std::vector<uint8_t> buf(size + 8, 0xEE);
        EXPECT_EQ(reader.ReadAttachedPicture(buf.data(), static_cast<uint32_t>(buf.size())), size);
        EXPECT_TRUE(std::equal(png.begin(), png.end(), buf.begin()));
        std::vector<uint8_t> small(size - 1, 0xEE);
        EXPECT_EQ(reader.ReadAttachedPicture(small.data(), static_cast<uint32_t>(small.size())), 0u);
        EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](uint8_t b) { return b == 0; }));
        EXPECT_STREQ(juce::String(reader.GetMetaDataPtr()->GetAttachedPictureFilePath()).toRawUTF8(),
                     PathOf(file).c_str());
    }
    CQuickTimeFileRead reader;
    ASSERT_EQ(reader.OpenFile(Wide(PathOf("cbr.mp3")).c_str()), 0);
    EXPECT_EQ(reader.GetAttachedPictureSize(), 0u);
    EXPECT_EQ(reader.ReadAttachedPicture(nullptr, 0), 0u);
    EXPECT_EQ(reader.GetMetaDataPtr()->GetAttachedPictureFilePath()[0], 0);
}

// A file cut short still delivers its declared length: the decoded part, then
// silence up to the end, so a player reaches the end of the song. Reaching
// the missing part is a read error. The files state their length up front:
// MP3 in the information tag, M4A in an index before the data.
TEST_F(CQuickTimeFileReadTest, TruncatedFileStillReachesItsEnd)
{
    ASSERT_TRUE(RunFfmpeg(Source(44100) + " -c:a aac -movflags +faststart " + PathOf("faststart.m4a")));
    ASSERT_TRUE(RunFfmpeg(Source(44100) + " -c:a alac -movflags +faststart " + PathOf("faststartalac.m4a")));
    for (const char* file : {"cbr.mp3", "vbr.mp3", "faststart.m4a", "faststartalac.m4a"})
    {
        for (const int tenths : {5, 3, 8})
        {
            SCOPED_TRACE(std::string(file) + " cut at " + std::to_string(tenths) + "/10");
            const std::vector<uint8_t> bytes = ReadBytes(PathOf(file));
            const std::string cut = PathOf("cut") + file;
            WriteBytes(cut, bytes, bytes.size() * static_cast<size_t>(tenths) / 10);
            CQuickTimeFileRead reader;
            ASSERT_EQ(reader.OpenFile(Wide(cut).c_str()), 0);
            EXPECT_EQ(reader.GetNumSamples(), 66150);
            uint32_t got = 0;
            ReadFrames(reader, 1000, &got);
            EXPECT_FALSE(reader.AudioDataReadErrorOccured()) << "before the missing part";
            reader.SetCurSamplePosition(0);
            const Planar all = DecodeAll(reader, 4096);
            EXPECT_EQ(all[0].size(), 66150u);
            EXPECT_TRUE(reader.AudioDataReadErrorOccured());
            // The rest of the audio is gone: silence at the end.
            EXPECT_TRUE(std::all_of(all[0].end() - 10000, all[0].end(), [](int32_t v) { return v == 0; }));
            EXPECT_NE(std::count(all[0].begin(), all[0].begin() + 20000, 0), 20000);
            // A seek into the missing part gives the same silence.
            reader.SetCurSamplePosition(60000);
            const Planar tail = ReadFrames(reader, 6150, &got);
            EXPECT_EQ(got, 6150u);
            EXPECT_TRUE(std::all_of(tail[0].begin(), tail[0].end(), [](int32_t v) { return v == 0; }));
        }
    }
}

// An M4A whose movie header follows its media data, cut anywhere in that
// header (the song information, the sample tables), is refused like a file
// that cannot be read: the tables that tell the length and the priming are
// incomplete, and the stream's timestamps taken instead played the priming
// as audio (45,124 frames of a 44,100-frame file, and no error).
TEST_F(CQuickTimeFileReadTest, AFileCutInItsTrailingMovieHeaderIsRefused)
{
    const std::string path = PathOf("moovlast.m4a");
    ASSERT_TRUE(RunFfmpeg(Source(44100, "1") + " -c:a aac -aac_pns 0" + kTags + " " + path));
    const std::vector<uint8_t> bytes = ReadBytes(path);
    {
        CQuickTimeFileRead whole;
        ASSERT_EQ(whole.OpenFile(Wide(path).c_str()), 0);
        EXPECT_EQ(whole.GetNumSamples(), 44100);
    }
    const size_t moov = FindBox(bytes, "moov") - 4;
    ASSERT_GT(moov, FindBox(bytes, "mdat")) << "the movie header after the media data";
    const struct
    {
        const char* where;
        size_t length;
    } cuts[] = {
        {"one byte short", bytes.size() - 1},
        {"in the song information", FindBox(bytes, "ilst") + 8},
        {"before the song information", FindBox(bytes, "udta") - 4},
        {"in the chunk offsets", FindBox(bytes, "stco") + 8},
        {"in the sample sizes", FindBox(bytes, "stsz") + 16},
        {"after the media header", FindBox(bytes, "hdlr") - 4},
        {"in the movie header's own header", moov + 6},
    };
    const std::string cut = PathOf("cutmoov.m4a");
    for (const auto& c : cuts)
    {
        SCOPED_TRACE(std::string(c.where) + ", " + std::to_string(c.length) + " bytes");
        ASSERT_GT(c.length, moov);
        WriteBytes(cut, bytes, c.length);
        CQuickTimeFileRead reader;
        EXPECT_EQ(reader.OpenFile(Wide(cut).c_str()), kAudioFileCannotOpen);
        EXPECT_EQ(reader.GetNumSamples(), 0);
    }
}

// Damaged data in the middle of a file: the length still equals what a read
// delivers, and seeks past the damage agree with a read from the start.
TEST_F(CQuickTimeFileReadTest, DamagedDataKeepsLengthAndPositions)
{
    for (const char* file : {"cbr.mp3", "aac.m4a", "wma2.wma", "alac16.m4a"})
    {
        SCOPED_TRACE(file);
        std::vector<uint8_t> bytes = ReadBytes(PathOf(file));
        const size_t at = bytes.size() * 2 / 5;
        for (size_t i = at; i < at + 300; ++i)
            bytes[i] = static_cast<uint8_t>(bytes[i] * 37 + 11);
        const std::string damaged = PathOf("damaged.") + file;
        std::ofstream(damaged, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(Wide(damaged).c_str()), 0);
        const int64_t length = reader.GetNumSamples();
        const Planar all = DecodeAll(reader, 777);
        ASSERT_EQ(static_cast<int64_t>(all[0].size()), length);
        for (int64_t target : {length / 3, length - 5000, int64_t{100}})
        {
            reader.SetCurSamplePosition(target);
            uint32_t got = 0;
            const Planar part = ReadFrames(reader, 4000, &got);
            ASSERT_EQ(got, 4000u);
            EXPECT_TRUE(SameFrames(part, 0, all, target, 4000)) << target;
        }
    }
}

// A path with a colon and letters outside ASCII reaches the file as it is.
TEST_F(CQuickTimeFileReadTest, OpensPathsWithColonsAndNonAsciiLetters)
{
    const std::string path = PathOf("ça: va.mp3");
    std::filesystem::copy_file(PathOf("cbr.mp3"), path, std::filesystem::copy_options::overwrite_existing);
    CQuickTimeFileRead reader;
    ASSERT_EQ(reader.OpenFile(Wide(path).c_str()), 0);
    EXPECT_EQ(reader.GetNumSamples(), 66150);
    EXPECT_STREQ(juce::String(reader.GetFileName()).toRawUTF8(), path.c_str());
}
} // namespace

// An M4A whose track header and last packet claim a huge duration: the
// length stays within a packet of the last packet's start, so reading ends.
TEST_F(CQuickTimeFileReadTest, AStatedDurationPastTheLastPacketIsLimited)
{
    const std::string path = PathOf("longlast.m4a");
    ASSERT_TRUE(RunFfmpeg(Source(44100, "0.3") + " -c:a aac -use_editlist 0 " + path));
    std::vector<uint8_t> bytes = ReadBytes(path);
    const size_t mdhd = FindBox(bytes, "mdhd");
    const size_t stts = FindBox(bytes, "stts");
    ASSERT_NE(mdhd, 0u);
    ASSERT_NE(stts, 0u);
    ASSERT_EQ(bytes[mdhd + 4], 0) << "a version 0 media header";
    // The media header's duration, after its version, flags, two times and
    // time scale; then the sample delta of the last time-to-sample entry.
    SetBe32(bytes, mdhd + 20, 0x7FFFFFFFu);
    const uint32_t entries = GetBe32(bytes, stts + 8);
    ASSERT_GE(entries, 1u);
    SetBe32(bytes, stts + 12 + 8 * (entries - 1) + 4, 0x7FFFFFFFu);
    WriteBytes(path, bytes);

    CQuickTimeFileRead reader;
    ASSERT_EQ(reader.OpenFile(Wide(path).c_str()), 0);
    const int64_t length = reader.GetNumSamples();
    EXPECT_GT(length, 13000);
    EXPECT_LT(length, 44100);
    const Planar all = DecodeAll(reader, 4096);
    EXPECT_EQ(static_cast<int64_t>(all[0].size()), length);
}

// AAC in M4A is as long as its source: the sample table less the priming the
// edit list skips, whatever the edit list (in milliseconds) rounds to. Where
// the table covers the padding of the last packet, as iTunes writes it, the
// iTunes gapless information or an edit list in the track's own ticks tells
// the length. The samples are those of the ffmpeg command's decode.
TEST_F(CQuickTimeFileReadTest, AacInM4aIsAsLongAsItsSource)
{
    enum class EEdit
    {
        kAsWritten,
        // The last table entry covers a whole packet, and the gapless
        // information gives the length.
        kPaddedTableAndGaplessInfo,
        // The same table, and the movie counts samples: the edit gives it.
        kPaddedTableAndSampleExactEdit,
    };
    const struct
    {
        int64_t frames;
        EEdit edit;
    } cases[] = {
        {176737, EEdit::kAsWritten},
        // The last packet holds 2 samples and starts after the rounded edit.
        {153602, EEdit::kAsWritten},
        {88200, EEdit::kAsWritten},
        {176737, EEdit::kPaddedTableAndGaplessInfo},
        {176737, EEdit::kPaddedTableAndSampleExactEdit},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.frames) + " frames, edit " + std::to_string(static_cast<int>(c.edit)));
        const std::string name = "exact" + std::to_string(c.frames) + ".m4a";
        const std::string path = PathOf(name.c_str());
        ASSERT_TRUE(RunFfmpeg(Source(44100, "5") + " -af atrim=end_sample=" + std::to_string(c.frames) +
                              " -c:a aac -aac_pns 0 " + path));
        const Planar reference = ReferenceDecode(name.c_str(), 2);
        std::vector<uint8_t> bytes = ReadBytes(path);
        const size_t stts = FindBox(bytes, "stts");
        const size_t elst = FindBox(bytes, "elst");
        ASSERT_NE(stts, 0u);
        ASSERT_NE(elst, 0u);
        const uint32_t entries = GetBe32(bytes, stts + 8);
        const size_t lastDelta = stts + 12 + 8 * (entries - 1) + 4;
        ASSERT_EQ(GetBe32(bytes, elst + 16), 1024u) << "the priming the edit skips";
        if (c.edit != EEdit::kAsWritten)
        {
            ASSERT_EQ(GetBe32(bytes, lastDelta - 4), 1u);
            const uint32_t padding = 1024 - GetBe32(bytes, lastDelta);
            SetBe32(bytes, lastDelta, 1024);
            if (c.edit == EEdit::kPaddedTableAndGaplessInfo)
            {
                char text[96];
                std::snprintf(text, sizeof(text), " 00000000 00000400 %08X %016llX 00000000 00000000",
                              padding, static_cast<unsigned long long>(c.frames));
                AddGaplessInfo(bytes, text);
            }
            else
            {
                const size_t mvhd = FindBox(bytes, "mvhd");
                ASSERT_EQ(bytes[mvhd + 4], 0) << "a version 0 movie header";
                SetBe32(bytes, mvhd + 16, 44100);
                SetBe32(bytes, elst + 12, static_cast<uint32_t>(c.frames));
            }
            WriteBytes(path, bytes);
        }

        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(Wide(path).c_str()), 0);
        EXPECT_EQ(reader.GetNumSamples(), c.frames);
        const Planar all = DecodeAll(reader, 1000);
        EXPECT_EQ(static_cast<int64_t>(all[0].size()), c.frames);
        EXPECT_FALSE(reader.AudioDataReadErrorOccured());
        const int64_t common = std::min<int64_t>(c.frames, static_cast<int64_t>(reference[0].size()));
        EXPECT_GT(common, c.frames - 1024);
        EXPECT_TRUE(SameFrames(all, 0, reference, 0, common));
        // The end of the file after a seek.
        reader.SetCurSamplePosition(c.frames - 5000);
        uint32_t got = 0;
        const Planar end = ReadFrames(reader, 6000, &got);
        EXPECT_EQ(got, 5000u);
        EXPECT_TRUE(SameFrames(end, 0, all, c.frames - 5000, 5000));
    }
}

// A file named like a compressed file opens only with the demuxer of such a
// file: a playlist or a concatenation script that names another file is
// refused, and the file it names is never opened.
TEST_F(CQuickTimeFileReadTest, APlaylistDisguisedAsAudioIsRefusedUnopened)
{
    const std::string target = PathOf("cbr.mp3");
    const struct
    {
        const char* file;
        std::string text;
    } cases[] = {
        {"concat.m4a", "ffconcat version 1.0\nfile cbr.mp3\n"},
        {"hls.m4a", "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:1.5,\ncbr.mp3\n#EXT-X-ENDLIST\n"},
        {"hlsurl.mp3",
         "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:1.5,\nfile:" + target + "\n#EXT-X-ENDLIST\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.file);
        std::ofstream(PathOf(c.file)) << c.text;
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, target.c_str(), IN_OPEN), 0);
        CQuickTimeFileRead reader;
        EXPECT_EQ(reader.OpenFile(Wide(PathOf(c.file)).c_str()), 2);
        alignas(inotify_event) char events[4096];
        EXPECT_LT(read(watch, events, sizeof(events)), 0) << "the named file was opened";
        close(watch);
    }
    // The formats the reader is for still open: ADTS AAC among them.
    ASSERT_TRUE(RunFfmpeg(Source(44100) + " -c:a aac -aac_pns 0 " + PathOf("adts.aac")));
    CQuickTimeFileRead reader;
    ASSERT_EQ(reader.OpenFile(Wide(PathOf("adts.aac")).c_str()), 0);
    EXPECT_STREQ(reader.GetFormatUniqueID(), "AAC");
    EXPECT_GT(reader.GetNumSamples(), 66150);
}

// The decoder hands FFmpeg's layout copy only destinations that hold a
// layout: a destination left uninitialised on the stack was freed as if it
// held a custom map (a bad free, depending on what the stack held).
TEST_F(CQuickTimeFileReadTest, ChannelLayoutCopiesGoIntoInitialisedLayouts)
{
    for (const FixtureRow& row : Decodable())
    {
        SCOPED_TRACE(row.file);
        g_copiesOverGarbage = 0;
        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(Wide(PathOf(row.file)).c_str()), 0);
        uint32_t got = 0;
        ReadFrames(reader, 4096, &got);
        reader.SetCurSamplePosition(reader.GetNumSamples() / 2);
        ReadFrames(reader, 4096, &got);
        EXPECT_EQ(g_copiesOverGarbage, 0);
    }
}
