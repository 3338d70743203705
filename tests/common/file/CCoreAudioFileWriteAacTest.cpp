#include "common/file/CCoreAudioFileWriteAac.h"

#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

using rifftest::ReadBytes;
using rifftest::Wide;
using rifftest::WriteBytes;

namespace
{
using Planar = std::vector<std::vector<float>>;

constexpr double kPi = 3.14159265358979323846;
// Channel c carries a sine of kToneHz[c] at half scale.
constexpr double kToneHz[2] = {1000.0, 3000.0};

bool HaveFfmpeg()
{
    return std::system("ffmpeg -version >/dev/null 2>&1") == 0 &&
           std::system("ffprobe -version >/dev/null 2>&1") == 0;
}

std::string Quote(const fs::path& p)
{
    return "'" + p.string() + "'";
}

// "key=value" lines of ffprobe's default writer without wrappers.
std::map<std::string, std::string> Probe(const fs::path& file, const std::string& entries)
{
    const std::string text = rifftest::RunCapture("ffprobe -v error " + entries +
                                                  " -of default=noprint_wrappers=1 " + Quote(file) + " 2>&1");
    std::map<std::string, std::string> values;
    size_t pos = 0;
    while (pos < text.size())
    {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
        pos = end + 1;
    }
    return values;
}

// Decodes the first audio stream to planar floats with the ffmpeg command.
Planar Decode(const fs::path& file, uint16_t channels)
{
    const fs::path raw = file.string() + ".raw";
    const std::string cmd =
        "ffmpeg -v error -y -i " + Quote(file) + " -map 0:a:0 -f f32le -acodec pcm_f32le " + Quote(raw);
    Planar out(channels);
    if (std::system(cmd.c_str()) != 0)
        return out;
    const std::vector<uint8_t> bytes = ReadBytes(raw);
    fs::remove(raw);
    const size_t frames = bytes.size() / (4 * channels);
    for (uint16_t c = 0; c < channels; ++c)
        out[c].resize(frames);
    for (size_t i = 0; i < frames; ++i)
        for (uint16_t c = 0; c < channels; ++c)
            std::memcpy(&out[c][i], bytes.data() + 4 * (i * channels + c), 4);
    return out;
}

Planar MakeTones(uint32_t rate, uint16_t channels, uint32_t frames)
{
    Planar p(channels, std::vector<float>(frames));
    for (uint16_t c = 0; c < channels; ++c)
        for (uint32_t i = 0; i < frames; ++i)
            p[c][i] = static_cast<float>(0.5 * std::sin(2.0 * kPi * kToneHz[c] * i / rate));
    return p;
}

// Normalised correlation of a and b over [from, to).
double Correlation(const std::vector<float>& a, const std::vector<float>& b, size_t from, size_t to)
{
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (size_t i = from; i < to && i < a.size() && i < b.size(); ++i)
    {
        ab += static_cast<double>(a[i]) * b[i];
        aa += static_cast<double>(a[i]) * a[i];
        bb += static_cast<double>(b[i]) * b[i];
    }
    return (aa > 0.0 && bb > 0.0) ? ab / std::sqrt(aa * bb) : 0.0;
}

// The share of the signal's power in [from, to) that lies at hz (Goertzel):
// 1 for a pure tone of that frequency, near 0 without it.
double ToneShare(const std::vector<float>& x, size_t from, size_t to, double hz, uint32_t rate)
{
    const double w = 2.0 * kPi * hz / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0, energy = 0.0;
    for (size_t i = from; i < to && i < x.size(); ++i)
    {
        const double s0 = x[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += static_cast<double>(x[i]) * x[i];
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    const double n = static_cast<double>(to - from);
    return energy > 0.0 ? 2.0 * power / (n * energy) : 0.0;
}

// Writes the planar data in uneven blocks so that encoder blocks are split
// across calls; returns the frames the writer took.
int64_t WriteInBlocks(CCoreAudioFileWriteAac& writer, Planar& data)
{
    static constexpr uint32_t kBlocks[] = {1000, 37, 4096, 1024, 1, 3000};
    const uint32_t total = static_cast<uint32_t>(data[0].size());
    int64_t taken = 0;
    uint32_t pos = 0;
    for (size_t k = 0; pos < total; ++k)
    {
        const uint32_t n = std::min(kBlocks[k % std::size(kBlocks)], total - pos);
        std::vector<float*> ptrs;
        for (auto& ch : data)
            ptrs.push_back(ch.data() + pos);
        taken += writer.WriteAudioData(ptrs.data(), n);
        pos += n;
    }
    return taken;
}

class CCoreAudioFileWriteAacTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HaveFfmpeg())
            GTEST_SKIP() << "the ffmpeg and ffprobe commands are needed";
        ASSERT_TRUE(m_scratch.IsValid());
    }
    size_t CountEntries() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

