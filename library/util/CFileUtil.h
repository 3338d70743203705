#pragma once

#include <cstdint>

// Helpers for wide paths. "/" is the only path separator.
//
// The path-piece functions write at most outSize - 1 characters and a
// terminator into out (nothing when outSize is 0) and return the number of
// characters written.
class CFileUtil
{
public:
    // The path separator as a text and as a character.
    static const wchar_t* const m_sPathDelimiter;
    static constexpr wchar_t m_iPathDelimiter = L'/';

    // The path up to and including its last "/"; empty when it has none.
    static uint32_t FilePathToDirectory(const wchar_t* path, wchar_t* out, uint32_t outSize);
    // The text after the last "/"; the whole path when it has none.
    static uint32_t FilePathToName(const wchar_t* path, wchar_t* out, uint32_t outSize);
    // The text after the last "." of the name part, without the dot; empty
    // when the name has no ".".
    static uint32_t FilePathToExtension(const wchar_t* path, wchar_t* out, uint32_t outSize);

    // Removes in place every letter not allowed in file names
    // (" # * , / : ; < > ? @ \ ^ |), closing the gaps, then trailing spaces.
    static void RemoveIllegalLettersForFileName(wchar_t* name);

    // Deletes the file; true when it was removed.
    static bool RemoveFile(const wchar_t* path);
};
