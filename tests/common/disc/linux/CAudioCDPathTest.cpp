#include "common/disc/linux/CAudioCDPath.h"
#include "common/disc/linux/CCddbReadImpLinux.h"
#include "common/disc/linux/CCdioDisc.h"
#include "common/disc/linux/CDiscUtilLinux.h"

#include "tests/common/disc/CdTestImages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using cdtest::Image;
using cdtest::TempFolder;
using cdtest::Wide;

TEST(CAudioCDPath, ParsesVolumeAndTrackPaths)
{
    struct Case
    {
        const wchar_t* path;
        bool isCD;
        const wchar_t* volume;
        int track;
    };
    const Case cases[] = {
        {L"/dev/sr0", true, L"/dev/sr0", 0},
        {L"/dev/sr0/", true, L"/dev/sr0", 0},
        {L"/dev/sr0/Track 03", true, L"/dev/sr0", 3},
        {L"/dev/cdrom/Track 99/", true, L"/dev/cdrom", 99},
        {L"/home/me/album.cue", true, L"/home/me/album.cue", 0},
        {L"/home/me/ALBUM.CUE/Track 12", true, L"/home/me/ALBUM.CUE", 12},
        {L"album.cue", true, L"album.cue", 0},
        {L"/home/me/album.Cue", false, L"", 0},
        {L"/home/me/.cue", false, L"", 0},
        {L"/dev/sr0/Track 00", false, L"", 0},
        {L"/dev/sr0/Track 100", false, L"", 0},
        {L"/dev/sr0/Track 3a", false, L"", 0},
        {L"/dev/", false, L"", 0},
        {L"/dev", false, L"", 0},
        {L"/home/me/song.wav", false, L"", 0},
        {L"/home/me/Track 03", false, L"", 0},
        {L"", false, L"", 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.path, c.path + std::wcslen(c.path)));
        std::wstring volume = L"junk";
        int track = -1;
        EXPECT_EQ(CAudioCDPath::Parse(c.path, &volume, &track), c.isCD);
        EXPECT_EQ(volume, c.volume);
        EXPECT_EQ(track, c.track);
        EXPECT_EQ(CAudioCDPath::IsCDPath(c.path), c.isCD);
        EXPECT_EQ(CAudioCDPath::GetRoot(c.path), c.volume);
        EXPECT_EQ(CAudioCDPath::IsTrackPath(c.path), c.isCD && c.track != 0);
        EXPECT_EQ(CAudioCDPath::IsVolumePath(c.path), c.isCD && c.track == 0);
    }
    EXPECT_FALSE(CAudioCDPath::IsCDPath(nullptr));
    EXPECT_TRUE(CAudioCDPath::IsImagePath(L"/a/b.cue/Track 01"));
    EXPECT_FALSE(CAudioCDPath::IsImagePath(L"/dev/sr0"));
}

TEST(CAudioCDPath, MakesPathsAndNames)
{
    EXPECT_EQ(CAudioCDPath::MakeTrackPath(L"/dev/sr0", 3), L"/dev/sr0/Track 03");
    EXPECT_EQ(CAudioCDPath::MakeTrackPath(L"/a/b.cue/", 12), L"/a/b.cue/Track 12");
    EXPECT_EQ(CAudioCDPath::MakeTrackPath(L"/a/b.cue", 0), L"");
    EXPECT_EQ(CAudioCDPath::MakeTrackPath(L"/a/b.cue", 100), L"");
    EXPECT_EQ(CAudioCDPath::MakeTrackPath(L"/a/b.cue/Track 01", 2), L"");
    EXPECT_EQ(CAudioCDPath::MakeTrackPath(L"/a/b.wav", 2), L"");

    EXPECT_EQ(CAudioCDPath::GetVolumeName(L"/a/My Album.cue/Track 02"), L"My Album");
    EXPECT_EQ(CAudioCDPath::GetVolumeName(L"/dev/sr0"), L"");
    EXPECT_EQ(CAudioCDPath::GetImageDataPath(L"/a/x.cue"), L"/a/x.bin");
    EXPECT_EQ(CAudioCDPath::GetImageDataPath(L"/a/X.CUE/Track 01"), L"/a/X.BIN");
    EXPECT_EQ(CAudioCDPath::GetImageDataPath(L"/dev/sr0"), L"");
}

