#pragma once

#include "common/file/CAudioCDRead.h"

// Reads one track of an audio CD for a song that plays from the disc. The
// song's stream opens the disc with the factory's reader, asks it for the
// track that holds the song's start and closes it, then opens this reader on
// that track.
//
// Positions are CD positions, as for CAudioCDRead; the media id is the
// disc's identifier. The window starts as the track; ExtractData may widen it
// over the track's end into the following tracks, so that a song running
// across a track boundary plays whole. The reader keeps no markers and, unless
// constructed to, reads no CD-Text.
class CAudioCDReadWorkAroundLinux : public CAudioCDRead
{
public:
    explicit CAudioCDReadWorkAroundLinux(bool readCdText = false);
    ~CAudioCDReadWorkAroundLinux() override;

    // Opens a track path; a volume path opens the disc's first audio track.
    // Results as CAudioCDRead::OpenFile.
    int OpenFile(const wchar_t* path) override;
    // Opens track trackIndex (counted from 0 as CAudioCDRead counts tracks)
    // of the disc a CD path names. The track's start is taken from the disc
    // itself; trackOffset, the CD position the caller found for it, is kept
    // for GetTrackOffset(). 0 opened; 1 or 2 as CAudioCDRead::OpenFile; 3
    // the disc has no such track.
    int OpenTrack(const wchar_t* volumePath, int trackIndex, int64_t trackOffset);
    void CloseFile() override;

    // As CAudioCDRead::ExtractData, except that an end at or before start
    // means the end of the track holding start.
    void ExtractData(int64_t start, int64_t end) override;

    int64_t GetTrackOffset() const { return m_trackOffset; }

protected:
    void SetupPlayerMarkersFromAlbum() override;

private:
    int64_t m_trackOffset = 0;
};
