#include "common/disc/CCdTextInfoRead.h"
#include "common/disc/CCdTextBlocks.h"

#include "tests/common/disc/CdTestImages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using cdtest::MakePacks;
using cdtest::TextBlock;

namespace
{
// "アルバム" (album) and "一", "三" in Shift-JIS.
const std::string kJaAlbum = "\x83\x41\x83\x8b\x83\x6f\x83\x80";
const std::string kJaOne = "\x88\xea";
const std::string kJaThree = "\x8e\x4f";
const std::wstring kJaAlbumWide = L"\u30a2\u30eb\u30d0\u30e0";

TextBlock English()
{
    TextBlock b;
    b.language = 0x09;
    b.titles = {"Album", "One", "Two", "Three"};
    b.performers = {"Band", "Singer One", "", "Singer Three"};
    return b;
}

TextBlock Japanese()
{
    TextBlock b;
    b.language = 0x69;
    b.characterCode = 0x80;
    b.doubleByte = true;
    // Track 2 has no Japanese title.
    b.titles = {kJaAlbum, kJaOne, "", kJaThree};
    return b;
}

std::wstring Title(CCdTextInfoRead& r, uint8_t entry)
{
    wchar_t buf[64];
    std::wmemset(buf, L'#', 64);
    const uint32_t n = r.GetTitle(buf, 64, entry);
    return n == 0 ? (buf[0] == L'#' ? L"(none)" : L"(touched)") : std::wstring(buf, n);
}

std::wstring Performer(CCdTextInfoRead& r, uint8_t entry)
{
    wchar_t buf[64];
    std::wmemset(buf, L'#', 64);
    const uint32_t n = r.GetPerformer(buf, 64, entry);
    return n == 0 ? (buf[0] == L'#' ? L"(none)" : L"(touched)") : std::wstring(buf, n);
}
} // namespace

TEST(CdTextTestPacks, ChecksumIsTheXmodemCrc)
{
    const char* check = "123456789";
    EXPECT_EQ(cdtest::Crc16Xmodem(reinterpret_cast<const uint8_t*>(check), 9), 0x31C3);
    const cdtest::Bytes packs = MakePacks({English()}, 1);
    ASSERT_EQ(packs.size() % 18, 0u);
    for (size_t i = 0; i < packs.size(); i += 18)
        EXPECT_EQ(CCdTextBlocks::PackCrc(packs.data() + i), (packs[i + 16] << 8) | packs[i + 17]);
}

