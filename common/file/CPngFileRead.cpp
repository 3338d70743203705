#include "common/file/CPngFileRead.h"

#include "library/util/CImageUtil.h"

namespace
{
constexpr uint32_t kHeadSize = 4;
} // namespace

CPngFileRead::CPngFileRead() = default;

CPngFileRead::~CPngFileRead() = default;

int CPngFileRead::OpenFile(const wchar_t* path)
{
    uint8_t head[kHeadSize] = {};
    uint32_t got = 0;
    if (!OpenAndReadHead(path, head, kHeadSize, &got))
        return 2;
    if (CImageUtil::IsPNG(head, got))
        return 0;
    CloseFile();
    return 2;
}