    vxtest::TempFolder m_scratch{"aacwrite"};
    const fs::path m_dir = m_scratch.Path();
};
} // namespace

// ---------------------------------------------------------------------------
// Round trip over the rates and channel counts the writer offers, at its
// lowest, default and highest bit rate.

struct RoundTripCase
{
    uint32_t rate;
    uint16_t channels;
    int quality; // 0: the default; -1 / -2: the lowest / highest of the table
};

void PrintTo(const RoundTripCase& c, std::ostream* os)
{
    *os << c.rate << " Hz, " << c.channels << " ch, quality " << c.quality;
}

class CCoreAudioFileWriteAacRoundTrip : public CCoreAudioFileWriteAacTest,
                                        public ::testing::WithParamInterface<RoundTripCase>
{
};

TEST_P(CCoreAudioFileWriteAacRoundTrip, DecodesAtRateChannelsLengthAndTone)
{
    const RoundTripCase tc = GetParam();
    const std::vector<int> table = CCoreAudioFileWriteAac::GetPossibleQualityOptions(tc.channels);
    const int quality = tc.quality == -1 ? table.front() : tc.quality == -2 ? table.back() : 0;
    const int32_t expectedBitRate = quality == 0 ? 128000 : quality;

    const fs::path file = m_dir / "tone.m4a";
    const uint32_t frames = tc.rate + 777; // not a whole number of encoder blocks
    Planar data = MakeTones(tc.rate, tc.channels, frames);

    CCoreAudioFileWriteAac writer;
    ASSERT_EQ(writer.OpenFile(Wide(file).c_str(), tc.rate, 24, tc.channels, quality), 0);
    EXPECT_EQ(writer.GetEncodeBitRate(), expectedBitRate);
    EXPECT_EQ(WriteInBlocks(writer, data), frames);
    EXPECT_EQ(writer.GetCurSamplePosition(), frames);
    EXPECT_FALSE(fs::exists(file)); // only the temporary file exists until the close
    ASSERT_TRUE(writer.CloseFile()) << writer.GetLastError();
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(CountEntries(), 1u); // no temporary file left behind

    auto info =
        Probe(file, "-select_streams a:0 -show_entries stream=codec_name,profile,sample_rate,channels,"
                    "duration_ts,bit_rate");
    EXPECT_EQ(info["codec_name"], "aac");
    EXPECT_EQ(info["profile"], "LC");
    EXPECT_EQ(info["sample_rate"], std::to_string(tc.rate));
    EXPECT_EQ(info["channels"], std::to_string(tc.channels));
    // The container's edit list gives the exact length written.
    EXPECT_EQ(info["duration_ts"], std::to_string(frames));

    // ffmpeg 5.1 drops the encoder's priming frames but decodes the padding
    // of the last block: the decode is the written frames rounded up to whole
    // 1024-frame blocks, the first `frames` of them aligned with the input.
    const Planar decoded = Decode(file, tc.channels);
    ASSERT_EQ(decoded.size(), tc.channels);
    EXPECT_EQ(decoded[0].size(), (frames + 1023) / 1024 * 1024);
    for (uint16_t c = 0; c < tc.channels; ++c)
    {
        const double share = ToneShare(decoded[c], 2048, frames - 2048, kToneHz[c], tc.rate);
        EXPECT_GT(share, tc.quality == -1 ? 0.8 : 0.99) << "channel " << c;
        // Sample alignment: at the lowest bit rates the coding noise is
        // strong; above them a shift of one frame would already fail.
        const double corr = Correlation(data[c], decoded[c], 2048, frames - 2048);
        EXPECT_GT(corr, tc.quality == -1 ? 0.9 : 0.99) << "channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(
    CCoreAudioFileWriteAac, CCoreAudioFileWriteAacRoundTrip,
    ::testing::Values(RoundTripCase{44100, 1, -1}, RoundTripCase{44100, 1, 0}, RoundTripCase{44100, 1, -2},
                      RoundTripCase{44100, 2, -1}, RoundTripCase{44100, 2, 0}, RoundTripCase{44100, 2, -2},
                      RoundTripCase{48000, 1, -1}, RoundTripCase{48000, 1, 0}, RoundTripCase{48000, 1, -2},
                      RoundTripCase{48000, 2, -1}, RoundTripCase{48000, 2, 0}, RoundTripCase{48000, 2, -2},
                      // A rate the writer takes but does not offer.
                      RoundTripCase{22050, 2, 0}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info)
    {
        const RoundTripCase& c = info.param;
        const char* q = c.quality == -1 ? "Lowest" : c.quality == -2 ? "Highest" : "Default";
        return std::to_string(c.rate) + "Hz" + std::to_string(c.channels) + "ch" + q;
    });

// ---------------------------------------------------------------------------

TEST(CCoreAudioFileWriteAac, OptionTablesAndBitRateChoice)
{
    EXPECT_EQ(CCoreAudioFileWriteAac::GetPossibleSampleRates(), (std::vector<uint32_t>{44100, 48000}));
    EXPECT_EQ(CCoreAudioFileWriteAac::GetPossibleBitsPerSamples(), (std::vector<uint16_t>{24}));
    EXPECT_EQ(CCoreAudioFileWriteAac::GetPossibleNumChannels(), (std::vector<uint16_t>{1, 2}));
    const std::vector<int> mono = CCoreAudioFileWriteAac::GetPossibleQualityOptions(1);
    const std::vector<int> stereo = CCoreAudioFileWriteAac::GetPossibleQualityOptions(2);
    ASSERT_EQ(mono.size(), 13u);
    EXPECT_EQ(mono.front(), 32000);
    EXPECT_EQ(mono.back(), 256000);
    ASSERT_EQ(stereo.size(), 10u);
    EXPECT_EQ(stereo.front(), 64000);
    EXPECT_EQ(stereo.back(), 320000);

    const struct
    {
        int quality;
        uint16_t channels;
        int32_t bitRate;
    } cases[] = {
        {0, 1, 128000},      {0, 2, 128000},       {96000, 2, 96000},  {1, 1, 32000},       {1, 2, 64000},
        {300000, 1, 256000}, {1000000, 2, 320000}, {100000, 2, 96000}, {105000, 2, 112000}, {-1, 2, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CCoreAudioFileWriteAac::QualityToBitRate(c.quality, c.channels), c.bitRate)
            << c.quality << " with " << c.channels << " channels";
}

TEST_F(CCoreAudioFileWriteAacTest, QualitySetsTheEncodedBitRate)
{
    // Noise with a tone needs every bit it is given, unlike a pure tone.
    const uint32_t rate = 44100;
    const uint32_t frames = rate * 4;
    Planar data = MakeTones(rate, 2, frames);
    uint32_t state = 1;
    for (auto& ch : data)
        for (float& v : ch)
        {
            state = state * 1664525u + 1013904223u;
            v = 0.5f * v + 0.4f * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
        }

    double previous = 0.0;
    for (const int quality : {64000, 128000, 320000})
    {
        const fs::path file = m_dir / ("q" + std::to_string(quality) + ".m4a");
        CCoreAudioFileWriteAac writer;
        ASSERT_EQ(writer.OpenFile(Wide(file).c_str(), rate, 24, 2, quality), 0);
        EXPECT_EQ(WriteInBlocks(writer, data), frames);
        ASSERT_TRUE(writer.CloseFile()) << writer.GetLastError();
        const double bitRate =
            std::atof(Probe(file, "-select_streams a:0 -show_entries stream=bit_rate")["bit_rate"].c_str());
        // The encoder keeps near its target and undershoots the highest rates.
        EXPECT_GT(bitRate, 0.85 * quality) << quality;
        EXPECT_LT(bitRate, 1.1 * quality) << quality;
        EXPECT_GT(bitRate, previous) << quality;
        previous = bitRate;
    }
}

TEST_F(CCoreAudioFileWriteAacTest, SongInformationDoesNotReachTheFile)
{
    const fs::path jpeg = m_dir / "cover.jpg";
    ASSERT_EQ(
        std::system(("ffmpeg -v error -y -f lavfi -i color=red:s=64x48 -frames:v 1 " + Quote(jpeg)).c_str()),
        0);
    const fs::path file = m_dir / "song.m4a";
    Planar data = MakeTones(44100, 2, 5000);
    CCoreAudioFileWriteAac writer;
    ASSERT_EQ(writer.OpenFile(Wide(file).c_str(), 44100, 24, 2, 0), 0);
    CAudioMetaData* meta = writer.GetMetaDataPtr();
    meta->GetStringPtr(CAudioMetaData::kTitle)->SetString("A Title", -1, false);
    meta->SetAttachedPicture(Wide(jpeg).c_str());
    EXPECT_EQ(WriteInBlocks(writer, data), 5000);
    ASSERT_TRUE(writer.CloseFile()) << writer.GetLastError();

    auto tags = Probe(file, "-show_entries format_tags");
    EXPECT_EQ(tags.count("TAG:title"), 0u) << tags["TAG:title"];
    // One stream, the audio: no attached picture.
    auto streams = Probe(file, "-show_entries stream=index,codec_type:stream_disposition=attached_pic");
    EXPECT_EQ(streams["index"], "0");
    EXPECT_EQ(streams["codec_type"], "audio");
    EXPECT_NE(streams["DISPOSITION:attached_pic"], "1");
    EXPECT_TRUE(Probe(file, "-select_streams v -show_entries stream=index").empty());
}

TEST_F(CCoreAudioFileWriteAacTest, RefusesBadFormatsAndMissingFoldersBeforeTouchingAnything)
{
    const fs::path target = m_dir / "keep.m4a";
    const std::vector<uint8_t> original = {'o', 'l', 'd'};
    WriteBytes(target, original);

    const struct
    {
        uint32_t rate;
        uint16_t bits;
        uint16_t channels;
        int quality;
    } bad[] = {
        {0, 24, 2, 0},     {96000, 24, 2, 0}, {44000, 24, 2, 0}, {44100, 24, 0, 0},
        {44100, 24, 3, 0}, {44100, 24, 6, 0}, {44100, 8, 2, 0},  {44100, 24, 2, -64000},
    };
    CCoreAudioFileWriteAac writer;
    for (const auto& b : bad)
    {
        EXPECT_EQ(writer.OpenFile(Wide(target).c_str(), b.rate, b.bits, b.channels, b.quality), 3)
            << b.rate << " Hz " << b.bits << " bits " << b.channels << " ch quality " << b.quality;
        EXPECT_FALSE(writer.IsFileOpen());
    }
    EXPECT_EQ(CountEntries(), 1u);
    EXPECT_EQ(ReadBytes(target), original);

    // A folder that does not exist, and a folder where the file should be.
    EXPECT_EQ(writer.OpenFile(Wide(m_dir / "missing" / "x.m4a").c_str(), 44100, 24, 2, 0), 2);
    EXPECT_EQ(writer.OpenFile(Wide(m_dir).c_str(), 44100, 24, 2, 0), 2);
    EXPECT_EQ(writer.OpenFile(nullptr, 44100, 24, 2, 0), 2);
    EXPECT_FALSE(fs::exists(m_dir / "missing"));
    EXPECT_EQ(CountEntries(), 1u);

    // Closed, the writer reports its resting format and takes nothing.
    EXPECT_EQ(writer.GetSampleRate(), 44100u);
    EXPECT_EQ(writer.GetBitsPerSample(), 16);
    EXPECT_EQ(writer.GetNumChannels(), 2);
    Planar data = MakeTones(44100, 2, 100);
    float* ptrs[2] = {data[0].data(), data[1].data()};
    EXPECT_EQ(writer.WriteAudioData(ptrs, 100), 0u);
    EXPECT_FALSE(writer.CloseFile());
    writer.RemoveFile();
    EXPECT_EQ(ReadBytes(target), original);
}

TEST_F(CCoreAudioFileWriteAacTest, ReplacesTheTargetOnlyWhenClosed)
{
    const fs::path target = m_dir / "song.m4a";
    const std::vector<uint8_t> original = {'o', 'l', 'd'};
    WriteBytes(target, original);
    Planar data = MakeTones(48000, 1, 20000);

    // Removed: the old file stays and nothing else is left.
    {
        CCoreAudioFileWriteAac writer;
        ASSERT_EQ(writer.OpenFile(Wide(target).c_str(), 48000, 24, 1, 0), 0);
        EXPECT_EQ(WriteInBlocks(writer, data), 20000);
        EXPECT_EQ(ReadBytes(target), original);
        writer.RemoveFile();
        EXPECT_FALSE(writer.IsFileOpen());
        EXPECT_EQ(ReadBytes(target), original);
        EXPECT_EQ(CountEntries(), 1u);
    }
    // Destroyed while open (an early return, an exception): discarded too.
    {
        CCoreAudioFileWriteAac writer;
        ASSERT_EQ(writer.OpenFile(Wide(target).c_str(), 48000, 24, 1, 0), 0);
        EXPECT_EQ(WriteInBlocks(writer, data), 20000);
        EXPECT_EQ(writer.GetCurSamplePosition(), 20000);
        EXPECT_NEAR(writer.GetCurTimeSecond(), 20000.0 / 48000.0, 1e-12);
    }
    EXPECT_EQ(ReadBytes(target), original);
    EXPECT_EQ(CountEntries(), 1u);
    // Closed: the target is replaced.
    {
        CCoreAudioFileWriteAac writer;
        ASSERT_EQ(writer.OpenFile(Wide(target).c_str(), 48000, 24, 1, 0), 0);
        EXPECT_EQ(WriteInBlocks(writer, data), 20000);
        EXPECT_TRUE(writer.CloseFile()) << writer.GetLastError();
    }
    EXPECT_EQ(Probe(target, "-select_streams a:0 -show_entries stream=duration_ts")["duration_ts"], "20000");
    // Finished under another name: the first target keeps what it had.
    const std::vector<uint8_t> first = ReadBytes(target);
    {
        CCoreAudioFileWriteAac writer;
        ASSERT_EQ(writer.OpenFile(Wide(target).c_str(), 48000, 24, 1, 0), 0);
        EXPECT_EQ(WriteInBlocks(writer, data), 20000);
        EXPECT_TRUE(writer.CloseAndRenameFile(Wide(m_dir / "renamed.m4a").c_str()));
    }
    EXPECT_EQ(ReadBytes(target), first);
    EXPECT_EQ(
        Probe(m_dir / "renamed.m4a", "-select_streams a:0 -show_entries stream=duration_ts")["duration_ts"],
        "20000");
    // Nothing written: still a valid, empty file.
    {
        CCoreAudioFileWriteAac writer;
        ASSERT_EQ(writer.OpenFile(Wide(m_dir / "empty.m4a").c_str(), 44100, 24, 2, 0), 0);
        EXPECT_TRUE(writer.CloseFile()) << writer.GetLastError();
    }
    EXPECT_GT(fs::file_size(m_dir / "empty.m4a"), 0u);
    EXPECT_EQ(CountEntries(), 3u);
}

TEST_F(CCoreAudioFileWriteAacTest, LeavesTheCallersBuffersAlone)
{
    const uint32_t rate = 44100;
    const uint32_t frames = 8192;
    Planar floats = MakeTones(rate, 2, frames);
    // Values beyond full scale and values that are not numbers are encoded
    // (limited, or as silence) without failing the file.
    floats[0][100] = 3.0f;
    floats[1][200] = -7.5f;
    floats[0][300] = std::numeric_limits<float>::quiet_NaN();
    floats[1][400] = std::numeric_limits<float>::infinity();
    std::vector<std::vector<int32_t>> ints(2, std::vector<int32_t>(frames));
    for (int c = 0; c < 2; ++c)
        for (uint32_t i = 0; i < frames; ++i)
            ints[c][i] =
                static_cast<int32_t>(std::lround(floats[c][(i + 1000) % frames] * 1073741824.0)) & ~0xFF;
    ints[0][0] = 0;
    const Planar floatsCopy = floats;
    const auto intsCopy = ints;

    const fs::path file = m_dir / "buffers.m4a";
    CCoreAudioFileWriteAac writer;
    ASSERT_EQ(writer.OpenFile(Wide(file).c_str(), rate, 24, 2, 0), 0);
    float* fp[2] = {floats[0].data(), floats[1].data()};
    int32_t* ip[2] = {ints[0].data(), ints[1].data()};
    EXPECT_EQ(writer.WriteAudioData(fp, frames), frames);
    EXPECT_EQ(writer.WriteAudioData(ip, frames), frames);
    EXPECT_EQ(writer.GetCurSamplePosition(), 2 * frames);
    ASSERT_TRUE(writer.CloseFile()) << writer.GetLastError();

    for (int c = 0; c < 2; ++c)
    {
        EXPECT_EQ(std::memcmp(floats[c].data(), floatsCopy[c].data(), frames * sizeof(float)), 0) << c;
        EXPECT_EQ(ints[c], intsCopy[c]) << c;
    }
    // The integer half decodes to the same tones.
    const Planar decoded = Decode(file, 2);
    ASSERT_GE(decoded[0].size(), 2 * frames);
    EXPECT_GT(ToneShare(decoded[0], frames + 1024, 2 * frames - 1024, kToneHz[0], rate), 0.99);
    EXPECT_GT(ToneShare(decoded[1], frames + 1024, 2 * frames - 1024, kToneHz[1], rate), 0.99);
}

TEST_F(CCoreAudioFileWriteAacTest, AFailedWriteIsReportedAndKeepsTheTarget)
{
    const fs::path target = m_dir / "song.m4a";
    const std::vector<uint8_t> original = {'o', 'l', 'd'};
    WriteBytes(target, original);

    // The child process may write at most 64 KiB per file; 20 seconds at
    // 320 kbit/s need far more. Its exit code tells what the writer reported:
    // bit 0 a write that took fewer frames than given, bit 1 a failed close.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
    {
        struct rlimit limit = {64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
        int result = 0;
        {
            CCoreAudioFileWriteAac writer;
            if (writer.OpenFile(Wide(target).c_str(), 44100, 24, 2, 320000) != 0)
                ::_exit(100);
            Planar data = MakeTones(44100, 2, 4410);
            uint32_t state = 7;
            for (auto& ch : data)
                for (float& v : ch)
                {
                    state = state * 1664525u + 1013904223u;
                    v += 0.4f * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
                }
            float* ptrs[2] = {data[0].data(), data[1].data()};
            for (int block = 0; block < 200; ++block)
                if (writer.WriteAudioData(ptrs, 4410) != 4410)
                    result |= 1;
            if (!writer.CloseFile() && !writer.GetLastError().empty())
                result |= 2;
        }
        ::_exit(result);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(ReadBytes(target), original);
    EXPECT_EQ(CountEntries(), 1u);
}
