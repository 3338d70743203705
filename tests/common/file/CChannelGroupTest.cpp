#include "common/file/CChannelGroupRead.h"
#include "common/file/CChannelGroupWrite.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/CWavFileRead.h"

#include "tests/common/file/SongStreamTestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace songtest;

namespace
{
class CChannelGroupTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_files.ok); }

    bool Open(CChannelGroupRead& group, const SectionParts& tracks)
    {
        m_section.DeleteAll();
        FillSection(&m_section, tracks);
        return group.OpenSection(&m_section);
    }

    RampFiles m_files;
    CPlaylistSection m_section;
};

// Every frame of channel c of a buffer from index offset is the ramp value
// first + i of channel sourceChannel, for count frames.
::testing::AssertionResult ChannelHolds(const std::vector<int32_t>& d, size_t offset, int64_t first,
                                        size_t count, int sourceChannel)
{
    for (size_t i = 0; i < count; ++i)
    {
        if (d[offset + i] != RampSample(first + static_cast<int64_t>(i), sourceChannel))
            return ::testing::AssertionFailure() << "frame " << i << ": " << (d[offset + i] >> 16);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ChannelIs(const std::vector<int32_t>& d, size_t from, size_t to, int32_t value)
{
    for (size_t i = from; i < to; ++i)
    {
        if (d[i] != value)
            return ::testing::AssertionFailure() << "index " << i << ": 0x" << std::hex << d[i];
    }
    return ::testing::AssertionSuccess();
}
} // namespace

// A mono section read into two channels at a destination offset: channel 1 is
// a copy of channel 0 over exactly the frames of the read.
TEST_F(CChannelGroupTest, MonoIsDuplicatedAtTheDestinationOffset)
{
    CChannelGroupRead g;
    ASSERT_TRUE(Open(g, {{{m_files.m}}}));
    EXPECT_EQ(g.GetNumChannels(), 1);
    g.SetCurSamplePosition(100);
    Planar<int32_t> p(2, 450);
    ASSERT_EQ(g.ReadAudioData(p.Bufs(), 300, 50), 300u);
    for (int c = 0; c < 2; ++c)
    {
        SCOPED_TRACE(c);
        EXPECT_TRUE(ChannelIs(p.data[c], 0, 50, kSentinel));
        EXPECT_TRUE(ChannelHolds(p.data[c], 50, kM + 100, 300, 0));
        EXPECT_TRUE(ChannelIs(p.data[c], 350, 450, kSentinel));
    }

    // Past the end of the track the copy is silence as well.
    Planar<int32_t> q(2, 300);
    ASSERT_EQ(g.ReadAudioData(q.Bufs(), 250, 20), 100u);
    for (int c = 0; c < 2; ++c)
    {
        EXPECT_TRUE(ChannelHolds(q.data[c], 20, kM + 400, 100, 0));
        EXPECT_TRUE(ChannelIs(q.data[c], 120, 270, 0));
    }
}

// A stereo and a mono track into two output channels: the mono track's
// channel is read and dropped.
TEST_F(CChannelGroupTest, StereoPlusMonoIntoTwoChannels)
{
    CChannelGroupRead g;
    ASSERT_TRUE(Open(g, {{{m_files.a}}, {{m_files.m}}}));
    EXPECT_EQ(g.GetNumChannels(), 3);
    EXPECT_EQ(g.GetNumSamples(), 1000);
    Planar<int32_t> p(2, 1000);
    ASSERT_EQ(g.ReadAudioData(p.Bufs(), 1000, 0), 1000u);
    EXPECT_TRUE(HoldsStream(p, 2, 0, 1000, 1000, {{kA, 1000}}, 0));
    EXPECT_EQ(g.GetCurSamplePosition(), 1000);
    EXPECT_EQ(g.GetNumSamplesLeft(), 0);
}

// Six output channels: the tracks fill 0-2 (the shorter mono track only up to
// its end), the rest is silence over the frames of the read.
TEST_F(CChannelGroupTest, SixOutputChannels)
{
    CChannelGroupRead g;
    g.SetOutputBufferChannels(6);
    ASSERT_TRUE(Open(g, {{{m_files.a}}, {{m_files.m}}}));
    g.SetCurSamplePosition(300);
    EXPECT_EQ(g.GetCurSamplePosition(), 300);
    Planar<int32_t> p(6, 900);
    ASSERT_EQ(g.ReadAudioData(p.Bufs(), 800, 10), 700u);
    EXPECT_TRUE(ChannelHolds(p.data[0], 10, kA + 300, 700, 0));
    EXPECT_TRUE(ChannelHolds(p.data[1], 10, kA + 300, 700, 1));
    EXPECT_TRUE(ChannelIs(p.data[0], 710, 810, 0));
    EXPECT_TRUE(ChannelHolds(p.data[2], 10, kM + 300, 200, 0));
    EXPECT_TRUE(ChannelIs(p.data[2], 210, 810, 0));
    for (int c = 3; c < 6; ++c)
        EXPECT_TRUE(ChannelIs(p.data[c], 10, 810, 0)) << c;
    for (int c = 0; c < 6; ++c)
    {
        EXPECT_TRUE(ChannelIs(p.data[c], 0, 10, kSentinel)) << c;
        EXPECT_TRUE(ChannelIs(p.data[c], 810, 900, kSentinel)) << c;
    }
}

// Tracks at 44100 and 48000 Hz: refused, with no file left open.
TEST_F(CChannelGroupTest, DifferentRatesAreRefused)
{
    const size_t before = OpenDescriptors();
    CChannelGroupRead g;
    EXPECT_FALSE(Open(g, {{{m_files.a}}, {{m_files.r48}}}));
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(g.GetNumChannels(), 0);
    EXPECT_EQ(g.GetNumSamples(), 0);
    EXPECT_EQ(g.GetSampleRate(), 44100u);
    EXPECT_STREQ(g.GetFormatUniqueID(), "");
    // An empty group reads silence.
    Planar<int32_t> p(2, 10);
    EXPECT_EQ(g.ReadAudioData(p.Bufs(), 10, 0), 0u);
    EXPECT_TRUE(ChannelIs(p.data[1], 0, 10, 0));
}

// A track wholly before the cut appears only in the first section.
TEST_F(CChannelGroupTest, DividesTrackByTrack)
{
    CChannelGroupRead g;
    ASSERT_TRUE(Open(g, {{{m_files.a}}, {{m_files.m}}}));
    CPlaylistSection first;
    CPlaylistSection second;
    g.DividePlaylist(&first, &second, Sec(750));
    EXPECT_EQ(PartsOf(&first), (SectionParts{{{m_files.a, 0, 750}}, {{m_files.m, 0, 500}}}));
    EXPECT_EQ(PartsOf(&second), (SectionParts{{{m_files.a, 750, 1000}}}));
}

TEST(CChannelGroupWriteTest, FileNames)
{
    EXPECT_EQ(CChannelGroupWrite::GetNumFilesToBeCreated(1, 2), 1);
    EXPECT_EQ(CChannelGroupWrite::GetNumFilesToBeCreated(2, 2), 1);
    EXPECT_EQ(CChannelGroupWrite::GetNumFilesToBeCreated(6, 1), 6);
    EXPECT_EQ(CChannelGroupWrite::GetNumFilesToBeCreated(2, 0), 1);

    wchar_t name[CChannelGroupWrite::kMaxPathLength + 1];
    const int len = CChannelGroupWrite::kMaxPathLength;
    EXPECT_TRUE(CChannelGroupWrite::GetFileNameToBeCreated(name, len, L"/x/Song", L".wav", 1, 0));
    EXPECT_STREQ(name, L"/x/Song.wav");
    EXPECT_TRUE(CChannelGroupWrite::GetFileNameToBeCreated(name, len, L"/x/Song", L".wav", 2, 1));
    EXPECT_STREQ(name, L"/x/Song.trk2.wav");
    EXPECT_TRUE(CChannelGroupWrite::GetFileNameToBeCreated(name, len, L"/x/Song", L".wav", 12, 11));
    EXPECT_STREQ(name, L"/x/Song.trk12.wav");
    EXPECT_FALSE(CChannelGroupWrite::GetFileNameToBeCreated(name, len, L"/x/Song", L".wav", 2, 2));
    EXPECT_STREQ(name, L"");

    // A name that does not fit is refused, never cut short.
    wchar_t small[17];
    EXPECT_TRUE(CChannelGroupWrite::GetFileNameToBeCreated(small, 16, L"/x/Song", L".wav", 2, 0));
    EXPECT_STREQ(small, L"/x/Song.trk1.wav");
    EXPECT_FALSE(CChannelGroupWrite::GetFileNameToBeCreated(small, 15, L"/x/Song", L".wav", 2, 0));
    EXPECT_STREQ(small, L"");
    const std::wstring longBase(1020, L'a');
    EXPECT_FALSE(CChannelGroupWrite::GetFileNameToBeCreated(name, len, longBase.c_str(), L".wav", 2, 0));
}

// One file per channel: each file is mono, holds its channel and gets the
// group's markers at its close.
TEST(CChannelGroupWriteTest, OneFilePerChannel)
{
    TempFolder dir;
    const std::wstring base = Wide(dir / "Song");
    CChannelGroupWrite g("wav", kRate, 16, 0);
    ASSERT_TRUE(g.OpenMultipleAudioFiles(base.c_str(), L".wav", 2, 1));
    EXPECT_EQ(g.GetNumChannels(), 2);
    Planar<int32_t> p(2, 300);
    for (int c = 0; c < 2; ++c)
    {
        for (size_t i = 0; i < 300; ++i)
            p.data[c][i] = RampSample(kA + static_cast<int64_t>(i), c);
    }
    ASSERT_EQ(g.WriteAudioData(p.Bufs(), 300), 300u);
    EXPECT_DOUBLE_EQ(g.GetCurTimeSecond(), 300.0 / kRate);
    g.GetMarkerPtr()->Add(0.004);
    ASSERT_TRUE(g.EjectAllFiles());
    EXPECT_EQ(rifftest::FolderEntries(dir.Path()),
              (std::vector<std::string>{"Song.trk1.wav", "Song.trk2.wav"}));

    for (int c = 0; c < 2; ++c)
    {
        SCOPED_TRACE(c);
        CWavFileRead r;
        ASSERT_EQ(r.OpenFile(Wide(dir / ("Song.trk" + std::to_string(c + 1) + ".wav")).c_str()), 0);
        EXPECT_EQ(r.GetNumChannels(), 1);
        EXPECT_EQ(r.GetMarkerPtr()->GetNumMarkers(), 1);
        Planar<int32_t> back(1, 300);
        ASSERT_EQ(r.ReadAudioData(back.Bufs(), 300, 0), 300u);
        EXPECT_TRUE(ChannelHolds(back.data[0], 0, kA, 300, c));
    }
}

// The second of two per-channel files cannot be created: the first is
// dropped, and nothing is left in the folder but the obstacle.
TEST(CChannelGroupWriteTest, FailedLaterFileRemovesTheEarlierOnes)
{
    TempFolder dir;
    std::filesystem::create_directory(dir / "Song.trk2.wav");
    const size_t before = OpenDescriptors();
    CChannelGroupWrite g("wav", kRate, 16, 0);
    EXPECT_FALSE(g.OpenMultipleAudioFiles(Wide(dir / "Song").c_str(), L".wav", 2, 1));
    EXPECT_EQ(g.GetNumChannels(), 0);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(rifftest::FolderEntries(dir.Path()), (std::vector<std::string>{"Song.trk2.wav"}));
}

// A group replaces its targets only when every one of its files can be put
// in place: removed, destroyed unclosed (an early return, an exception) or
// with one file that cannot replace its target, it leaves every old file.
TEST(CChannelGroupWriteTest, ReplacesNoTargetUnlessEveryFileCanBe)
{
    TempFolder dir;
    const std::wstring base = Wide(dir / "Song");
    const std::vector<std::string> names = {"Song.trk1.wav", "Song.trk2.wav"};
    Planar<int32_t> p(2, 300);
    for (const char* end : {"removed", "destroyed", "second target blocked"})
    {
        SCOPED_TRACE(end);
        for (const std::string& name : names)
            rifftest::WriteBytes(dir / name, rifftest::Text("old"));
        {
            CChannelGroupWrite g("wav", kRate, 16, 0);
            ASSERT_TRUE(g.OpenMultipleAudioFiles(base.c_str(), L".wav", 2, 1));
            ASSERT_EQ(g.WriteAudioData(p.Bufs(), 300), 300u);
            if (std::string(end) == "removed")
                g.RemoveFile();
            if (std::string(end) == "second target blocked")
            {
                std::filesystem::remove(dir / names[1]);
                std::filesystem::create_directory(dir / names[1]);
                EXPECT_FALSE(g.EjectAllFiles());
            }
        }
        EXPECT_EQ(rifftest::FolderEntries(dir.Path()), names);
        EXPECT_EQ(rifftest::ReadBytes(dir / names[0]), rifftest::Text("old"));
        std::filesystem::remove_all(dir / names[1]);
    }
}

TEST(CChannelGroupWriteTest, RemoveMultipleAudioFiles)
{
    TempFolder dir;
    for (const char* name : {"Song.trk1.wav", "Song.trk2.wav", "Song.wav", "Other.wav"})
        rifftest::WriteBytes(dir / name, {1});
    CChannelGroupWrite::RemoveMultipleAudioFiles(Wide(dir / "Song").c_str(), L".wav", 2, 1);
    EXPECT_EQ(rifftest::FolderEntries(dir.Path()), (std::vector<std::string>{"Other.wav", "Song.wav"}));
    CChannelGroupWrite::RemoveMultipleAudioFiles(Wide(dir / "Song").c_str(), L".wav", 2, 2);
    EXPECT_EQ(rifftest::FolderEntries(dir.Path()), (std::vector<std::string>{"Other.wav"}));
}
