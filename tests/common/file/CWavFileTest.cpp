#include "common/file/CWavFileRead.h"
#include "common/file/CWavFileWrite.h"

#include "tests/common/file/PcmTestFiles.h"
#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using pcmtest::FloatPointers;
using pcmtest::Interleave;
using pcmtest::MakeSamples;
using pcmtest::Planar;
using pcmtest::Pointers;
using pcmtest::ReadAll;
using rifftest::Bytes;
using rifftest::Chunk;
using rifftest::FmtBody;
using rifftest::Riff;
using rifftest::RunCapture;
using rifftest::RunQuietly;
using rifftest::Wide;

namespace
{
// The texts a LIST/INFO chunk carries.
const std::vector<pcmtest::TextField> kTexts = {
    {CAudioMetaData::kTitle, "Night Song"},   {CAudioMetaData::kArtist, "The Band"},
    {CAudioMetaData::kGenre, "Ambient"},      {CAudioMetaData::kLocation, "Room 5"},
    {CAudioMetaData::kRecDate, "2024-05-06"}, {CAudioMetaData::kEncodingSoftware, "Vextal test"},
};

std::vector<double> Times(CMarker* m)
{
    std::vector<double> out;
    for (int i = 0; i < m->GetNumMarkers(); ++i)
        out.push_back(m->GetMarkerTimeSecond(i));
    return out;
}

void ExpectTimes(CMarker* m, const std::vector<double>& expected)
{
    const std::vector<double> got = Times(m);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], expected[i], 1e-9) << "marker " << i;
}

// Writes the samples through the integer entry (float entry for 32 bits) in
// blocks of uneven length.
bool WriteWav(const std::filesystem::path& path, uint32_t rate, uint16_t bits, const Planar& samples,
              const std::vector<double>& markers, const std::vector<pcmtest::TextField>* texts)
{
    CWavFileWrite w;
    const uint16_t channels = static_cast<uint16_t>(samples.size());
    if (w.OpenFile(Wide(path).c_str(), rate, bits, channels, 0) != 0)
        return false;
    for (double t : markers)
        w.GetMarkerPtr()->Add(t);
    if (texts != nullptr)
        pcmtest::SetTexts(w.GetMetaDataPtr(), *texts);
    const auto entry = bits == 32 ? pcmtest::WriteEntry::kFloatBits : pcmtest::WriteEntry::kInteger;
    return pcmtest::WriteInBlocks(w, samples, entry) && w.CloseFile();
}

using CWavFileWriteWithLimit = pcmtest::WriterWithLimit<CWavFileWrite>;
} // namespace

