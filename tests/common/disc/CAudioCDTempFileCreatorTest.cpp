#include "common/disc/CAudioCDTempFileCreator.h"

#include "tests/common/disc/DiscBurnTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <vector>

using namespace disctest;
using cdtest::TempFolder;
using cdtest::Wide;

namespace
{
struct Song
{
    int64_t frames;
    bool closeGapless;
    uint32_t silenceBlocks;
};

// A staged file: its length in frames and how many of them are audio (the
// ramp, continuing from the previous file's audio), the rest silence.
struct StagedFile
{
    int64_t frames;
    int64_t audio;
};

struct StagingCase
{
    const char* name;
    std::vector<Song> songs;
    std::vector<StagedFile> files;
};

class Stager
{
public:
    Stager()
    {
        EXPECT_TRUE(m_stager.OpenDisc(Wide(m_folder.Path()).c_str()));
        EXPECT_TRUE(m_stager.OpenAlbum(L"Album", L"Band"));
    }

    // Stages the songs one after another as one continuous ramp.
    void Stage(const std::vector<Song>& songs)
    {
        int64_t first = 0;
        bool gaplessWithPrevious = false;
        for (const Song& song : songs)
        {
            ASSERT_TRUE(m_stager.CloseTrack(gaplessWithPrevious));
            ASSERT_TRUE(m_stager.OpenNewTrack(0, song.silenceBlocks));
            const auto write = [this](int32_t** f, uint32_t n) { return m_stager.WriteAudioData(f, n); };
            ASSERT_EQ(WriteRamp(write, first, song.frames), song.frames);
            first += song.frames;
            gaplessWithPrevious = song.closeGapless;
        }
        ASSERT_TRUE(m_stager.CloseTrack(false));
    }

    CAudioCDTempFileCreator& operator*() { return m_stager; }
    CAudioCDTempFileCreator* operator->() { return &m_stager; }
    const TempFolder& Folder() const { return m_folder; }

private:
    TempFolder m_folder;
    CAudioCDTempFileCreator m_stager;
};
} // namespace

// Every track file is whole CD frames, at least four seconds unless carried
// on gaplessly, with the held frames, padding and silence where they belong,
// and the audio never cut at a join.
TEST(CAudioCDTempFileCreator, TrackFilesHoldWholeFramesPaddingSilenceAndEveryFrameOfTheAudio)
{
    const std::vector<StagingCase> cases = {
        {"one second is padded to four", {{44100, false, 0}}, {{176400, 44100}}},
        {"ten seconds with two silence blocks", {{441000, false, 2}}, {{442764, 441000}}},
        {"a partial frame is padded, then one silence block", {{441100, false, 0}}, {{442176, 441100}}},
        {"a gapless join carries the partial frame",
         {{441100, true, 0}, {1000, false, 0}},
         {{441000, 441000}, {176400, 1100}}},
        {"under four seconds the minimum wins over gapless",
         {{171990, true, 0}, {1000, false, 0}},
         {{176400, 171990}, {176400, 1000}}},
        {"exactly four seconds gapless is carried without padding",
         {{176400, true, 0}, {1000, false, 0}},
         {{176400, 176400}, {176400, 1000}}},
    };
    for (const StagingCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        Stager stager;
        stager.Stage(c.songs);
        const AudioCDAlbumTrackList& album = stager->GetAlbumTrackList();
        ASSERT_EQ(album.tracks.size(), c.files.size());
        int64_t audioStart = 0;
        for (size_t i = 0; i < c.files.size(); ++i)
        {
            SCOPED_TRACE(i);
            const StagedFile& want = c.files[i];
            const AudioCDTrackInfo& track = album.tracks[i];
            EXPECT_EQ(track.samples, want.frames);
            EXPECT_EQ(track.samples % kFramesPerBlock, 0);
            const std::vector<Frame> frames = ReadFrames(track.path);
            EXPECT_EQ(FirstDifference(frames, RampThenSilence(audioStart, want.audio, want.frames)), -1);
            audioStart += want.audio;
        }
    }
}

