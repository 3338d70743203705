#include "common/file/CAudioCDRead.h"
#include "common/disc/CCdTextInfoRead.h"
#include "common/file/CAudioCDReadWorkAroundLinux.h"
#include "common/file/CCdaFileRead.h"

#include "tests/common/disc/CdTestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using cdtest::Image;
using cdtest::Left32;
using cdtest::Right32;
using cdtest::TempFolder;
using cdtest::Wide;

namespace
{
constexpr int64_t kSector = cdtest::kFramesPerSector;

// Three audio tracks at sectors 0, 100 and 190 (its pre-gap from 180), 250
// sectors in all. Starts at LBA 150, 250, 340 and the lead-out at 400 give
// the identifier 0x09000303: digit sum 2 + 3 + 4, 400/75 - 150/75 = 3 s, 3
// tracks.
Image ThreeTracks()
{
    Image image;
    image.tracks = {
        {"AUDIO", 0, -1, "First", "Singer"}, {"AUDIO", 100, -1, "Second"}, {"AUDIO", 190, 180, "Third"}};
    image.sectors = 250;
    image.title = "Album";
    image.performer = "Band";
    return image;
}

// A data track (sectors 0-99) and two audio tracks at 100 and 180, 300
// sectors in all: LBA 150, 250, 330, lead-out 450 give 0x09000403.
Image DataFirst()
{
    Image image;
    image.tracks = {
        {"MODE1/2352", 0, -1, "Data"}, {"AUDIO", 100, -1, "Two", "P2"}, {"AUDIO", 180, -1, "Three"}};
    image.sectors = 300;
    image.title = "Enhanced";
    return image;
}

// Two audio tracks followed by a data track.
Image DataLast()
{
    Image image;
    image.tracks = {{"AUDIO", 0}, {"AUDIO", 100}, {"MODE1/2352", 180}};
    image.sectors = 240;
    return image;
}

struct Frames
{
    std::vector<int32_t> left;
    std::vector<int32_t> right;
    explicit Frames(size_t n, int32_t fill = 0x7777) : left(n, fill), right(n, fill) {}
    int32_t* bufs[2];
    int32_t** Bufs()
    {
        bufs[0] = left.data();
        bufs[1] = right.data();
        return bufs;
    }
};

// Checks n frames from index offset against the disc's frames from
// discFrame on.
::testing::AssertionResult MatchesDisc(const Frames& f, size_t offset, size_t n, int64_t discFrame)
{
    for (size_t i = 0; i < n; ++i)
    {
        const int64_t d = discFrame + static_cast<int64_t>(i);
        if (f.left[offset + i] != Left32(d) || f.right[offset + i] != Right32(d))
            return ::testing::AssertionFailure() << "frame " << i << " differs from disc frame " << d;
    }
    return ::testing::AssertionSuccess();
}

bool IsSilent(const Frames& f, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (f.left[i] != 0 || f.right[i] != 0)
            return false;
    return true;
}

std::wstring Text(CAudioCDRead& r, int field)
{
    return r.GetMetaDataPtr()->GetStringPtr(field)->GetReadPtrWChar();
}

class CAudioCDReadTest : public ::testing::Test
{
protected:
    void SetUp() override { m_cue = Wide(cdtest::WriteImage(m_folder.Path(), "disc", ThreeTracks())); }

    TempFolder m_folder;
    std::wstring m_cue;
};
} // namespace

