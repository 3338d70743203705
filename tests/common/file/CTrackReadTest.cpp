#include "common/file/CTrackRead.h"
#include "common/file/CPlaylistSong.h"

#include "common/file/CAudioCDRead.h"

#include "tests/common/disc/CdTestImages.h"
#include "tests/common/file/SongStreamTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace songtest;

namespace
{
class CTrackReadTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_files.ok); }

    // Opens a track of the parts into m_track.
    bool Open(CTrackRead& stream, const std::vector<Part>& parts)
    {
        m_track.DeleteAll();
        FillTrack(&m_track, parts);
        return stream.OpenTrack(&m_track);
    }

    RampFiles m_files;
    CPlaylistTrack m_track;
};
} // namespace

// Seeks before, on and after the join of a 1000- and a 500-frame file, each
// followed by a read of 700 frames into buffers at an offset, compared frame by
// frame with the files' ramps.
TEST_F(CTrackReadTest, SeeksAndReadsAcrossTheJoin)
{
    CTrackRead t;
    ASSERT_TRUE(Open(t, {{m_files.a}, {m_files.b}}));
    EXPECT_EQ(t.GetNumSamples(), 1500);
    EXPECT_EQ(t.GetNumChannels(), 2);
    EXPECT_EQ(t.GetSampleRate(), kRate);
    // The first file is 16-bit, the second 24-bit: the first one speaks.
    EXPECT_EQ(t.GetBitsPerSample(), 16);
    EXPECT_STREQ(t.GetFormatUniqueID(), "WAV");

    const std::vector<Span> spans = {{kA, 1000}, {kB, 500}};
    const int64_t seeks[] = {0, 1, 999, 1000, 1001, 1200, 1499, 1500, 2000, -5};
    for (int64_t seek : seeks)
    {
        SCOPED_TRACE(seek);
        const int64_t pos = std::clamp<int64_t>(seek, 0, 1500);
        t.SetCurSamplePosition(seek);
        EXPECT_EQ(t.GetCurSamplePosition(), pos);
        const uint32_t n = 700;
        const uint32_t offset = 3;
        Planar<int32_t> p(2, offset + n);
        const uint32_t got = t.ReadAudioData(p.Bufs(), n, offset);
        EXPECT_EQ(got, static_cast<uint32_t>(std::min<int64_t>(n, 1500 - pos)));
        EXPECT_TRUE(HoldsStream(p, 2, offset, got, n, spans, pos));
        EXPECT_EQ(t.GetCurSamplePosition(), pos + got);
        EXPECT_EQ(t.GetNumSamplesLeft(), 1500 - pos - got);
    }

    // Float reads in blocks that straddle the join.
    t.SetCurSamplePosition(0);
    int64_t done = 0;
    while (done < 1500)
    {
        Planar<float> p(2, 333, 7.0f);
        const uint32_t got = t.ReadAudioData(p.Bufs(), 333, 0);
        ASSERT_GT(got, 0u);
        for (uint32_t i = 0; i < 333; ++i)
        {
            for (int c = 0; c < 2; ++c)
            {
                const float want =
                    i < got ? static_cast<float>(RampSample(ValueAt(spans, done + i), c) / 2147483648.0)
                            : 0.0f;
                ASSERT_EQ(p.data[c][i], want) << "frame " << done + i;
            }
        }
        done += got;
    }
    EXPECT_EQ(done, 1500);
}

// Parts cut out of their files: positions, content and markers follow the
// windows, and each file's markers move by the duration of the parts before
// it.
TEST_F(CTrackReadTest, PartsAndMarkersAcrossTheJoin)
{
    CTrackRead whole;
    ASSERT_TRUE(Open(whole, {{m_files.a}, {m_files.b}}));
    const double ma = FileMarkers(m_files.a).at(0);
    const double mb = FileMarkers(m_files.b).at(0);
    EXPECT_TRUE(SameTimes(MarkerTimes(whole.GetMarkerPtr()), {ma, 1000.0 / kRate + mb}));

    CTrackRead cut;
    ASSERT_TRUE(Open(cut, {{m_files.a, 100, 900}, {m_files.b, 50, -1}, {m_files.a, 0, 200}}));
    EXPECT_EQ(cut.GetNumSamples(), 800 + 450 + 200);
    // Each part's markers are those of its window, after the parts before it;
    // the last part holds none.
    ASSERT_TRUE(FileMarkers(m_files.a, 0, 200).empty());
    EXPECT_TRUE(
        SameTimes(MarkerTimes(cut.GetMarkerPtr()), {FileMarkers(m_files.a, 100, 900).at(0),
                                                    800.0 / kRate + FileMarkers(m_files.b, 50).at(0)}));

    const std::vector<Span> spans = {{kA + 100, 800}, {kB + 50, 450}, {kA, 200}};
    for (int64_t pos : {int64_t{799}, int64_t{800}, int64_t{1249}, int64_t{1250}})
    {
        SCOPED_TRACE(pos);
        cut.SetCurSamplePosition(pos);
        Planar<int32_t> p(2, 300);
        const uint32_t got = cut.ReadAudioData(p.Bufs(), 300, 0);
        EXPECT_EQ(got, static_cast<uint32_t>(std::min<int64_t>(300, 1450 - pos)));
        EXPECT_TRUE(HoldsStream(p, 2, 0, got, 300, spans, pos));
    }
}

