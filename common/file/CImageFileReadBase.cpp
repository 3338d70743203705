#include "common/file/CImageFileReadBase.h"

#include <cstdio>

CImageFileReadBase::CImageFileReadBase() = default;

CImageFileReadBase::~CImageFileReadBase() = default;

void CImageFileReadBase::DestroyImage()
{
    // Give the memory back rather than keeping the capacity.
    std::vector<uint8_t>().swap(m_image);
}

CStandardImageFileReadBase::CStandardImageFileReadBase() = default;

CStandardImageFileReadBase::~CStandardImageFileReadBase()
{
    CStandardImageFileReadBase::CloseFile();
}

void CStandardImageFileReadBase::CloseFile()
{
    m_file.reset();
    DestroyImage();
}

bool CStandardImageFileReadBase::OpenAndReadHead(const wchar_t* path, uint8_t* head, uint32_t headSize,
                                                 uint32_t* got)
{
    CloseFile();
    *got = 0;
    if (path == nullptr || path[0] == 0)
        return false;
    auto file = std::make_unique<CBinaryFile64>(false);
    if (file->Open(path) == -1)
        return false;
    const int n = file->Read(head, headSize);
    *got = n > 0 ? static_cast<uint32_t>(n) : 0;
    m_file = std::move(file);
    return true;
}

uint32_t CStandardImageFileReadBase::GetImageSize()
{
    if (m_file == nullptr)
        return 0;
    const int64_t size = m_file->GetFileSize();
    if (size <= 0 || size > kMaxImageSize)
        return 0;
    return static_cast<uint32_t>(size);
}

uint32_t CStandardImageFileReadBase::LoadImage()
{
    DestroyImage();
    const uint32_t size = GetImageSize();
    if (size == 0 || m_file->Seek(0, SEEK_SET) != 0)
        return 0;
    std::vector<uint8_t>& bytes = ImageBytes();
    bytes.resize(size);
    uint32_t filled = 0;
    while (filled < size)
    {
        const int n = m_file->Read(bytes.data() + filled, size - filled);
        if (n <= 0)
            break;
        filled += static_cast<uint32_t>(n);
    }
    // A picture read in part would be a damaged picture.
    if (filled != size)
    {
        DestroyImage();
        return 0;
    }
    return filled;
}
