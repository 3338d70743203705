#pragma once

#include <cstdint>

// Checks the header of an MP4-family file (MP4, M4A, MOV) before a demuxer
// reads it: whether it was cut, and whether its tables promise more than the
// file can hold.
//
// A demuxer builds an index entry for every sample the tables announce, so a
// header of a few hundred bytes that announces millions of samples keeps it
// busy for seconds and takes gigabytes. Every sample takes at least one byte
// of the file, and every table entry its bytes in its box: a table whose
// entries don't fit in its box, a count of samples beyond the file's size
// (per table, per track fragment, and for the whole file), or a table with
// more entries than the file's size, is refused.
//
// The file is cut when its movie header ('moov') or a fragment header
// ('moof') runs past the end of the file: a movie header placed after the
// media data is what a cut takes first. Media data that runs past the end is
// not checked here (the tables before it tell what is missing).
//
// Bounds: a header box larger than kMaxHeaderSize is refused as damage; the
// work done is proportional to the bytes of the header boxes.
class CMp4HeaderCheck
{
public:
    enum class EVerdict
    {
        // The header fits the file (or the file holds no header box).
        kSound,
        // The file does not begin with a box: it is no MP4-family file.
        kNotBoxes,
        // A header box runs past the end of the file.
        kCut,
        // A table promises more than its box or the file can hold, or a
        // header box is larger than kMaxHeaderSize.
        kImpossible,
        // The file can't be read.
        kUnreadable
    };

    // A larger movie or fragment header is taken for damage.
    static constexpr uint64_t kMaxHeaderSize = 64u * 1024u * 1024u;

    // Checks the regular file open as fd (read with pread: its offset is left
    // alone) of fileSize bytes.
    static EVerdict Check(int fd, int64_t fileSize);
};
