#include "library/util/linux/CLinuxUtil.h"

#include "library/util/CTextUtil.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
// The language part of a locale name: the text before "_", "." or "@".
// The C library's own locales stand for English.
juce::String LanguageOf(const juce::String& locale)
{
    const juce::String code = locale.upToFirstOccurrenceOf("_", false, false)
                                  .upToFirstOccurrenceOf(".", false, false)
                                  .upToFirstOccurrenceOf("@", false, false)
                                  .trim();
    if (code == "C" || code == "POSIX")
        return "en";
    return code;
}

const char* NonEmptyVariable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

void AddLanguage(juce::StringArray& list, const juce::String& locale)
{
    const juce::String code = LanguageOf(locale);
    if (code.isNotEmpty())
        list.addIfNotAlreadyThere(code);
}
} // namespace

void CLinuxUtil::GetUserLanguages(juce::StringArray& out)
{
    juce::StringArray list;
    if (const char* languages = NonEmptyVariable("LANGUAGE"))
    {
        for (const auto& entry : juce::StringArray::fromTokens(juce::String::fromUTF8(languages), ":", ""))
            AddLanguage(list, entry);
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    {
        if (const char* locale = NonEmptyVariable(name))
        {
            AddLanguage(list, juce::String::fromUTF8(locale));
            break;
        }
    }
    if (list.isEmpty())
        list.add("en");
    out.addArray(list);
}

void CLinuxUtil::GetUserLanguage(char* dst, int size)
{
    if (dst == nullptr || size <= 0)
        return;
    juce::StringArray languages;
    GetUserLanguages(languages);
    const juce::String first = languages[0];
    int n = 0;
    for (; n < size - 1 && n < first.length(); ++n)
    {
        const juce::juce_wchar c = first[n];
        dst[n] = c < 0x80 ? static_cast<char>(c) : '?';
    }
    dst[n] = '\0';
}

juce::String CLinuxUtil::WCharToString(const wchar_t* text)
{
    if (text == nullptr || *text == L'\0')
        return {};
    std::vector<char> utf8(std::wcslen(text) * 4 + 1);
    CTextUtil::WChartoChar(text, utf8.data(), static_cast<uint32_t>(utf8.size()));
    return juce::String::fromUTF8(utf8.data());
}

uint32_t CLinuxUtil::StringToWChar(const juce::String& s, wchar_t* dst, uint32_t dstLen)
{
    return CTextUtil::UTF8toWChar(reinterpret_cast<const uint8_t*>(s.toRawUTF8()),
                                  static_cast<uint32_t>(s.getNumBytesAsUTF8()), dst, dstLen);
}