TEST(CAudioCDTempFileCreator, PreGapAndSilenceSecondsBecomeWholeCdFrames)
{
    const struct
    {
        float seconds;
        uint32_t frames;
    } cases[] = {{-1.0f, 0}, {0.0f, 0}, {0.5f, 37}, {1.99f, 149}, {2.0f, 150}, {5.0f, 375}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(CAudioCDTempFileCreator::SecondsToBlocks(c.seconds), c.frames);
    }
    EXPECT_EQ(CAudioCDTempFileCreator::SecondsToBlocks(std::nanf("")), 0u);
    EXPECT_EQ(CAudioCDTempFileCreator::SecondsToBlocks(1e30f), 3600u * 75u);
}

TEST(CAudioCDTempFileCreator, TracksAreNamedByTheirNumberInTwoDigitsAndThreeFromOneHundred)
{
    EXPECT_EQ(CAudioCDTempFileCreator::TrackFileName(1), L"Track 01.aiff");
    EXPECT_EQ(CAudioCDTempFileCreator::TrackFileName(12), L"Track 12.aiff");
    EXPECT_EQ(CAudioCDTempFileCreator::TrackFileName(99), L"Track 99.aiff");
    EXPECT_EQ(CAudioCDTempFileCreator::TrackFileName(100), L"Track 100.aiff");

    Stager stager;
    stager.Stage(std::vector<Song>(12, Song{588, false, 0}));
    const AudioCDAlbumTrackList& album = stager->GetAlbumTrackList();
    ASSERT_EQ(album.tracks.size(), 12u);
    for (size_t i = 0; i < album.tracks.size(); ++i)
    {
        const std::filesystem::path path =
            stager.Folder() / ("Track " + std::string(i < 9 ? "0" : "") + std::to_string(i + 1) + ".aiff");
        EXPECT_EQ(album.tracks[i].path, Wide(path));
        EXPECT_TRUE(std::filesystem::is_regular_file(path));
    }
}

TEST(CAudioCDTempFileCreator, TrackRecordsTakeTitleAndPerformerFromTheTrackFilesSongInformation)
{
    Stager stager;
    ASSERT_TRUE(stager->OpenNewTrack(150, 0));
    ASSERT_NE(stager->GetMetaDataPtrCurrentTrack(), nullptr);
    stager->GetMetaDataPtrCurrentTrack()
        ->GetStringPtr(CAudioMetaData::kTitle)
        ->SetString(L"Intro", -1, false);
    stager->GetMetaDataPtrCurrentTrack()
        ->GetStringPtr(CAudioMetaData::kArtist)
        ->SetString(L"Band", -1, false);
    ASSERT_TRUE(stager->CloseTrack(false));
    EXPECT_EQ(stager->GetMetaDataPtrCurrentTrack(), nullptr);
    const AudioCDTrackInfo& track = stager->GetAlbumTrackList().tracks.at(0);
    EXPECT_EQ(track.title, L"Intro");
    EXPECT_EQ(track.performer, L"Band");
    EXPECT_EQ(track.preGap, 150u);
    EXPECT_EQ(stager->GetAlbumTrackList().title, L"Album");
}

