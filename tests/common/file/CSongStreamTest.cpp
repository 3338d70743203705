#include "common/file/CPlaylistSong.h"
#include "common/file/CSongRead.h"
#include "common/file/CSongWrite.h"
#include "common/file/CWavFileRead.h"

#include "tests/common/file/SongStreamTestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace songtest;

namespace
{
class CSongReadTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_files.ok); }

    bool Open(CSongRead& stream, const std::vector<SectionParts>& sections, bool markersFromFiles = true)
    {
        m_song.DeleteAll();
        FillSong(&m_song, sections);
        return stream.OpenSong(&m_song, markersFromFiles);
    }

    RampFiles m_files;
    CPlaylistSong m_song;
};

// The body of the first chunk of an id in a RIFF file; empty when none.
rifftest::Bytes FindChunk(const rifftest::Bytes& file, const char* id)
{
    size_t pos = 12;
    while (pos + 8 <= file.size())
    {
        const uint32_t size = rifftest::Get32(file, pos + 4);
        if (std::equal(id, id + 4, file.begin() + static_cast<std::ptrdiff_t>(pos)))
        {
            const size_t end = std::min(file.size(), pos + 8 + size);
            return rifftest::Bytes(file.begin() + static_cast<std::ptrdiff_t>(pos + 8),
                                   file.begin() + static_cast<std::ptrdiff_t>(end));
        }
        pos += 8 + size + (size & 1);
    }
    return {};
}

// The samples of a WAV file as sox decodes them: interleaved 16-bit frames.
std::vector<int16_t> SoxSamples(const std::filesystem::path& wav)
{
    std::vector<int16_t> samples;
    const std::string cmd = "sox '" + wav.string() + "' -t raw - 2>/dev/null";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (pipe == nullptr)
        return samples;
    int16_t s;
    while (std::fread(&s, sizeof(s), 1, pipe) == 1)
        samples.push_back(s);
    ::pclose(pipe);
    return samples;
}

// Writes frames frames of the ramp from value first, in blocks of 300.
bool WriteRamp(CAudioRecorderOutput& out, int64_t first, uint32_t frames)
{
    for (uint32_t done = 0; done < frames;)
    {
        const uint32_t n = std::min<uint32_t>(300, frames - done);
        Planar<int32_t> p(2, n);
        for (int c = 0; c < 2; ++c)
        {
            for (uint32_t i = 0; i < n; ++i)
                p.data[c][i] = RampSample(first + done + i, c);
        }
        if (out.WriteAudioData(p.Bufs(), n) != n)
            return false;
        done += n;
    }
    return true;
}
} // namespace

// Seeks before, on and after each join of a song of two sections (a stereo
// track of a 1000- and a 500-frame file, then a mono track), then reads into
// two output channels, compared by content.
TEST_F(CSongReadTest, SeeksAndReadsAcrossTheJoins)
{
    CSongRead s;
    ASSERT_TRUE(Open(s, {{{{m_files.a}, {m_files.b}}}, {{{m_files.m}}}}));
    EXPECT_EQ(s.GetNumSections(), 2);
    EXPECT_EQ(s.GetNumSamples(), 2000);
    EXPECT_EQ(s.GetNumChannels(), 2);
    EXPECT_EQ(s.GetSampleRate(), kRate);
    EXPECT_STREQ(s.GetFormatUniqueID(), "WAV");

    const std::vector<Span> spans = {{kA, 1000}, {kB, 500}, {kM, 500, true}};
    const int64_t seeks[] = {0, 999, 1000, 1001, 1499, 1500, 1501, 1700, 1999, 2000, 2600, -1};
    for (int64_t seek : seeks)
    {
        SCOPED_TRACE(seek);
        const int64_t pos = std::clamp<int64_t>(seek, 0, 2000);
        s.SetCurSamplePosition(seek);
        EXPECT_EQ(s.GetCurSamplePosition(), pos);
        const uint32_t n = 600;
        Planar<int32_t> p(2, n + 2);
        const uint32_t got = s.ReadAudioData(p.Bufs(), n, 2);
        EXPECT_EQ(got, static_cast<uint32_t>(std::min<int64_t>(n, 2000 - pos)));
        EXPECT_TRUE(HoldsStream(p, 2, 2, got, n, spans, pos));
        EXPECT_EQ(s.GetCurSamplePosition(), pos + got);
    }

    // The whole song in blocks that cross both joins.
    s.SetCurSamplePosition(0);
    EXPECT_TRUE(ReadsToTheEnd(s, 2, 777, spans, 0, 2000));
}

