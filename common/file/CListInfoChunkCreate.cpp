#include "common/file/CListInfoChunkCreate.h"

#include "library/util/CTextUtil.h"

#include <cstring>

CListInfoChunkCreate::CListInfoChunkCreate()
{
    Clear();
}

CListInfoChunkCreate::~CListInfoChunkCreate() = default;

int CListInfoChunkCreate::WriteData(int64_t value, int nBytes)
{
    return WriteDataLittleEndian(value, nBytes);
}

void CListInfoChunkCreate::Clear()
{
    CBinaryFileWriteBuffer::Clear();
    Write("LIST", 4);
    WriteData(4, 4);
    Write("INFO", 4);
}

uint32_t CListInfoChunkCreate::GetBufFilledSize() const
{
    const uint32_t size = CBinaryFileWriteBuffer::GetBufFilledSize();
    return size > kHeadSize ? size : 0;
}

uint32_t CListInfoChunkCreate::CreateLocalChunk(const char* text, const char* id)
{
    MoveToEnd();
    if (text == nullptr)
        return 0;
    const size_t length = std::strlen(text);
    // A sub-chunk's size is 32-bit and the body needs room for the padding.
    if (length == 0 || length > UINT32_MAX - 16 || CTextUtil::IsNonAsciiIncluded(text))
        return 0;
    const uint32_t textLength = static_cast<uint32_t>(length);
    const uint32_t bodySize = textLength + 2 - (textLength % 2);
    static const uint8_t zeros[2] = {0, 0};

    Write(id, 4);
    WriteData(bodySize, 4);
    Write(text, textLength);
    Write(zeros, bodySize - textLength);

    const uint32_t end = MoveToEnd();
    Seek(4);
    WriteData(end - 8, 4);
    MoveToEnd();
    return bodySize + 8;
}