TEST(CAudioCDPath, ExistsLooksAtTheDisc)
{
    TempFolder folder;
    Image image;
    image.tracks = {{"MODE1/2352", 0}, {"AUDIO", 30}, {"AUDIO", 60}};
    image.sectors = 90;
    const std::wstring cue = Wide(cdtest::WriteImage(folder.Path(), "disc", image));

    EXPECT_TRUE(CAudioCDPath::VolumeExists(cue.c_str()));
    EXPECT_TRUE(CCdioDisc::Exists(cue.c_str()));
    EXPECT_TRUE(CCdioDisc::Exists((cue + L"/Track 02").c_str()));
    EXPECT_TRUE(CCdioDisc::Exists((cue + L"/Track 03").c_str()));
    // The data track and a track beyond the disc are not there to be read.
    EXPECT_FALSE(CCdioDisc::Exists((cue + L"/Track 01").c_str()));
    EXPECT_FALSE(CCdioDisc::Exists((cue + L"/Track 04").c_str()));
    EXPECT_FALSE(CCdioDisc::Exists(Wide(folder / "other.cue").c_str()));
    EXPECT_FALSE(CCdioDisc::Exists(L"/dev/vextal-no-such-drive"));

    // A cue sheet without its ".bin" is no volume.
    std::filesystem::remove(folder / "disc.bin");
    EXPECT_FALSE(CAudioCDPath::VolumeExists(cue.c_str()));
    EXPECT_FALSE(CCdioDisc::Exists(cue.c_str()));
}