TEST_F(CSongReadTest, MarkersFromTheFilesOrFromTheSong)
{
    const std::vector<SectionParts> sections = {{{{m_files.a}, {m_files.b}}}, {{{m_files.m}}}};
    CSongRead s;
    ASSERT_TRUE(Open(s, sections, true));
    EXPECT_TRUE(SameTimes(MarkerTimes(s.GetMarkerPtr()),
                          {FileMarkers(m_files.a).at(0), 1000.0 / kRate + FileMarkers(m_files.b).at(0),
                           1500.0 / kRate + FileMarkers(m_files.m).at(0)}));

    m_song.DeleteAll();
    FillSong(&m_song, sections);
    m_song.GetMarkerPtr()->Add(0.01);
    m_song.GetMarkerPtr()->Add(0.03);
    ASSERT_TRUE(s.OpenSong(&m_song, false));
    EXPECT_TRUE(SameTimes(MarkerTimes(s.GetMarkerPtr()), {0.01, 0.03}));
}

TEST_F(CSongReadTest, DividesAtATimeAndOnAJoin)
{
    const std::wstring& a = m_files.a;
    const std::wstring& b = m_files.b;
    struct Case
    {
        int64_t at;
        std::vector<SectionParts> first;
        std::vector<SectionParts> second;
    };
    const Case cases[] = {
        {1250, {{{{a, 0, 1000}}}, {{{b, 0, 250}}}}, {{{{b, 250, 500}}}}},
        // On the join: each section goes whole to its side.
        {1000, {{{{a, 0, 1000}}}}, {{{{b, 0, 500}}}}},
        {400, {{{{a, 0, 400}}}}, {{{{a, 400, 1000}}}, {{{b, 0, 500}}}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.at);
        CSongRead s;
        m_song.DeleteAll();
        FillSong(&m_song, {{{{a}}}, {{{b}}}});
        m_song.GetMarkerPtr()->Add(0.005);
        m_song.GetMarkerPtr()->Add(0.025);
        ASSERT_TRUE(s.OpenSong(&m_song, false));
        CPlaylistSong first;
        CPlaylistSong second;
        s.DividePlaylist(&first, &second, Sec(c.at));
        EXPECT_EQ(PartsOf(&first), c.first);
        EXPECT_EQ(PartsOf(&second), c.second);

        std::vector<double> before;
        std::vector<double> after;
        for (double t : {0.005, 0.025})
        {
            if (t < Sec(c.at))
                before.push_back(t);
            else
                after.push_back(t - Sec(c.at));
        }
        EXPECT_TRUE(SameTimes(MarkerTimes(first.GetMarkerPtr()), before));
        EXPECT_TRUE(SameTimes(MarkerTimes(second.GetMarkerPtr()), after));

        // The halves play the song back to back.
        CSongRead one;
        CSongRead two;
        ASSERT_TRUE(one.OpenSong(&first, false));
        ASSERT_TRUE(two.OpenSong(&second, false));
        Planar<int32_t> p(2, 1500);
        const uint32_t cut = static_cast<uint32_t>(c.at);
        ASSERT_EQ(one.ReadAudioData(p.Bufs(), cut, 0), cut);
        ASSERT_EQ(two.ReadAudioData(p.Bufs(), 1500 - cut, cut), 1500 - cut);
        EXPECT_TRUE(HoldsStream(p, 2, 0, 1500, 1500, {{kA, 1000}, {kB, 500}}, 0));
    }
}

// Sections at 44100 and 48000 Hz: refused, nothing left open, and the stream
// is an empty one that reads silence.
TEST_F(CSongReadTest, DifferentRatesAreRefused)
{
    const size_t before = OpenDescriptors();
    CSongRead s;
    EXPECT_FALSE(Open(s, {{{{m_files.a}}}, {{{m_files.r48}}}}));
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(s.GetNumSections(), 0);
    EXPECT_EQ(s.GetNumSamples(), 0);
    EXPECT_EQ(s.GetSampleRate(), 44100u);
    EXPECT_EQ(s.GetMarkerPtr()->GetNumMarkers(), 0);

    // A song without sections opens as that empty stream.
    ASSERT_TRUE(Open(s, {}));
    EXPECT_EQ(s.GetNumChannels(), 0);
    EXPECT_EQ(s.GetBitRate(), 705600u);
    Planar<int32_t> p(2, 20);
    EXPECT_EQ(s.ReadAudioData(p.Bufs(), 10, 5), 0u);
    EXPECT_TRUE(HoldsStream(p, 2, 5, 0, 10, {}, 0));
}

// A source that declares 1000 frames but delivers 600, first or last in the
// song: the song reaches its end instead of reading silence for ever.
TEST_F(CSongReadTest, SourceShorterThanDeclaredStillReachesTheEnd)
{
    const std::wstring shortPath = L"short:1000:600:" + std::to_wstring(kShort);
    {
        TestSongRead s;
        ASSERT_TRUE(Open(s, {{{{shortPath}}}, {{{m_files.a}}}}));
        EXPECT_EQ(s.GetNumSamples(), 2000);
        EXPECT_TRUE(ReadsToTheEnd(s, 2, 256, {{kShort, 600}, {kA, 1000}}, 0, 1600));
        EXPECT_EQ(s.GetNumSamples(), 1600);
    }
    {
        TestSongRead s;
        ASSERT_TRUE(Open(s, {{{{m_files.a}}}, {{{shortPath}}}}));
        s.SetCurSamplePosition(900);
        EXPECT_TRUE(ReadsToTheEnd(s, 2, 256, {{kA + 900, 100}, {kShort, 600}}, 0, 700));
        EXPECT_EQ(s.GetCurSamplePosition(), 1600);
    }
}

// A song written in two sections: numbered files that sox decodes to the
// samples written, each with the song's marker of its section in its "cue "
// chunk.
TEST(CSongWriteTest, TwoSectionsReadBackIndependently)
{
    if (!rifftest::HaveTool("sox"))
        GTEST_SKIP() << "sox is needed";
    TempFolder dir;
    const std::wstring base = Wide(dir / "Song");
    {
        CSongWrite w("wav", kRate, 16, 2, 2, 0);
        ASSERT_TRUE(w.OpenAudioFile(base.c_str(), L".wav"));
        w.GetMarkerPtr()->Add(0.005);
        w.GetMarkerPtr()->Add(1000.0 / kRate + 0.005);
        ASSERT_TRUE(WriteRamp(w, kA, 1000));
        ASSERT_TRUE(w.CloseCurrentSection(true));
        ASSERT_TRUE(w.OpenNewSection());
        EXPECT_EQ(w.GetNumSections(), 2);
        ASSERT_TRUE(WriteRamp(w, kB, 1000));
        ASSERT_TRUE(w.CloseCurrentSection(false));
        EXPECT_EQ(w.GetWrittenFilePaths(),
                  (std::vector<std::wstring>{base + L".001.wav", base + L".002.wav"}));
        EXPECT_TRUE(rifftest::FolderEntries(dir.Path()).empty());
        ASSERT_TRUE(w.EjectAllFiles());
    }
    ASSERT_EQ(rifftest::FolderEntries(dir.Path()),
              (std::vector<std::string>{"Song.001.wav", "Song.002.wav"}));

    const int64_t firsts[] = {kA, kB};
    for (int section = 0; section < 2; ++section)
    {
        SCOPED_TRACE(section);
        const std::filesystem::path file = dir / ("Song.00" + std::to_string(section + 1) + ".wav");
        const std::vector<int16_t> samples = SoxSamples(file);
        ASSERT_EQ(samples.size(), 2000u);
        for (size_t i = 0; i < 1000; ++i)
        {
            const int64_t v = firsts[section] + static_cast<int64_t>(i);
            ASSERT_EQ(samples[2 * i], static_cast<int16_t>(v)) << i;
            ASSERT_EQ(samples[2 * i + 1], static_cast<int16_t>(-v)) << i;
        }

        // One cue point, at the marker 5 ms into the section (the writer places
        // a time half a millisecond into its millisecond).
        const rifftest::Bytes cue = FindChunk(rifftest::ReadBytes(file), "cue ");
        ASSERT_EQ(cue.size(), 4u + 24u);
        EXPECT_EQ(rifftest::Get32(cue, 0), 1u);
        EXPECT_EQ(rifftest::Get32(cue, 4 + 20), static_cast<uint32_t>((0.005 + 0.0005) * kRate));

        CWavFileRead r;
        ASSERT_EQ(r.OpenFile(Wide(file).c_str()), 0);
        EXPECT_TRUE(SameTimes(MarkerTimes(r.GetMarkerPtr()), {0.005}));
    }
}

// One file per channel and two sections: four numbered mono files, all of
// which RemoveFile takes away again.
TEST(CSongWriteTest, PerChannelSectionsAndRemoveFile)
{
    TempFolder dir;
    CSongWrite w("wav", kRate, 16, 2, 1, 0);
    ASSERT_TRUE(w.OpenAudioFile(Wide(dir / "Song").c_str(), L".wav"));
    EXPECT_EQ(w.GetNumChannels(), 2);
    ASSERT_TRUE(WriteRamp(w, kA, 100));
    ASSERT_TRUE(w.CloseCurrentSection(true));
    ASSERT_TRUE(w.OpenNewSection());
    ASSERT_TRUE(WriteRamp(w, kB, 100));
    ASSERT_TRUE(w.CloseCurrentSection(false));
    ASSERT_TRUE(w.EjectAllFiles());
    EXPECT_EQ(rifftest::FolderEntries(dir.Path()),
              (std::vector<std::string>{"Song.001.trk1.wav", "Song.001.trk2.wav", "Song.002.trk1.wav",
                                        "Song.002.trk2.wav"}));
    CWavFileRead r;
    ASSERT_EQ(r.OpenFile(Wide(dir / "Song.002.trk2.wav").c_str()), 0);
    EXPECT_EQ(r.GetNumChannels(), 1);
    EXPECT_EQ(r.GetNumSamples(), 100);
    r.CloseFile();

    w.RemoveFile();
    EXPECT_TRUE(rifftest::FolderEntries(dir.Path()).empty());
}

// A single section keeps the plain name. Removing an output takes away what
// the writer wrote and nothing else: a file the unfinished section would have
// replaced stays as it was.
TEST(CSongWriteTest, SingleSectionAndRemoveFile)
{
    TempFolder dir;
    const std::wstring base = Wide(dir / "Song");
    {
        CSongWrite w("wav", kRate, 16, 2, 2, 0);
        ASSERT_TRUE(w.OpenAudioFile(base.c_str(), L".wav"));
        ASSERT_TRUE(WriteRamp(w, kA, 100));
        ASSERT_TRUE(w.EjectAllFiles());
    }
    ASSERT_EQ(rifftest::FolderEntries(dir.Path()), (std::vector<std::string>{"Song.wav"}));
    const rifftest::Bytes written = rifftest::ReadBytes(dir / "Song.wav");
    {
        CWavFileRead r;
        ASSERT_EQ(r.OpenFile((base + L".wav").c_str()), 0);
        EXPECT_EQ(r.GetNumSamples(), 100);
    }

    {
        CSongWrite w("wav", kRate, 16, 2, 2, 0);
        ASSERT_TRUE(w.OpenAudioFile(base.c_str(), L".wav"));
        ASSERT_TRUE(WriteRamp(w, kB, 300));
        w.RemoveFile();
        EXPECT_EQ(w.WriteAudioData(static_cast<int32_t**>(nullptr), 10), 0u);
    }
    EXPECT_EQ(rifftest::FolderEntries(dir.Path()), (std::vector<std::string>{"Song.wav"}));
    EXPECT_EQ(rifftest::ReadBytes(dir / "Song.wav"), written);

    // A closed section is not the song's final close: removing the output
    // still leaves the old file.
    {
        CSongWrite w("wav", kRate, 16, 2, 2, 0);
        ASSERT_TRUE(w.OpenAudioFile(base.c_str(), L".wav"));
        ASSERT_TRUE(WriteRamp(w, kB, 300));
        ASSERT_TRUE(w.CloseCurrentSection(false));
        w.RemoveFile();
    }
    EXPECT_EQ(rifftest::ReadBytes(dir / "Song.wav"), written);

    // After the final close, the output put in place is taken away.
    {
        CSongWrite w("wav", kRate, 16, 2, 2, 0);
        ASSERT_TRUE(w.OpenAudioFile(base.c_str(), L".wav"));
        ASSERT_TRUE(WriteRamp(w, kB, 300));
        ASSERT_TRUE(w.EjectAllFiles());
        w.RemoveFile();
    }
    EXPECT_TRUE(rifftest::FolderEntries(dir.Path()).empty());
}

// Nothing replaces a target before the song's final close: a cancelled
// export, a section that fails, a writer destroyed unclosed (an early return,
// an exception) or reopened leave every file the user had as it was, also
// those that sections closed before would replace. The final close replaces
// them all.
TEST(CSongWriteTest, TargetsAreReplacedOnlyByTheFinalClose)
{
    TempFolder dir;
    const std::wstring base = Wide(dir / "song");
    const std::vector<std::string> names = {"song.001.wav", "song.002.wav"};
    const rifftest::Bytes old[] = {rifftest::Text("old one"), rifftest::Text("old two")};
    for (int i = 0; i < 2; ++i)
        rifftest::WriteBytes(dir / names[i], old[i]);
    const auto expectOldFiles = [&]
    {
        EXPECT_EQ(rifftest::FolderEntries(dir.Path()), names);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(rifftest::ReadBytes(dir / names[i]), old[i]) << names[i];
    };

    enum class EEnd
    {
        kCancelled,
        kFailedSection,
        kDestroyed,
        kReopened,
    };
    const struct
    {
        const char* name;
        EEnd end;
    } cases[] = {
        {"cancelled", EEnd::kCancelled},
        {"failed section", EEnd::kFailedSection},
        {"destroyed unclosed", EEnd::kDestroyed},
        {"reopened", EEnd::kReopened},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        {
            CSongWrite w("wav", kRate, 16, 2, 2, 0);
            ASSERT_TRUE(w.OpenAudioFile(base.c_str(), L".wav"));
            ASSERT_TRUE(WriteRamp(w, kA, kRate / 2));
            ASSERT_TRUE(w.CloseCurrentSection(true));
            ASSERT_TRUE(w.OpenNewSection());
            ASSERT_TRUE(WriteRamp(w, kB, kRate / 2));
            expectOldFiles();
            switch (c.end)
            {
            case EEnd::kCancelled:
                w.RemoveFile();
                EXPECT_FALSE(w.EjectAllFiles());
                break;
            case EEnd::kFailedSection:
            {
                rifftest::FileSizeLimit full(4096);
                EXPECT_FALSE(WriteRamp(w, kB, kRate));
            }
                EXPECT_FALSE(w.EjectAllFiles());
                break;
            case EEnd::kDestroyed:
                break;
            case EEnd::kReopened:
                ASSERT_TRUE(w.OpenAudioFile(Wide(dir / "other").c_str(), L".wav"));
                w.RemoveFile();
                break;
            }
        }
        expectOldFiles();
    }

    CSongWrite w("wav", kRate, 16, 2, 2, 0);
    ASSERT_TRUE(w.OpenAudioFile(base.c_str(), L".wav"));
    ASSERT_TRUE(WriteRamp(w, kA, 300));
    ASSERT_TRUE(w.CloseCurrentSection(true));
    ASSERT_TRUE(w.OpenNewSection());
    ASSERT_TRUE(WriteRamp(w, kB, 200));
    expectOldFiles();
    ASSERT_TRUE(w.EjectAllFiles());
    EXPECT_EQ(rifftest::FolderEntries(dir.Path()), names);
    const int64_t lengths[] = {300, 200};
    for (int i = 0; i < 2; ++i)
    {
        CWavFileRead r;
        ASSERT_EQ(r.OpenFile(Wide(dir / names[i]).c_str()), 0) << names[i];
        EXPECT_EQ(r.GetNumSamples(), lengths[i]);
    }
}

TEST(CSongWriteTest, OutputThatCannotBeCreated)
{
    TempFolder dir;
    CSongWrite w("wav", kRate, 16, 2, 2, 0);
    EXPECT_FALSE(w.OpenAudioFile(Wide(dir / "missing" / "Song").c_str(), L".wav"));
    EXPECT_EQ(w.GetNumSections(), 0);
    Planar<int32_t> p(2, 10);
    EXPECT_EQ(w.WriteAudioData(p.Bufs(), 10), 0u);
    EXPECT_FALSE(w.CloseCurrentSection(false));
    // A format no writer has.
    CSongWrite none("ogg", kRate, 16, 2, 2, 0);
    EXPECT_FALSE(none.OpenAudioFile(Wide(dir / "Song").c_str(), L".ogg"));
    EXPECT_TRUE(rifftest::FolderEntries(dir.Path()).empty());
}