TEST(CWavFile, RoundTripsBitExactWithMarkersAndTexts)
{
    rifftest::TempFolder folder;
    struct Case
    {
        uint16_t bits;
        uint16_t channels;
        uint32_t frames;
    };
    // Odd frame counts; some span several I/O buffers.
    const Case cases[] = {{16, 1, 1001},  {16, 2, 40001}, {24, 1, 1001},
                          {24, 2, 33333}, {32, 1, 1001},  {32, 2, 17001}};
    const std::vector<double> markers = {0.001, 0.010, 0.020};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.channels << " channels");
        const auto path = folder / "round.wav";
        const Planar samples = MakeSamples(c.channels, c.frames, c.bits, c.frames);
        ASSERT_TRUE(WriteWav(path, 48000, c.bits, samples, markers, &kTexts));

        // Layout: sizes, the pad byte after odd data and the chunks behind it.
        const Bytes file = rifftest::ReadBytes(path);
        const uint32_t dataSize = c.frames * c.channels * (c.bits / 8);
        ASSERT_GT(file.size(), 44u + dataSize);
        EXPECT_EQ(rifftest::Get32(file, 4), file.size() - 8);
        EXPECT_EQ(rifftest::Get32(file, 16), 16u);
        EXPECT_EQ(file[20], c.bits == 32 ? 3 : 1);
        EXPECT_EQ(rifftest::Get32(file, 40), dataSize);
        const size_t cueAt = 44 + dataSize + (dataSize & 1);
        if (dataSize & 1)
        {
            EXPECT_EQ(file[44 + dataSize], 0);
        }
        EXPECT_EQ(std::string(file.begin() + cueAt, file.begin() + cueAt + 4), "cue ");
        EXPECT_EQ(rifftest::Get32(file, cueAt + 8), 3u);
        const size_t listAt = cueAt + 12 + 3 * 24;
        EXPECT_EQ(std::string(file.begin() + listAt, file.begin() + listAt + 4), "LIST");
        EXPECT_EQ(listAt + 8 + rifftest::Get32(file, listAt + 4), file.size());

        CWavFileRead r;
        ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
        EXPECT_EQ(r.GetSampleRate(), 48000u);
        EXPECT_EQ(r.GetBitsPerSample(), c.bits);
        EXPECT_EQ(r.GetNumChannels(), c.channels);
        EXPECT_EQ(r.IsFloatingPoint(), c.bits == 32);
        EXPECT_EQ(r.GetNumSamples(), c.frames);
        EXPECT_EQ(ReadAll(r), samples);
        EXPECT_EQ(r.GetCurSamplePosition(), c.frames);
        EXPECT_FALSE(r.AudioDataReadErrorOccured());
        ExpectTimes(r.GetMarkerPtr(), markers);
        pcmtest::ExpectTexts(r.GetMetaDataPtr(), kTexts);

        // The float entry: integer files are scaled by 2^-31, float files
        // come bit for bit.
        r.SetCurSamplePosition(0);
        std::vector<std::vector<float>> floats(c.channels, std::vector<float>(c.frames + 6, -9.0f));
        auto fptrs = FloatPointers(floats);
        EXPECT_EQ(r.ReadAudioData(fptrs.data(), c.frames + 3, 2), c.frames);
        for (uint16_t ch = 0; ch < c.channels; ++ch)
        {
            EXPECT_EQ(floats[ch][1], -9.0f);
            for (uint32_t i = 0; i < c.frames; ++i)
            {
                float expected;
                if (c.bits == 32)
                    std::memcpy(&expected, &samples[ch][i], 4);
                else
                    expected = static_cast<float>(samples[ch][i]) / 2147483648.0f;
                ASSERT_EQ(floats[ch][i + 2], expected) << "frame " << i;
            }
            EXPECT_EQ(floats[ch][c.frames + 2], 0.0f);
            EXPECT_EQ(floats[ch][c.frames + 4], 0.0f);
            EXPECT_EQ(floats[ch][c.frames + 5], -9.0f);
        }
    }
}

TEST(CWavFile, FloatEntriesConvertIntegerFilesAndKeepTheCallersBuffers)
{
    rifftest::TempFolder folder;
    const auto path = folder / "float16.wav";
    std::vector<std::vector<float>> in = {{0.5f, -0.25f, 1.0f, -1.0f, 0.0f}};
    const auto original = in;
    {
        CWavFileWrite w;
        ASSERT_EQ(w.OpenFile(Wide(path).c_str(), 44100, 16, 1, 0), 0);
        EXPECT_FALSE(w.IsFloatingPoint());
        auto ptrs = FloatPointers(in);
        EXPECT_EQ(w.WriteAudioData(ptrs.data(), 5), 5u);
        EXPECT_EQ(w.GetCurSamplePosition(), 5);
        EXPECT_TRUE(w.CloseFile());
    }
    EXPECT_EQ(in, original);
    CWavFileRead r;
    ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
    const Planar expected = {
        {0x40000000, static_cast<int32_t>(0xE0000000), 0x7FFF0000, static_cast<int32_t>(0x80000000), 0}};
    EXPECT_EQ(ReadAll(r), expected);
}

