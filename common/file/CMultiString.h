#pragma once

#include <cstdint>
#include <memory>

// A text of fixed capacity kept both as UTF-8 and as a wide (UTF-32) string.
// Whichever form was written last is the current one; the other is refreshed
// from it on the first read. The capacity is the most characters the text
// holds; the UTF-8 buffer is large enough for that many characters of any
// kind, so converting the wide form never cuts a character in half.
class CMultiString
{
public:
    explicit CMultiString(uint32_t capacity);
    virtual ~CMultiString();

    CMultiString(const CMultiString&) = delete;
    CMultiString& operator=(const CMultiString&) = delete;

    // len < 0 takes the whole terminated text; copying stops early at a
    // terminator. trim removes trailing spaces.
    void SetString(const char* utf8, int len, bool trim);
    void SetString(const wchar_t* text, int len, bool trim);

    const char* GetReadPtrChar();
    const wchar_t* GetReadPtrWChar();

    // Zero-fill the buffer, mark it as the current form and hand it to the
    // caller to write into (GetBufSizeChar() or GetBufLength() units with the
    // terminator).
    char* GetWritePtrChar();
    wchar_t* GetWritePtrWChar();

    // Size of the wide buffer in characters (capacity + 1).
    uint32_t GetBufLength() const { return m_capacity + 1; }
    // Size of the UTF-8 buffer in bytes (4 bytes per character + 1).
    uint32_t GetBufSizeChar() const { return m_utf8Size; }
    uint32_t GetCapacity() const { return m_capacity; }

    uint32_t GetStringLengthChar();
    bool IsEmpty();
    void Clear();

private:
    void RefreshUtf8();
    void RefreshWide();
    void LimitUtf8ToCapacity();

    uint32_t m_capacity;
    uint32_t m_utf8Size;
    std::unique_ptr<char[]> m_utf8;
    std::unique_ptr<wchar_t[]> m_wide;
    bool m_bWideIsNewer = false;
    bool m_bUtf8IsNewer = false;
};
