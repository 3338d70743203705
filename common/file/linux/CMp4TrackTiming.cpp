#include "common/file/linux/CMp4TrackTiming.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// A box: its four-character type and where its payload lies.
struct Box
{
    char type[5] = {};
    size_t begin = 0;
    size_t end = 0;
};

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint64_t Be64(const uint8_t* p)
{
    return (uint64_t{Be32(p)} << 32) | Be32(p + 4);
}

bool IsType(const Box& box, const char* type)
{
    return std::memcmp(box.type, type, 4) == 0;
}

// The box header at pos, within the parent's payload that ends at end: its
// size (0 to the parent's end, 1 for a 64-bit size after the type) must
// keep the box inside the parent.
bool ParseHeader(const uint8_t* header, size_t headerLen, uint64_t room, Box* box, uint64_t* size,
                 uint32_t* headerSize)
{
    if (headerLen < 8 || room < 8)
        return false;
    std::memcpy(box->type, header + 4, 4);
    *headerSize = 8;
    *size = Be32(header);
    if (*size == 1)
    {
        if (headerLen < 16 || room < 16)
            return false;
        *size = Be64(header + 8);
        *headerSize = 16;
    }
    else if (*size == 0)
    {
        *size = room;
    }
    return *size >= *headerSize && *size <= room;
}

// The next child box in data[pos .. end); pos moves past it.
bool NextBox(const Bytes& data, size_t* pos, size_t end, Box* box)
{
    if (*pos >= end)
        return false;
    uint64_t size = 0;
    uint32_t headerSize = 0;
    if (!ParseHeader(data.data() + *pos, end - *pos, end - *pos, box, &size, &headerSize))
        return false;
    box->begin = *pos + headerSize;
    box->end = *pos + static_cast<size_t>(size);
    *pos = box->end;
    return true;
}

// The first child of the given type inside parent.
bool FindChild(const Bytes& data, const Box& parent, const char* type, Box* out)
{
    size_t pos = parent.begin;
    Box box;
    while (NextBox(data, &pos, parent.end, &box))
    {
        if (IsType(box, type))
        {
            *out = box;
            return true;
        }
    }
    return false;
}

// A descendant found by a path of types, such as "mdia/minf/stbl/stts".
bool FindPath(const Bytes& data, const Box& from, const char* path, Box* out)
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

// The payload of a full box (after its version and flags) and its version.
bool FullBoxPayload(const Box& box, size_t minVersion0, size_t minVersion1, const Bytes& data,
                    uint8_t* version, const uint8_t** payload)
{
    if (box.end - box.begin < 4)
        return false;
    *version = data[box.begin];
    *payload = data.data() + box.begin + 4;
    const size_t len = box.end - box.begin - 4;
    return *version == 0 ? len >= minVersion0 : (*version == 1 && len >= minVersion1);
}

// The time scale of a movie or media header: after the creation and
// modification times (32 bits each in version 0, 64 in version 1).
bool ReadTimeScale(const Bytes& data, const Box& header, uint32_t* scale)
{
    uint8_t version = 0;
    const uint8_t* p = nullptr;
    if (!FullBoxPayload(header, 12, 20, data, &version, &p))
        return false;
    *scale = Be32(p + (version == 0 ? 8 : 16));
    return *scale > 0;
}

// The track header's ID, after the same two times.
bool ReadTrackId(const Bytes& data, const Box& trak, uint32_t* id)
{
    Box tkhd;
    uint8_t version = 0;
    const uint8_t* p = nullptr;
    if (!FindChild(data, trak, "tkhd", &tkhd) || !FullBoxPayload(tkhd, 12, 20, data, &version, &p))
        return false;
    *id = Be32(p + (version == 0 ? 8 : 16));
    return true;
}

// The sum of the time-to-sample table: entries of a count and a duration.
bool SumSampleTable(const Bytes& data, const Box& stts, int64_t* ticks)
{
    uint8_t version = 0;
    const uint8_t* p = nullptr;
    if (!FullBoxPayload(stts, 4, 4, data, &version, &p) || version != 0)
        return false;
    const uint64_t entries = Be32(p);
    if (entries > (stts.end - stts.begin - 8) / 8)
        return false;
    int64_t sum = 0;
    for (uint64_t i = 0; i < entries; ++i)
    {
        const int64_t count = Be32(p + 4 + 8 * i);
        const int64_t duration = Be32(p + 8 + 8 * i);
        if (duration != 0 && count > (CMp4TrackTiming::kMaxTicks - sum) / duration)
            return false;
        sum += count * duration;
    }
    *ticks = sum;
    return true;
}

