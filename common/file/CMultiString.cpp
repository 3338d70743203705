#include "common/file/CMultiString.h"

#include "library/util/CTextUtil.h"

#include <cstring>

CMultiString::CMultiString(uint32_t capacity)
    : m_capacity(capacity), m_utf8Size(capacity * 4 + 1), m_utf8(new char[capacity * 4 + 1]()),
      m_wide(new wchar_t[capacity + 1]())
{
}

CMultiString::~CMultiString() = default;

void CMultiString::SetString(const char* utf8, int len, bool trim)
{
    char* dst = GetWritePtrChar();
    if (utf8 == nullptr)
        return;
    const uint32_t limit = m_utf8Size - 1;
    uint32_t n = 0;
    while (n < limit && (len < 0 || n < static_cast<uint32_t>(len)) && utf8[n] != 0)
    {
        dst[n] = utf8[n];
        ++n;
    }
    // Never keep a partial multi-byte sequence at the end.
    if (n == limit || (len >= 0 && n == static_cast<uint32_t>(len)))
    {
        uint32_t start = n;
        while (start > 0 && (static_cast<uint8_t>(dst[start - 1]) & 0xC0) == 0x80)
            --start;
        if (start > 0)
        {
            const uint8_t lead = static_cast<uint8_t>(dst[start - 1]);
            uint32_t need =
                lead < 0x80 ? 1 : (lead >= 0xF0 ? 4 : (lead >= 0xE0 ? 3 : (lead >= 0xC0 ? 2 : 1)));
            if (lead >= 0x80 && n - (start - 1) < need)
                n = start - 1;
        }
        std::memset(dst + n, 0, m_utf8Size - n);
    }
    LimitUtf8ToCapacity();
    if (trim)
    {
        size_t l = std::strlen(dst);
        while (l > 0 && dst[l - 1] == ' ')
            dst[--l] = 0;
    }
}

void CMultiString::LimitUtf8ToCapacity()
{
    // At most `capacity` characters: count lead bytes.
    uint32_t chars = 0;
    for (uint32_t i = 0; i < m_utf8Size && m_utf8[i] != 0; ++i)
    {
        if ((static_cast<uint8_t>(m_utf8[i]) & 0xC0) != 0x80)
        {
            if (chars == m_capacity)
            {
                std::memset(m_utf8.get() + i, 0, m_utf8Size - i);
                return;
            }
            ++chars;
        }
    }
}

void CMultiString::SetString(const wchar_t* text, int len, bool trim)
{
    wchar_t* dst = GetWritePtrWChar();
    if (text == nullptr)
        return;
    uint32_t n = 0;
    while (n < m_capacity && (len < 0 || n < static_cast<uint32_t>(len)) && text[n] != 0)
    {
        dst[n] = text[n];
        ++n;
    }
    if (trim)
        while (n > 0 && dst[n - 1] == L' ')
            dst[--n] = 0;
}

void CMultiString::RefreshUtf8()
{
    if (m_bWideIsNewer)
    {
        CTextUtil::WChartoChar(m_wide.get(), m_utf8.get(), m_utf8Size);
        m_bWideIsNewer = false;
    }
}

void CMultiString::RefreshWide()
{
    if (m_bUtf8IsNewer)
    {
        CTextUtil::ChartoWChar(m_utf8.get(), m_wide.get(), m_capacity + 1);
        m_bUtf8IsNewer = false;
    }
}

const char* CMultiString::GetReadPtrChar()
{
    RefreshUtf8();
    return m_utf8.get();
}

const wchar_t* CMultiString::GetReadPtrWChar()
{
    RefreshWide();
    return m_wide.get();
}

char* CMultiString::GetWritePtrChar()
{
    std::memset(m_utf8.get(), 0, m_utf8Size);
    m_bUtf8IsNewer = true;
    m_bWideIsNewer = false;
    return m_utf8.get();
}

wchar_t* CMultiString::GetWritePtrWChar()
{
    std::memset(m_wide.get(), 0, sizeof(wchar_t) * (m_capacity + 1));
    m_bWideIsNewer = true;
    m_bUtf8IsNewer = false;
    return m_wide.get();
}

uint32_t CMultiString::GetStringLengthChar()
{
    RefreshUtf8();
    return static_cast<uint32_t>(strnlen(m_utf8.get(), m_utf8Size));
}

bool CMultiString::IsEmpty()
{
    return GetStringLengthChar() == 0;
}

void CMultiString::Clear()
{
    std::memset(m_utf8.get(), 0, m_utf8Size);
    std::memset(m_wide.get(), 0, sizeof(wchar_t) * (m_capacity + 1));
    m_bWideIsNewer = false;
    m_bUtf8IsNewer = false;
}