TEST(CWavFile, MalformedFiles)
{
    rifftest::TempFolder folder;
    const Bytes fmt = FmtBody(1, 2, 44100, 16);
    const Bytes data(400, 0x11); // 100 frames
    Bytes badAlign = fmt;
    badAlign[12] = 6;
    Bytes cue;
    rifftest::Put32(cue, 0xFFFFFFFF); // count
    for (uint32_t offset : {10u, 90u})
        for (uint32_t v : {1u, 0u, 0u, 0u, 0u, offset})
            rifftest::Put32(cue, v);
    Bytes truncatedFmt = Riff({});
    for (uint8_t b : std::initializer_list<uint8_t>{'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC})
        truncatedFmt.push_back(b);
    Bytes partialFrame = data;
    partialFrame.push_back(1);
    partialFrame.push_back(2);
    partialFrame.push_back(3);

    struct Case
    {
        const char* name;
        Bytes file;
        int result;
        int64_t frames;
        int markers;
    };
    const Case cases[] = {
        {"fmt size 16", Riff({Chunk("fmt ", fmt), Chunk("data", data)}), 0, 100, 0},
        {"fmt size 18", Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16, 18)), Chunk("data", data)}), 0, 100, 0},
        {"fmt size 40", Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16, 40)), Chunk("data", data)}), 0, 100, 0},
        {"float", Riff({Chunk("fmt ", FmtBody(3, 1, 96000, 32, 18)), Chunk("data", data)}), 0, 100, 0},
        {"extensible", Riff({Chunk("fmt ", FmtBody(0xFFFE, 2, 44100, 16, 40)), Chunk("data", data)}), 3, 0,
         0},
        {"8-bit", Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 8)), Chunk("data", data)}), 3, 0, 0},
        {"32-bit integer", Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 32)), Chunk("data", data)}), 3, 0, 0},
        {"24-bit float", Riff({Chunk("fmt ", FmtBody(3, 2, 44100, 24)), Chunk("data", data)}), 3, 0, 0},
        {"22050 Hz", Riff({Chunk("fmt ", FmtBody(1, 2, 22050, 16)), Chunk("data", data)}), 3, 0, 0},
        {"rate 0", Riff({Chunk("fmt ", FmtBody(1, 2, 0, 16)), Chunk("data", data)}), 3, 0, 0},
        {"3 channels", Riff({Chunk("fmt ", FmtBody(1, 3, 44100, 16)), Chunk("data", data)}), 3, 0, 0},
        {"block align wrong", Riff({Chunk("fmt ", badAlign), Chunk("data", data)}), 3, 0, 0},
        {"fmt body of 14 bytes",
         Riff({Chunk("fmt ", Bytes(fmt.begin(), fmt.begin() + 14)), Chunk("data", data)}), 3, 0, 0},
        {"no fmt", Riff({Chunk("data", data)}), 3, 0, 0},
        {"0-size chunk before data", Riff({Chunk("fmt ", fmt), Chunk("JUNK", {}), Chunk("data", data)}), 0,
         100, 0},
        {"padded odd chunk before data",
         Riff({Chunk("fmt ", fmt), Chunk("JUNK", rifftest::Text("odd")), Chunk("data", data)}), 0, 100, 0},
        {"unpadded odd chunk before data",
         Riff({Chunk("fmt ", fmt), Chunk("JUNK", rifftest::Text("odd"), false), Chunk("data", data)}), 0, 100,
         0},
        {"data size past the end", Riff({Chunk("fmt ", fmt), Chunk("data", data, true, 0x7FFFFFF0)}), 0, 100,
         0},
        {"data size of a stream", Riff({Chunk("fmt ", fmt), Chunk("data", data, true, 0xFFFFFFFF)}), 0, 100,
         0},
        {"partial frame at the end", Riff({Chunk("fmt ", fmt), Chunk("data", partialFrame)}), 0, 100, 0},
        {"data size 0", Riff({Chunk("fmt ", fmt), Chunk("data", {})}), 4, 0, 0},
        {"no data", Riff({Chunk("fmt ", fmt)}), 4, 0, 0},
        {"huge cue count and size",
         Riff({Chunk("fmt ", fmt), Chunk("data", data), Chunk("cue ", cue, true, 0xFFFFFFF0)}), 0, 100, 2},
        {"huge LIST size",
         Riff({Chunk("fmt ", fmt), Chunk("data", data),
               Chunk("LIST", rifftest::Text("INFOINAM"), true, 0xFFFFFFF0)}),
         0, 100, 0},
        {"truncated header", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0}, 4, 0, 0},
        {"truncated fmt", truncatedFmt, 3, 0, 0},
        {"not RIFF", Bytes{'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, 4, 0, 0},
        {"RIFF of another form", Riff({Chunk("fmt ", fmt), Chunk("data", data)}, "AVI "), 4, 0, 0},
        {"empty file", Bytes{}, 4, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto path = folder / "bad.wav";
        rifftest::WriteBytes(path, c.file);
        CWavFileRead r;
        ASSERT_EQ(r.OpenFile(Wide(path).c_str()), c.result);
        if (c.result != 0)
        {
            EXPECT_EQ(r.GetNumSamples(), 0);
            continue;
        }
        EXPECT_EQ(r.GetNumSamples(), c.frames);
        EXPECT_EQ(ReadAll(r)[0].size(), static_cast<size_t>(c.frames));
        EXPECT_FALSE(r.AudioDataReadErrorOccured());
        EXPECT_EQ(r.GetMarkerPtr()->GetNumMarkers(), c.markers);
    }

    CWavFileRead r;
    EXPECT_EQ(r.OpenFile(Wide(folder / "missing.wav").c_str()), 2);
    EXPECT_EQ(r.OpenFile(Wide(folder.Path()).c_str()), 2);
}

// An odd-sized chunk may or may not be followed by its pad byte. Whether the
// next chunk is found must not depend on the bytes of its size: sizes whose
// first byte (little-endian: the lowest) is printable are the ones a guess
// from the next four bytes gets wrong.
TEST(CWavFile, FindsEveryChunkBehindOddChunksWithOrWithoutThePadByte)
{
    rifftest::TempFolder folder;
    const Bytes fmt16 = FmtBody(1, 2, 44100, 16);
    const Bytes fmt24 = FmtBody(1, 1, 48000, 24);
    const Bytes odd = rifftest::Text("odd");
    auto cueChunk = [](uint32_t count)
    {
        Bytes cue;
        rifftest::Put32(cue, count);
        for (uint32_t i = 0; i < count; ++i)
            for (uint32_t v : {i + 1, 0u, 0u, 0u, 0u, i * 96})
                rifftest::Put32(cue, v);
        return Chunk("cue ", cue);
    };
    auto info = [](bool pad)
    {
        // A title of 33 bytes (its size is "!") before an artist.
        Bytes body = rifftest::Text("INFO");
        const Bytes title = Chunk("INAM", Bytes(33, 'T'), pad);
        const Bytes artist = Chunk("IART", rifftest::Text("Artist"));
        body.insert(body.end(), title.begin(), title.end());
        body.insert(body.end(), artist.begin(), artist.end());
        return Chunk("LIST", body);
    };

    struct Case
    {
        std::string name;
        Bytes file;
        int64_t frames;
        int markers;
        const char* artist;
    };
    std::vector<Case> cases;
    for (const bool pad : {true, false})
    {
        const std::string how = pad ? "padded" : "unpadded";
        // 16 and 25 frames: data sizes "@" and "d"; 100 frames: 0x190.
        for (const uint32_t frames : {16u, 25u, 100u})
            cases.push_back({how + " odd chunk before data of " + std::to_string(frames) + " frames",
                             Riff({Chunk("fmt ", fmt16), Chunk("JUNK", odd, pad),
                                   Chunk("data", Bytes(frames * 4, 0x22))}),
                             frames, 0, ""});
        // 481 frames of 24-bit mono: 1443 bytes. Cue points 2 ms apart; 2 to 5
        // of them: chunk sizes "4", "L", "d" and "|".
        for (const uint32_t count : {1u, 2u, 3u, 4u, 5u, 6u})
            cases.push_back(
                {how + " odd data before " + std::to_string(count) + " cue points",
                 Riff({Chunk("fmt ", fmt24), Chunk("data", Bytes(1443, 0x33), pad), cueChunk(count)}), 481,
                 static_cast<int>(count), ""});
        cases.push_back(
            {how + " odd data before cue points and texts",
             Riff({Chunk("fmt ", fmt24), Chunk("data", Bytes(1443, 0x33), pad), cueChunk(3), info(pad)}), 481,
             3, "Artist"});
        cases.push_back(
            {how + " odd chunk before fmt and data",
             Riff({Chunk("JUNK", odd, pad), Chunk("fmt ", fmt16), Chunk("data", Bytes(64, 0x22))}), 16, 0,
             ""});
    }
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto path = folder / "odd.wav";
        rifftest::WriteBytes(path, c.file);
        CWavFileRead r;
        const int result = r.OpenFile(Wide(path).c_str());
        EXPECT_EQ(result, kAudioFileOpened);
        if (result != kAudioFileOpened)
            continue;
        EXPECT_EQ(r.GetNumSamples(), c.frames);
        EXPECT_EQ(r.GetNumCuePoints(), c.markers);
        EXPECT_EQ(r.GetMarkerPtr()->GetNumMarkers(), c.markers);
        EXPECT_STREQ(r.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kArtist)->GetReadPtrChar(), c.artist);
        EXPECT_EQ(ReadAll(r)[0].size(), static_cast<size_t>(c.frames));
        EXPECT_FALSE(r.AudioDataReadErrorOccured());
    }
}

