#include "library/util/CFileUtil.h"

#include "library/util/CTextUtil.h"

#include <cstdio>
#include <cwchar>
#include <vector>

const wchar_t* const CFileUtil::m_sPathDelimiter = L"/";

namespace
{
// Copies n characters of src into out, cut to outSize - 1, and terminates.
uint32_t CopyPiece(const wchar_t* src, size_t n, wchar_t* out, uint32_t outSize)
{
    if (out == nullptr || outSize == 0)
        return 0;
    if (n > outSize - 1)
        n = outSize - 1;
    if (n > 0)
        std::wmemcpy(out, src, n);
    out[n] = L'\0';
    return static_cast<uint32_t>(n);
}

// The position just after the last "/" of path (0 when it has none).
size_t NameStart(const wchar_t* path, size_t len)
{
    for (size_t i = len; i > 0; --i)
    {
        if (path[i - 1] == CFileUtil::m_iPathDelimiter)
            return i;
    }
    return 0;
}

bool IsIllegalFileNameLetter(wchar_t c)
{
    switch (c)
    {
    case L'"':
    case L'#':
    case L'*':
    case L',':
    case L'/':
    case L':':
    case L';':
    case L'<':
    case L'>':
    case L'?':
    case L'@':
    case L'\\':
    case L'^':
    case L'|':
        return true;
    default:
        return false;
    }
}
} // namespace

uint32_t CFileUtil::FilePathToDirectory(const wchar_t* path, wchar_t* out, uint32_t outSize)
{
    const size_t len = path != nullptr ? std::wcslen(path) : 0;
    return CopyPiece(path, NameStart(path, len), out, outSize);
}

uint32_t CFileUtil::FilePathToName(const wchar_t* path, wchar_t* out, uint32_t outSize)
{
    const size_t len = path != nullptr ? std::wcslen(path) : 0;
    const size_t start = NameStart(path, len);
    return CopyPiece(path + start, len - start, out, outSize);
}

uint32_t CFileUtil::FilePathToExtension(const wchar_t* path, wchar_t* out, uint32_t outSize)
{
    const size_t len = path != nullptr ? std::wcslen(path) : 0;
    const size_t start = NameStart(path, len);
    for (size_t i = len; i > start; --i)
    {
        if (path[i - 1] == L'.')
            return CopyPiece(path + i, len - i, out, outSize);
    }
    return CopyPiece(path, 0, out, outSize);
}

void CFileUtil::RemoveIllegalLettersForFileName(wchar_t* name)
{
    if (name == nullptr)
        return;
    size_t w = 0;
    for (size_t r = 0; name[r] != L'\0'; ++r)
    {
        if (!IsIllegalFileNameLetter(name[r]))
            name[w++] = name[r];
    }
    while (w > 0 && name[w - 1] == L' ')
        --w;
    name[w] = L'\0';
}

bool CFileUtil::RemoveFile(const wchar_t* path)
{
    if (path == nullptr || *path == L'\0')
        return false;
    // Four bytes of UTF-8 per character and a terminator always suffice.
    std::vector<char> utf8(std::wcslen(path) * 4 + 1);
    CTextUtil::WChartoChar(path, utf8.data(), static_cast<uint32_t>(utf8.size()));
    return std::remove(utf8.data()) == 0;
}
