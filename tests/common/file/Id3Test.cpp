// ID3v1 and ID3v2 tags: fixtures built byte by byte, read by our readers;
// tags from our builder read back by our reader and by ffprobe.

#include "common/file/CID3v1.h"
#include "common/file/CID3v2Read.h"
#include "common/file/CID3v2_3Create.h"
#include "tests/common/file/RiffTestFiles.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

using rifftest::Bytes;

namespace
{
// ---------------------------------------------------------------------------
// Fixture building

Bytes Str(const char* text, bool terminate = false)
{
    Bytes b(text, text + std::strlen(text));
    if (terminate)
        b.push_back(0);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes b;
    for (const Bytes& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

void PutBE(Bytes& b, uint32_t v, int n)
{
    for (int i = n - 1; i >= 0; --i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutSyncSafe(Bytes& b, uint32_t v)
{
    for (int shift = 21; shift >= 0; shift -= 7)
        b.push_back(static_cast<uint8_t>((v >> shift) & 0x7F));
}

// Text frame bodies: the encoding byte and the text.
Bytes Latin1(const char* text)
{
    return Cat({{0}, Str(text)});
}

Bytes Utf8(const char* text)
{
    return Cat({{3}, Str(text)});
}

Bytes Utf16Units(const std::u16string& text, bool bigEndian)
{
    Bytes b;
    for (const char16_t u : text)
    {
        if (bigEndian)
            PutBE(b, u, 2);
        else
            rifftest::Put16(b, u);
    }
    return b;
}

Bytes Utf16Bom(const std::u16string& text, bool bigEndian)
{
    return Cat({{1}, bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE}, Utf16Units(text, bigEndian)});
}

// Frames: identifier, size (the body's unless given), flags, body.
Bytes Frame22(const char* id, const Bytes& body, int64_t size = -1)
{
    Bytes b(id, id + 3);
    PutBE(b, size < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(size), 3);
    return Cat({b, body});
}

Bytes Frame23(const char* id, const Bytes& body, int64_t size = -1, uint8_t formatFlags = 0)
{
    Bytes b(id, id + 4);
    PutBE(b, size < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(size), 4);
    b.push_back(0);
    b.push_back(formatFlags);
    return Cat({b, body});
}

Bytes Frame24(const char* id, const Bytes& body, int64_t size = -1)
{
    Bytes b(id, id + 4);
    PutSyncSafe(b, size < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(size));
    b.push_back(0);
    b.push_back(0);
    return Cat({b, body});
}

// A tag: header with the size of everything in body (extended header,
// frames, padding), then body, then a footer when asked for.
Bytes Tag(uint8_t major, uint8_t flags, const Bytes& body, bool footer = false)
{
    Bytes b = Str("ID3");
    b.push_back(major);
    b.push_back(0);
    b.push_back(flags);
    PutSyncSafe(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (footer)
    {
        const Bytes f = Cat({Str("3DI"), Bytes(b.begin() + 3, b.begin() + 10)});
        b.insert(b.end(), f.begin(), f.end());
    }
    return b;
}

Bytes CutEnd(Bytes b, size_t n)
{
    b.resize(b.size() - n);
    return b;
}

// A tiny picture: a JPEG start of image and some bytes.
Bytes Jpeg(size_t size)
{
    Bytes b{0xFF, 0xD8, 0xFF, 0xE0};
    for (size_t i = b.size(); i < size; ++i)
        b.push_back(static_cast<uint8_t>(i * 7));
    return b;
}

Bytes Apic(const Bytes& picture, uint8_t type = 3, const Bytes& description = {0})
{
    return Cat({{0}, Str("image/jpeg", true), {type}, description, picture});
}

enum class Field
{
    Title,
    Artist,
    Album,
    AlbumArtist,
    Genre,
    Date,
    Time,
    Encoder,
    Guitarist,
    Track,
    Picture, // the picture's size as decimal text
    FrontCoverOnly
};

std::wstring ReadField(CID3v2Read& r, Field field)
{
    wchar_t buf[256];
    switch (field)
    {
    case Field::Title:
        r.ReadTitle(buf, 256);
        break;
    case Field::Artist:
        r.ReadArtist(buf, 256);
        break;
    case Field::Album:
        r.ReadAlbum(buf, 256);
        break;
    case Field::AlbumArtist:
        r.ReadAlbumArtist(buf, 256);
        break;
    case Field::Genre:
        r.ReadGenre(buf, 256);
        break;
    case Field::Date:
        r.ReadRecDateFormatted(buf, 256);
        break;
    case Field::Time:
        r.ReadRecTimeFormatted(buf, 256);
        break;
    case Field::Encoder:
        r.ReadEncodingDevice(buf, 256);
        break;
    case Field::Guitarist:
        r.ReadGuitarist(buf, 256);
        break;
    case Field::Track:
        r.ReadTrackNumber(buf, 256);
        break;
    case Field::Picture:
        return std::to_wstring(r.ReadImageFrontCover(nullptr, 0));
    case Field::FrontCoverOnly:
        return std::to_wstring(r.ReadAttachedPictureFrame(nullptr, 0, kID3v2PictureFrontCover));
    }
    return buf;
}

struct Id3Case
{
    const char* name;
    Bytes file;
    Field field;
    std::wstring expected;
};

std::vector<Id3Case> Id3Cases()
{
    const Bytes bigText(200, 'x');
    const Bytes bigTextBody = Cat({{0}, bigText});
    return {
        // ID3v2.2: 3-character identifiers, 3-byte sizes.
        {"v22 title", Tag(2, 0, Frame22("TT2", Latin1("Song"))), Field::Title, L"Song"},
        {"v22 genre (17)", Tag(2, 0, Frame22("TCO", Latin1("(17)"))), Field::Genre, L"Rock"},
        {"v22 date", Tag(2, 0, Cat({Frame22("TYE", Latin1("1999")), Frame22("TDA", Latin1("3112"))})),
         Field::Date, L"1999-12-31"},
        {"v22 time", Tag(2, 0, Frame22("TIM", Latin1("2359"))), Field::Time, L"23:59:00"},
        {"v22 picture", Tag(2, 0, Frame22("PIC", Cat({{0}, Str("JPG"), {3}, {0}, Jpeg(40)}))), Field::Picture,
         L"40"},
        {"v22 picture of another format",
         Tag(2, 0, Frame22("PIC", Cat({{0}, Str("BMP"), {3}, {0}, Jpeg(40)}))), Field::Picture, L"0"},
        {"v22 compressed tag", Tag(2, 0x40, Frame22("TT2", Latin1("Song"))), Field::Title, L""},
        {"v22 guitarist", Tag(2, 0, Frame22("TXX", Cat({{0}, Str("guitarist", true), Str("Nils")}))),
         Field::Guitarist, L"Nils"},

        // ID3v2.3: encodings.
        {"v23 Latin-1", Tag(3, 0, Frame23("TIT2", Latin1("Caf\xE9"))), Field::Title, L"Caf\u00E9"},
        {"v23 Latin-1 control characters",
         Tag(3, 0,
             Frame23("TIT2", Latin1("a\x01"
                                    "b"))),
         Field::Title, L"a_b"},
        {"v23 UTF-16 little-endian", Tag(3, 0, Frame23("TPE1", Utf16Bom(u"M\u00FCller \u6771", false))),
         Field::Artist, L"M\u00FCller \u6771"},
        {"v23 UTF-16 big-endian", Tag(3, 0, Frame23("TPE1", Utf16Bom(u"M\u00FCller \u6771", true))),
         Field::Artist, L"M\u00FCller \u6771"},
        {"v23 UTF-16 surrogate pair", Tag(3, 0, Frame23("TPE1", Utf16Bom(u"\U0001F3B5", false))),
         Field::Artist, L"\U0001F3B5"},
        {"v23 UTF-16BE without mark", Tag(3, 0, Frame23("TALB", Cat({{2}, Utf16Units(u"Abc", true)}))),
         Field::Album, L"Abc"},
        {"v23 UTF-8", Tag(3, 0, Frame23("TALB", Utf8("\xC3\xA9t\xC3\xA9"))), Field::Album, L"\u00E9t\u00E9"},
        {"v23 unknown encoding", Tag(3, 0, Frame23("TALB", Cat({{7}, Str("Abc")}))), Field::Album, L""},
        {"v23 only the first of several strings",
         Tag(3, 0, Frame23("TPE1", Cat({Latin1("A"), {0}, Str("B")}))), Field::Artist, L"A"},
        {"v23 UTF-16 frame shorter than its mark", Tag(3, 0, Frame23("TIT2", {1, 0xFF})), Field::Title, L""},
        {"v23 UTF-16 frame of the encoding byte only",
         Tag(3, 0, Cat({Frame23("TIT2", {1}), Frame23("TPE1", Latin1("After"))})), Field::Title, L""},
        {"v23 walk goes on behind a short UTF-16 frame",
         Tag(3, 0, Cat({Frame23("TIT2", {1}), Frame23("TPE1", Latin1("After"))})), Field::Artist, L"After"},
        {"v23 UTF-16 odd byte count", Tag(3, 0, Frame23("TIT2", Cat({Utf16Bom(u"Ab", false), {'c'}}))),
         Field::Title, L"Ab"},

        // Genres: only a number, "RX" or "CR" behind "(" is a reference.
        {"genre (17)", Tag(3, 0, Frame23("TCON", Latin1("(17)"))), Field::Genre, L"Rock"},
        {"genre (17) followed by a refinement", Tag(3, 0, Frame23("TCON", Latin1("(17)Hard"))), Field::Genre,
         L"Rock"},
        {"genre (RX)", Tag(3, 0, Frame23("TCON", Latin1("(RX)"))), Field::Genre, L"Remix"},
        {"genre (CR)", Tag(3, 0, Frame23("TCON", Latin1("(CR)"))), Field::Genre, L"Cover"},
        {"genre (Live)", Tag(3, 0, Frame23("TCON", Latin1("(Live)"))), Field::Genre, L"(Live)"},
        {"genre ((17)", Tag(3, 0, Frame23("TCON", Latin1("((17)"))), Field::Genre, L"((17)"},
        {"genre (200)", Tag(3, 0, Frame23("TCON", Latin1("(200)"))), Field::Genre, L"(200)"},
        {"genre (125)", Tag(3, 0, Frame23("TCON", Latin1("(125)"))), Field::Genre, L"Dance Hall"},
        {"genre huge number", Tag(3, 0, Frame23("TCON", Latin1("(99999999999999999999)"))), Field::Genre,
         L"(99999999999999999999)"},
        {"genre text", Tag(3, 0, Frame23("TCON", Latin1("Jazz"))), Field::Genre, L"Jazz"},

        // Dates and times.
        {"v23 TYER and TDAT",
         Tag(3, 0, Cat({Frame23("TYER", Latin1("2009")), Frame23("TDAT", Latin1("0503"))})), Field::Date,
         L"2009-03-05"},
        {"v23 TYER alone", Tag(3, 0, Frame23("TYER", Latin1("2009"))), Field::Date, L"2009-  -  "},
        {"v23 short TDAT", Tag(3, 0, Cat({Frame23("TYER", Latin1("2009")), Frame23("TDAT", Latin1("05"))})),
         Field::Date, L"2009-  -  "},
        {"v23 TDRC as year", Tag(3, 0, Frame23("TDRC", Latin1("2011-04-01"))), Field::Date, L"2011-  -  "},
        {"v23 no date", Tag(3, 0, Frame23("TIT2", Latin1("x"))), Field::Date, L"    -  -  "},
        {"v23 TIME", Tag(3, 0, Frame23("TIME", Latin1("1408"))), Field::Time, L"14:08:00"},
        {"v23 no time", Tag(3, 0, Frame23("TIT2", Latin1("x"))), Field::Time, L"  :  :  "},
        {"v24 TDRC year and month", Tag(4, 0, Frame24("TDRC", Latin1("2009-03"))), Field::Date,
         L"2009-03-  "},
        {"v24 TDRC year and month, time", Tag(4, 0, Frame24("TDRC", Latin1("2009-03"))), Field::Time,
         L"  :  :  "},
        {"v24 TDRC full", Tag(4, 0, Frame24("TDRC", Latin1("2009-03-05T07:08:09"))), Field::Date,
         L"2009-03-05"},
        {"v24 TDRC full, time", Tag(4, 0, Frame24("TDRC", Latin1("2009-03-05T07:08:09"))), Field::Time,
         L"07:08:09"},
        {"v24 TDRC hours and minutes", Tag(4, 0, Frame24("TDRC", Latin1("2009-03-05T07:08"))), Field::Time,
         L"07:08:  "},

        // Further frames.
        {"v23 TSSE", Tag(3, 0, Cat({Frame23("TENC", Latin1("Enc")), Frame23("TSSE", Latin1("Soft"))})),
         Field::Encoder, L"Soft"},
        {"v23 TENC when no TSSE", Tag(3, 0, Frame23("TENC", Latin1("Enc"))), Field::Encoder, L"Enc"},
        {"v23 track", Tag(3, 0, Frame23("TRCK", Latin1("3/12"))), Field::Track, L"3/12"},
        {"v23 album artist", Tag(3, 0, Frame23("TPE2", Latin1("Band"))), Field::AlbumArtist, L"Band"},
        {"v23 guitarist among user texts",
         Tag(3, 0,
             Cat({Frame23("TXXX", Cat({{0}, Str("sort guitarist", true), Str("Smith")})),
                  Frame23("TXXX", Cat({{0}, Str("guitarist", true), Str("Jo Smith")}))})),
         Field::Guitarist, L"Jo Smith"},
        {"v23 guitarist in UTF-16, value with its own mark",
         Tag(3, 0,
             Frame23("TXXX", Cat({Utf16Bom(u"guitarist", true),
                                  {0, 0},
                                  {0xFF, 0xFE},
                                  Utf16Units(u"J\u00F6rg", false),
                                  {0, 0}}))),
         Field::Guitarist, L"J\u00F6rg"},
        {"v23 user text without a value", Tag(3, 0, Frame23("TXXX", Cat({{0}, Str("guitarist")}))),
         Field::Guitarist, L""},
        {"v23 compressed frame", Tag(3, 0, Frame23("TIT2", Latin1("Song"), -1, 0x80)), Field::Title, L""},
        {"v23 first frame with the id counts",
         Tag(3, 0, Cat({Frame23("TIT2", Latin1("One")), Frame23("TIT2", Latin1("Two"))})), Field::Title,
         L"One"},
        {"v23 padding ends the frames",
         Tag(3, 0, Cat({Frame23("TIT2", Latin1("One")), Bytes(20, 0), Frame23("TPE1", Latin1("Hidden"))})),
         Field::Artist, L""},

        // Header flags.
        {"v23 unsynchronisation", Tag(3, 0x80, Frame23("TIT2", Latin1("Song"))), Field::Title, L""},
        {"v23 unsynchronisation, picture", Tag(3, 0x80, Frame23("APIC", Apic(Jpeg(30)))), Field::Picture,
         L"0"},
        {"v23 extended header",
         Tag(3, 0x40, Cat({{0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, Frame23("TIT2", Latin1("Behind"))})), Field::Title,
         L"Behind"},
        {"v23 extended header larger than the tag", Tag(3, 0x40, Cat({{0, 0, 0x40, 0}, Latin1("junk")})),
         Field::Title, L""},
        // The extended header's size is sync-safe in ID3v2.4: 0x00000100
        // means 128 bytes, not 256.
        {"v24 extended header",
         Tag(4, 0x40,
             Cat({{0, 0, 1, 0, 1, 0}, Bytes(122, 0), Frame24("TIT2", Latin1("Behind")), Bytes(200, 0)})),
         Field::Title, L"Behind"},
        {"v24 footer",
         Tag(4, 0x10, Cat({Frame24("TPE1", Latin1("A")), Frame24("TIT2", Latin1("Last frame"))}), true),
         Field::Title, L"Last frame"},
        {"v24 sync-safe frame sizes",
         Tag(4, 0, Cat({Frame24("TIT2", bigTextBody), Frame24("TPE1", Latin1("Second"))})), Field::Artist,
         L"Second"},
        {"v24 picture", Tag(4, 0, Frame24("APIC", Apic(Jpeg(300)))), Field::Picture, L"300"},

        // Sizes that run past the tag.
        {"frame running past the tag",
         Cat({Tag(3, 0, Frame23("TIT2", Latin1("Inside"), 100)), Str("OUTSIDE")}), Field::Title, L"Inside"},
        // Read past the tag, the header begun inside it would be complete.
        {"frame header running past the tag",
         Cat({Tag(3, 0, Cat({Frame23("TIT2", Latin1("In")), Str("TPE1"), {0, 0, 0}})),
              {5, 0, 0},
              Latin1("Outs")}),
         Field::Artist, L""},
        {"tag size past the file",
         CutEnd(Tag(3, 0, Cat({Frame23("TIT2", Latin1("Cut")), Bytes(100, 0)})), 100), Field::Title, L"Cut"},
        {"picture running past the tag",
         Cat({Tag(3, 0, Frame23("APIC", Apic(Jpeg(50)), 1000)), Bytes(2000, 0xAA)}), Field::Picture, L"50"},
        {"unterminated picture description",
         Tag(3, 0, Frame23("APIC", Cat({{0}, Str("image/jpeg", true), {3}, Str("no end")}))), Field::Picture,
         L"0"},
        {"unterminated UTF-16 picture description",
         Tag(3, 0, Frame23("APIC", Cat({{1}, Str("image/jpeg", true), {3}, {0xFF, 0xFE, 'a', 0, 0}}))),
         Field::Picture, L"0"},
        {"UTF-16 picture description",
         Tag(3, 0,
             Frame23("APIC", Cat({{1}, Str("image/png", true), {3}, {0xFF, 0xFE, 'a', 0, 0, 0}, Jpeg(9)}))),
         Field::Picture, L"9"},
        {"unterminated MIME type", Tag(3, 0, Frame23("APIC", Cat({{0}, Str("image/jpeg")}))), Field::Picture,
         L"0"},
        {"picture type chosen",
         Tag(3, 0, Cat({Frame23("APIC", Apic(Jpeg(11), 4)), Frame23("APIC", Apic(Jpeg(22), 3))})),
         Field::FrontCoverOnly, L"22"},
        {"any picture type",
         Tag(3, 0, Cat({Frame23("APIC", Apic(Jpeg(11), 4)), Frame23("APIC", Apic(Jpeg(22)))})),
         Field::Picture, L"11"},
    };
}

class Id3Fixtures : public ::testing::Test
{
protected:
    rifftest::TempFolder m_folder;
};

// ---------------------------------------------------------------------------
// ID3v2 readers

TEST_F(Id3Fixtures, TableOfTags)
{
    int index = 0;
    for (const Id3Case& c : Id3Cases())
    {
        SCOPED_TRACE(c.name);
        const auto path = m_folder / ("case" + std::to_string(index++) + ".id3");
        rifftest::WriteBytes(path, c.file);
        std::unique_ptr<CID3v2Read> reader(CID3v2Read::CreateReaderForTag(rifftest::Wide(path).c_str(), 0));
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(ReadField(*reader, c.field), c.expected);
    }
}

TEST_F(Id3Fixtures, ReaderMatchesTheTagVersion)
{
    const auto path = m_folder / "v.id3";
    struct
    {
        uint8_t major;
        const char* kind;
    } versions[] = {{2, "2.2"}, {3, "2.3"}, {4, "2.4"}, {5, "2.4"}};
    for (const auto& v : versions)
    {
        rifftest::WriteBytes(path, Tag(v.major, 0, {}));
        std::unique_ptr<CID3v2Read> reader(CID3v2Read::CreateReaderForTag(rifftest::Wide(path).c_str(), 0));
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->GetID3v2Version(), v.major << 8);
        const char* kind = dynamic_cast<CID3v2_4Read*>(reader.get()) != nullptr   ? "2.4"
                           : dynamic_cast<CID3v2_3Read*>(reader.get()) != nullptr ? "2.3"
                                                                                  : "2.2";
        EXPECT_STREQ(kind, v.kind);
    }
}

TEST_F(Id3Fixtures, OpenFailures)
{
    const auto path = m_folder / "x.id3";
    CID3v2_3Read reader;
    EXPECT_EQ(reader.OpenFile(rifftest::Wide(m_folder / "missing").c_str(), 0), 2);
    rifftest::WriteBytes(path, Str("ID3\x03"));
    EXPECT_EQ(reader.OpenFile(rifftest::Wide(path).c_str(), 0), 2);
    EXPECT_FALSE(reader.IsFileOpen());
    rifftest::WriteBytes(path, Cat({Str("TAG"), Bytes(20, 0)}));
    EXPECT_EQ(reader.OpenFile(rifftest::Wide(path).c_str(), 0), 2);
    rifftest::WriteBytes(path, Tag(3, 0, {}));
    EXPECT_EQ(reader.OpenFile(rifftest::Wide(path).c_str(), -1), 2);
    EXPECT_EQ(reader.OpenFile(rifftest::Wide(path).c_str(), 1), 2);
    EXPECT_EQ(CID3v2Read::CreateReaderForTag(rifftest::Wide(path).c_str(), 1), nullptr);
}

// A tag inside a chunk of a larger file: it is read at its position and
// never beyond the limit given for it.
TEST_F(Id3Fixtures, TagAtAPositionWithinALimit)
{
    const Bytes tag = Tag(3, 0, Cat({Frame23("TIT2", Latin1("Inner")), Frame23("TPE1", Latin1("Whole"))}));
    const Bytes file = Cat({Str("FORM...."), tag, Str("TRAILING")});
    const auto path = m_folder / "chunk.bin";
    rifftest::WriteBytes(path, file);

    std::unique_ptr<CID3v2Read> whole(CID3v2Read::CreateReaderForTag(rifftest::Wide(path).c_str(), 8));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(ReadField(*whole, Field::Title), L"Inner");
    EXPECT_EQ(ReadField(*whole, Field::Artist), L"Whole");

    // The limit ends the tag in the middle of the second frame.
    const int64_t limit = static_cast<int64_t>(tag.size()) - 3;
    std::unique_ptr<CID3v2Read> cut(CID3v2Read::CreateReaderForTag(rifftest::Wide(path).c_str(), 8, limit));
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->GetFramesEnd(), 8 + limit);
    EXPECT_EQ(ReadField(*cut, Field::Title), L"Inner");
    EXPECT_EQ(ReadField(*cut, Field::Artist), L"Wh");
}

TEST_F(Id3Fixtures, PictureIntoBuffers)
{
    const Bytes picture = Jpeg(64);
    const auto path = m_folder / "pic.id3";
    rifftest::WriteBytes(path, Tag(3, 0, Frame23("APIC", Apic(picture))));
    std::unique_ptr<CID3v2Read> reader(CID3v2Read::CreateReaderForTag(rifftest::Wide(path).c_str(), 0));
    ASSERT_NE(reader, nullptr);

    Bytes big(100, 0x55);
    EXPECT_EQ(reader->ReadImageFrontCover(big.data(), 100), 64u);
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), big.begin()));
    EXPECT_EQ(big[64], 0); // the rest of the buffer is zeroed

    Bytes exact(64, 0);
    EXPECT_EQ(reader->ReadImageFrontCover(exact.data(), 64), 64u);
    EXPECT_EQ(exact, picture);

    Bytes small(63, 0x55);
    EXPECT_EQ(reader->ReadImageFrontCover(small.data(), 63), 0u);
    EXPECT_EQ(small, Bytes(63, 0));
}

// Pictures above the cap are not read, however large the tag says it is.
TEST_F(Id3Fixtures, PictureAboveTheCapIsRefused)
{
    const auto path = m_folder / "huge.id3";
    const Bytes huge = Jpeg(CID3v2Read::kMaxPictureSize + 1);
    rifftest::WriteBytes(path, Tag(4, 0, Frame24("APIC", Apic(huge))));
    std::unique_ptr<CID3v2Read> reader(CID3v2Read::CreateReaderForTag(rifftest::Wide(path).c_str(), 0));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->ReadImageFrontCover(nullptr, 0), 0u);
}

