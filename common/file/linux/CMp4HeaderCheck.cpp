#include "common/file/linux/CMp4HeaderCheck.h"

#include "common/file/linux/CMp4Boxes.h"

#include <cstring>

namespace
{
using Box = CMp4Boxes::Box;
using Bytes = CMp4Boxes::Bytes;
using EVerdict = CMp4HeaderCheck::EVerdict;

// Far more boxes than a file of fragments of a second each for days holds;
// beyond, the file is taken for damage.
constexpr uint32_t kMaxTopLevelBoxes = 1000000;
// Deeper than the boxes of any table lie (and than a demuxer descends).
constexpr int kMaxDepth = 12;

// What the tables of the file announce, against what the file can hold.
struct Budget
{
    uint64_t fileSize = 0;
    // The samples announced so far by sample-size tables and track runs.
    uint64_t samples = 0;
};

// A full box: its version, flags, and the payload after them.
struct FullBox
{
    uint8_t version = 0;
    uint32_t flags = 0;
    const uint8_t* p = nullptr;
    uint64_t len = 0;
};

bool ReadFullBox(const Bytes& data, const Box& box, uint64_t minLength, FullBox* out)
{
    if (box.end > data.size() || box.end - box.begin < 4 + minLength)
        return false;
    const uint8_t* b = data.data() + box.begin;
    out->version = b[0];
    out->flags = CMp4Boxes::Be32(b) & 0xFFFFFFu;
    out->p = b + 4;
    out->len = box.end - box.begin - 4;
    return true;
}

// A table of count entries of entrySize bytes after headerSize bytes fits.
bool EntriesFit(const FullBox& box, uint64_t headerSize, uint64_t count, uint64_t entrySize)
{
    return box.len >= headerSize && count <= (box.len - headerSize) / entrySize;
}

// The sum of the first fields of count entries of entrySize bytes from p
// (the sample counts of a time-to-sample or composition-offset table).
uint64_t SumCounts(const uint8_t* p, uint64_t count, uint64_t entrySize)
{
    uint64_t sum = 0;
    for (uint64_t i = 0; i < count; ++i)
        sum += CMp4Boxes::Be32(p + i * entrySize);
    return sum;
}

// Entries of the time-to-sample and composition-offset tables: a sample
// count and a value. The samples they count must fit in the file.
bool CheckCountedTable(const FullBox& box, const Budget& budget)
{
    const uint64_t count = CMp4Boxes::Be32(box.p);
    return EntriesFit(box, 4, count, 8) && SumCounts(box.p + 4, count, 8) <= budget.fileSize;
}

// Sample-to-chunk: the first chunk, samples per chunk and description.
bool CheckSampleToChunk(const FullBox& box, const Budget& budget)
{
    const uint64_t count = CMp4Boxes::Be32(box.p);
    if (!EntriesFit(box, 4, count, 12))
        return false;
    for (uint64_t i = 0; i < count; ++i)
        if (CMp4Boxes::Be32(box.p + 4 + 12 * i + 4) > budget.fileSize)
            return false;
    return true;
}

// Sample sizes: one size for all, else a table of 32-bit sizes; the compact
// form holds fields of 4, 8 or 16 bits.
bool CheckSampleSizes(const FullBox& box, bool compact, Budget* budget)
{
    if (box.len < 8)
        return false;
    const uint64_t count = CMp4Boxes::Be32(box.p + 4);
    budget->samples += count;
    if (count > budget->fileSize || budget->samples > budget->fileSize)
        return false;
    if (compact)
    {
        const uint64_t bits = box.p[3];
        return (bits == 4 || bits == 8 || bits == 16) && (count * bits + 7) / 8 <= box.len - 8;
    }
    return CMp4Boxes::Be32(box.p) != 0 || EntriesFit(box, 8, count, 4);
}

// A track run: its sample count, optional data offset and first sample's
// flags, then up to four 32-bit fields per sample.
bool CheckTrackRun(const FullBox& box, Budget* budget)
{
    const uint64_t count = CMp4Boxes::Be32(box.p);
    budget->samples += count;
    if (count > budget->fileSize || budget->samples > budget->fileSize)
        return false;
    const uint64_t header = 4 + ((box.flags & 0x1) != 0 ? 4 : 0) + ((box.flags & 0x4) != 0 ? 4 : 0);
    uint64_t perSample = 0;
    for (const uint32_t flag : {0x100u, 0x200u, 0x400u, 0x800u})
        perSample += (box.flags & flag) != 0 ? 4 : 0;
    return box.len >= header && (perSample == 0 || count <= (box.len - header) / perSample);
}

// Segment index: after the reference ID, the time scale, two times (32 or
// 64 bits) and a reserved field, a 16-bit count of 12-byte references.
bool CheckSegmentIndex(const FullBox& box)
{
    const uint64_t header = box.version == 0 ? 20 : 28;
    return box.len >= header && EntriesFit(box, header, CMp4Boxes::Be32(box.p + header - 4) & 0xFFFF, 12);
}

// Track fragment random access: the track ID, the sizes of three fields,
// the count, and entries of a time and an offset (32 or 64 bits each) and
// the three fields.
bool CheckFragmentRandomAccess(const FullBox& box)
{
    if (box.len < 12)
        return false;
    const uint32_t sizes = CMp4Boxes::Be32(box.p + 4);
    const uint64_t entry =
        (box.version == 0 ? 8 : 16) + ((sizes >> 4) & 3) + 1 + ((sizes >> 2) & 3) + 1 + (sizes & 3) + 1;
    return EntriesFit(box, 12, CMp4Boxes::Be32(box.p + 8), entry);
}

// The table box's entries fit in it and its counts in the file; boxes of
// other types pass.
bool CheckTable(const Bytes& data, const Box& box, Budget* budget)
{
    const auto is = [&box](const char* type) { return CMp4Boxes::IsType(box, type); };
    const bool counted = is("stts") || is("ctts");
    const bool simple = is("stco") || is("stss") || is("stps") || is("co64");
    const bool known = counted || simple || is("stsc") || is("stsz") || is("stz2") || is("trun") ||
                       is("elst") || is("sidx") || is("tfra") || is("sbgp");
    if (!known)
        return true;
    FullBox full;
    if (!ReadFullBox(data, box, 4, &full))
        return false;
    if (counted)
        return CheckCountedTable(full, *budget);
    if (simple)
        return EntriesFit(full, 4, CMp4Boxes::Be32(full.p), is("co64") ? 8 : 4);
    if (is("stsc"))
        return CheckSampleToChunk(full, *budget);
    if (is("stsz") || is("stz2"))
        return CheckSampleSizes(full, is("stz2"), budget);
    if (is("trun"))
        return CheckTrackRun(full, budget);
    if (is("elst"))
        return EntriesFit(full, 4, CMp4Boxes::Be32(full.p), full.version == 1 ? 20 : 12);
    if (is("sidx"))
        return CheckSegmentIndex(full);
    if (is("tfra"))
        return CheckFragmentRandomAccess(full);
    // Sample-to-group: the grouping type, its parameter in version 1, then
    // entries of a count and an index.
    const uint64_t header = full.version == 1 ? 12 : 8;
    return full.len >= header && EntriesFit(full, header, CMp4Boxes::Be32(full.p + header - 4), 8);
}

bool IsContainer(const Box& box)
{
    for (const char* type : {"moov", "trak", "mdia", "minf", "stbl", "edts", "mvex", "moof", "traf", "mfra"})
        if (CMp4Boxes::IsType(box, type))
            return true;
    return false;
}

// The tables in the children of parent (and in theirs).
bool CheckChildren(const Bytes& data, const Box& parent, int depth, Budget* budget)
{
    uint64_t pos = parent.begin;
    Box box;
    while (CMp4Boxes::Next(data, &pos, parent.end, &box))
    {
        if (IsContainer(box) ? depth < kMaxDepth && !CheckChildren(data, box, depth + 1, budget)
                             : !CheckTable(data, box, budget))
            return false;
    }
    return true;
}

// A header box read whole and its tables checked.
EVerdict CheckHeaderBox(int fd, const Box& box, Budget* budget)
{
    if (box.end - box.begin > CMp4HeaderCheck::kMaxHeaderSize)
        return EVerdict::kImpossible;
    Bytes data;
    if (!CMp4Boxes::ReadPayload(fd, box, CMp4HeaderCheck::kMaxHeaderSize, &data))
        return EVerdict::kUnreadable;
    Box whole = box;
    whole.begin = 0;
    whole.end = data.size();
    return CheckChildren(data, whole, 1, budget) ? EVerdict::kSound : EVerdict::kImpossible;
}

bool IsPrintableType(const Box& box)
{
    for (int i = 0; i < 4; ++i)
        if (box.type[i] < 0x20 || box.type[i] > 0x7E)
            return false;
    return true;
}

bool IsHeaderBox(const Box& box)
{
    return CMp4Boxes::IsType(box, "moov") || CMp4Boxes::IsType(box, "moof") || CMp4Boxes::IsType(box, "mfra");
}
} // namespace

