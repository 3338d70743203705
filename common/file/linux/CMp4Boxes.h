#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The box structure of MP4-family files (MP4, M4A, MOV): a box is a 32-bit
// big-endian size, a four-character type, and for a size of 1 a 64-bit size
// after the type; a size of 0 runs to the end of the parent. Boxes are read
// from a buffer that holds a parent's payload (such as the whole 'moov'), and
// the boxes at the top level of a file straight from its descriptor.
//
// Every box must lie inside its parent: a child whose size runs past its
// parent ends the walk. Nothing here trusts a size before checking it.
class CMp4Boxes
{
public:
    using Bytes = std::vector<uint8_t>;

    // A box: its type and where its payload lies (in the buffer, or in the
    // file for a box of the top level).
    struct Box
    {
        char type[5] = {};
        uint64_t begin = 0;
        uint64_t end = 0;
    };

    // The result of reading the header of a top-level box.
    enum class ETopLevel
    {
        kBox,
        // No further box: the file ends (fewer than 8 bytes are left).
        kEnd,
        // The box runs past the end of the file.
        kPastEnd,
        // The header is no box header (a size below the header's own), or
        // the file can't be read.
        kDamaged
    };

    static uint32_t Be32(const uint8_t* p);
    static uint64_t Be64(const uint8_t* p);
    static bool IsType(const Box& box, const char* type);

    // The next child box in data[*pos .. end); *pos moves past it. False at
    // the end, or when the child doesn't fit.
    static bool Next(const Bytes& data, uint64_t* pos, uint64_t end, Box* box);
    // The first child of the given type inside parent.
    static bool FindChild(const Bytes& data, const Box& parent, const char* type, Box* out);
    // A descendant found by a path of types, such as "mdia/minf/stbl/stts".
    static bool FindPath(const Bytes& data, const Box& from, const char* path, Box* out);
    // The payload of a full box after its version and flags, which must hold
    // minVersion0 (version 0) or minVersion1 (version 1) bytes.
    static bool FullBoxPayload(const Bytes& data, const Box& box, size_t minVersion0, size_t minVersion1,
                               uint8_t* version, const uint8_t** payload, size_t* length);

    // Reads len bytes at pos of the file; false when they are not all there.
    static bool ReadAt(int fd, int64_t pos, uint8_t* dst, size_t len);
    // The header of the top-level box at pos of a file of fileSize bytes.
    // A box that runs past the end is described as far as the file goes
    // (its end is the file's end).
    static ETopLevel ReadTopLevel(int fd, int64_t pos, int64_t fileSize, Box* box);
    // The payload of a top-level box, when it is at most maxSize bytes.
    static bool ReadPayload(int fd, const Box& box, uint64_t maxSize, Bytes* out);
};