TEST(CWavFile, ExtractWindowShiftsMarkersAndPositions)
{
    rifftest::TempFolder folder;
    const auto path = folder / "window.wav";
    Bytes data;
    for (uint32_t i = 0; i < 1000; ++i)
        rifftest::Put16(data, i);
    Bytes cue;
    const uint32_t offsets[] = {50, 148, 580, 999, 1000, 5000};
    rifftest::Put32(cue, 6);
    for (uint32_t i = 0; i < 6; ++i)
        for (uint32_t v : {i + 1, 0u, 0u, 0u, 0u, offsets[i]})
            rifftest::Put32(cue, v);
    rifftest::WriteBytes(
        path, Riff({Chunk("fmt ", FmtBody(1, 1, 48000, 16)), Chunk("data", data), Chunk("cue ", cue)}));

    CWavFileRead r;
    ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
    EXPECT_EQ(r.GetNumSamples(), 1000);
    ExpectTimes(r.GetMarkerPtr(), {0.001, 0.003, 0.012, 0.020});
    CuePointData point;
    ASSERT_TRUE(r.ReadCuePointData(&point, 5));
    EXPECT_EQ(point.identifier, 6u);
    EXPECT_EQ(point.sampleOffset, 5000u);
    EXPECT_FALSE(r.ReadCuePointData(&point, 6));
    EXPECT_EQ(point.sampleOffset, 0u);

    // The markers of the window, moved to its start.
    r.ExtractData(100, -1);
    ExpectTimes(r.GetMarkerPtr(), {0.001, 0.010, 0.018});
    pcmtest::ExpectWindowsOfRamp(r);
    ExpectTimes(r.GetMarkerPtr(), {0.0}); // the window of frame 999 alone
}