TEST_F(CAudioCDReadTest, OpensTheWholeDisc)
{
    CAudioCDRead reader(true);
    ASSERT_EQ(reader.OpenFile(m_cue.c_str()), 0);
    EXPECT_STREQ(reader.GetFormatUniqueID(), "CD");
    EXPECT_EQ(reader.GetSampleRate(), 44100u);
    EXPECT_EQ(reader.GetBitsPerSample(), 16);
    EXPECT_EQ(reader.GetNumChannels(), 2);
    EXPECT_EQ(std::wstring(reader.GetFileName()), m_cue);
    EXPECT_EQ(reader.GetMediaUniqueID(), 0x09000303);
    EXPECT_EQ(reader.GetNumTracks(), 3);
    EXPECT_EQ(reader.GetNumSamples(), 250 * kSector);
    EXPECT_EQ(reader.GetAbsStartSample(), 0);
    EXPECT_EQ(reader.GetTrackStartPosition(0), 0);
    EXPECT_EQ(reader.GetTrackStartPosition(1), 100 * kSector);
    EXPECT_EQ(reader.GetTrackStartPosition(2), 190 * kSector);
    EXPECT_EQ(reader.GetTrackStartPosition(3), 250 * kSector);
    EXPECT_EQ(reader.GetTrackStartPosition(4), 0);

    // A marker at every track start, in seconds.
    CMarker* markers = reader.GetMarkerPtr();
    ASSERT_EQ(markers->GetNumMarkers(), 3);
    EXPECT_DOUBLE_EQ(markers->GetMarkerTimeSecond(0), 0.0);
    EXPECT_DOUBLE_EQ(markers->GetMarkerTimeSecond(1), 100.0 * 588 / 44100);
    EXPECT_DOUBLE_EQ(markers->GetMarkerTimeSecond(2), 190.0 * 588 / 44100);

    EXPECT_EQ(Text(reader, CAudioMetaData::kAlbum), L"Album");
    EXPECT_EQ(Text(reader, CAudioMetaData::kTitle), L"Album");
    EXPECT_EQ(Text(reader, CAudioMetaData::kArtist), L"Band");

    // Track numbers: the track starting at or before a position.
    EXPECT_EQ(reader.GetTrackNumber(0), 0);
    EXPECT_EQ(reader.GetTrackNumber(100 * kSector - 1), 0);
    EXPECT_EQ(reader.GetTrackNumber(100 * kSector), 1);
    EXPECT_EQ(reader.GetTrackNumber(190 * kSector), 2);
    EXPECT_EQ(reader.GetTrackNumber(1000 * kSector), 2);
    EXPECT_EQ(reader.GetTrackNumber(-5), 0);

    reader.CloseFile();
    EXPECT_EQ(reader.GetNumTracks(), 0);
    EXPECT_EQ(reader.GetMediaUniqueID(), 0);
    EXPECT_EQ(reader.GetMarkerPtr()->GetNumMarkers(), 0);
    EXPECT_EQ(std::wstring(reader.GetFileName()), L"");
}

TEST_F(CAudioCDReadTest, OpenResults)
{
    CAudioCDRead reader(false);
    EXPECT_EQ(reader.OpenFile(Wide(m_folder / "missing.cue").c_str()), 1);
    EXPECT_EQ(reader.OpenFile(L"/home/me/song.wav"), 1);
    EXPECT_EQ(reader.OpenFile(L"/dev/vextal-no-such-drive"), 1);
    // A track path opens the disc with that track selected.
    ASSERT_EQ(reader.OpenFile((m_cue + L"/Track 02").c_str()), 0);
    EXPECT_EQ(reader.GetAbsStartSample(), 100 * kSector);
    EXPECT_EQ(reader.GetNumSamples(), 90 * kSector);
    EXPECT_EQ(std::wstring(reader.GetFileName()), m_cue);
    // A track that doesn't exist.
    EXPECT_EQ(reader.OpenFile((m_cue + L"/Track 04").c_str()), 3);
    EXPECT_EQ(reader.GetNumTracks(), 0);

    // A disc of data only has no audio to open.
    Image data;
    data.tracks = {{"MODE1/2352", 0}};
    data.sectors = 20;
    EXPECT_EQ(reader.OpenFile(Wide(cdtest::WriteImage(m_folder.Path(), "data", data)).c_str()), 2);
}