// Which block answers, by the user's language and the blocks on the disc.
TEST(CCdTextInfoRead, LanguageChoice)
{
    TextBlock french;
    french.language = 0x0F;
    french.titles = {"Caf\xe9", "Un"};
    TextBlock korean;
    korean.language = 0x65;
    korean.characterCode = 0x81;
    korean.titles = {"KAlbum", "K1"};

    struct Case
    {
        const char* name;
        uint8_t userLanguage;
        std::vector<TextBlock> blocks;
        uint8_t preferredBlock;
        uint8_t fallbackBlock;
        std::wstring album;
        std::wstring track2;
        std::wstring track3;
    };
    const Case cases[] = {
        {"ja user, en+ja disc", 0x69, {English(), Japanese()}, 1, 0, kJaAlbumWide, L"Two", L"\u4e09"},
        {"en user, en+ja disc", 0x09, {English(), Japanese()}, 0, 0, L"Album", L"Two", L"Three"},
        {"ja user, ja first", 0x69, {Japanese(), English()}, 0, 1, kJaAlbumWide, L"Two", L"\u4e09"},
        {"ja user, en only", 0x69, {English()}, 0, 0, L"Album", L"Two", L"Three"},
        {"en user, ja only", 0x09, {Japanese()}, 0, 0, kJaAlbumWide, L"(none)", L"\u4e09"},
        {"en user, fr only", 0x09, {french}, 0, 0, L"Caf\u00e9", L"(none)", L"(none)"},
        {"en user, ko only", 0x09, {korean}, 0, 0, L"(none)", L"(none)", L"(none)"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CCdTextInfoRead reader(c.userLanguage);
        const cdtest::Bytes packs = MakePacks(c.blocks, 1);
        ASSERT_EQ(reader.OpenPacks(packs.data(), packs.size()), 0);
        EXPECT_EQ(reader.GetPreferredBlock(), c.preferredBlock);
        EXPECT_EQ(reader.GetFallbackBlock(), c.fallbackBlock);
        EXPECT_EQ(Title(reader, 0), c.album);
        EXPECT_EQ(Title(reader, 2), c.track2);
        EXPECT_EQ(Title(reader, 3), c.track3);
        reader.CloseDrive();
        EXPECT_EQ(Title(reader, 0), L"(none)");
    }
}

TEST(CCdTextInfoRead, PreferredLanguageFollowsTheUser)
{
    EXPECT_EQ(CCdTextInfoRead::LanguageForUser("ja"), 0x69);
    EXPECT_EQ(CCdTextInfoRead::LanguageForUser("ja_JP"), 0x69);
    EXPECT_EQ(CCdTextInfoRead::LanguageForUser("en"), 0x09);
    EXPECT_EQ(CCdTextInfoRead::LanguageForUser("de"), 0x09);
    EXPECT_EQ(CCdTextInfoRead::LanguageForUser(""), 0x09);
}

TEST(CCdTextInfoRead, NothingToOpen)
{
    CCdTextInfoRead reader(0x09);
    EXPECT_NE(reader.OpenPacks(nullptr, 0), 0);
    const uint8_t garbage[18] = {1, 2, 3};
    EXPECT_NE(reader.OpenPacks(garbage, sizeof(garbage)), 0);
    EXPECT_NE(reader.OpenDrive(L"/nonexistent/disc.cue"), 0);
    EXPECT_NE(reader.OpenDrive(L"/tmp/not-a-disc.txt"), 0);
    EXPECT_EQ(Title(reader, 0), L"(none)");
}

// Each block is decoded with its own character code, whatever the order of
// the blocks.
TEST(CCdTextBlocks, EachBlockKeepsItsCharacterCode)
{
    TextBlock latin = English();
    latin.titles[0] = "Caf\xe9";
    for (const bool latinFirst : {true, false})
    {
        CCdTextBlocks blocks;
        const cdtest::Bytes packs =
            latinFirst ? MakePacks({latin, Japanese()}, 1) : MakePacks({Japanese(), latin}, 1);
        ASSERT_TRUE(blocks.DecodePacks(packs.data(), packs.size()));
        const int latinBlock = latinFirst ? 0 : 1;
        const int jaBlock = 1 - latinBlock;
        EXPECT_EQ(blocks.GetLanguageCode(latinBlock), 0x09);
        EXPECT_EQ(blocks.GetLanguageCode(jaBlock), 0x69);
        EXPECT_EQ(blocks.GetCharacterCode(jaBlock), 0x80);
        ASSERT_NE(blocks.GetText(latinBlock, CCdTextBlocks::kTitle, 0), nullptr);
        EXPECT_EQ(*blocks.GetText(latinBlock, CCdTextBlocks::kTitle, 0), L"Caf\u00e9");
        ASSERT_NE(blocks.GetText(jaBlock, CCdTextBlocks::kTitle, 0), nullptr);
        EXPECT_EQ(*blocks.GetText(jaBlock, CCdTextBlocks::kTitle, 0), kJaAlbumWide);
        ASSERT_NE(blocks.GetText(jaBlock, CCdTextBlocks::kTitle, 1), nullptr);
        EXPECT_EQ(*blocks.GetText(jaBlock, CCdTextBlocks::kTitle, 1), L"\u4e00");
        EXPECT_EQ(blocks.GetText(jaBlock, CCdTextBlocks::kTitle, 2), nullptr);
        EXPECT_EQ(blocks.GetLanguageCode(5), 0);
    }
}

// Empty entries keep the entries behind them in place; a tab repeats the
// entry before; texts longer than a pack and a first track other than 1 are
// numbered by the packs.
TEST(CCdTextBlocks, EntriesAreNumberedByTheirTrack)
{
    TextBlock b;
    b.titles = {"", "A", "A title that runs over three packs", "\t", "", "Last"};
    b.performers = {"Band", "", "", "P3"};
    CCdTextBlocks blocks;
    const cdtest::Bytes packs = MakePacks({b}, 3);
    ASSERT_TRUE(blocks.DecodePacks(packs.data(), packs.size()));
    const auto text = [&](CCdTextBlocks::Field f, int e)
    {
        const std::wstring* t = blocks.GetText(0, f, e);
        return t == nullptr ? std::wstring(L"(none)") : *t;
    };
    EXPECT_EQ(text(CCdTextBlocks::kTitle, 0), L"(none)");
    EXPECT_EQ(text(CCdTextBlocks::kTitle, 3), L"A");
    EXPECT_EQ(text(CCdTextBlocks::kTitle, 4), L"A title that runs over three packs");
    EXPECT_EQ(text(CCdTextBlocks::kTitle, 5), L"A title that runs over three packs");
    EXPECT_EQ(text(CCdTextBlocks::kTitle, 6), L"(none)");
    EXPECT_EQ(text(CCdTextBlocks::kTitle, 7), L"Last");
    EXPECT_EQ(text(CCdTextBlocks::kPerformer, 0), L"Band");
    EXPECT_EQ(text(CCdTextBlocks::kPerformer, 3), L"(none)");
    EXPECT_EQ(text(CCdTextBlocks::kPerformer, 4), L"(none)");
    EXPECT_EQ(text(CCdTextBlocks::kPerformer, 5), L"P3");
}

// A pack with a CRC error loses the texts it carries a part of, and only
// those; packs that all lack a valid CRC are taken as they are.
TEST(CCdTextBlocks, DamagedPacks)
{
    TextBlock b;
    b.titles = {"Album name", "First title", "Second", "Third title"};
    cdtest::Bytes packs = MakePacks({b}, 1);
    // Title bytes: "Album name\0" (11) "First title\0" (12) "Second\0" ...
    // The second title pack holds the end of "First title" and the start of
    // "Second"; spoil it.
    packs[18 + 6] ^= 0x55;
    CCdTextBlocks blocks;
    ASSERT_TRUE(blocks.DecodePacks(packs.data(), packs.size()));
    ASSERT_NE(blocks.GetText(0, CCdTextBlocks::kTitle, 0), nullptr);
    EXPECT_EQ(*blocks.GetText(0, CCdTextBlocks::kTitle, 0), L"Album name");
    EXPECT_EQ(blocks.GetText(0, CCdTextBlocks::kTitle, 1), nullptr);
    EXPECT_EQ(blocks.GetText(0, CCdTextBlocks::kTitle, 2), nullptr);
    ASSERT_NE(blocks.GetText(0, CCdTextBlocks::kTitle, 3), nullptr);
    EXPECT_EQ(*blocks.GetText(0, CCdTextBlocks::kTitle, 3), L"Third title");

    cdtest::Bytes noCrc = MakePacks({b}, 1);
    for (size_t i = 0; i < noCrc.size(); i += 18)
        noCrc[i + 16] = noCrc[i + 17] = 0;
    ASSERT_TRUE(blocks.DecodePacks(noCrc.data(), noCrc.size()));
    ASSERT_NE(blocks.GetText(0, CCdTextBlocks::kTitle, 2), nullptr);
    EXPECT_EQ(*blocks.GetText(0, CCdTextBlocks::kTitle, 2), L"Second");
}

TEST(CCdTextInfoRead, FallbackFillsPerformerToo)
{
    CCdTextInfoRead reader(0x69);
    const cdtest::Bytes packs = MakePacks({English(), Japanese()}, 1);
    ASSERT_EQ(reader.OpenPacks(packs.data(), packs.size()), 0);
    EXPECT_EQ(Performer(reader, 0), L"Band");
    EXPECT_EQ(Performer(reader, 1), L"Singer One");
    EXPECT_EQ(Performer(reader, 2), L"(none)");
    EXPECT_EQ(Performer(reader, 3), L"Singer Three");

    wchar_t small[4];
    EXPECT_EQ(reader.GetTitle(small, 4, 1), 1u);
    EXPECT_EQ(std::wstring(small), L"\u4e00");
    EXPECT_EQ(reader.GetPerformer(small, 4, 1), 3u);
    EXPECT_EQ(std::wstring(small), L"Sin");
}

// A disc image carries CD-Text as the TITLE and PERFORMER lines of its cue
// sheet or as a CDTEXTFILE of raw packs (with or without the 4-byte header
// of a drive's reply).
TEST(CCdTextInfoRead, FromDiscImages)
{
    cdtest::TempFolder folder;
    cdtest::Image image;
    image.tracks = {{"AUDIO", 0, -1, "One"}, {"AUDIO", 20, -1, "Two", "Duo"}};
    image.sectors = 40;
    image.title = "Cue Album";
    image.performer = "Cue Band";
    const std::wstring cueText = cdtest::Wide(cdtest::WriteImage(folder.Path(), "cuetext", image));

    CCdTextInfoRead reader(0x69);
    ASSERT_EQ(reader.OpenDrive(cueText.c_str()), 0);
    EXPECT_EQ(Title(reader, 0), L"Cue Album");
    EXPECT_EQ(Performer(reader, 0), L"Cue Band");
    EXPECT_EQ(Title(reader, 2), L"Two");
    EXPECT_EQ(Performer(reader, 2), L"Duo");

    const cdtest::Bytes packs = MakePacks({English(), Japanese()}, 1);
    for (const bool header : {false, true})
    {
        SCOPED_TRACE(header);
        cdtest::Bytes file;
        if (header)
            file = {static_cast<uint8_t>((packs.size() + 2) >> 8), static_cast<uint8_t>(packs.size() + 2), 0,
                    0};
        file.insert(file.end(), packs.begin(), packs.end());
        std::ofstream(folder / "packs.cdt", std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        cdtest::Image withFile;
        withFile.tracks = {{"AUDIO", 0}, {"AUDIO", 20}, {"AUDIO", 30}};
        withFile.sectors = 40;
        withFile.cdTextFile = "packs.cdt";
        const std::wstring cue = cdtest::Wide(cdtest::WriteImage(folder.Path(), "packed", withFile));
        ASSERT_EQ(reader.OpenDrive((cue + L"/Track 02/").c_str()), 0);
        EXPECT_EQ(Title(reader, 0), kJaAlbumWide);
        EXPECT_EQ(Title(reader, 2), L"Two");
        EXPECT_EQ(Performer(reader, 3), L"Singer Three");
    }

    cdtest::Image none;
    none.tracks = {{"AUDIO", 0}};
    none.sectors = 10;
    EXPECT_NE(reader.OpenDrive(cdtest::Wide(cdtest::WriteImage(folder.Path(), "none", none)).c_str()), 0);
}
