#include "library/util/CFileUtil.h"

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

#include <cwchar>
#include <string>

TEST(CFileUtil, PathPieces)
{
    struct Case
    {
        const wchar_t* path;
        const wchar_t* directory;
        const wchar_t* name;
        const wchar_t* extension;
    };
    const Case cases[] = {
        {L"/x/song.wav", L"/x/", L"song.wav", L"wav"},
        {L"/a.b/c", L"/a.b/", L"c", L""},
        {L"/x/song.", L"/x/", L"song.", L""},
        {L"song.wav", L"", L"song.wav", L"wav"},
        {L"/x/archive.tar.gz", L"/x/", L"archive.tar.gz", L"gz"},
        {L"/x/folder/", L"/x/folder/", L"", L""},
        {L"/", L"/", L"", L""},
        {L"", L"", L"", L""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        wchar_t out[64];
        EXPECT_EQ(CFileUtil::FilePathToDirectory(c.path, out, 64), std::wcslen(c.directory));
        EXPECT_EQ(std::wstring(out), c.directory);
        EXPECT_EQ(CFileUtil::FilePathToName(c.path, out, 64), std::wcslen(c.name));
        EXPECT_EQ(std::wstring(out), c.name);
        EXPECT_EQ(CFileUtil::FilePathToExtension(c.path, out, 64), std::wcslen(c.extension));
        EXPECT_EQ(std::wstring(out), c.extension);
    }
}

TEST(CFileUtil, PathPiecesAreCutToTheOutputSize)
{
    wchar_t out[8];
    std::wmemset(out, L'#', 8);
    EXPECT_EQ(CFileUtil::FilePathToDirectory(L"/music/album/a.wav", out, 0), 0u);
    EXPECT_EQ(out[0], L'#') << "size 0 writes nothing";

    EXPECT_EQ(CFileUtil::FilePathToDirectory(L"/music/album/a.wav", out, 5), 4u);
    EXPECT_EQ(std::wstring(out), L"/mus");
    EXPECT_EQ(out[5], L'#');
    EXPECT_EQ(CFileUtil::FilePathToName(L"/music/a-long-name.wav", out, 1), 0u);
    EXPECT_EQ(out[0], L'\0');
    EXPECT_EQ(CFileUtil::FilePathToExtension(L"/x/a.flac", out, 3), 2u);
    EXPECT_EQ(std::wstring(out), L"fl");

    // Names longer than any fixed buffer still give their extension.
    std::wstring longName = L"/x/" + std::wstring(5000, L'n') + L".aiff";
    EXPECT_EQ(CFileUtil::FilePathToExtension(longName.c_str(), out, 8), 4u);
    EXPECT_EQ(std::wstring(out), L"aiff");
}

TEST(CFileUtil, RemoveIllegalLettersForFileName)
{
    struct Case
    {
        const wchar_t* in;
        const wchar_t* out;
    };
    const Case cases[] = {
        {L"a**b", L"ab"},           {L"\"#*,/:;<>?@\\^|", L""},
        {L"name  ?  ", L"name"},    {L"  lead", L"  lead"},
        {L"ok.wav", L"ok.wav"},     {L"tab\tand \u65E5\u672C", L"tab\tand \u65E5\u672C"},
        {L"a\uFF1Fb", L"a\uFF1Fb"}, {L"", L""},
    };
    for (const Case& c : cases)
    {
        std::wstring name = c.in;
        CFileUtil::RemoveIllegalLettersForFileName(&name[0]);
        EXPECT_EQ(std::wstring(name.c_str()), c.out) << testing::PrintToString(std::wstring(c.in));
    }
}

TEST(CFileUtil, RemoveFileTakesANonAsciiPath)
{
    const juce::TemporaryFile temp(juce::String::fromUTF8("\xE6\x9B\xB2 song.wav"));
    const juce::File file = temp.getFile();
    ASSERT_TRUE(file.replaceWithText("x"));
    const std::wstring path = file.getFullPathName().toWideCharPointer();

    EXPECT_TRUE(CFileUtil::RemoveFile(path.c_str()));
    EXPECT_FALSE(file.exists());
    EXPECT_FALSE(CFileUtil::RemoveFile(path.c_str())) << "a missing file is no failure to raise, only false";
    EXPECT_EQ(std::wstring(CFileUtil::m_sPathDelimiter), L"/");
}
