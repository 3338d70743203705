#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>

// Platform text and the user's preferred languages.
class CLinuxUtil
{
public:
    // The user's first preferred language code (such as "ja") as ASCII text of
    // at most size - 1 bytes and a terminator; nothing when size is below 1.
    static void GetUserLanguage(char* dst, int size);

    // Appends the user's preferred language codes in order of preference:
    // the entries of LANGUAGE (a colon-separated list), then the first of
    // LC_ALL, LC_MESSAGES and LANG that is set and not empty. Each entry is
    // reduced to its language ("ja_JP.UTF-8" is "ja"; "C" and "POSIX" are
    // "en"); repeated codes are left out. Without any setting the list is
    // "en".
    static void GetUserLanguages(juce::StringArray& out);

    // Wide text to a string, through UTF-8; a null text gives an empty string.
    static juce::String WCharToString(const wchar_t* text);

    // The string's UTF-8 form into a wide buffer of dstLen characters
    // (zero-filled, terminated); returns the number of characters written.
    static uint32_t StringToWChar(const juce::String& s, wchar_t* dst, uint32_t dstLen);
};
