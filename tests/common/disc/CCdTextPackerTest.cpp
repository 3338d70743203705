#include "common/disc/CCdTextPacker.h"

#include "common/disc/CCdTextBlocks.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// "あい" and "う" in MS-JIS.
const std::string kAi = "\x82\xa0\x82\xa2";
const std::string kU = "\x82\xa4";

CCdTextPacker::Block Japanese(std::vector<std::string> titles, std::vector<std::string> performers)
{
    CCdTextPacker::Block block;
    block.languageCode = 0x69;
    block.characterCode = CCdTextBlocks::kCharCodeMsJis;
    block.doubleByte = true;
    block.texts[0] = std::move(titles);
    block.texts[1] = std::move(performers);
    return block;
}

CCdTextPacker::Block English(std::vector<std::string> titles, std::vector<std::string> performers)
{
    CCdTextPacker::Block block;
    block.texts[0] = std::move(titles);
    block.texts[1] = std::move(performers);
    return block;
}

std::wstring TextOf(const CCdTextBlocks& blocks, int block, CCdTextBlocks::Field field, int entry)
{
    const std::wstring* text = blocks.GetText(block, field, entry);
    return text != nullptr ? *text : std::wstring();
}
} // namespace

// A double-byte block: every text pack carries the double-byte flag, every
// text ends in two zero bytes, a repeated track text is the two-byte
// "same as previous" marker (TAB TAB), and our reader reads it back.
TEST(CCdTextPacker, ADoubleByteBlockKeepsTheDoubleByteRules)
{
    const std::vector<uint8_t> packs =
        CCdTextPacker::Pack({English({"Album", "One", "", ""}, {"Band", "Band", "Band", "Band"}),
                             Japanese({"", "", kAi, kU}, {kAi, kAi, kAi, kAi})},
                            3);
    ASSERT_FALSE(packs.empty());
    ASSERT_EQ(packs.size() % CCdTextBlocks::kPackSize, 0u);
    std::string japanesePerformers;
    std::string englishPerformers;
    for (size_t at = 0; at < packs.size(); at += CCdTextBlocks::kPackSize)
    {
        const uint8_t* p = &packs[at];
        const int block = (p[3] >> 4) & 7;
        SCOPED_TRACE(testing::Message() << "pack " << at / CCdTextBlocks::kPackSize);
        if (p[0] != 0x8F)
            EXPECT_EQ((p[3] & 0x80) != 0, block == 1) << "the double-byte flag";
        const uint16_t crc = CCdTextBlocks::PackCrc(p);
        EXPECT_EQ(p[16], crc >> 8);
        EXPECT_EQ(p[17], crc & 0xFF);
        if (p[0] == 0x81)
            (block == 1 ? japanesePerformers : englishPerformers)
                .append(reinterpret_cast<const char*>(p + 4), 12);
    }
    // Disc and track 1 in full, tracks 2 and 3 "same as previous".
    const std::string twoByteEnd(2, '\0');
    EXPECT_EQ(japanesePerformers.substr(0, 20),
              kAi + twoByteEnd + kAi + twoByteEnd + "\t\t" + twoByteEnd + "\t\t" + twoByteEnd);
    EXPECT_EQ(englishPerformers.substr(0, 14), std::string("Band\0Band\0\t\0\t\0", 14));

    CCdTextBlocks blocks;
    ASSERT_TRUE(blocks.DecodePacks(packs.data(), packs.size()));
    EXPECT_EQ(blocks.GetLanguageCode(1), 0x69);
    EXPECT_EQ(blocks.GetCharacterCode(1), CCdTextBlocks::kCharCodeMsJis);
    for (int entry = 0; entry <= 3; ++entry)
    {
        SCOPED_TRACE(entry);
        EXPECT_EQ(TextOf(blocks, 1, CCdTextBlocks::kPerformer, entry), L"\u3042\u3044");
        EXPECT_EQ(TextOf(blocks, 0, CCdTextBlocks::kPerformer, entry), L"Band");
    }
    EXPECT_EQ(TextOf(blocks, 1, CCdTextBlocks::kTitle, 2), L"\u3042\u3044");
    EXPECT_EQ(TextOf(blocks, 1, CCdTextBlocks::kTitle, 3), L"\u3046");
    EXPECT_EQ(TextOf(blocks, 0, CCdTextBlocks::kTitle, 1), L"One");
}

// The character position of a pack counts characters, two bytes each in a
// double-byte block, of the text begun in earlier packs.
TEST(CCdTextPacker, CharacterPositionsCountCharactersOfTheBlock)
{
    std::string long14;
    for (int i = 0; i < 7; ++i)
        long14 += kAi;
    const std::vector<uint8_t> packs = CCdTextPacker::Pack({Japanese({long14, ""}, {"", ""})}, 1);
    ASSERT_GE(packs.size(), 2 * CCdTextBlocks::kPackSize);
    EXPECT_EQ(packs[3] & 0x0F, 0);
    EXPECT_EQ(packs[CCdTextBlocks::kPackSize + 3] & 0x0F, 6) << "12 bytes are 6 characters";
    EXPECT_EQ(packs[CCdTextBlocks::kPackSize + 2], 1) << "sequence numbers count from 0 in each block";
}

// A block without text (an album of Japanese titles leaves the ISO 8859-1
// block empty) still begins with title packs, empty texts each, so the
// packs begin with a title pack as readers of CD-Text files expect.
TEST(CCdTextPacker, ABlockWithoutTextBeginsWithItsTitles)
{
    const std::vector<uint8_t> packs = CCdTextPacker::Pack(
        {English({"", "", ""}, {"", "", ""}), Japanese({kAi, kU, kAi}, {kAi, kAi, kAi})}, 2);
    ASSERT_GE(packs.size(), 5 * CCdTextBlocks::kPackSize);
    EXPECT_EQ(packs[0], 0x80);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&packs[4]), 3), std::string(3, '\0'));
    EXPECT_EQ(packs[CCdTextBlocks::kPackSize], 0x8F) << "no performer packs where there is no performer";
    CCdTextBlocks blocks;
    ASSERT_TRUE(blocks.DecodePacks(packs.data(), packs.size()));
    EXPECT_EQ(TextOf(blocks, 0, CCdTextBlocks::kTitle, 1), L"");
    EXPECT_EQ(TextOf(blocks, 1, CCdTextBlocks::kTitle, 1), L"\u3046");
}

// More text than 256 packs of a block can hold packs to nothing.
TEST(CCdTextPacker, TooMuchTextGivesNoPacks)
{
    std::vector<std::string> titles;
    for (int i = 0; i < 100; ++i)
        titles.push_back(std::to_string(i) + std::string(160, 'x'));
    EXPECT_TRUE(CCdTextPacker::Pack({English(titles, std::vector<std::string>(100))}, 99).empty());
    EXPECT_TRUE(CCdTextPacker::Pack({}, 1).empty());
}
