#pragma once

#include "common/file/CAudioFileReadBase.h"
#include "common/file/CSequenceReadBase.h"

#include <cstdint>
#include <memory>
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
// next file, so that the stream always reaches its end. Positions, reads and
// the format come from the sequence base, one part per file.
//
// While no file is open the stream reports 44100 Hz, 16 bits, 0 channels,
// 0 frames and lossless, and reads deliver nothing.
class CTrackRead : public CSequenceReadBase
{
public:
    CTrackRead();
    ~CTrackRead() override;

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
    virtual std::unique_ptr<CAudioFileReadBase> CreateFileReader(const wchar_t* path);
    // A reader still preparing its audio in the background is handed to the
    // decode manager, which destroys it once it is done.
    void DisposePart(std::unique_ptr<CAudioPlayerInput> part) override;

private:
    // The reader of file i (every part is one).
    CAudioFileReadBase* GetReader(size_t i) const { return static_cast<CAudioFileReadBase*>(GetPart(i)); }
    // Replaces an audio-CD reader by the reader of the CD track that holds
    // absStart; null when that track cannot be opened.
    std::unique_ptr<CAudioFileReadBase> OpenCDTrack(std::unique_ptr<CAudioFileReadBase> disc,
                                                    const wchar_t* path, int64_t absStart);

    // The path each file's part names, in part order.
    std::vector<std::wstring> m_paths;
};
