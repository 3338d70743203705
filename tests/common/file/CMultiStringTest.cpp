#include "common/file/CMultiString.h"
#include "common/file/CAudioMetaData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(CMultiString, KeepsAtMostItsCapacityAndTrims)
{
    struct Case
    {
        const char* text;
        int len;
        bool trim;
        const char* expected;
    };
    const Case cases[] = {
        {"abcdef", -1, false, "abcd"}, {"ab  ", -1, true, "ab"},   {"    ", -1, true, ""},
        {"ab  ", -1, false, "ab  "},   {"abcdef", 2, false, "ab"}, {"a\0cd", 4, false, "a"},
    };
    for (const auto& c : cases)
    {
        CMultiString s(4);
        s.SetString(c.text, c.len, c.trim);
        EXPECT_STREQ(s.GetReadPtrChar(), c.expected) << c.text;
        EXPECT_EQ(s.GetStringLengthChar(), std::strlen(c.expected));
    }
}

TEST(CMultiString, WideAndUtf8FormsConvertWholeCharacters)
{
    // Four three-byte characters fill a capacity of 4 and convert completely.
    CMultiString s(4);
    s.SetString(L"\u3042\u3044\u3046\u3048\u304A", -1, false);
    EXPECT_STREQ(s.GetReadPtrChar(), "\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88");

    // A UTF-8 text cut inside a character keeps only whole characters.
    CMultiString cut(4);
    cut.SetString("a\xE3\x81\x82", 3, false);
    EXPECT_STREQ(cut.GetReadPtrChar(), "a");
    EXPECT_STREQ(cut.GetReadPtrWChar(), L"a");

    // Characters beyond the capacity are dropped from a UTF-8 text too.
    CMultiString five(4);
    five.SetString("\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88\xE3\x81\x8A", -1, false);
    EXPECT_STREQ(five.GetReadPtrWChar(), L"\u3042\u3044\u3046\u3048");
}

TEST(CMultiString, WritePointersMarkTheNewerForm)
{
    CMultiString s(16);
    std::strcpy(s.GetWritePtrChar(), "hello");
    EXPECT_STREQ(s.GetReadPtrWChar(), L"hello");
    wchar_t* wide = s.GetWritePtrWChar();
    wide[0] = L'x';
    EXPECT_STREQ(s.GetReadPtrChar(), "x");
    EXPECT_FALSE(s.IsEmpty());
    s.Clear();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ(s.GetReadPtrWChar(), L"");
}

TEST(CAudioMetaData, FieldsYearAndCopy)
{
    CAudioMetaData meta;
    EXPECT_EQ(meta.GetStringPtr(9), nullptr);
    EXPECT_EQ(meta.GetStringPtr(-1), nullptr);

    const struct
    {
        const char* date;
        int year;
    } years[] = {{"2009-03-05", 2009}, {"09", -1}, {"0000-01-01", -1}, {"abcd", -1}, {"", -1}};
    for (const auto& y : years)
    {
        meta.GetStringPtr(CAudioMetaData::kRecDate)->SetString(y.date, -1, false);
        EXPECT_EQ(meta.GetRecDateYear(), y.year) << y.date;
        EXPECT_EQ(meta.IsRecDateAvailable(), y.year != -1);
    }

    meta.GetStringPtr(CAudioMetaData::kTitle)->SetString("Title  ", -1, false);
    meta.SetAttachedPicture(L"/pictures/cover.jpg");
    CAudioMetaData copy;
    copy.CopyAll(&meta);
    EXPECT_STREQ(copy.GetStringPtr(CAudioMetaData::kTitle)->GetReadPtrChar(), "Title");
    EXPECT_STREQ(copy.GetAttachedPictureFilePath(), L"/pictures/cover.jpg");

    std::wstring longPath(2000, L'a');
    copy.SetAttachedPicture(longPath.c_str());
    EXPECT_EQ(std::wcslen(copy.GetAttachedPictureFilePath()), CAudioMetaData::kPicturePathLength - 1);
    copy.ClearAll();
    EXPECT_TRUE(copy.GetStringPtr(CAudioMetaData::kTitle)->IsEmpty());
    EXPECT_STREQ(copy.GetAttachedPictureFilePath(), L"");
}
