#pragma once

#include "common/file/CImageFileReadBase.h"

// Reads a PNG file as a picture: a file whose bytes 1 to 3 are "PNG" (the
// first byte is not tested).
class CPngFileRead : public CStandardImageFileReadBase
{
public:
    CPngFileRead();
    ~CPngFileRead() override;

    // 0 opened; 2 the file cannot be opened or is no PNG file (closed).
    int OpenFile(const wchar_t* path) override;
};
