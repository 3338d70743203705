#pragma once

#include "common/file/CAudioFileReadBase.h"

#include <cstdint>
#include <string>
#include <vector>

class CPlaylistTrack;

// One track of the song model opened as a single audio source: the parts of
// its files play back to back, and positions, length, markers and reads run
// straight across the joins.
//
// Every file must have the first file's sample rate and channel count; bit
// depths and formats may differ. A part that refers to an audio CD is read
// through the per-track CD reader.
//
// A file that delivers fewer frames than it declared (a read that comes up
// short without a read error) is taken to end where its audio ended: the
// stream's length shrinks by the missing frames and reading goes on with the
// next file, so that the stream always reaches its end.
//
// While no file is open the stream reports 44100 Hz, 16 bits, 0 channels,
// 0 frames and lossless, and reads deliver nothing.
class CTrackRead : public CAudioPlayerInput
{
public:
    CTrackRead();
    ~CTrackRead() override;

    uint32_t GetSampleRate() override;
    uint16_t GetBitsPerSample() override;
    uint16_t GetNumChannels() override;
    uint32_t GetBitRate() override;
    bool IsLossless() override;
    bool IsCompressed() override;
    bool IsVBR() override;
    bool IsFloatingPoint() override;
    int64_t GetNumSamples() override;
    int64_t GetCurSamplePosition() override;
    // A position past the end goes to the end of the last file; a position
    // exactly at a join selects the earlier file at its end.
    void SetCurSamplePosition(int64_t frame) override;

    // The buffers are written from dstOffset on; frames the files cannot
    // deliver are silence.
    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override;
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override;
    uint32_t ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset) override;

    CAudioMetaData* GetMetaDataPtr() override;
    bool AudioDataReadErrorOccured() override;
    bool IsProcessingInternally() override;
    void GiveInternalProcessPriority() override;
    double GetInternalProcessPercent() override;

    // The first file's format id; empty while no file is open.
    const char* GetFormatUniqueID();

    // Opens every part of the track in order; false, with nothing left open,
    // when any part fails. A track without parts opens as an empty stream.
    bool OpenTrack(const CPlaylistTrack* track);

    // Appends file frames absStart .. absStop-1 (absStop -1: to the end of the
    // file) of a file. False, with the stream as it was, when no reader opens
    // the file, mediaId is not 0 and differs from the file's, or the file's
    // rate or channel count differs from the first file's.
    bool AddAudioFile(const wchar_t* path, int64_t absStart, int64_t absStop, int mediaId);

    // Releases every file; the markers stay.
    void EjectAllFiles();

    // Writes into two track models the parts before and after a time of the
    // stream (seconds x rate, truncated; for 1-bit audio moved down to a
    // multiple of 8 frames). Each written part carries a concrete stop. A
    // cut on a join gives no empty part.
    void DividePlaylist(CPlaylistTrack* first, CPlaylistTrack* second, double seconds);
    // The same at a frame of the stream.
    void DividePlaylistAtSample(CPlaylistTrack* first, CPlaylistTrack* second, int64_t frame);

    // seconds x rate truncated toward zero, limited to the 64-bit range (0
    // for a value that is not a number).
    static int64_t SecondsToSample(double seconds, uint32_t rate);

protected:
    // Creates an opened reader for a path; null when none opens it.
    virtual CAudioFileReadBase* CreateFileReader(const wchar_t* path);

private:
    struct File
    {
        CAudioFileReadBase* reader;
        // The path the part names.
        std::wstring path;
        // Where the file's audio turned out to end; -1 while it is unknown
        // (the declared length holds).
        int64_t endFound;
    };

    // The frames of file i, as far as they can be read.
    int64_t FileLength(size_t i);
    // File i's position, at most its length.
    int64_t FilePosition(size_t i);
    // Replaces an audio-CD reader by the reader of the CD track that holds
    // absStart; null when that track cannot be opened (the reader given is
    // destroyed either way).
    CAudioFileReadBase* OpenCDTrack(CAudioFileReadBase* reader, const wchar_t* path, int64_t absStart);
    static void ReleaseReader(CAudioFileReadBase* reader);

    template <typename T>
    uint32_t Read(T** bufs, uint32_t n, uint32_t dstOffset);

    std::vector<File> m_files;
    uint32_t m_currentFile = 0;
};