TEST(CCdioDisc, ReadsTheTableOfContents)
{
    TempFolder folder;
    Image image;
    image.tracks = {{"AUDIO", 0}, {"AUDIO", 100}, {"AUDIO", 190, 180}};
    image.sectors = 250;
    const std::wstring cue = Wide(cdtest::WriteImage(folder.Path(), "disc", image));

    CCdioDisc disc;
    ASSERT_TRUE(disc.Open((cue + L"/Track 02").c_str()));
    EXPECT_TRUE(disc.IsImage());
    EXPECT_EQ(disc.GetVolumePath(), cue);
    EXPECT_EQ(disc.GetFirstTrackNumber(), 1);
    EXPECT_EQ(disc.GetNumTracks(), 3);
    EXPECT_EQ(disc.GetTrackStartLsn(1), 0);
    EXPECT_EQ(disc.GetTrackStartLsn(2), 100);
    // A track starts at its INDEX 01; the pre-gap belongs to the track before.
    EXPECT_EQ(disc.GetTrackStartLsn(3), 190);
    EXPECT_EQ(disc.GetTrackEndLsn(2), 190);
    EXPECT_EQ(disc.GetLeadOutLsn(), 250);
    EXPECT_EQ(disc.GetTrackStartLsn(4), 250);
    EXPECT_EQ(disc.GetTrackStartLsn(5), -1);
    EXPECT_EQ(disc.GetTrackStartLsn(0), -1);

    std::vector<uint8_t> sector(2 * cdtest::kBytesPerSector);
    ASSERT_TRUE(disc.ReadAudioSectors(sector.data(), 248, 2));
    EXPECT_EQ(sector[0], static_cast<uint8_t>(cdtest::LeftSample(248 * 588)));
    // Past the lead-out nothing is read, and nothing is left in the buffer.
    EXPECT_FALSE(disc.ReadAudioSectors(sector.data(), 249, 2));
    EXPECT_TRUE(std::all_of(sector.begin(), sector.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_FALSE(disc.ReadAudioSectors(sector.data(), -1, 1));

    EXPECT_FALSE(disc.Open(L"/dev/vextal-no-such-drive"));
    EXPECT_FALSE(disc.IsOpen());
}

TEST(CDiscUtilLinux, ComputesTheCddbIdentifier)
{
    struct Case
    {
        std::vector<int32_t> starts;
        int32_t leadOut;
        uint32_t id;
    };
    std::vector<int32_t> many(40, 999 * 75);
    many[0] = 150;
    const Case cases[] = {
        // Seconds 2, 200, 400: digits 2 + 2 + 4 = 8; 600 - 2 = 598 = 0x256 s.
        {{150, 15000, 30000}, 45000, 0x08025603},
        // Seconds 2, 3, 4: digit sum 9; 5 - 2 = 3 s; 3 tracks.
        {{150, 250, 340}, 400, 0x09000303},
        // One track starting within the first second: digit sum 0.
        {{50}, 400, 0},
        // 2 + 39 x 27 = 1055, modulo 255 = 35 = 0x23; 0 s long (lead-out at
        // 2 s); 40 tracks.
        {many, 150, 0x23000028},
        {{}, 400, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CDiscUtilLinux::ComputeCDDBID(c.starts, c.leadOut), c.id);
}

TEST(CDiscUtilLinux, IdentifiesAnImage)
{
    TempFolder folder;
    Image image;
    // Starts at LBA 150, 250, 340, lead-out 400: 0x09000303 (see above).
    image.tracks = {{"AUDIO", 0}, {"AUDIO", 100}, {"AUDIO", 190, 180}};
    image.sectors = 250;
    const std::wstring cue = Wide(cdtest::WriteImage(folder.Path(), "disc", image));
    EXPECT_EQ(CDiscUtilLinux::GetCDDBID(cue.c_str()), 0x09000303);
    EXPECT_EQ(CDiscUtilLinux::GetCDDBID((cue + L"/Track 03").c_str()), 0x09000303);
    EXPECT_EQ(CDiscUtilLinux::GetCDDBID(Wide(folder / "none.cue").c_str()), 0);
}

TEST(CCddbReadImpLinux, TitlesFromCdTextOrTheImageName)
{
    TempFolder folder;
    Image withText;
    withText.tracks = {{"MODE1/2352", 0}, {"AUDIO", 30, -1, "Second", "P2"}, {"AUDIO", 60, -1, "Third"}};
    withText.sectors = 90;
    withText.title = "The Album";
    const std::wstring textCue = Wide(cdtest::WriteImage(folder.Path(), "text", withText));

    Image generic = withText;
    generic.tracks[1].title = generic.tracks[2].title = "Audio Track";
    const std::wstring genericCue = Wide(cdtest::WriteImage(folder.Path(), "generic", generic));

    Image plain;
    plain.tracks = {{"AUDIO", 0}, {"AUDIO", 30}};
    plain.sectors = 60;
    const std::wstring plainCue = Wide(cdtest::WriteImage(folder.Path(), "Plain Disc", plain));

    wchar_t buf[64];
    CCddbReadImpLinux reader;
    ASSERT_EQ(reader.OpenDrive((textCue + L"/").c_str()), 0);
    EXPECT_EQ(reader.GetAlbumTitle(buf, 64), 9);
    EXPECT_STREQ(buf, L"The Album");
    // Track 0 is the disc's first audio track, its track 2.
    EXPECT_EQ(reader.GetNumTrackTitles(), 2);
    reader.GetTrackTitle(buf, 64, 0);
    EXPECT_STREQ(buf, L"Second");
    reader.GetTrackTitle(buf, 64, 1);
    EXPECT_STREQ(buf, L"Third");
    EXPECT_EQ(reader.GetTrackTitle(buf, 64, 2), 0);
    EXPECT_STREQ(buf, L"");
    EXPECT_EQ(reader.GetTrackArtist(buf, 64, 0), 0);
    EXPECT_EQ(reader.GetTrackAlbum(buf, 4, 0), 3);
    EXPECT_STREQ(buf, L"The");

    ASSERT_EQ(reader.OpenDrive(genericCue.c_str()), 0);
    EXPECT_EQ(reader.GetNumTrackTitles(), 0);

    ASSERT_EQ(reader.OpenDrive(plainCue.c_str()), 0);
    reader.GetAlbumTitle(buf, 64);
    EXPECT_STREQ(buf, L"Plain Disc");
    EXPECT_EQ(reader.GetNumTrackTitles(), 0);

    EXPECT_EQ(reader.OpenDrive(Wide(folder / "missing.cue").c_str()), 1);
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.OpenDrive(L"/home/me/song.wav"), 1);
}