// Every frame of the disc arrives as it is on the disc, whatever the size of
// the reads, across the track boundaries, as integers and as floats.
TEST_F(CAudioCDReadTest, ReadsTheAudioExactly)
{
    CAudioCDRead reader(false);
    ASSERT_EQ(reader.OpenFile(m_cue.c_str()), 0);
    const int64_t total = reader.GetNumSamples();
    Frames f(static_cast<size_t>(total) + 100);
    int64_t done = 0;
    for (uint32_t chunk = 1; done < total; chunk = chunk * 3 % 9973 + 1)
    {
        const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(chunk, total - done + 50));
        const uint32_t got = reader.ReadAudioData(f.Bufs(), want, static_cast<uint32_t>(done));
        ASSERT_EQ(got, static_cast<uint32_t>(std::min<int64_t>(want, total - done)));
        done += got;
    }
    EXPECT_TRUE(MatchesDisc(f, 0, static_cast<size_t>(total), 0));
    EXPECT_TRUE(IsSilent(f, static_cast<size_t>(total), static_cast<size_t>(total) + 50));
    EXPECT_FALSE(reader.AudioDataReadErrorOccured());
    EXPECT_EQ(reader.ReadAudioData(f.Bufs(), 10, 0), 0u);

    // Floats are the integers divided by 2^31.
    reader.SetCurSamplePosition(100 * kSector - 3);
    std::vector<float> l(6), r(6);
    float* fb[2] = {l.data(), r.data()};
    ASSERT_EQ(reader.ReadAudioData(fb, 6, 0), 6u);
    for (int i = 0; i < 6; ++i)
    {
        const int64_t d = 100 * kSector - 3 + i;
        EXPECT_FLOAT_EQ(l[i], static_cast<float>(Left32(d) / 2147483648.0));
        EXPECT_FLOAT_EQ(r[i], static_cast<float>(Right32(d) / 2147483648.0));
    }
}

TEST_F(CAudioCDReadTest, WindowsAndSeeks)
{
    CAudioCDRead reader(true);
    ASSERT_EQ(reader.OpenFile(m_cue.c_str()), 0);
    const int64_t boundary = 100 * kSector;

    // A window across the boundary of tracks 1 and 2.
    reader.ExtractData(boundary - 10, boundary + 10);
    EXPECT_EQ(reader.GetAbsStartSample(), boundary - 10);
    EXPECT_EQ(reader.GetNumSamples(), 20);
    ASSERT_EQ(reader.GetMarkerPtr()->GetNumMarkers(), 1);
    EXPECT_DOUBLE_EQ(reader.GetMarkerPtr()->GetMarkerTimeSecond(0), 10.0 / 44100);
    Frames f(30);
    EXPECT_EQ(reader.ReadAudioData(f.Bufs(), 30, 0), 20u);
    EXPECT_TRUE(MatchesDisc(f, 0, 20, boundary - 10));
    EXPECT_TRUE(IsSilent(f, 20, 30));

    // Seeks are limited to the window.
    reader.SetCurSamplePosition(5);
    EXPECT_EQ(reader.GetCurSamplePosition(), 5);
    reader.SetCurSamplePosition(-7);
    EXPECT_EQ(reader.GetCurSamplePosition(), 0);
    reader.SetCurSamplePosition(500);
    EXPECT_EQ(reader.GetCurSamplePosition(), 20);
    EXPECT_EQ(reader.GetNumSamplesLeft(), 0);

    // Limits of ExtractData: an end at or before start, or beyond the disc,
    // is the end of the disc; a start beyond it is the disc's length.
    reader.ExtractData(-50, boundary);
    EXPECT_EQ(reader.GetAbsStartSample(), 0);
    EXPECT_EQ(reader.GetNumSamples(), boundary);
    reader.ExtractData(boundary, -1);
    EXPECT_EQ(reader.GetAbsStopSample(), 250 * kSector);
    reader.ExtractData(boundary, 1 << 30);
    EXPECT_EQ(reader.GetAbsStopSample(), 250 * kSector);
    reader.ExtractData(int64_t(1) << 40, 5);
    EXPECT_EQ(reader.GetNumSamples(), 0);

    // Seek by time, then read on from there.
    reader.ExtractData(0, -1);
    EXPECT_DOUBLE_EQ(reader.SetCurTimeSecond(1.5), 1.5);
    EXPECT_EQ(reader.GetCurSamplePosition(), 66150);
    Frames g(1000);
    ASSERT_EQ(reader.ReadAudioData(g.Bufs(), 1000, 0), 1000u);
    EXPECT_TRUE(MatchesDisc(g, 0, 1000, 66150));
}

