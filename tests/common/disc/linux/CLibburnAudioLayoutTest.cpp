#include "common/disc/linux/CLibburnAudioLayout.h"

#include "common/disc/CCdTextBlocks.h"

#include "tests/common/disc/DiscBurnTestSupport.h"

#include <juce_core/juce_core.h>

#include <libburn/libburn.h>

#include <gtest/gtest.h>

#include <filesystem>

using namespace disctest;
using cdtest::TempFolder;

namespace
{
// Three songs of odd lengths (each rounded up to whole CD frames when
// staged), a gap of a second before the second, and texts of which some
// only MS-JIS can write.
class LibburnAudioLayout : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(m_folder / "staged");
        m_album = StageAlbum(m_stager, m_folder / "staged", L"Album", L"Band",
                             {{4 * 44100 + 123, 150, L"One", L"Band"},
                              {5 * 44100 + 1, 75, L"\u591c\u660e\u3051", L"\u6771\u4eac Trio"},
                              {4 * 44100 + 587, 0, L"Three", L"Band"}});
        ASSERT_EQ(m_album.tracks.size(), 3u);
    }

    TempFolder m_folder;
    CAudioCDTempFileCreator m_stager;
    AudioCDAlbumTrackList m_album;
};

std::wstring TextOf(const CCdTextBlocks& blocks, int block, CCdTextBlocks::Field field, int entry)
{
    const std::wstring* text = blocks.GetText(block, field, entry);
    return text != nullptr ? *text : std::wstring();
}
} // namespace

// The disc a burn hands to libburn, read back through libburn's own
// getters: one session of three audio tracks, each as long as its staged
// audio. libburn has no getter for a track's pre-gap or its byte swap, so
// those are seen only on the simulated drive's images.
TEST_F(LibburnAudioLayout, TheDiscHoldsOneAudioTrackPerStagedSongOfItsLength)
{
    CLibburnAudioLayout layout;
    std::wstring error;
    ASSERT_TRUE(layout.Build(m_album, true, &error)) << juce::String(error.c_str());

    int numSessions = 0;
    burn::burn_session** sessions = burn::burn_disc_get_sessions(layout.Disc(), &numSessions);
    ASSERT_EQ(numSessions, 1);
    EXPECT_EQ(burn::burn_session_get_hidefirst(sessions[0]), 0);
    int numTracks = 0;
    burn::burn_track** tracks = burn::burn_session_get_tracks(sessions[0], &numTracks);
    ASSERT_EQ(numTracks, 3);
    const std::vector<int64_t> sectors = layout.TrackSectors();
    ASSERT_EQ(sectors.size(), 3u);
    int64_t total = 0;
    for (int i = 0; i < numTracks; ++i)
    {
        SCOPED_TRACE(i);
        const AudioCDTrackInfo& staged = m_album.tracks[static_cast<size_t>(i)];
        EXPECT_EQ(staged.samples % kFramesPerBlock, 0);
        EXPECT_EQ(burn::burn_track_get_sectors(tracks[i]), staged.samples / kFramesPerBlock);
        EXPECT_EQ(sectors[static_cast<size_t>(i)], staged.samples / kFramesPerBlock);
        EXPECT_EQ(burn::burn_track_get_mode(tracks[i]) & (BURN_AUDIO | BURN_MODE1 | BURN_MODE2), BURN_AUDIO);
        total += sectors[static_cast<size_t>(i)];
    }
    EXPECT_EQ(burn::burn_session_get_sectors(sessions[0]), total);
}

// The CD-Text packs handed to the drive for the lead-in, read by our own
// CD-Text reader: block 0 in ISO 8859-1 with what it can write, block 1 in
// MS-JIS with the rest, every character in two bytes.
TEST_F(LibburnAudioLayout, TheLeadInTextReadsBackToTheTitles)
{
    CLibburnAudioLayout layout;
    std::wstring error;
    ASSERT_TRUE(layout.Build(m_album, true, &error));
    const std::vector<uint8_t>& packs = layout.CdTextPacks();
    ASSERT_FALSE(packs.empty());
    EXPECT_EQ(packs.size() % CCdTextBlocks::kPackSize, 0u);
    for (size_t at = 0; at < packs.size(); at += CCdTextBlocks::kPackSize)
    {
        const uint16_t crc = CCdTextBlocks::PackCrc(&packs[at]);
        EXPECT_EQ(packs[at + 16], crc >> 8);
        EXPECT_EQ(packs[at + 17], crc & 0xFF);
    }
    CCdTextBlocks blocks;
    ASSERT_TRUE(blocks.DecodePacks(packs.data(), packs.size()));
    EXPECT_EQ(blocks.GetCharacterCode(0), CCdTextBlocks::kCharCodeLatin1);
    EXPECT_EQ(blocks.GetCharacterCode(1), CCdTextBlocks::kCharCodeMsJis);
    EXPECT_EQ(TextOf(blocks, 0, CCdTextBlocks::kTitle, 0), L"Album");
    EXPECT_EQ(TextOf(blocks, 0, CCdTextBlocks::kPerformer, 0), L"Band");
    EXPECT_EQ(TextOf(blocks, 0, CCdTextBlocks::kTitle, 1), L"One");
    EXPECT_EQ(TextOf(blocks, 0, CCdTextBlocks::kTitle, 2), L"");
    EXPECT_EQ(TextOf(blocks, 0, CCdTextBlocks::kTitle, 3), L"Three");
    EXPECT_EQ(TextOf(blocks, 0, CCdTextBlocks::kPerformer, 3), L"Band");
    EXPECT_EQ(TextOf(blocks, 1, CCdTextBlocks::kTitle, 2), L"\u591c\u660e\u3051");
    EXPECT_EQ(TextOf(blocks, 1, CCdTextBlocks::kPerformer, 2), L"\u6771\u4eac\u3000\uff34\uff52\uff49\uff4f");

    CLibburnAudioLayout withoutText;
    ASSERT_TRUE(withoutText.Build(m_album, false, &error));
    EXPECT_TRUE(withoutText.CdTextPacks().empty()) << "a drive that writes no CD-Text gets none";
}

TEST_F(LibburnAudioLayout, AMissingTrackFileFailsTheBuildWithItsName)
{
    AudioCDAlbumTrackList album = m_album;
    album.tracks[1].path = cdtest::Wide(m_folder / "staged" / "gone.aiff");
    CLibburnAudioLayout layout;
    std::wstring error;
    EXPECT_FALSE(layout.Build(album, true, &error));
    EXPECT_NE(error.find(L"gone.aiff"), std::wstring::npos);
}