TEST(CWavFile, CuePointLimitAndNoEmptyChunks)
{
    rifftest::TempFolder folder;
    const auto path = folder / "cues.wav";
    {
        CWavFileWrite w;
        ASSERT_EQ(w.OpenFile(Wide(path).c_str(), 48000, 24, 1, 0), 0);
        for (int i = 1; i <= 2000; ++i)
            w.GetMarkerPtr()->Add(i * 0.001);
        Planar one = {{0x12345600}};
        auto ptrs = Pointers(one);
        ASSERT_EQ(w.WriteAudioData(ptrs.data(), 1), 1u);
        ASSERT_TRUE(w.CloseFile());
    }
    CWavFileRead r;
    ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
    EXPECT_EQ(r.GetNumCuePoints(), 1024);
    CuePointData point;
    ASSERT_TRUE(r.ReadCuePointData(&point, 1023));
    EXPECT_EQ(point.identifier, 1024u);
    EXPECT_EQ(point.sampleOffset, 49176u); // (1.024 s + 0.5 ms) x 48000
    EXPECT_FALSE(r.ReadCuePointData(&point, 1024));
    r.CloseFile();

    // No markers and no texts: the data chunk (padded) is all.
    {
        CWavFileWrite w;
        ASSERT_EQ(w.OpenFile(Wide(path).c_str(), 48000, 24, 1, 0), 0);
        w.GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kTitle)->SetString("caf\xC3\xA9", -1, false);
        Planar one = {{0x12345600}};
        auto ptrs = Pointers(one);
        ASSERT_EQ(w.WriteAudioData(ptrs.data(), 1), 1u);
        ASSERT_TRUE(w.CloseFile());
    }
    const Bytes file = rifftest::ReadBytes(path);
    EXPECT_EQ(file.size(), 48u);
    EXPECT_EQ(rifftest::Get32(file, 4), 40u);
    EXPECT_EQ(rifftest::Get32(file, 40), 3u);
}