TEST_F(CAudioCDReadTest, SelectTrack)
{
    CAudioCDRead reader(true);
    ASSERT_EQ(reader.OpenFile(m_cue.c_str()), 0);
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        ASSERT_TRUE(reader.SelectTrack(i));
        EXPECT_EQ(reader.GetAbsStartSample(), reader.GetTrackStartPosition(i));
        EXPECT_EQ(reader.GetAbsStopSample(), reader.GetTrackStartPosition(i + 1));
        EXPECT_EQ(reader.GetMarkerPtr()->GetNumMarkers(), 0);
        EXPECT_EQ(reader.GetDiscTrackNumber(i), i + 1);
        Frames f(4);
        ASSERT_EQ(reader.ReadAudioData(f.Bufs(), 4, 0), 4u);
        EXPECT_TRUE(MatchesDisc(f, 0, 4, reader.GetTrackStartPosition(i)));
    }
    EXPECT_EQ(Text(reader, CAudioMetaData::kTitle), L"Third");
    EXPECT_EQ(Text(reader, CAudioMetaData::kAlbum), L"Album");
    ASSERT_TRUE(reader.SelectTrack(0));
    EXPECT_EQ(Text(reader, CAudioMetaData::kTitle), L"First");
    EXPECT_EQ(Text(reader, CAudioMetaData::kArtist), L"Singer");

    EXPECT_FALSE(reader.SelectTrack(3));
    EXPECT_FALSE(reader.SelectTrack(-1));
    EXPECT_EQ(reader.GetAbsStartSample(), 0);
}

// The stream starts at the first audio track; CD-Text is looked up by the
// disc's own track numbers.
TEST_F(CAudioCDReadTest, DataFirstTrack)
{
    const std::wstring cue = Wide(cdtest::WriteImage(m_folder.Path(), "enhanced", DataFirst()));
    CAudioCDRead reader(true);
    ASSERT_EQ(reader.OpenFile(cue.c_str()), 0);
    EXPECT_EQ(reader.GetNumTracks(), 2);
    EXPECT_EQ(reader.GetNumSamples(), 200 * kSector);
    EXPECT_EQ(reader.GetTrackStartPosition(1), 80 * kSector);
    EXPECT_EQ(reader.GetMediaUniqueID(), 0x09000403);
    ASSERT_EQ(reader.GetMarkerPtr()->GetNumMarkers(), 2);
    EXPECT_DOUBLE_EQ(reader.GetMarkerPtr()->GetMarkerTimeSecond(1), 80.0 * 588 / 44100);
    Frames f(8);
    ASSERT_EQ(reader.ReadAudioData(f.Bufs(), 8, 0), 8u);
    EXPECT_TRUE(MatchesDisc(f, 0, 8, 100 * kSector));

    ASSERT_TRUE(reader.SelectTrack(0));
    EXPECT_EQ(reader.GetDiscTrackNumber(0), 2);
    EXPECT_EQ(Text(reader, CAudioMetaData::kTitle), L"Two");
    EXPECT_EQ(Text(reader, CAudioMetaData::kArtist), L"P2");
    EXPECT_EQ(Text(reader, CAudioMetaData::kAlbum), L"Enhanced");
    ASSERT_TRUE(reader.SelectTrack(1));
    EXPECT_EQ(Text(reader, CAudioMetaData::kTitle), L"Three");
    EXPECT_EQ(Text(reader, CAudioMetaData::kArtist), L"");

    // The data track has no track path to open.
    EXPECT_EQ(reader.OpenFile((cue + L"/Track 01").c_str()), 3);
    ASSERT_EQ(reader.OpenFile((cue + L"/Track 03").c_str()), 0);
    EXPECT_EQ(reader.GetAbsStartSample(), 80 * kSector);
}

TEST_F(CAudioCDReadTest, DataLastTrack)
{
    const std::wstring cue = Wide(cdtest::WriteImage(m_folder.Path(), "datalast", DataLast()));
    CAudioCDRead reader(false);
    ASSERT_EQ(reader.OpenFile(cue.c_str()), 0);
    EXPECT_EQ(reader.GetNumTracks(), 2);
    // An image has no session gap: the audio ends where the data track
    // starts.
    EXPECT_EQ(reader.GetNumSamples(), 180 * kSector);
    EXPECT_EQ(reader.GetTrackStartPosition(2), 180 * kSector);
}

