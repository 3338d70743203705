#pragma once

#include <cstdint>

// The album and track names of an audio CD, for the songs made from its
// tracks. Tracks are counted from 0 among the disc's audio tracks, in the
// order of their numbers.
//
// The text getters copy at most length - 1 characters and a terminator into
// the buffer and answer the number of characters copied (0 with an empty
// text when there is none).
class CCddbReadImp
{
public:
    virtual ~CCddbReadImp() = default;

    // 0 when the path names an audio CD whose names could be read, 1 when not.
    virtual int OpenDrive(const wchar_t* volumePath) = 0;
    virtual int GetAlbumTitle(wchar_t* buffer, uint32_t length) = 0;
    virtual int GetAlbumArtist(wchar_t* buffer, uint32_t length) = 0;
    virtual int GetTrackTitle(wchar_t* buffer, uint32_t length, int32_t track) = 0;
    virtual int GetTrackArtist(wchar_t* buffer, uint32_t length, int32_t track) = 0;
    virtual int GetTrackGenre(wchar_t* buffer, uint32_t length, int32_t track) = 0;
    virtual int GetTrackAlbum(wchar_t* buffer, uint32_t length, int32_t track) = 0;
};