CMp4HeaderCheck::EVerdict CMp4HeaderCheck::Check(int fd, int64_t fileSize)
{
    Budget budget;
    budget.fileSize = fileSize > 0 ? static_cast<uint64_t>(fileSize) : 0;
    int64_t pos = 0;
    for (uint32_t n = 0;; ++n)
    {
        if (n == kMaxTopLevelBoxes)
            return EVerdict::kImpossible;
        Box box;
        const CMp4Boxes::ETopLevel read = CMp4Boxes::ReadTopLevel(fd, pos, fileSize, &box);
        if (n == 0 && (read == CMp4Boxes::ETopLevel::kEnd || read == CMp4Boxes::ETopLevel::kDamaged ||
                       !IsPrintableType(box)))
            return EVerdict::kNotBoxes;
        switch (read)
        {
        case CMp4Boxes::ETopLevel::kEnd:
        case CMp4Boxes::ETopLevel::kDamaged:
            // What follows is no box: the demuxer stops there as well.
            return EVerdict::kSound;
        case CMp4Boxes::ETopLevel::kPastEnd:
            return IsHeaderBox(box) ? EVerdict::kCut : EVerdict::kSound;
        case CMp4Boxes::ETopLevel::kBox:
            break;
        }
        if (IsHeaderBox(box))
        {
            const EVerdict verdict = CheckHeaderBox(fd, box, &budget);
            if (verdict != EVerdict::kSound)
                return verdict;
        }
        pos = static_cast<int64_t>(box.end);
    }
}