TEST(Id3Genre, TranslationFitsTheBuffer)
{
    wchar_t text[4] = L"(0)";
    EXPECT_EQ(CID3v2Read::TranslateGenreIndex(text, 4), 3u);
    EXPECT_STREQ(text, L"Blu");
    wchar_t two[3] = L"(1";
    EXPECT_EQ(CID3v2Read::TranslateGenreIndex(two, 3), 2u); // too short for a reference
    EXPECT_STREQ(two, L"(1");
}

// ---------------------------------------------------------------------------
// ID3v1

Bytes Id3v1(const char* title, const char* year, const Bytes& commentAndTrack, uint8_t genre)
{
    Bytes b = Str("TAG");
    auto field = [&b](const char* text, size_t n)
    {
        Bytes f(n, 0);
        std::memcpy(f.data(), text, std::min(n, std::strlen(text)));
        b.insert(b.end(), f.begin(), f.end());
    };
    field(title, 30);
    field("Artist  ", 30);
    field("Album", 30);
    field(year, 4);
    Bytes ct = commentAndTrack;
    ct.resize(30, 0);
    b.insert(b.end(), ct.begin(), ct.end());
    b.push_back(genre);
    return b;
}

TEST(Id3v1, Fields)
{
    struct
    {
        const char* name;
        Bytes tag;
        std::string title, artist, genre, date, comment;
        int track;
    } cases[] = {
        {"ID3v1.1 with track", Id3v1("Title", "2009", Cat({Str("Comment"), Bytes(22, 0), {7}}), 17), "Title",
         "Artist", "Rock", "2009-  -  ", "Comment", 7},
        {"ID3v1.0, comment of 30 bytes", Id3v1("Title", "2009", Str("012345678901234567890123456789"), 0),
         "Title", "Artist", "Blues", "2009-  -  ", "012345678901234567890123456789", 0},
        {"Latin-1 text as UTF-8", Id3v1("Caf\xE9", "", Str("x"), 125), "Caf\xC3\xA9", "Artist", "Dance Hall",
         "    -  -  ", "x", 0},
        {"genre 126", Id3v1("T", "99", {}, 126), "T", "Artist", "", "    -  -  ", "", 0},
        {"genre 255, full title", Id3v1("123456789012345678901234567890", "2009", {}, 255),
         "123456789012345678901234567890", "Artist", "", "2009-  -  ", "", 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.tag.size(), 128u);
        CID3v1 tag;
        ASSERT_TRUE(tag.SetID3v1Tag(c.tag.data()));
        char buf[128];
        EXPECT_EQ(tag.GetSongTitle(buf, sizeof(buf)), c.title.size());
        EXPECT_EQ(buf, c.title);
        tag.GetArtist(buf, sizeof(buf));
        EXPECT_EQ(buf, c.artist);
        tag.GetAlbum(buf, sizeof(buf));
        EXPECT_STREQ(buf, "Album");
        tag.GetGenre(buf, sizeof(buf));
        EXPECT_EQ(buf, c.genre);
        tag.GetRecDateFormatted(buf, sizeof(buf));
        EXPECT_EQ(buf, c.date);
        tag.GetComment(buf, sizeof(buf));
        EXPECT_EQ(buf, c.comment);
        EXPECT_EQ(tag.GetTrackNumber(), c.track);
    }

    CID3v1 tag;
    Bytes notTag = Id3v1("T", "", {}, 0);
    notTag[0] = 'X';
    EXPECT_FALSE(tag.SetID3v1Tag(notTag.data()));
    char small[4];
    tag.GetSongTitle(small, sizeof(small));
    EXPECT_STREQ(small, "");
}

