#pragma once

#include "common/file/CBinaryFile64.h"

#include <cstdint>
#include <memory>
#include <vector>

// Reads a song's picture as the bytes of a JPEG or PNG file; the picture is
// never decoded here.
//
// Usage: OpenFile (0), GetImageSize (non-zero), LoadImage, GetImagePtr. A
// picture larger than kMaxImageSize is not read: its size is 0.
class CImageFileReadBase
{
public:
    // The largest picture read (the largest one an ID3 tag takes as well).
    static constexpr uint32_t kMaxImageSize = 16u * 1024u * 1024u;

    CImageFileReadBase();
    virtual ~CImageFileReadBase();

    CImageFileReadBase(const CImageFileReadBase&) = delete;
    CImageFileReadBase& operator=(const CImageFileReadBase&) = delete;

    // 0 opened; 2 the file cannot be opened or holds no picture of this kind.
    virtual int OpenFile(const wchar_t* path) = 0;
    virtual void CloseFile() {}
    // The picture's size in bytes; 0 while closed, when there is no picture
    // or when it is larger than kMaxImageSize.
    virtual uint32_t GetImageSize() = 0;
    // Frees what was loaded before and loads the picture whole; returns the
    // number of bytes loaded, 0 when the picture could not be read whole
    // (nothing is loaded then).
    virtual uint32_t LoadImage() = 0;

    // The loaded bytes; null before LoadImage and after a load that failed.
    uint8_t* GetImagePtr() { return m_image.empty() ? nullptr : m_image.data(); }
    // The number of bytes GetImagePtr holds.
    uint32_t GetLoadedImageSize() const { return static_cast<uint32_t>(m_image.size()); }
    void DestroyImage();

protected:
    // The loaded picture's storage for the readers.
    std::vector<uint8_t>& ImageBytes() { return m_image; }

private:
    std::vector<uint8_t> m_image;
};

// The base of the readers of picture files: the whole file is the picture.
// The kinds differ only in the signature their OpenFile tests.
class CStandardImageFileReadBase : public CImageFileReadBase
{
public:
    CStandardImageFileReadBase();
    ~CStandardImageFileReadBase() override;

    // Closes the file and frees the loaded bytes.
    void CloseFile() override;
    // The file's size now (it is asked again each time).
    uint32_t GetImageSize() override;
    // Reads the whole file as it is now; 0 when it cannot be read whole.
    uint32_t LoadImage() override;

protected:
    // Opens the file and reads its first headSize bytes (at most 16) into
    // head; *got tells how many were read. False, with nothing open, when
    // the file cannot be opened.
    bool OpenAndReadHead(const wchar_t* path, uint8_t* head, uint32_t headSize, uint32_t* got);

private:
    std::unique_ptr<CBinaryFile64> m_file;
};
