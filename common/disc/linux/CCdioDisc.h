#pragma once

#include "common/disc/CCdTextBlocks.h"

#include <cstdint>
#include <string>
#include <vector>

typedef struct _CdIo CdIo_t;

// One audio CD, in a drive or as a BIN/CUE disc image (see CAudioCDPath for
// how both are named), read through libcdio.
//
// Open() reads the table of contents once; the track queries answer from that
// copy. Sector addresses are logical sector numbers (LSN): the first sector of
// the program area is 0; the addresses of the CD identifier are these plus
// 150 (LBA). An audio sector holds 588 stereo frames of 16-bit little-endian
// samples, 2352 bytes.
//
// One object is used by one thread at a time.
class CCdioDisc
{
public:
    static constexpr int kFramesPerSector = 588;
    static constexpr int kBytesPerSector = 2352;
    static constexpr int32_t kLbaOffset = 150;
    // Sectors between the audio session and the data session of an enhanced
    // CD (the first session's lead-out, the second's lead-in and pre-gap).
    static constexpr int32_t kSessionGapSectors = 11400;

    CCdioDisc();
    ~CCdioDisc();

    CCdioDisc(const CCdioDisc&) = delete;
    CCdioDisc& operator=(const CCdioDisc&) = delete;

    // The device paths of the system's CD drives, with or without a disc.
    static std::vector<std::wstring> ListDrives();

    // Whether a CD path names something that can be read now: a disc holding
    // at least one audio track, and for a track path an audio track of that
    // number.
    static bool Exists(const wchar_t* path);

    // The volume paths of the CD drives that hold a disc with at least one
    // audio track, in the order the system lists the drives.
    static std::vector<std::wstring> ListAudioVolumes();

    // Opens the disc of a CD path (its volume); false when the path is no CD
    // path, the drive holds no readable disc or the image cannot be read.
    bool Open(const wchar_t* path);
    void Close();
    bool IsOpen() const { return m_cdio != nullptr; }
    bool IsImage() const { return !m_imageDataPath.empty(); }
    // The volume path of the open disc.
    const std::wstring& GetVolumePath() const { return m_volume; }

    int GetFirstTrackNumber() const { return m_firstTrack; }
    int GetLastTrackNumber() const { return m_firstTrack + static_cast<int>(m_isAudio.size()) - 1; }
    int GetNumTracks() const { return static_cast<int>(m_isAudio.size()); }
    bool HasTrack(int number) const;
    bool IsAudioTrack(int number) const;
    // First sector of a track; the track after the last gives the lead-out.
    // -1 for any other number.
    int32_t GetTrackStartLsn(int number) const;
    int32_t GetLeadOutLsn() const { return m_starts.empty() ? -1 : m_starts.back(); }
    // The sector after the last one of the audio of a track: the next track's
    // start, or, when the next track opens a later session (an enhanced CD),
    // the start of the session gap. -1 for a track that doesn't exist.
    int32_t GetTrackEndLsn(int number) const;

    // The lowest and highest numbers of audio tracks; 0 when there is none.
    int GetFirstAudioTrackNumber() const;
    int GetLastAudioTrackNumber() const;

    // Reads count whole audio sectors from lsn into dst (count x 2352 bytes).
    // False, with dst zero-filled, when any of them lies outside the disc or
    // cannot be read; a part that was read is never passed off as whole.
    bool ReadAudioSectors(uint8_t* dst, int32_t lsn, uint32_t count);

    // The disc's CD-Text: the raw packs of a drive or of an image's
    // CDTEXTFILE, else the texts of the cue sheet. False when there is none.
    bool ReadCdText(CCdTextBlocks& out);

private:
    // The CDTEXTFILE named by the cue sheet, as a path; empty when none.
    std::string FindCdTextFileOfCue() const;
    // The same in the text of the cue sheet.
    std::string CdTextFileNamedBy(const std::string& cue) const;

    CdIo_t* m_cdio = nullptr;
    std::wstring m_volume;
    std::string m_cuePath;
    std::string m_imageDataPath;
    int m_firstTrack = 0;
    // Starts of the tracks in order, then the lead-out.
    std::vector<int32_t> m_starts;
    std::vector<bool> m_isAudio;
    int32_t m_lastSessionStart = -1;
};