TEST(Id3v1, BufferSizes)
{
    CID3v1 tag;
    ASSERT_TRUE(tag.SetID3v1Tag(Id3v1("Caf\xE9", "2009", {}, 17).data()));
    char buf[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(tag.GetSongTitle(buf, 5), 3u); // the two-byte character does not fit
    EXPECT_STREQ(buf, "Caf");
    EXPECT_EQ(tag.GetGenre(buf, 3), 2u);
    EXPECT_STREQ(buf, "Ro");
    EXPECT_EQ(tag.GetRecDateFormatted(buf, 0), 0u);
}

TEST(Id3v1, FileRead)
{
    rifftest::TempFolder folder;
    const auto path = folder / "a.mp3";
    CID3v1FileRead reader;
    EXPECT_EQ(reader.OpenFile(rifftest::Wide(folder / "missing.mp3").c_str()), 2);

    rifftest::WriteBytes(path, Bytes(127, 'T'));
    EXPECT_EQ(reader.OpenFile(rifftest::Wide(path).c_str()), 4);
    EXPECT_FALSE(reader.IsFileOpen());

    rifftest::WriteBytes(path, Cat({Id3v1("Old", "", {}, 0), Bytes(10, 0)}));
    EXPECT_EQ(reader.OpenFile(rifftest::Wide(path).c_str()), 4);
    EXPECT_FALSE(reader.IsValid());

    rifftest::WriteBytes(path, Cat({Bytes(1000, 0xFF), Id3v1("Title", "", {}, 0)}));
    EXPECT_EQ(reader.OpenFile(rifftest::Wide(path).c_str()), 0);
    EXPECT_TRUE(reader.IsFileOpen());
    char buf[32];
    reader.GetSongTitle(buf, sizeof(buf));
    EXPECT_STREQ(buf, "Title");
}

// ---------------------------------------------------------------------------
// ID3v2.3 builder

TEST(Id3v2_3Create, TextFrameBytes)
{
    CID3v2_3Create tag;
    EXPECT_EQ(tag.GetBufFilledSize(), 0u);
    EXPECT_EQ(tag.SetTitle(L""), 0u);
    EXPECT_EQ(tag.GetBufFilledSize(), 0u);

    EXPECT_EQ(tag.SetTitle(L"abc"), 15u);
    const Bytes ascii(tag.GetBufferPtr(), tag.GetBufferPtr() + tag.GetBufFilledSize());
    EXPECT_EQ(ascii,
              Cat({Str("ID3"), {3, 0, 0, 0, 0, 0, 15}, Str("TIT2"), {0, 0, 0, 5, 0, 0, 0}, Str("abc"), {0}}));

    tag.Clear();
    EXPECT_EQ(tag.GetBufFilledSize(), 0u);
    EXPECT_EQ(tag.SetTitle(L"\u00E9"), 17u);
    const Bytes wide(tag.GetBufferPtr(), tag.GetBufferPtr() + tag.GetBufFilledSize());
    EXPECT_EQ(wide, Cat({Str("ID3"),
                         {3, 0, 0, 0, 0, 0, 17},
                         Str("TIT2"),
                         {0, 0, 0, 7, 0, 0},
                         {1, 0xFF, 0xFE, 0xE9, 0, 0, 0}}));
}

TEST(Id3v2_3Create, DatesTimesAndPictures)
{
    CID3v2_3Create tag;
    // Blank parts of the song information's date and time are not written.
    EXPECT_EQ(tag.SetRecDateFormatted(L"    -  -  "), 0u);
    EXPECT_EQ(tag.SetRecTimeFormatted(L"  :  :  "), 0u);
    EXPECT_EQ(tag.SetRecDateFormatted(L"2009-  -  "), 16u); // TYER only
    EXPECT_EQ(tag.SetRecDateFormatted(L"2009"), 16u);
    EXPECT_EQ(tag.SetRecDateFormatted(L"2009-03-05"), 32u); // TYER and TDAT
    EXPECT_EQ(tag.SetRecTimeFormatted(L"07:08:09"), 16u);
    EXPECT_EQ(tag.SetRecTimeFormatted(L"07:0"), 0u);

    tag.Clear();
    const Bytes notAPicture = Str("GIF89a....");
    EXPECT_EQ(tag.SetImageFrontCover(notAPicture.data(), static_cast<uint32_t>(notAPicture.size())), 0u);
    EXPECT_EQ(tag.GetBufFilledSize(), 0u);
    const Bytes tooBig = Jpeg(CID3v2_3Create::kMaxPictureSize + 1);
    EXPECT_EQ(tag.SetImageFrontCover(tooBig.data(), static_cast<uint32_t>(tooBig.size())), 0u);
    const Bytes jpeg = Jpeg(100);
    EXPECT_EQ(tag.SetImageFrontCover(jpeg.data(), 100), 10u + 1 + 11 + 1 + 1 + 100);
}

TEST(Id3v2_3Create, LongTextsAreCut)
{
    CID3v2_3Create tag;
    const std::wstring text(600, L'a');
    EXPECT_EQ(tag.SetTitle(text.c_str()), 10u + 1 + 511 + 1);
    const std::wstring wideText(600, L'\u00E9');
    EXPECT_EQ(tag.SetArtist(wideText.c_str()), 10u + 3 + 2 * 511 + 2);
}

void WriteFile(const std::filesystem::path& path, const CID3v2_3Create& tag, const Bytes& behind = {})
{
    Bytes file(tag.GetBufferPtr(), tag.GetBufferPtr() + tag.GetBufFilledSize());
    file.insert(file.end(), behind.begin(), behind.end());
    rifftest::WriteBytes(path, file);
}

// Whatever the builder writes reads back whole: its longest texts take up to
// four bytes a character in UTF-16.
TEST(Id3v2_3Create, LongestTextsReadBackWhole)
{
    rifftest::TempFolder folder;
    const auto path = folder / "long.id3";
    const uint32_t n = CID3v2_3Create::kMaxTextLength;
    const struct
    {
        const char* name;
        std::wstring text;
    } cases[] = {
        {"ASCII", std::wstring(n, L'a')},
        {"Latin-1", std::wstring(n, L'\u00E9')},
        {"Japanese", std::wstring(n, L'\u6771')},
        {"outside the Basic Multilingual Plane", std::wstring(n, static_cast<wchar_t>(0x1F3B5))},
        {"128 characters outside the Basic Multilingual Plane",
         std::wstring(128, static_cast<wchar_t>(0x1F3B5))},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CID3v2_3Create tag;
        ASSERT_GT(tag.SetTitle(c.text.c_str()), 0u);
        WriteFile(path, tag);
        std::unique_ptr<CID3v2Read> reader(CID3v2Read::CreateReaderForTag(rifftest::Wide(path).c_str(), 0));
        ASSERT_NE(reader, nullptr);
        std::vector<wchar_t> buf(n + 1);
        EXPECT_EQ(reader->ReadTitle(buf.data(), n + 1), c.text.size());
        EXPECT_TRUE(std::wstring(buf.data()) == c.text);
    }
}

void FillTag(CID3v2_3Create& tag, const Bytes& picture)
{
    tag.SetAlbum(L"Album \u00C5");
    tag.SetTitle(L"Title");
    tag.SetAlbumArtist(L"The Band");
    tag.SetArtist(L"M\u00FCller \u6771\u4EAC");
    tag.SetGenre(L"Rock");
    tag.SetRecDateFormatted(L"2009-03-05");
    tag.SetRecTimeFormatted(L"07:08:09");
    tag.SetEncodingDevice(L"Vextal");
    tag.SetImageFrontCover(picture.data(), static_cast<uint32_t>(picture.size()));
}

TEST(Id3v2_3Create, ReadBackByOurReader)
{
    rifftest::TempFolder folder;
    const auto path = folder / "built.id3";
    const Bytes picture = Cat({{0x89}, Str("PNG\r\n\x1A\n"), Bytes(77, 0x42)});
    CID3v2_3Create tag;
    FillTag(tag, picture);
    WriteFile(path, tag, Bytes(100, 0xFF));

    std::unique_ptr<CID3v2Read> reader(CID3v2Read::CreateReaderForTag(rifftest::Wide(path).c_str(), 0));
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(dynamic_cast<CID3v2_3Read*>(reader.get()), nullptr);
    EXPECT_EQ(dynamic_cast<CID3v2_4Read*>(reader.get()), nullptr);
    EXPECT_EQ(reader->GetFramesEnd(), static_cast<int64_t>(tag.GetBufFilledSize()));
    EXPECT_EQ(ReadField(*reader, Field::Album), L"Album \u00C5");
    EXPECT_EQ(ReadField(*reader, Field::Title), L"Title");
    EXPECT_EQ(ReadField(*reader, Field::AlbumArtist), L"The Band");
    EXPECT_EQ(ReadField(*reader, Field::Artist), L"M\u00FCller \u6771\u4EAC");
    EXPECT_EQ(ReadField(*reader, Field::Genre), L"Rock");
    EXPECT_EQ(ReadField(*reader, Field::Date), L"2009-03-05");
    EXPECT_EQ(ReadField(*reader, Field::Time), L"07:08:00");
    EXPECT_EQ(ReadField(*reader, Field::Encoder), L"Vextal");
    Bytes read(picture.size(), 0);
    ASSERT_EQ(reader->ReadImageFrontCover(read.data(), static_cast<uint32_t>(read.size())), picture.size());
    EXPECT_EQ(read, picture);
}

// The built tag in front of a small MP3 (made by ffmpeg without a tag of its
// own), as ffprobe sees it.
TEST(Id3v2_3Create, ReadBackByFfprobe)
{
    if (!rifftest::HaveTool("ffmpeg") || !rifftest::HaveTool("ffprobe"))
        GTEST_SKIP() << "ffmpeg or ffprobe missing";
    rifftest::TempFolder folder;
    const auto plain = folder / "plain.mp3";
    const auto cover = folder / "cover.png";
    const auto tagged = folder / "tagged.mp3";
    const auto json = folder / "probe.json";
    const std::string quiet = " -hide_banner -loglevel error -y ";
    ASSERT_EQ(std::system(("ffmpeg" + quiet + "-f lavfi -i sine=frequency=440:sample_rate=44100 -t 0.1 " +
                           "-write_id3v2 0 -id3v2_version 0 -write_xing 0 \"" + plain.string() + "\"")
                              .c_str()),
              0);
    ASSERT_EQ(std::system(("ffmpeg" + quiet + "-f lavfi -i color=c=red:s=16x16 -frames:v 1 \"" +
                           cover.string() + "\"")
                              .c_str()),
              0);
    const Bytes mp3 = rifftest::ReadBytes(plain);
    ASSERT_GT(mp3.size(), 10u);
    ASSERT_NE(std::string(mp3.begin(), mp3.begin() + 3), "ID3");
    const Bytes png = rifftest::ReadBytes(cover);

    CID3v2_3Create tag;
    FillTag(tag, png);
    WriteFile(tagged, tag, mp3);
    ASSERT_EQ(std::system(("ffprobe -v error -show_format -show_streams -of json \"" + tagged.string() +
                           "\" > \"" + json.string() + "\"")
                              .c_str()),
              0);

    const juce::var probe = juce::JSON::parse(juce::File(json.string()));
    const juce::var tags = probe["format"]["tags"];
    EXPECT_EQ(tags["title"].toString(), "Title");
    EXPECT_EQ(tags["album"].toString(), juce::String(juce::CharPointer_UTF8("Album \xC3\x85")));
    EXPECT_EQ(tags["artist"].toString(),
              juce::String(juce::CharPointer_UTF8("M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC")));
    EXPECT_EQ(tags["album_artist"].toString(), "The Band");
    EXPECT_EQ(tags["genre"].toString(), "Rock");
    EXPECT_EQ(tags["encoder"].toString(), "Vextal");
    EXPECT_TRUE(tags["date"].toString().startsWith("2009")) << tags["date"].toString();

    const juce::Array<juce::var>* streams = probe["streams"].getArray();
    ASSERT_NE(streams, nullptr);
    int audio = 0;
    int pictures = 0;
    for (const juce::var& s : *streams)
    {
        if (s["codec_type"].toString() == "audio")
            ++audio;
        if (s["codec_type"].toString() == "video" && static_cast<int>(s["disposition"]["attached_pic"]) == 1)
        {
            ++pictures;
            EXPECT_EQ(s["codec_name"].toString(), "png");
            EXPECT_EQ(static_cast<int>(s["width"]), 16);
        }
    }
    EXPECT_EQ(audio, 1);
    EXPECT_EQ(pictures, 1);
}
} // namespace