// A disc image cut short after opening: the read stops at the cut with the
// error flag set and silence behind it, never with data that wasn't read.
TEST_F(CAudioCDReadTest, FailedReadIsSilenceAndAnError)
{
    CAudioCDRead reader(false);
    ASSERT_EQ(reader.OpenFile(m_cue.c_str()), 0);
    Frames first(1000);
    ASSERT_EQ(reader.ReadAudioData(first.Bufs(), 1000, 0), 1000u);

    const std::filesystem::path bin = m_folder / "disc.bin";
    ASSERT_EQ(::truncate(bin.c_str(), 150 * cdtest::kBytesPerSector + 100), 0);

    reader.SetCurSamplePosition(120 * kSector);
    const uint32_t n = 40 * kSector;
    Frames f(n);
    const uint32_t got = reader.ReadAudioData(f.Bufs(), n, 0);
    EXPECT_LT(got, n);
    EXPECT_LE(got, 30u * kSector);
    EXPECT_TRUE(MatchesDisc(f, 0, got, 120 * kSector));
    EXPECT_TRUE(IsSilent(f, got, n));
    EXPECT_TRUE(reader.AudioDataReadErrorOccured());
    EXPECT_EQ(reader.GetCurSamplePosition(), 120 * kSector + got);

    // Floats the same way.
    std::vector<float> l(n, 9.f), r(n, 9.f);
    float* fb[2] = {l.data(), r.data()};
    EXPECT_EQ(reader.ReadAudioData(fb, n, 0), 0u);
    EXPECT_TRUE(std::all_of(l.begin(), l.end(), [](float v) { return v == 0.f; }));

    // A seek clears the flag; what is still on the disc reads again.
    reader.SetCurSamplePosition(10 * kSector);
    EXPECT_FALSE(reader.AudioDataReadErrorOccured());
    Frames g(100);
    ASSERT_EQ(reader.ReadAudioData(g.Bufs(), 100, 0), 100u);
    EXPECT_TRUE(MatchesDisc(g, 0, 100, 10 * kSector));
}

TEST_F(CAudioCDReadTest, CdaFile)
{
    const auto writeCda =
        [&](const std::string& name, uint16_t track, uint32_t start, uint32_t fmtSize, const char* form)
    {
        cdtest::Bytes b;
        const auto u32 = [&](uint32_t v)
        {
            for (int i = 0; i < 4; ++i)
                b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        };
        const auto id = [&](const char* s) { b.insert(b.end(), s, s + 4); };
        id("RIFF");
        u32(fmtSize + 12);
        id(form);
        id("fmt ");
        u32(fmtSize);
        cdtest::Bytes body(fmtSize);
        if (fmtSize >= 8)
        {
            body[0] = 1;
            body[2] = static_cast<uint8_t>(track);
            body[8] = static_cast<uint8_t>(start);
            body[9] = static_cast<uint8_t>(start >> 8);
        }
        b.insert(b.end(), body.begin(), body.end());
        const std::filesystem::path p = m_folder / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return Wide(p);
    };

    CCdaFileRead reader(true);
    ASSERT_EQ(reader.OpenFile(writeCda("Track02.cda", 2, 100, 24, "CDDA").c_str()), 0);
    EXPECT_EQ(reader.GetHeader().trackNumber, 2);
    EXPECT_EQ(reader.GetAbsStartSample(), 100 * kSector);
    EXPECT_EQ(reader.GetNumSamples(), 90 * kSector);
    EXPECT_EQ(std::wstring(reader.GetFileName()), m_cue);
    EXPECT_EQ(reader.GetMediaUniqueID(), 0x09000303);
    EXPECT_EQ(Text(reader, CAudioMetaData::kTitle), L"Second");

    // Among two images the one whose track starts where the file says wins.
    Image other;
    other.tracks = {{"AUDIO", 0}, {"AUDIO", 40}};
    other.sectors = 60;
    cdtest::WriteImage(m_folder.Path(), "a-other", other);
    ASSERT_EQ(reader.OpenFile(writeCda("T2.cda", 2, 100 + 150, 24, "CDDA").c_str()), 0);
    EXPECT_EQ(std::wstring(reader.GetFileName()), m_cue);
    ASSERT_EQ(reader.OpenFile(writeCda("T2b.cda", 2, 40, 24, "CDDA").c_str()), 0);
    EXPECT_EQ(std::wstring(reader.GetFileName()), Wide(m_folder / "a-other.cue"));

    EXPECT_EQ(reader.OpenFile(writeCda("Track09.cda", 9, 0, 24, "CDDA").c_str()), 3);
    EXPECT_EQ(reader.GetHeader().trackNumber, 0);
    EXPECT_EQ(reader.OpenFile(writeCda("short.cda", 2, 100, 16, "CDDA").c_str()), 3);
    EXPECT_EQ(reader.OpenFile(writeCda("wave.cda", 2, 100, 24, "WAVE").c_str()), 4);
    EXPECT_EQ(reader.OpenFile(Wide(m_folder / "none.cda").c_str()), 2);

    // No disc image beside the file (and no drive holding a disc).
    TempFolder lonely;
    const std::filesystem::path lone = lonely / "Track02.cda";
    std::filesystem::copy_file(m_folder / "Track02.cda", lone);
    EXPECT_EQ(reader.OpenFile(Wide(lone).c_str()), 2);
}

