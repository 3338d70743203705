#include "src/songlist/SafeFileName.h"

#include "tests/support/SonglistTestSupport.h"

#include <gtest/gtest.h>

namespace
{
using songlisttest::IndexSet;

juce::String Repeated(const char* utf8, int times)
{
    return juce::String::repeatedString(juce::String::fromUTF8(utf8), times);
}
} // namespace

// A song name never names another folder, the folder itself or its parent,
// and fits one path component with the room asked for.
TEST(SafeFileName, NamesStayInTheirFolder)
{
    struct Case
    {
        juce::String name;
        juce::String safe;
    };
    const Case cases[] = {
        {"Song 1", "Song 1"},
        {"AC/DC", "AC_DC"},
        {"../../etc/passwd", ".._.._etc_passwd"},
        {"/", "_"},
        {"..", "__"},
        {".", "_"},
        {"...", "___"},
        {"", "_"},
        {"a..b", "a..b"},
        {"tab\there\nnew", "tab_here_new"},
        {juce::String::fromUTF8("Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac"),
         juce::String::fromUTF8("Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac")},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(Vextal::makeSafeFileName(c.name, 4), c.safe);
    }
}

// Long names are cut at a character boundary so that the name and the room
// asked for fit 255 bytes of UTF-8.
TEST(SafeFileName, LongNamesAreCutToTheByteBound)
{
    struct Case
    {
        const char* character;
        int bytesEach;
        int reserved;
    };
    const Case cases[] = {
        {"x", 1, 0}, {"\xc3\xa9", 2, 4}, {"\xe6\x97\xa5", 3, 13}, {"\xf0\x9f\x8e\xb5", 4, 9}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.bytesEach);
        const juce::String safe = Vextal::makeSafeFileName(Repeated(c.character, 300), c.reserved);
        const int room = Vextal::kMaxFileNameBytes - c.reserved;
        EXPECT_EQ(safe, Repeated(c.character, room / c.bytesEach));
    }
    // An export base leaves room for the extension and the writer's numbering.
    const juce::String base = Vextal::makeExportFileBaseName(Repeated("x", 400), ".aiff");
    EXPECT_EQ(static_cast<int>(base.getNumBytesAsUTF8()) + 5 + Vextal::kWriterNumberingBytes,
              Vextal::kMaxFileNameBytes);
    EXPECT_EQ(Vextal::makeExportFileBaseName("short", ".wav"), "short");
}

// Two targets that write a file of the same name, also in another letter
// case, collide; a target never collides with itself.
TEST(SafeFileName, CollidingTargetsAreFound)
{
    struct Case
    {
        const char* name;
        std::vector<juce::StringArray> names;
        juce::SparseSet<int> colliding;
    };
    const Case cases[] = {
        {"distinct", {{"a.wav"}, {"b.wav"}, {"c.wav"}}, {}},
        {"same name", {{"a.wav"}, {"b.wav"}, {"a.wav"}}, IndexSet({0, 2})},
        {"letter case", {{"Mix.wav"}, {"MIX.WAV"}}, IndexSet({0, 1})},
        {"non-ASCII letter case",
         {{juce::String::fromUTF8("\xc3\x89t\xc3\xa9.wav")},
          {juce::String::fromUTF8("\xc3\xa9t\xc3\xa9.wav")}},
         IndexSet({0, 1})},
        {"channel file of another song", {{"a.trk1.wav", "a.trk2.wav"}, {"a.trk2.wav"}}, IndexSet({0, 1})},
        {"a target's own names", {{"a.wav", "a.wav"}, {"b.wav"}}, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Vextal::findCollidingFileNames(c.names), c.colliding);
    }
}