// The edit list: the first edit that presents media (its media time is not
// -1), and whether another one follows.
void ReadEditList(const Bytes& data, const Box& elst, CMp4TrackTiming::Timing* timing)
{
    uint8_t version = 0;
    const uint8_t* p = nullptr;
    if (!FullBoxPayload(elst, 4, 4, data, &version, &p))
        return;
    const size_t entrySize = version == 0 ? 12 : 20;
    const uint64_t entries = Be32(p);
    if (entries > (elst.end - elst.begin - 8) / entrySize)
        return;
    for (uint64_t i = 0; i < entries; ++i)
    {
        const uint8_t* e = p + 4 + entrySize * i;
        const int64_t duration = version == 0 ? int64_t{Be32(e)} : static_cast<int64_t>(Be64(e));
        const int64_t mediaTime =
            version == 0 ? int64_t{static_cast<int32_t>(Be32(e + 4))} : static_cast<int64_t>(Be64(e + 8));
        if (mediaTime == -1)
            continue;
        if (timing->hasEdit)
        {
            timing->singleEdit = false;
            return;
        }
        if (mediaTime < 0 || duration < 0 || duration > CMp4TrackTiming::kMaxTicks ||
            mediaTime > CMp4TrackTiming::kMaxTicks)
            return;
        timing->hasEdit = true;
        timing->singleEdit = true;
        timing->editMediaTime = mediaTime;
        timing->editDuration = duration;
    }
}

// The track's timing from its 'trak' box.
bool ReadTrack(const Bytes& data, const Box& trak, CMp4TrackTiming::Timing* timing)
{
    Box mdhd;
    Box stts;
    Box elst;
    if (!FindPath(data, trak, "mdia/mdhd", &mdhd) || !ReadTimeScale(data, mdhd, &timing->mediaTimeScale) ||
        !FindPath(data, trak, "mdia/minf/stbl/stts", &stts) ||
        !SumSampleTable(data, stts, &timing->sampleTableTicks))
        return false;
    if (FindPath(data, trak, "edts/elst", &elst))
        ReadEditList(data, elst, timing);
    return true;
}

bool ReadAt(int fd, int64_t pos, uint8_t* dst, size_t len)
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

// The payload of the top-level 'moov' box, as a box over the whole buffer.
bool ReadMoov(int fd, int64_t fileSize, Bytes* moov)
{
    int64_t pos = 0;
    while (pos + 8 <= fileSize)
    {
        uint8_t header[16];
        const size_t headerLen = static_cast<size_t>(std::min<int64_t>(16, fileSize - pos));
        if (!ReadAt(fd, pos, header, headerLen))
            return false;
        Box box;
        uint64_t size = 0;
        uint32_t headerSize = 0;
        if (!ParseHeader(header, headerLen, static_cast<uint64_t>(fileSize - pos), &box, &size, &headerSize))
            return false;
        if (IsType(box, "moov"))
        {
            if (size - headerSize > CMp4TrackTiming::kMaxMoovSize)
                return false;
            moov->resize(static_cast<size_t>(size - headerSize));
            return ReadAt(fd, pos + headerSize, moov->data(), moov->size());
        }
        pos += static_cast<int64_t>(size);
    }
    return false;
}
} // namespace

bool CMp4TrackTiming::Read(const char* utf8Path, uint32_t trackId, Timing* out)
{
    if (utf8Path == nullptr || out == nullptr)
        return false;
    *out = Timing();
    const int fd = ::open(utf8Path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    Bytes data;
    const bool read = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadMoov(fd, st.st_size, &data);
    ::close(fd);
    if (!read)
        return false;

    Box moov;
    moov.begin = 0;
    moov.end = data.size();
    Box mvhd;
    if (!FindChild(data, moov, "mvhd", &mvhd) || !ReadTimeScale(data, mvhd, &out->movieTimeScale))
        return false;
    size_t pos = moov.begin;
    Box trak;
    while (NextBox(data, &pos, moov.end, &trak))
    {
        uint32_t id = 0;
        if (IsType(trak, "trak") && ReadTrackId(data, trak, &id) && id == trackId)
            return ReadTrack(data, trak, out);
    }
    return false;
}
