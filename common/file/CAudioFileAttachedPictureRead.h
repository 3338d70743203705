#pragma once

#include "common/file/CImageFileReadBase.h"

#include <memory>

class CAudioFileReadBase;

// Reads the picture embedded in an audio file (the front cover of an AIFF
// file's ID3 tag, the cover of a compressed file). Files of kinds that hold
// no picture (WAV) are not opened.
class CAudioFileAttachedPictureRead : public CImageFileReadBase
{
public:
    CAudioFileAttachedPictureRead();
    ~CAudioFileAttachedPictureRead() override;

    // 0 when an audio file of a kind that can hold a picture was opened
    // (whether it holds one or not); 2 otherwise.
    int OpenFile(const wchar_t* path) override;
    // Closes the audio file and frees the loaded bytes.
    void CloseFile() override;
    // The embedded picture's size; 0 while closed or without a picture.
    uint32_t GetImageSize() override;
    uint32_t LoadImage() override;

private:
    std::unique_ptr<CAudioFileReadBase> m_reader;
};
