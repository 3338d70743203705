#include "common/file/linux/CMp4Boxes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace
{
// The header at p, with headerLen bytes readable, of a box that may take
// room bytes: its type, size (0 means the whole room) and header size.
// False when the size is below the header's own.
bool ParseHeader(const uint8_t* p, uint64_t headerLen, uint64_t room, CMp4Boxes::Box* box, uint64_t* size,
                 uint32_t* headerSize)
{
    if (headerLen < 8 || room < 8)
        return false;
    std::memcpy(box->type, p + 4, 4);
    *headerSize = 8;
    *size = CMp4Boxes::Be32(p);
    if (*size == 1)
    {
        if (headerLen < 16 || room < 16)
            return false;
        *size = CMp4Boxes::Be64(p + 8);
        *headerSize = 16;
    }
    else if (*size == 0)
    {
        *size = room;
    }
    return *size >= *headerSize;
}
} // namespace

uint32_t CMp4Boxes::Be32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint64_t CMp4Boxes::Be64(const uint8_t* p)
{
    return (uint64_t{Be32(p)} << 32) | Be32(p + 4);
}

bool CMp4Boxes::IsType(const Box& box, const char* type)
{
    return std::memcmp(box.type, type, 4) == 0;
}

bool CMp4Boxes::Next(const Bytes& data, uint64_t* pos, uint64_t end, Box* box)
{
    end = std::min<uint64_t>(end, data.size());
    if (*pos >= end)
        return false;
    const uint64_t room = end - *pos;
    uint64_t size = 0;
    uint32_t headerSize = 0;
    if (!ParseHeader(data.data() + *pos, room, room, box, &size, &headerSize) || size > room)
        return false;
    box->begin = *pos + headerSize;
    box->end = *pos + size;
    *pos = box->end;
    return true;
}

bool CMp4Boxes::FindChild(const Bytes& data, const Box& parent, const char* type, Box* out)
{
    uint64_t pos = parent.begin;
    Box box;
    while (Next(data, &pos, parent.end, &box))
    {
        if (IsType(box, type))
        {
            *out = box;
            return true;
        }
    }
    return false;
}

bool CMp4Boxes::FindPath(const Bytes& data, const Box& from, const char* path, Box* out)
{
    Box box = from;
    for (const char* p = path; *p != 0; p += p[4] == '/' ? 5 : 4)
    {
        char type[5] = {};
        std::memcpy(type, p, 4);
        if (std::strlen(type) != 4 || !FindChild(data, box, type, &box))
            return false;
    }
    *out = box;
    return true;
}

bool CMp4Boxes::FullBoxPayload(const Bytes& data, const Box& box, size_t minVersion0, size_t minVersion1,
                               uint8_t* version, const uint8_t** payload, size_t* length)
{
    if (box.end > data.size() || box.begin > box.end || box.end - box.begin < 4)
        return false;
    *version = data[box.begin];
    *payload = data.data() + box.begin + 4;
    *length = static_cast<size_t>(box.end - box.begin - 4);
    return *version == 0 ? *length >= minVersion0 : (*version == 1 && *length >= minVersion1);
}

bool CMp4Boxes::ReadAt(int fd, int64_t pos, uint8_t* dst, size_t len)
{
    size_t done = 0;
    while (done < len)
    {
        const ssize_t got = ::pread(fd, dst + done, len - done, pos + static_cast<int64_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

CMp4Boxes::ETopLevel CMp4Boxes::ReadTopLevel(int fd, int64_t pos, int64_t fileSize, Box* box)
{
    if (pos < 0 || fileSize - pos < 8)
        return ETopLevel::kEnd;
    uint8_t header[16];
    const uint64_t room = static_cast<uint64_t>(fileSize - pos);
    const size_t headerLen = static_cast<size_t>(std::min<uint64_t>(16, room));
    uint64_t size = 0;
    uint32_t headerSize = 0;
    if (!ReadAt(fd, pos, header, headerLen))
        return ETopLevel::kDamaged;
    // A 64-bit size whose second half is cut off runs past the end.
    if (Be32(header) == 1 && room < 16)
    {
        std::memcpy(box->type, header + 4, 4);
        box->begin = box->end = static_cast<uint64_t>(fileSize);
        return ETopLevel::kPastEnd;
    }
    if (!ParseHeader(header, headerLen, room, box, &size, &headerSize))
        return ETopLevel::kDamaged;
    box->begin = static_cast<uint64_t>(pos) + headerSize;
    box->end = static_cast<uint64_t>(pos) + std::min(size, room);
    return size > room ? ETopLevel::kPastEnd : ETopLevel::kBox;
}

bool CMp4Boxes::ReadPayload(int fd, const Box& box, uint64_t maxSize, Bytes* out)
{
    if (box.end < box.begin || box.end - box.begin > maxSize)
        return false;
    out->resize(static_cast<size_t>(box.end - box.begin));
    return ReadAt(fd, static_cast<int64_t>(box.begin), out->data(), out->size());
}