TEST(CAudioCDTempFileCreator, NothingIsStagedWithoutAFolderAndAnAlbum)
{
    TempFolder folder;
    CAudioCDTempFileCreator stager;
    EXPECT_FALSE(stager.OpenAlbum(L"Album", L""));
    EXPECT_FALSE(stager.OpenNewTrack(0, 0));
    int32_t zeros[588] = {};
    int32_t* ptrs[2] = {zeros, zeros};
    EXPECT_EQ(stager.WriteAudioData(ptrs, 588), 0u);
    EXPECT_FALSE(stager.OpenDisc(L""));
    ASSERT_TRUE(stager.OpenDisc(Wide(folder.Path()).c_str()));
    EXPECT_FALSE(stager.OpenNewTrack(0, 0)) << "no album open";
    EXPECT_TRUE(stager.GetAlbumTrackList().tracks.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(CAudioCDTempFileCreator, ATrackFileThatCannotBeCreatedLeavesTheAlbumAsItWas)
{
    TempFolder parent;
    const std::filesystem::path folder = parent / "burn";
    std::filesystem::create_directory(folder);
    CAudioCDTempFileCreator stager;
    ASSERT_TRUE(stager.OpenDisc(Wide(folder).c_str()));
    ASSERT_TRUE(stager.OpenAlbum(L"Album", L""));
    ASSERT_TRUE(stager.OpenNewTrack(0, 0));
    ASSERT_TRUE(stager.CloseTrack(false));
    const std::wstring firstPath = stager.GetAlbumTrackList().tracks.at(0).path;

    std::filesystem::rename(folder, parent / "gone");
    EXPECT_FALSE(stager.OpenNewTrack(0, 0));
    ASSERT_EQ(stager.GetAlbumTrackList().tracks.size(), 1u);
    EXPECT_EQ(stager.GetAlbumTrackList().tracks[0].path, firstPath);
    EXPECT_EQ(stager.GetAlbumTrackList().tracks[0].samples, kMinTrackFrames);
    EXPECT_FALSE(stager.IsTrackOpen());
    EXPECT_FALSE(stager.HasWriteFailed());
}

// A full disk shows as a failed write of the song being staged, and the album
// stays marked failed so it is never burnt; staging goes on with the next
// track.
TEST(CAudioCDTempFileCreator, AFailedTrackWriteFailsTheSongAndMarksTheAlbum)
{
    Stager stager;
    ASSERT_TRUE(stager->OpenNewTrack(0, 0));
    const auto write = [&stager](int32_t** f, uint32_t n) { return stager->WriteAudioData(f, n); };

    struct rlimit old = {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 300 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int64_t took = WriteRamp(write, 0, 10 * 44100);
    const bool closed = stager->CloseTrack(false);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_LT(took, 10 * 44100);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(stager->HasWriteFailed());

    ASSERT_TRUE(stager->OpenNewTrack(0, 0));
    EXPECT_EQ(WriteRamp(write, 0, 44100), 44100);
    EXPECT_TRUE(stager->CloseTrack(false));
    EXPECT_TRUE(stager->HasWriteFailed()) << "the album keeps its failed track";
}

TEST(CAudioCDTempFileCreator, RemovingTheAlbumDeletesEveryStagedFile)
{
    Stager stager;
    stager.Stage({{44100, false, 0}, {44100, false, 0}});
    ASSERT_TRUE(stager->OpenNewTrack(0, 0));
    EXPECT_FALSE(std::filesystem::is_empty(stager.Folder().Path()));

    ASSERT_TRUE(stager->OpenAlbum(L"Again", L""));
    EXPECT_TRUE(std::filesystem::is_empty(stager.Folder().Path()));
    EXPECT_TRUE(stager->GetAlbumTrackList().tracks.empty());

    stager.Stage({{44100, false, 0}});
    stager->CloseDisc();
    EXPECT_TRUE(std::filesystem::is_empty(stager.Folder().Path()));
    EXPECT_FALSE(stager->OpenAlbum(L"No folder", L""));
}

TEST(CAudioCDTempFileCreator, TheDiscBytesOfAnAlbumCountPreGapsAndWholeFrames)
{
    AudioCDAlbumTrackList album;
    album.tracks.push_back({L"", L"", L"", 0, 588});
    album.tracks.push_back({L"", L"", L"", 75, 589});
    // The first track always has two seconds of pre-gap before it.
    EXPECT_EQ(CAudioCDTempFileCreator::GetAlbumDiscBytes(album), (150 + 1 + 75 + 2) * 2352);
    album.tracks[0].preGap = 300;
    EXPECT_EQ(CAudioCDTempFileCreator::GetAlbumDiscBytes(album), (300 + 1 + 75 + 2) * 2352);
}
