#pragma once

#include "common/disc/CDiscBurnImp.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CBinaryFile64;

// Writes a staged album as a BIN/CUE disc image, the way a drive would lay it
// out on an audio CD: the sectors of every track in one ".bin" file (16-bit
// little-endian stereo, 2352 bytes a sector), each track's pre-gap as
// silence before it (the first track's two mandatory seconds are not in the
// file: its start is the disc's program area), the last sector of a track
// padded with silence, and the cue sheet naming every track's pre-gap
// (INDEX 00) and start (INDEX 01). CD-Text goes into a ".cdt" file of raw
// packs that the cue sheet names.
//
// The sectors are written by WriteSectors in steps, so a caller can pace
// them. Every file is written through the atomic writer (CBinaryFile64): the
// image appears under its names only when Finish succeeds, the cue sheet
// last; Abort (and the destructor of an unfinished writer) drops what was
// written.
//
// One thread at a time.
class CCdImageWriter
{
public:
    CCdImageWriter();
    ~CCdImageWriter();

    CCdImageWriter(const CCdImageWriter&) = delete;
    CCdImageWriter& operator=(const CCdImageWriter&) = delete;

    // Lays out the album and opens the sector file; cuePath ends in ".cue".
    // False, with the reason in error, when a track file cannot be read or
    // the image cannot be created.
    bool Begin(const std::wstring& cuePath, const AudioCDAlbumTrackList& album, std::wstring* error);
    // Writes up to maxSectors further sectors; false, with the reason, when
    // a read or write fails.
    bool WriteSectors(int64_t maxSectors, std::wstring* error);
    bool IsComplete() const { return m_written >= m_total; }
    int64_t GetTotalSectors() const { return m_total; }
    int64_t GetWrittenSectors() const { return m_written; }
    // The track being written (0-based).
    size_t GetCurrentTrack() const;
    // Writes the cue sheet and the CD-Text packs (none when empty) and gives
    // the sector file its name.
    bool Finish(const std::vector<uint8_t>& cdTextPacks, std::wstring* error);
    void Abort();

private:
    // A run of sectors: silence, or the samples of a track file.
    struct Segment
    {
        size_t track;
        bool silence;
        int64_t sectors;
        int64_t byteOffset;
        int64_t frames;
    };

    bool AddTrack(size_t index, const AudioCDTrackInfo& track, std::wstring* error);
    bool WriteSegmentPart(const Segment& segment, int64_t sectors, std::wstring* error);
    bool ReadTrackBytes(const Segment& segment, int64_t firstByte, uint8_t* dst, size_t n,
                        std::wstring* error);
    std::string MakeCueSheet(bool withCdText) const;
    void CloseTrackFile();

    std::wstring m_cuePath;
    std::string m_base;
    std::string m_binPath;
    std::vector<std::string> m_trackPaths;
    std::vector<Segment> m_segments;
    // The INDEX 00 and INDEX 01 sectors of each track in the file.
    std::vector<int64_t> m_index0;
    std::vector<int64_t> m_index1;
    size_t m_segment = 0;
    int64_t m_segmentDone = 0;
    int64_t m_total = 0;
    int64_t m_written = 0;
    std::unique_ptr<CBinaryFile64> m_out;
    int m_in = -1;
    size_t m_inTrack = SIZE_MAX;
    bool m_bFinished = false;
    std::vector<uint8_t> m_buffer;
};
