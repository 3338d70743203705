#pragma once

#include "common/disc/CCdTextInfoRead.h"
#include "common/disc/linux/CCdioDisc.h"
#include "common/file/CPcmFileBase.h"

#include <cstdint>
#include <string>
#include <vector>

// Reads an audio CD (a drive or a BIN/CUE disc image, named as CAudioCDPath
// describes) as one stream of 44100 Hz 16-bit stereo, from the start of its
// first audio track to the end of its last, with a marker at every track
// start, the CD-Text of the disc as song information and the disc's CDDB
// identifier as media id. SelectTrack narrows the stream to one track.
//
// Positions given to and answered by the reader are "CD positions": frames
// counted from the start of the disc's first audio track. Tracks are counted
// from 0 among the tracks from the first audio track to the last; the disc's
// own track numbers are used only for CD-Text and track paths.
//
// A read that fails (a damaged disc, a disc image cut short) ends the read:
// the frames not read are silence and AudioDataReadErrorOccured() turns true
// until the next seek or window change. Data that was not read is never
// delivered.
//
// The reader reads no file of its own: GetFileName() answers the disc's
// volume path.
class CAudioCDRead : public CPcmFileReadBase
{
public:
    static constexpr uint32_t kSampleRate = 44100;
    static constexpr uint16_t kBitsPerSample = 16;
    static constexpr uint16_t kNumChannels = 2;
    // The OpenFile result for a path that names no CD volume that is present.
    static constexpr int kNoCDFound = 1;

    // With readCdText, OpenFile reads the disc's CD-Text into the song
    // information.
    explicit CAudioCDRead(bool readCdText);
    ~CAudioCDRead() override;

    // Opens the disc of a volume path, or the disc of a track path with that
    // track selected. 0 opened; 1 the path names no CD volume that is
    // present; 2 the disc cannot be read or holds no audio; 3 a track path
    // naming no audio track of the disc.
    int OpenFile(const wchar_t* path) override;
    void CloseFile() override;
    const char* GetFormatUniqueID() override { return "CD"; }
    int GetMediaUniqueID() override { return m_mediaId; }
    const wchar_t* GetFileName() override { return m_volume.c_str(); }

    uint32_t GetSampleRate() override { return kSampleRate; }
    uint16_t GetBitsPerSample() override { return kBitsPerSample; }
    uint16_t GetNumChannels() override { return kNumChannels; }

    int64_t GetNumSamples() override;
    int64_t GetCurSamplePosition() override;
    // Positions outside the window are limited to it.
    void SetCurSamplePosition(int64_t frame) override;
    // CD positions: start is limited to 0 .. the CD's length, end to the
    // length; an end at or before start means the end of the CD. The markers
    // are those of the track starts inside the window.
    void ExtractData(int64_t start, int64_t end) override;
    int64_t GetAbsStartSample() override;

    using CPcmFileReadBase::ReadAudioData;
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override;
    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override;
    bool AudioDataReadErrorOccured() override { return m_bReadError; }

    // Tracks from the first audio track to the last; 0 while closed.
    int GetNumTracks();
    // The CD position of track i's start; the CD's length for i equal to
    // GetNumTracks(); 0 for any other i or while closed.
    int64_t GetTrackStartPosition(int i);
    // The track holding a CD position: the last one starting at or before
    // it; 0 while closed.
    int GetTrackNumber(int64_t cdPosition);
    // The disc's own number of track i (the number CD-Text and track paths
    // use); 0 for an i out of range.
    int GetDiscTrackNumber(int i);
    // Narrows the stream to track i, without markers, with the track's
    // CD-Text as song information; false for an i out of range.
    bool SelectTrack(int i);

protected:
    virtual void SetupMetaDataFromAlbum();
    virtual void SetupPlayerMarkersFromAlbum();
    void SetupMetaDataFromTrack(int i);

    bool IsDiscOpen() const { return m_disc.IsOpen(); }
    int64_t GetCDLength() const { return m_cdEnd - m_cdStart; }

private:
    static constexpr uint32_t kSectorsPerRead = 16;
    static constexpr uint32_t kScratchFrames = 4096;

    void SetText(int field, bool performer, uint8_t entry);
    // Reads the sectors from the current position on into the buffer; false
    // when they cannot be read.
    bool FillBuffer();

    bool m_bReadCdText;
    bool m_bCdTextOpen = false;
    CCdTextInfoRead m_cdText;
    CCdioDisc m_disc;
    std::wstring m_volume;
    int m_firstAudioTrack = 0;
    int m_lastAudioTrack = 0;
    int m_mediaId = 0;

    // Frames counted from the disc's first sector.
    int64_t m_cdStart = 0;
    int64_t m_cdEnd = 0;
    int64_t m_windowStart = 0;
    int64_t m_windowEnd = 0;
    int64_t m_position = 0;

    std::vector<uint8_t> m_buffer;
    int64_t m_bufferStart = 0;
    int64_t m_bufferFrames = 0;
    bool m_bReadError = false;

    std::vector<int32_t> m_scratch;
};