// The per-track reader: one track of the disc, read directly, with the
// disc's identifier; a song running over the track's end reads on.
TEST_F(CAudioCDReadTest, WorkAroundTrackReader)
{
    CAudioCDRead disc(false);
    ASSERT_EQ(disc.OpenFile(m_cue.c_str()), 0);
    const int64_t songStart = 150 * kSector;
    const int track = disc.GetTrackNumber(songStart);
    const int64_t offset = disc.GetTrackStartPosition(track);
    const int id = disc.GetMediaUniqueID();
    disc.CloseFile();

    CAudioCDReadWorkAroundLinux reader;
    ASSERT_EQ(reader.OpenTrack(m_cue.c_str(), track, offset), 0);
    EXPECT_STREQ(reader.GetFormatUniqueID(), "CD");
    EXPECT_EQ(reader.GetMediaUniqueID(), id);
    EXPECT_EQ(std::wstring(reader.GetFileName()), m_cue);
    EXPECT_EQ(reader.GetTrackOffset(), 100 * kSector);
    EXPECT_EQ(reader.GetAbsStartSample(), 100 * kSector);
    EXPECT_EQ(reader.GetNumSamples(), 90 * kSector);
    EXPECT_EQ(reader.GetMarkerPtr()->GetNumMarkers(), 0);

    // To the end of the track...
    reader.ExtractData(songStart, -1);
    EXPECT_EQ(reader.GetAbsStopSample(), 190 * kSector);
    // ...or across it into the next one.
    reader.ExtractData(songStart, 200 * kSector);
    EXPECT_EQ(reader.GetMarkerPtr()->GetNumMarkers(), 0);
    const uint32_t n = static_cast<uint32_t>(50 * kSector);
    Frames f(n);
    ASSERT_EQ(reader.ReadAudioData(f.Bufs(), n, 0), n);
    EXPECT_TRUE(MatchesDisc(f, 0, n, songStart));

    EXPECT_EQ(reader.OpenTrack(m_cue.c_str(), 3, 0), 3);
    EXPECT_EQ(reader.OpenTrack(m_cue.c_str(), -1, 0), 3);
    EXPECT_EQ(reader.OpenTrack(Wide(m_folder / "missing.cue").c_str(), 0, 0), 1);
    ASSERT_EQ(reader.OpenFile((m_cue + L"/Track 03").c_str()), 0);
    EXPECT_EQ(reader.GetAbsStartSample(), 190 * kSector);
    ASSERT_EQ(reader.OpenFile(m_cue.c_str()), 0);
    EXPECT_EQ(reader.GetAbsStopSample(), 100 * kSector);
}
