#pragma once

// Reads a burnt disc image back through libcdio and checks it against the
// staged album it was burnt from: the tracks, their starts and pre-gaps, the
// audio bit for bit, the CD-Text and the CD identifier.

#include "common/disc/CCdTextBlocks.h"
#include "common/disc/CDiscBurnImp.h"
#include "common/disc/linux/CCdioDisc.h"
#include "common/disc/linux/CDiscUtilLinux.h"

#include "tests/common/disc/DiscBurnTestSupport.h"

#include <juce_core/juce_core.h>

#include <cdio/cdio.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace disctest
{
// Where each track of an album should start on the disc (LSN) and where the
// lead-out begins: the first track after its pre-gap beyond the two seconds
// every disc has, each further track after its own pre-gap.
struct Layout
{
    std::vector<int32_t> starts;
    int32_t leadOut = 0;
};

inline Layout ExpectedLayout(const AudioCDAlbumTrackList& album)
{
    Layout layout;
    int32_t lsn = 0;
    for (size_t i = 0; i < album.tracks.size(); ++i)
    {
        const AudioCDTrackInfo& t = album.tracks[i];
        lsn += i == 0 ? std::max<int32_t>(static_cast<int32_t>(t.preGap), 150) - 150
                      : static_cast<int32_t>(t.preGap);
        layout.starts.push_back(lsn);
        lsn += static_cast<int32_t>((t.samples + 587) / 588);
    }
    layout.leadOut = lsn;
    return layout;
}

inline std::wstring TextOf(const CCdTextBlocks& blocks, int block, CCdTextBlocks::Field field, int entry)
{
    const std::wstring* text = blocks.GetText(block, field, entry);
    return text != nullptr ? *text : std::wstring();
}

// The title and performer of an entry of a CD-Text block (0 the disc, n
// track n); empty where the block has none.
struct EntryText
{
    std::wstring title;
    std::wstring performer;
};

// The CD-Text of the image: block 0 English in ISO 8859-1 and, when a second
// block is expected, block 1 Japanese in MS-JIS, each with exactly the texts
// given.
inline void CheckCdText(const std::wstring& cue, const std::vector<std::vector<EntryText>>& want)
{
    CCdioDisc disc;
    ASSERT_TRUE(disc.Open(cue.c_str()));
    CCdTextBlocks blocks;
    ASSERT_TRUE(disc.ReadCdText(blocks));
    EXPECT_EQ(blocks.GetLanguageCode(0), 0x09);
    EXPECT_EQ(blocks.GetCharacterCode(0), CCdTextBlocks::kCharCodeLatin1);
    EXPECT_EQ(blocks.HasBlock(1), want.size() > 1);
    if (want.size() > 1)
    {
        EXPECT_EQ(blocks.GetLanguageCode(1), 0x69);
        EXPECT_EQ(blocks.GetCharacterCode(1), CCdTextBlocks::kCharCodeMsJis);
    }
    for (size_t block = 0; block < want.size(); ++block)
    {
        for (size_t entry = 0; entry < want[block].size(); ++entry)
        {
            SCOPED_TRACE(testing::Message() << "block " << block << " entry " << entry);
            const int b = static_cast<int>(block);
            const int e = static_cast<int>(entry);
            EXPECT_EQ(TextOf(blocks, b, CCdTextBlocks::kTitle, e), want[block][entry].title);
            EXPECT_EQ(TextOf(blocks, b, CCdTextBlocks::kPerformer, e), want[block][entry].performer);
        }
    }
}

// The track starts, the pre-gaps (as libcdio reads INDEX 00), the audio of
// every track bit for bit against its staged file (the pre-gaps and the
// padding of a last partial sector silent) and the CD identifier.
inline void CheckImage(const std::wstring& cue, const AudioCDAlbumTrackList& album)
{
    const Layout layout = ExpectedLayout(album);
    CCdioDisc disc;
    ASSERT_TRUE(disc.Open(cue.c_str()));
    ASSERT_EQ(disc.GetNumTracks(), static_cast<int>(album.tracks.size()));
    EXPECT_EQ(disc.GetLeadOutLsn(), layout.leadOut);

    CdIo_t* cdio = cdio_open(juce::String(cue.c_str()).toRawUTF8(), DRIVER_BINCUE);
    ASSERT_NE(cdio, nullptr);
    int32_t previousEnd = 0;
    for (size_t i = 0; i < album.tracks.size(); ++i)
    {
        SCOPED_TRACE(i);
        const int number = static_cast<int>(i + 1);
        const int32_t start = disc.GetTrackStartLsn(number);
        EXPECT_EQ(start, layout.starts[i]);
        if (start > previousEnd)
        {
            EXPECT_EQ(cdio_get_track_pregap_lsn(cdio, static_cast<track_t>(number)), previousEnd);
            std::vector<uint8_t> gap(static_cast<size_t>(start - previousEnd) * 2352);
            ASSERT_TRUE(
                disc.ReadAudioSectors(gap.data(), previousEnd, static_cast<uint32_t>(start - previousEnd)));
            EXPECT_TRUE(std::all_of(gap.begin(), gap.end(), [](uint8_t b) { return b == 0; }));
        }
        const std::vector<Frame> staged = ReadFrames(album.tracks[i].path);
        ASSERT_EQ(static_cast<int64_t>(staged.size()), album.tracks[i].samples);
        const int32_t sectors = static_cast<int32_t>((staged.size() + 587) / 588);
        std::vector<uint8_t> audio(static_cast<size_t>(sectors) * 2352);
        ASSERT_TRUE(disc.ReadAudioSectors(audio.data(), start, static_cast<uint32_t>(sectors)));
        std::vector<Frame> read(static_cast<size_t>(sectors) * 588);
        for (size_t f = 0; f < read.size(); ++f)
        {
            const uint8_t* p = audio.data() + f * 4;
            read[f] = Frame{static_cast<int32_t>(static_cast<uint32_t>(p[0] | (p[1] << 8)) << 16),
                            static_cast<int32_t>(static_cast<uint32_t>(p[2] | (p[3] << 8)) << 16)};
        }
        std::vector<Frame> want = staged;
        want.resize(read.size(), Frame{0, 0});
        EXPECT_EQ(FirstDifference(read, want), -1);
        previousEnd = start + sectors;
    }
    cdio_destroy(cdio);

    std::vector<int32_t> startsLba;
    for (int32_t lsn : layout.starts)
        startsLba.push_back(lsn + 150);
    const uint32_t id = CDiscUtilLinux::ComputeCDDBID(startsLba, layout.leadOut + 150);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(static_cast<uint32_t>(CDiscUtilLinux::GetCDDBID(cue.c_str())), id);
}
} // namespace disctest
