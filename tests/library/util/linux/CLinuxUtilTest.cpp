#include "library/util/linux/CLinuxUtil.h"

#include "tests/support/ScopedLanguageVariables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{
// Clears the language variables for the test and puts the caller's back.
class CLinuxUtilLanguages : public testing::Test
{
protected:
    static void SetEnvironment(const char* language, const char* lcAll, const char* lcMessages,
                               const char* lang)
    {
        const char* values[] = {language, lcAll, lcMessages, lang};
        for (int i = 0; i < 4; ++i)
        {
            if (values[i] != nullptr)
                setenv(kLanguageVariables[i], values[i], 1);
            else
                unsetenv(kLanguageVariables[i]);
        }
    }

private:
    const ScopedLanguageVariables m_languages;
};
} // namespace

TEST_F(CLinuxUtilLanguages, PreferredLanguagesFromTheEnvironment)
{
    struct Case
    {
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        const char* expected; // comma-separated
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, nullptr, "en"},
        {nullptr, nullptr, nullptr, "ja_JP.UTF-8", "ja"},
        {nullptr, nullptr, nullptr, "C", "en"},
        {nullptr, nullptr, nullptr, "POSIX", "en"},
        {nullptr, nullptr, nullptr, "C.UTF-8", "en"},
        {nullptr, nullptr, nullptr, "sr_RS@latin", "sr"},
        {nullptr, "de_DE.UTF-8", "fr_FR.UTF-8", "ja_JP.UTF-8", "de"},
        {nullptr, "", "fr_FR.UTF-8", "ja_JP.UTF-8", "fr"},
        {nullptr, "", "", "ja_JP.UTF-8", "ja"},
        {"ja:en_US:fr", nullptr, nullptr, "de_DE.UTF-8", "ja,en,fr,de"},
        {"en_US:en_GB:ja", nullptr, nullptr, "ja_JP.UTF-8", "en,ja"},
        {"::ja::", nullptr, nullptr, nullptr, "ja"},
        {"", nullptr, nullptr, "ja_JP", "ja"},
        {"", "", "", "", "en"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string("LANGUAGE=") + (c.language ? c.language : "(unset)") +
                     " LC_ALL=" + (c.lcAll ? c.lcAll : "(unset)") + " LANG=" + (c.lang ? c.lang : "(unset)"));
        SetEnvironment(c.language, c.lcAll, c.lcMessages, c.lang);

        juce::StringArray languages;
        languages.add("kept");
        CLinuxUtil::GetUserLanguages(languages);
        EXPECT_EQ(languages.joinIntoString(","), juce::String("kept,") + c.expected) << "appends to the list";

        char first[8];
        CLinuxUtil::GetUserLanguage(first, sizeof first);
        EXPECT_EQ(juce::String(first), languages[1]);
    }
}

TEST_F(CLinuxUtilLanguages, FirstLanguageIsCutToTheBuffer)
{
    SetEnvironment(nullptr, nullptr, nullptr, "ja_JP.UTF-8");
    char buffer[4] = {'#', '#', '#', '#'};
    CLinuxUtil::GetUserLanguage(buffer, 2);
    EXPECT_EQ(buffer[0], 'j');
    EXPECT_EQ(buffer[1], '\0');
    EXPECT_EQ(buffer[2], '#');
    CLinuxUtil::GetUserLanguage(buffer, 0);
    EXPECT_EQ(buffer[0], 'j') << "size 0 writes nothing";
}

TEST(CLinuxUtil, StringConversions)
{
    EXPECT_EQ(CLinuxUtil::WCharToString(L"caf\u00E9 \U0001F600"),
              juce::String::fromUTF8("caf\xC3\xA9 \xF0\x9F\x98\x80"));
    EXPECT_EQ(CLinuxUtil::WCharToString(nullptr), juce::String());
    const wchar_t unpaired[] = {'a', 0xDC00, 0};
    EXPECT_EQ(CLinuxUtil::WCharToString(unpaired), juce::String::fromUTF8("a\xEF\xBF\xBD"));

    wchar_t dst[8];
    EXPECT_EQ(CLinuxUtil::StringToWChar(juce::String::fromUTF8("\xE6\x97\xA5\xE6\x9C\xAC"), dst, 8), 2u);
    EXPECT_EQ(std::wstring(dst), L"\u65E5\u672C");
    EXPECT_EQ(CLinuxUtil::StringToWChar("abcdefghij", dst, 8), 7u);
    EXPECT_EQ(std::wstring(dst), L"abcdefg");
    EXPECT_EQ(CLinuxUtil::StringToWChar(juce::String(), dst, 8), 0u);
    EXPECT_EQ(dst[0], L'\0');
    dst[0] = L'#';
    EXPECT_EQ(CLinuxUtil::StringToWChar("abc", dst, 0), 0u);
    EXPECT_EQ(dst[0], L'#');
}