TEST(CWavFile, WriterRefusesWhatItCannotWrite)
{
    rifftest::TempFolder folder;
    const auto path = folder / "x.wav";
    struct Case
    {
        uint32_t rate;
        uint16_t bits;
        uint16_t channels;
        int result;
    };
    for (const Case& c : {Case{44100, 8, 2, 3}, Case{44100, 20, 2, 3}, Case{44100, 16, 3, 3},
                          Case{44100, 16, 0, 3}, Case{0, 16, 2, 3}, Case{192000, 32, 2, 0}})
    {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.bits << " bits " << c.channels << " ch");
        CWavFileWrite w;
        EXPECT_EQ(w.OpenFile(Wide(path).c_str(), c.rate, c.bits, c.channels, 0), c.result);
        EXPECT_EQ(w.GetCurTimeSecond(), 0.0);
        w.RemoveFile();
    }
    EXPECT_TRUE(rifftest::FolderEntries(folder.Path()).empty());
    CWavFileWrite w;
    EXPECT_EQ(w.OpenFile(Wide(folder / "no-folder" / "x.wav").c_str(), 44100, 16, 2, 0), 2);
    EXPECT_FALSE(w.CloseFile());
}

TEST(CWavFile, WriterKeepsTheTargetUntilItSucceeds)
{
    rifftest::TempFolder folder;
    const auto path = folder / "song.wav";
    const Bytes old = rifftest::Text("the old file");
    rifftest::WriteBytes(path, old);
    Planar samples = MakeSamples(2, 50000, 16, 7);
    auto ptrs = Pointers(samples);

    pcmtest::ExpectTargetKeptOnFailure<CWavFileWrite>(folder, "song.wav");

    // The folder disappears before the close.
    {
        const auto sub = folder / "gone";
        std::filesystem::create_directory(sub);
        CWavFileWrite w;
        ASSERT_EQ(w.OpenFile(Wide(sub / "x.wav").c_str(), 44100, 16, 2, 0), 0);
        EXPECT_EQ(w.WriteAudioData(ptrs.data(), 100), 100u);
        std::filesystem::remove_all(sub);
        EXPECT_FALSE(w.CloseFile());
        EXPECT_FALSE(std::filesystem::exists(sub));
    }

    // Success replaces the target at the close only.
    {
        CWavFileWrite w;
        ASSERT_EQ(w.OpenFile(Wide(path).c_str(), 44100, 16, 2, 0), 0);
        EXPECT_EQ(w.WriteAudioData(ptrs.data(), 50000), 50000u);
        EXPECT_EQ(rifftest::ReadBytes(path), old);
        EXPECT_TRUE(w.CloseFile());
    }
    CWavFileRead r;
    ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
    EXPECT_EQ(ReadAll(r), samples);
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), std::vector<std::string>{"song.wav"});

    // CloseAndRenameFile finishes the file under the new name.
    {
        CWavFileWrite w;
        ASSERT_EQ(w.OpenFile(Wide(folder / "first.wav").c_str(), 44100, 16, 2, 0), 0);
        EXPECT_EQ(w.WriteAudioData(ptrs.data(), 10), 10u);
        EXPECT_TRUE(w.CloseAndRenameFile(Wide(folder / "second.wav").c_str()));
    }
    EXPECT_EQ(rifftest::FolderEntries(folder.Path()), (std::vector<std::string>{"second.wav", "song.wav"}));
}

