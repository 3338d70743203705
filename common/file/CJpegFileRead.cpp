#include "common/file/CJpegFileRead.h"

#include "library/util/CImageUtil.h"

namespace
{
// The bytes of the head tested; a shorter file is no picture.
constexpr uint32_t kHeadSize = 10;
} // namespace

CJpegFileRead::CJpegFileRead() = default;

CJpegFileRead::~CJpegFileRead() = default;

int CJpegFileRead::OpenFile(const wchar_t* path)
{
    uint8_t head[kHeadSize] = {};
    uint32_t got = 0;
    if (!OpenAndReadHead(path, head, kHeadSize, &got))
        return 2;
    if (got == kHeadSize && CImageUtil::IsJPEG(head, got))
        return 0;
    CloseFile();
    return 2;
}