TEST_F(CTrackReadTest, DividesAtATimeAndOnAJoin)
{
    struct Case
    {
        std::vector<Part> track;
        int64_t at;
        std::vector<Part> first;
        std::vector<Part> second;
    };
    const std::wstring& a = m_files.a;
    const std::wstring& b = m_files.b;
    const Case cases[] = {
        {{{a}, {b}}, 1250, {{a, 0, 1000}, {b, 0, 250}}, {{b, 250, 500}}},
        // Exactly on the join: no empty parts.
        {{{a}, {b}}, 1000, {{a, 0, 1000}}, {{b, 0, 500}}},
        {{{a}, {b}}, 500, {{a, 0, 500}}, {{a, 500, 1000}, {b, 0, 500}}},
        {{{a}, {b}}, 0, {}, {{a, 0, 1000}, {b, 0, 500}}},
        {{{a}, {b}}, 1500, {{a, 0, 1000}, {b, 0, 500}}, {}},
        {{{a}, {b}}, 90000, {{a, 0, 1000}, {b, 0, 500}}, {}},
        // Parts that start inside their files keep their absolute positions.
        {{{a, 100, 900}, {b, 50, -1}}, 800, {{a, 100, 900}}, {{b, 50, 500}}},
        {{{a, 100, 900}, {b, 50, -1}}, 900, {{a, 100, 900}, {b, 50, 150}}, {{b, 150, 500}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.at);
        CTrackRead t;
        ASSERT_TRUE(Open(t, c.track));
        CPlaylistTrack first;
        CPlaylistTrack second;
        first.CreateNewFile()->SetFile(L"stale", 0, 1, 0);
        t.DividePlaylist(&first, &second, Sec(c.at));
        EXPECT_EQ(PartsOf(&first), c.first);
        EXPECT_EQ(PartsOf(&second), c.second);
    }

    // The two halves of a cut at frame 1250 play the whole track back to back.
    CTrackRead t;
    ASSERT_TRUE(Open(t, {{a}, {b}}));
    CPlaylistTrack first;
    CPlaylistTrack second;
    t.DividePlaylist(&first, &second, Sec(1250));
    CTrackRead one;
    CTrackRead two;
    ASSERT_TRUE(one.OpenTrack(&first));
    ASSERT_TRUE(two.OpenTrack(&second));
    Planar<int32_t> p(2, 1500);
    ASSERT_EQ(one.ReadAudioData(p.Bufs(), 1250, 0), 1250u);
    ASSERT_EQ(two.ReadAudioData(p.Bufs(), 250, 1250), 250u);
    EXPECT_TRUE(HoldsStream(p, 2, 0, 1500, 1500, {{kA, 1000}, {kB, 500}}, 0));
}

// Every refused part leaves nothing open and an empty stream.
TEST_F(CTrackReadTest, RefusedPartsLeaveNothingOpen)
{
    struct Case
    {
        const char* what;
        std::vector<Part> parts;
    };
    const Case cases[] = {
        {"another rate", {{m_files.a}, {m_files.r48}}},
        {"another channel count", {{m_files.a}, {m_files.m}}},
        {"a media id the file does not have", {{m_files.a}, {m_files.b, 0, -1, 1234}}},
        {"a missing file", {{m_files.a}, {Wide(m_files.dir / "missing.wav")}}},
    };
    const size_t before = OpenDescriptors();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        CTrackRead t;
        EXPECT_FALSE(Open(t, c.parts));
        EXPECT_EQ(OpenDescriptors(), before);
        EXPECT_EQ(t.GetNumSamples(), 0);
        EXPECT_EQ(t.GetNumChannels(), 0);
        EXPECT_EQ(t.GetSampleRate(), 44100u);
        EXPECT_STREQ(t.GetFormatUniqueID(), "");

        // AddAudioFile alone leaves the stream as it was.
        ASSERT_TRUE(t.AddAudioFile(m_files.a.c_str(), 0, -1, 0));
        const Part& last = c.parts.back();
        EXPECT_FALSE(t.AddAudioFile(last.path.c_str(), last.start, last.stop, last.media));
        EXPECT_EQ(t.GetNumSamples(), 1000);
    }
}

