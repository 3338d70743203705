#pragma once

#include "common/file/CImageFileReadBase.h"

// Reads a JPEG file as a picture: a file of at least 10 bytes beginning with
// a start-of-image marker followed by any segment marker.
class CJpegFileRead : public CStandardImageFileReadBase
{
public:
    CJpegFileRead();
    ~CJpegFileRead() override;

    // 0 opened; 2 the file cannot be opened or is no JPEG file (closed).
    int OpenFile(const wchar_t* path) override;
};