TEST(CWavFile, WriterStopsBeforeTheSizeLimit)
{
    rifftest::TempFolder folder;
    const auto path = folder / "limit.wav";
    CWavFileWriteWithLimit w;
    w.LimitDataSize(1000);
    ASSERT_EQ(w.OpenFile(Wide(path).c_str(), 44100, 16, 2, 0), 0);
    Planar samples = MakeSamples(2, 300, 16, 3);
    auto ptrs = Pointers(samples);
    EXPECT_EQ(w.WriteAudioData(ptrs.data(), 200), 200u);
    EXPECT_EQ(w.WriteAudioData(ptrs.data(), 100), 50u);
    EXPECT_EQ(w.WriteAudioData(ptrs.data(), 1), 0u);
    EXPECT_TRUE(w.CloseFile());
    CWavFileRead r;
    ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
    EXPECT_EQ(r.GetNumSamples(), 250);
}

TEST(CWavFile, ShortReadSetsTheErrorFlagUntilTheNextSeek)
{
    rifftest::TempFolder folder;
    const auto path = folder / "short.wav";
    ASSERT_TRUE(WriteWav(path, 44100, 16, MakeSamples(2, 100000, 16, 9), {}, nullptr));
    CWavFileRead r;
    ASSERT_EQ(r.OpenFile(Wide(path).c_str()), 0);
    pcmtest::ExpectShortRead(r, path, 44);
}