TEST_F(CTrackReadTest, EmptyStream)
{
    CTrackRead t;
    ASSERT_TRUE(Open(t, {}));
    EXPECT_EQ(t.GetSampleRate(), 44100u);
    EXPECT_EQ(t.GetBitsPerSample(), 16);
    EXPECT_EQ(t.GetNumChannels(), 0);
    EXPECT_EQ(t.GetNumSamples(), 0);
    EXPECT_EQ(t.GetBitRate(), 705600u);
    EXPECT_TRUE(t.IsLossless());
    Planar<int32_t> p(2, 10);
    EXPECT_EQ(t.ReadAudioData(p.Bufs(), 10, 0), 0u);
}

// A source that declares 1000 frames but delivers 600: the stream goes on with
// the next file after the 600 and ends; nothing loops on silence.
TEST_F(CTrackReadTest, SourceShorterThanDeclaredStillReachesTheEnd)
{
    const std::wstring shortPath = L"short:1000:600:" + std::to_wstring(kShort);
    {
        TestTrackRead t;
        ASSERT_TRUE(Open(t, {{shortPath}, {m_files.a}}));
        EXPECT_EQ(t.GetNumSamples(), 2000);
        EXPECT_TRUE(ReadsToTheEnd(t, 2, 256, {{kShort, 600}, {kA, 1000}}, 0, 1600));
        EXPECT_EQ(t.GetNumSamples(), 1600);
        // Positions now count the frames the source really has.
        t.SetCurSamplePosition(700);
        Planar<int32_t> p(2, 200);
        ASSERT_EQ(t.ReadAudioData(p.Bufs(), 200, 0), 200u);
        EXPECT_TRUE(HoldsStream(p, 2, 0, 200, 200, {{kA + 100, 200}}, 0));
    }
    {
        TestTrackRead t;
        ASSERT_TRUE(Open(t, {{m_files.a}, {shortPath}}));
        EXPECT_TRUE(ReadsToTheEnd(t, 2, 256, {{kA, 1000}, {kShort, 600}}, 0, 1600));
        t.SetCurSamplePosition(5000);
        EXPECT_EQ(t.GetCurSamplePosition(), 1600);
    }
}

// A part of a disc image: the stream reads it through the reader of the CD
// track that holds its start, so an open end means the end of that track, and
// the divided parts name the disc and carry its identifier.
TEST_F(CTrackReadTest, DiscPartIsReadThroughItsTrack)
{
    constexpr int64_t kSector = cdtest::kFramesPerSector;
    cdtest::Image image;
    image.tracks = {{"AUDIO", 0}, {"AUDIO", 100}, {"AUDIO", 200}};
    image.sectors = 300;
    const std::wstring cue = Wide(cdtest::WriteImage(m_files.dir.Path(), "disc", image));
    CAudioCDRead disc(false);
    ASSERT_EQ(disc.OpenFile(cue.c_str()), 0);
    const int id = disc.GetMediaUniqueID();
    ASSERT_NE(id, 0);
    disc.CloseFile();

    const int64_t start = 150 * kSector;
    CTrackRead t;
    ASSERT_TRUE(Open(t, {{cue, start, -1, id}}));
    EXPECT_STREQ(t.GetFormatUniqueID(), "CD");
    // To the end of track 2, not of the disc; the disc's track markers stay
    // out.
    EXPECT_EQ(t.GetNumSamples(), 50 * kSector);
    EXPECT_EQ(t.GetMarkerPtr()->GetNumMarkers(), 0);

    const uint32_t n = static_cast<uint32_t>(10 * kSector);
    t.SetCurSamplePosition(40 * kSector);
    Planar<int32_t> p(2, n);
    ASSERT_EQ(t.ReadAudioData(p.Bufs(), n, 0), n);
    for (uint32_t i = 0; i < n; ++i)
    {
        const int64_t d = start + 40 * kSector + i;
        ASSERT_EQ(p.data[0][i], cdtest::Left32(d)) << i;
        ASSERT_EQ(p.data[1][i], cdtest::Right32(d)) << i;
    }

    CPlaylistTrack first;
    CPlaylistTrack second;
    t.DividePlaylist(&first, &second, 10.0 * kSector / 44100.0);
    EXPECT_EQ(PartsOf(&first), (std::vector<Part>{{cue, start, start + 10 * kSector, id}}));
    EXPECT_EQ(PartsOf(&second), (std::vector<Part>{{cue, start + 10 * kSector, 200 * kSector, id}}));

    // Another disc's identifier is refused.
    EXPECT_FALSE(Open(t, {{cue, start, -1, id + 1}}));
}
