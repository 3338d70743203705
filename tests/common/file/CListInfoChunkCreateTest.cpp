#include "common/file/CListInfoChunkCreate.h"

#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>

using rifftest::Bytes;

namespace
{
Bytes Contents(const CListInfoChunkCreate& c)
{
    const uint32_t n = c.GetBufFilledSize();
    return n == 0 ? Bytes() : Bytes(c.GetBufferPtr(), c.GetBufferPtr() + n);
}

Bytes Head(uint32_t listSize)
{
    Bytes b;
    rifftest::PutID(b, "LIST");
    rifftest::Put32(b, listSize);
    rifftest::PutID(b, "INFO");
    return b;
}
} // namespace

TEST(CListInfoChunkCreate, NothingAddedGivesNoChunk)
{
    CListInfoChunkCreate c;
    EXPECT_EQ(c.GetBufFilledSize(), 0u);
    EXPECT_EQ(c.SetTitle(""), 0u);
    EXPECT_EQ(c.SetTitle(nullptr), 0u);
    EXPECT_EQ(c.GetBufFilledSize(), 0u);
}

TEST(CListInfoChunkCreate, BodiesEndInZeroAndHaveEvenSizes)
{
    CListInfoChunkCreate c;
    EXPECT_EQ(c.SetTitle("abc"), 12u);
    Bytes expected = Head(16);
    for (uint8_t v : std::initializer_list<uint8_t>{'I', 'N', 'A', 'M', 4, 0, 0, 0, 'a', 'b', 'c', 0})
        expected.push_back(v);
    EXPECT_EQ(Contents(c), expected);

    EXPECT_EQ(c.SetArtist("ab"), 12u);
    for (uint8_t v : std::initializer_list<uint8_t>{'I', 'A', 'R', 'T', 4, 0, 0, 0, 'a', 'b', 0, 0})
        expected.push_back(v);
    expected[4] = 28;
    EXPECT_EQ(Contents(c), expected);

    // The same setter twice adds two sub-chunks, in call order.
    EXPECT_EQ(c.SetArtist("x"), 10u);
    EXPECT_EQ(c.GetBufFilledSize(), 46u);
    EXPECT_EQ(rifftest::Get32(Contents(c), 4), 38u);

    c.Clear();
    EXPECT_EQ(c.GetBufFilledSize(), 0u);
    EXPECT_EQ(c.SetSoftware("ab"), 12u);
    EXPECT_EQ(rifftest::Get32(Contents(c), 4), 16u);
}

TEST(CListInfoChunkCreate, TextsOutsidePrintableAsciiAreLeftOut)
{
    CListInfoChunkCreate c;
    for (const char* text : {"a\tb", "line\nbreak", "caf\xC3\xA9", "\x7F"})
    {
        SCOPED_TRACE(text);
        EXPECT_EQ(c.SetTitle(text), 0u);
        EXPECT_EQ(c.GetBufFilledSize(), 0u);
    }
    // Each setter writes its own identifier.
    c.SetTitle("t");
    c.SetArtist("a");
    c.SetGenre("g");
    c.SetArchivalLocation("l");
    c.SetDateCreated("d");
    c.SetSoftware("s");
    const Bytes b = Contents(c);
    ASSERT_EQ(b.size(), 12u + 6 * 10);
    const char* ids[] = {"INAM", "IART", "IGNR", "IARL", "ICRD", "ISFT"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(std::string(b.begin() + 12 + 10 * i, b.begin() + 16 + 10 * i), ids[i]);
}