TEST(CWavFile, ReadsFilesOfOtherTools)
{
    if (!rifftest::HaveTool("sox") || !rifftest::HaveTool("ffmpeg"))
        GTEST_SKIP() << "sox and ffmpeg are needed";
    rifftest::TempFolder folder;
    const auto raw = (folder / "in.raw").string();
    const auto wav = (folder / "tool.wav").string();
    struct Case
    {
        const char* name;
        uint16_t bits;
        uint16_t channels;
        uint32_t rate;
        uint32_t frames;
        std::string command;
        int result;
    };
    const Case cases[] = {
        {"sox 16-bit stereo", 16, 2, 44100, 2001,
         "sox -D -t raw -r 44100 -e signed -b 16 -c 2 " + raw + " " + wav, 0},
        {"sox float stereo (fmt 18 and fact)", 32, 2, 48000, 2001,
         "sox -D -t raw -r 48000 -e floating-point -b 32 -c 2 " + raw + " " + wav, 0},
        {"sox 24-bit mono", 24, 1, 96000, 2001,
         "sox -D -t raw -r 96000 -e signed -b 24 -c 1 " + raw + " -t wavpcm " + wav, 0},
        {"ffmpeg 16-bit stereo with INFO", 16, 2, 48000, 2001,
         "ffmpeg -v error -y -f s16le -ar 48000 -ac 2 -i " + raw +
             " -metadata title=Me -metadata artist=Odd -metadata genre=Jazz -metadata date=1999 " + wav,
         0},
        {"ffmpeg 24-bit (extensible format)", 24, 1, 44100, 2001,
         "ffmpeg -v error -y -f s24le -ar 44100 -ac 1 -i " + raw + " -c:a pcm_s24le " + wav, 3},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const Planar samples = MakeSamples(c.channels, c.frames, c.bits, c.frames + c.bits);
        rifftest::WriteBytes(raw, Interleave(samples, c.bits));
        std::filesystem::remove(wav);
        ASSERT_EQ(RunQuietly(c.command), 0) << c.command;
        CWavFileRead r;
        ASSERT_EQ(r.OpenFile(Wide(wav).c_str()), c.result);
        if (c.result != 0)
            continue;
        EXPECT_EQ(r.GetSampleRate(), c.rate);
        EXPECT_EQ(r.GetBitsPerSample(), c.bits);
        EXPECT_EQ(r.GetNumSamples(), c.frames);
        EXPECT_EQ(ReadAll(r), samples);
        if (c.command.rfind("ffmpeg", 0) == 0)
        {
            CAudioMetaData* meta = r.GetMetaDataPtr();
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kTitle)->GetReadPtrChar(), "Me");
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kArtist)->GetReadPtrChar(), "Odd");
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kGenre)->GetReadPtrChar(), "Jazz");
            EXPECT_STREQ(meta->GetStringPtr(CAudioMetaData::kRecDate)->GetReadPtrChar(), "1999");
            EXPECT_FALSE(meta->GetStringPtr(CAudioMetaData::kEncodingSoftware)->IsEmpty());
        }
    }
}

TEST(CWavFile, OtherToolsReadOurFiles)
{
    if (!rifftest::HaveTool("sox") || !rifftest::HaveTool("ffprobe"))
        GTEST_SKIP() << "sox and ffprobe are needed";
    rifftest::TempFolder folder;
    const auto wav = (folder / "ours.wav").string();
    const auto raw = (folder / "out.raw").string();
    struct Case
    {
        uint16_t bits;
        uint16_t channels;
        uint32_t frames;
    };
    for (const Case& c : {Case{24, 1, 3001}, Case{16, 2, 3001}, Case{32, 2, 3001}})
    {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.channels << " channels");
        const Planar samples = MakeSamples(c.channels, c.frames, c.bits, 11);
        ASSERT_TRUE(WriteWav(wav, 44100, c.bits, samples, {0.01, 0.02}, &kTexts));

        std::filesystem::remove(raw);
        ASSERT_EQ(RunQuietly("sox -D " + wav + " -t raw " + raw), 0);
        EXPECT_EQ(rifftest::ReadBytes(raw), Interleave(samples, c.bits));

        const std::string format = RunCapture("ffprobe -v error -show_format -show_streams " + wav);
        EXPECT_NE(format.find("duration_ts=" + std::to_string(c.frames) + "\n"), std::string::npos) << format;
        EXPECT_NE(format.find("TAG:title=Night Song\n"), std::string::npos) << format;
        EXPECT_NE(format.find("TAG:artist=The Band\n"), std::string::npos) << format;
        EXPECT_NE(format.find("TAG:genre=Ambient\n"), std::string::npos) << format;
        EXPECT_NE(format.find("TAG:date=2024-05-06\n"), std::string::npos) << format;
        EXPECT_NE(format.find("TAG:encoder=Vextal test\n"), std::string::npos) << format;
    }
}
