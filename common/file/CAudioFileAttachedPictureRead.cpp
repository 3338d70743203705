#include "common/file/CAudioFileAttachedPictureRead.h"

#include "common/file/CAudioFileReadBase.h"
#include "common/file/VextalFileUtil.h"

CAudioFileAttachedPictureRead::CAudioFileAttachedPictureRead() = default;

CAudioFileAttachedPictureRead::~CAudioFileAttachedPictureRead()
{
    CAudioFileAttachedPictureRead::CloseFile();
}

int CAudioFileAttachedPictureRead::OpenFile(const wchar_t* path)
{
    CloseFile();
    m_reader.reset(VextalFileUtil::CreateAudioFileWithAttachedPictureReadObject(path));
    return m_reader != nullptr ? 0 : 2;
}

void CAudioFileAttachedPictureRead::CloseFile()
{
    m_reader.reset();
    DestroyImage();
}

uint32_t CAudioFileAttachedPictureRead::GetImageSize()
{
    if (m_reader == nullptr)
        return 0;
    const uint32_t size = m_reader->GetAttachedPictureSize();
    return size <= kMaxImageSize ? size : 0;
}

uint32_t CAudioFileAttachedPictureRead::LoadImage()
{
    DestroyImage();
    const uint32_t size = GetImageSize();
    if (size == 0)
        return 0;
    std::vector<uint8_t>& bytes = ImageBytes();
    bytes.resize(size);
    // The readers copy the picture only when it fits whole; anything else is
    // no picture.
    if (m_reader->ReadAttachedPicture(bytes.data(), size) != size)
    {
        DestroyImage();
        return 0;
    }
    return size;
}
