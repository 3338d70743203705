#include "common/file/CQuickTimeFileRead.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

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
        char dir[] = "/tmp/vextal_qtread_XXXXXX";
        if (mkdtemp(dir) == nullptr || std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
            return;
        s_dir = dir;
        std::ofstream(s_dir + "/text.mp3") << "This is not a compressed audio file at all.\n";
        s_ready = RunFfmpeg("-f lavfi -i color=c=red:s=16x16 -frames:v 1 " + s_dir + "/cover.png");
    }

    static void TearDownTestSuite()
    {
        if (!s_dir.empty())
            std::filesystem::remove_all(s_dir);
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

    static std::string s_dir;
    static bool s_ready;
    static std::map<std::string, Planar> s_sequential;
};

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
// silence up to the end, so a player reaches the end of the song.
TEST_F(CQuickTimeFileReadTest, TruncatedFileStillReachesItsEnd)
{
    ASSERT_TRUE(RunFfmpeg(Source(44100) + " -c:a aac -movflags +faststart " + PathOf("faststart.m4a")));
    for (const char* file : {"cbr.mp3", "faststart.m4a"})
    {
        SCOPED_TRACE(file);
        const std::vector<uint8_t> bytes = ReadBytes(PathOf(file));
        const std::string cut = PathOf("cut") + file;
        std::ofstream(cut, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size() / 2));
        CQuickTimeFileRead reader;
        ASSERT_EQ(reader.OpenFile(Wide(cut).c_str()), 0);
        EXPECT_EQ(reader.GetNumSamples(), 66150);
        const Planar all = DecodeAll(reader, 4096);
        EXPECT_EQ(all[0].size(), 66150u);
        // The second half of the audio is gone: silence at the end.
        EXPECT_TRUE(std::all_of(all[0].end() - 10000, all[0].end(), [](int32_t v) { return v == 0; }));
        EXPECT_NE(std::count(all[0].begin(), all[0].begin() + 20000, 0), 20000);
        // A seek into the missing part gives the same silence.
        reader.SetCurSamplePosition(60000);
        uint32_t got = 0;
        const Planar tail = ReadFrames(reader, 6150, &got);
        EXPECT_EQ(got, 6150u);
        EXPECT_TRUE(std::all_of(tail[0].begin(), tail[0].end(), [](int32_t v) { return v == 0; }));
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
    const auto find = [&bytes](const char* tag)
    {
        const auto it = std::search(bytes.begin(), bytes.end(), tag, tag + 4);
        return it == bytes.end() ? size_t{0} : static_cast<size_t>(it - bytes.begin());
    };
    const auto setHuge = [&bytes](size_t at)
    {
        bytes[at] = 0x7F;
        bytes[at + 1] = bytes[at + 2] = bytes[at + 3] = 0xFF;
    };
    const size_t mdhd = find("mdhd");
    const size_t stts = find("stts");
    ASSERT_NE(mdhd, 0u);
    ASSERT_NE(stts, 0u);
    ASSERT_EQ(bytes[mdhd + 4], 0) << "a version 0 media header";
    // The media header's duration, after its version, flags, two times and
    // time scale; then the sample delta of the last time-to-sample entry.
    setHuge(mdhd + 20);
    const uint32_t entries = (uint32_t{bytes[stts + 8]} << 24) | (uint32_t{bytes[stts + 9]} << 16) |
                             (uint32_t{bytes[stts + 10]} << 8) | bytes[stts + 11];
    ASSERT_GE(entries, 1u);
    setHuge(stts + 12 + 8 * (entries - 1) + 4);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    CQuickTimeFileRead reader;
    ASSERT_EQ(reader.OpenFile(Wide(path).c_str()), 0);
    const int64_t length = reader.GetNumSamples();
    EXPECT_GT(length, 13000);
    EXPECT_LT(length, 44100);
    const Planar all = DecodeAll(reader, 4096);
    EXPECT_EQ(static_cast<int64_t>(all[0].size()), length);
}
