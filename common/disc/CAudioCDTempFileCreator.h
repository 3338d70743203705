#pragma once

#include "common/disc/CDiscBurnImp.h"

#include <cstdint>
#include <memory>
#include <string>

class CAiffFileWrite;
class CAudioMetaData;
class CMarker;

// Stages the audio rendered for an audio CD as one AIFF file per track
// (44100 Hz, 16 bits, 2 channels), "Track NN.aiff" in a temporary folder, and
// keeps the staged album the back end burns.
//
// Every track file is made of whole CD frames of 588 sample frames: the audio
// passes through a one-frame block buffer and the file only ever receives
// whole blocks while it is written. Closing a track normally writes what the
// buffer holds, pads to the next whole frame, adds one frame of silence and
// the silence the caller asked for, and pads the file to at least 4 seconds.
// A track continued gaplessly by the next one that already holds 4 seconds is
// closed as it is: the last partial frame stays in the buffer and becomes
// the start of the next file, so the audio is never cut.
//
// Every write of a track file is checked. A failed write or close fails the
// call that made it, takes no more audio for that track and marks the album
// failed (HasWriteFailed) until it is removed, so a damaged album is never
// burnt; the next track is staged as usual.
//
// Threads. One thread at a time: the converter thread writes while a burn
// session renders; the session opens and closes the disc before and after.
class CAudioCDTempFileCreator
{
public:
    static constexpr uint32_t kFramesPerBlock = 588;
    static constexpr uint32_t kSampleRate = 44100;
    static constexpr int64_t kMinTrackFrames = 4 * kSampleRate;

    CAudioCDTempFileCreator();
    virtual ~CAudioCDTempFileCreator();

    CAudioCDTempFileCreator(const CAudioCDTempFileCreator&) = delete;
    CAudioCDTempFileCreator& operator=(const CAudioCDTempFileCreator&) = delete;

    // Removes any staged album and sets the folder (a path delimiter is
    // appended when missing); false for an empty text.
    bool OpenDisc(const wchar_t* folder);
    // Removes any staged album and starts a new one; false when no folder is
    // set.
    bool OpenAlbum(const wchar_t* title, const wchar_t* performer);
    // Closes the open track and opens the next track file. False, with the
    // album's track list as before the call, when no album is open, the
    // previous track could not be completed or the file cannot be created.
    bool OpenNewTrack(uint32_t preGapFrames, uint32_t silenceBlocks);
    // Takes n frames of two channels of left-justified 32-bit samples;
    // answers n, or 0 when no track is open or a write of the open track's
    // file failed.
    uint32_t WriteAudioData(int32_t** frames, uint32_t n);
    // Completes the open track (see above); true when there was none or it
    // was written and closed completely.
    bool CloseTrack(bool gapless);

    const AudioCDAlbumTrackList& GetAlbumTrackList() const { return m_album; }
    bool IsAlbumOpen() const { return m_bAlbumOpen; }
    bool IsTrackOpen() const { return m_writer != nullptr; }
    bool HasWriteFailed() const { return m_bWriteFailed; }
    // The markers and song information of the open track file; null when no
    // track is open.
    CMarker* GetMarkerPtrCurrentTrack();
    CAudioMetaData* GetMetaDataPtrCurrentTrack();

    // Discards the open track, deletes every staged file and empties the
    // album.
    void Remove();
    // Remove, then forgets the folder.
    void CloseDisc();

    // The file name of track number n (1-based): "Track 01.aiff" .. "Track
    // 99.aiff", "Track 100.aiff".
    static std::wstring TrackFileName(size_t number);
    // CD frames of a pre-gap or of trailing silence given in seconds:
    // seconds x 44100 truncated, divided by 588 with the remainder dropped;
    // negative, NaN and values below one frame give 0, and the value is
    // limited to an hour.
    static uint32_t SecondsToBlocks(float seconds);
    // The bytes an album takes on an audio CD: every track's frames rounded
    // up to whole CD frames and its pre-gap (at least two seconds before the
    // first track), 2352 bytes per frame.
    static int64_t GetAlbumDiscBytes(const AudioCDAlbumTrackList& album);
    // Where the samples of a staged track file lie, for back ends that hand
    // them to a drive as they are: the byte offset of the first sample and
    // the number of frames (big-endian 16-bit stereo, 4 bytes a frame).
    // False when the file is no AIFF file of 44100 Hz 16-bit stereo samples
    // or is shorter than its samples.
    static bool LocateTrackSamples(const std::wstring& path, int64_t* offset, int64_t* frames);

private:
    bool WriteBlocks(int32_t* const* frames, uint32_t offset, uint32_t n);
    bool WriteSilence(int64_t frames);
    bool Fail();
    void FinishRecord();

    int32_t m_block[2][kFramesPerBlock] = {};
    int32_t* m_blockPtrs[2];
    uint32_t m_blockFrames = 0;
    std::unique_ptr<CAiffFileWrite> m_writer;
    std::wstring m_folder;
    AudioCDAlbumTrackList m_album;
    bool m_bAlbumOpen = false;
    // A write of the open track failed.
    bool m_bTrackFailed = false;
    // A write of any track of the album failed.
    bool m_bWriteFailed = false;
    uint32_t m_silenceBlocks = 0;
};
