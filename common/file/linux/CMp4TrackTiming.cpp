#include "common/file/linux/CMp4TrackTiming.h"

#include "common/file/linux/CMp4Boxes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using Box = CMp4Boxes::Box;
using Bytes = CMp4Boxes::Bytes;

// The time scale of a movie or media header: after the creation and
// modification times (32 bits each in version 0, 64 in version 1).
bool ReadTimeScale(const Bytes& data, const Box& header, uint32_t* scale)
{
    uint8_t version = 0;
    const uint8_t* p = nullptr;
    size_t len = 0;
    if (!CMp4Boxes::FullBoxPayload(data, header, 12, 20, &version, &p, &len))
        return false;
    *scale = CMp4Boxes::Be32(p + (version == 0 ? 8 : 16));
    return *scale > 0;
}

// The track header's ID, after the same two times.
bool ReadTrackId(const Bytes& data, const Box& trak, uint32_t* id)
{
    Box tkhd;
    uint8_t version = 0;
    const uint8_t* p = nullptr;
    size_t len = 0;
    if (!CMp4Boxes::FindChild(data, trak, "tkhd", &tkhd) ||
        !CMp4Boxes::FullBoxPayload(data, tkhd, 12, 20, &version, &p, &len))
        return false;
    *id = CMp4Boxes::Be32(p + (version == 0 ? 8 : 16));
    return true;
}

// The sum of the time-to-sample table: entries of a count and a duration.
bool SumSampleTable(const Bytes& data, const Box& stts, int64_t* ticks)
{
    uint8_t version = 0;
    const uint8_t* p = nullptr;
    size_t len = 0;
    if (!CMp4Boxes::FullBoxPayload(data, stts, 4, 4, &version, &p, &len) || version != 0)
        return false;
    const uint64_t entries = CMp4Boxes::Be32(p);
    if (entries > (len - 4) / 8)
        return false;
    int64_t sum = 0;
    for (uint64_t i = 0; i < entries; ++i)
    {
        const int64_t count = CMp4Boxes::Be32(p + 4 + 8 * i);
        const int64_t duration = CMp4Boxes::Be32(p + 8 + 8 * i);
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
    size_t len = 0;
    if (!CMp4Boxes::FullBoxPayload(data, elst, 4, 4, &version, &p, &len))
        return;
    const size_t entrySize = version == 0 ? 12 : 20;
    const uint64_t entries = CMp4Boxes::Be32(p);
    if (entries > (len - 4) / entrySize)
        return;
    for (uint64_t i = 0; i < entries; ++i)
    {
        const uint8_t* e = p + 4 + entrySize * i;
        const int64_t duration =
            version == 0 ? int64_t{CMp4Boxes::Be32(e)} : static_cast<int64_t>(CMp4Boxes::Be64(e));
        const int64_t mediaTime = version == 0 ? int64_t{static_cast<int32_t>(CMp4Boxes::Be32(e + 4))}
                                               : static_cast<int64_t>(CMp4Boxes::Be64(e + 8));
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
    if (!CMp4Boxes::FindPath(data, trak, "mdia/mdhd", &mdhd) ||
        !ReadTimeScale(data, mdhd, &timing->mediaTimeScale) ||
        !CMp4Boxes::FindPath(data, trak, "mdia/minf/stbl/stts", &stts) ||
        !SumSampleTable(data, stts, &timing->sampleTableTicks))
        return false;
    if (CMp4Boxes::FindPath(data, trak, "edts/elst", &elst))
        ReadEditList(data, elst, timing);
    return true;
}

// The payload of the top-level 'moov' box. A box that runs past the end of
// the file (a cut file) ends the search.
bool ReadMoov(int fd, int64_t fileSize, Bytes* moov)
{
    int64_t pos = 0;
    Box box;
    while (CMp4Boxes::ReadTopLevel(fd, pos, fileSize, &box) == CMp4Boxes::ETopLevel::kBox)
    {
        if (CMp4Boxes::IsType(box, "moov"))
            return CMp4Boxes::ReadPayload(fd, box, CMp4TrackTiming::kMaxMoovSize, moov);
        pos = static_cast<int64_t>(box.end);
    }
    return false;
}
} // namespace

bool CMp4TrackTiming::Read(const char* utf8Path, uint32_t trackId, Timing* out)
{
    if (utf8Path == nullptr || out == nullptr)
        return false;
    *out = Timing();
    // Non-blocking, so that a FIFO doesn't wait for a writer; only a regular
    // file is read.
    const int fd = ::open(utf8Path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool read = Read(fd, trackId, out);
    ::close(fd);
    return read;
}

bool CMp4TrackTiming::Read(int fd, uint32_t trackId, Timing* out)
{
    if (out == nullptr)
        return false;
    *out = Timing();
    struct stat st;
    Bytes data;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !ReadMoov(fd, st.st_size, &data))
        return false;

    Box moov;
    moov.begin = 0;
    moov.end = data.size();
    Box mvhd;
    if (!CMp4Boxes::FindChild(data, moov, "mvhd", &mvhd) || !ReadTimeScale(data, mvhd, &out->movieTimeScale))
        return false;
    uint64_t pos = moov.begin;
    Box trak;
    while (CMp4Boxes::Next(data, &pos, moov.end, &trak))
    {
        uint32_t id = 0;
        if (CMp4Boxes::IsType(trak, "trak") && ReadTrackId(data, trak, &id) && id == trackId)
            return ReadTrack(data, trak, out);
    }
    return false;
}
