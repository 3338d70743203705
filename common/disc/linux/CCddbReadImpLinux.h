#pragma once

#include "common/disc/CCddbReadImp.h"

#include <string>
#include <vector>

// The album and track titles of an audio CD in a drive or a disc image.
//
// The album title is the disc's CD-Text title in the user's language, else
// the volume's name (the name of a disc image; a drive names no disc). The
// track titles are the CD-Text titles of the audio tracks in the order of
// their track numbers; when there are at least two and all are alike (a
// generic name) there are none. Artists and genres are not known here.
class CCddbReadImpLinux : public CCddbReadImp
{
public:
    CCddbReadImpLinux() = default;
    ~CCddbReadImpLinux() override = default;

    // Takes any CD path (volume or track path, see CAudioCDPath). 1 when the
    // path names no disc with an audio track.
    int OpenDrive(const wchar_t* volumePath) override;
    int GetAlbumTitle(wchar_t* buffer, uint32_t length) override;
    int GetAlbumArtist(wchar_t* buffer, uint32_t length) override;
    int GetTrackTitle(wchar_t* buffer, uint32_t length, int32_t track) override;
    int GetTrackArtist(wchar_t* buffer, uint32_t length, int32_t track) override;
    int GetTrackGenre(wchar_t* buffer, uint32_t length, int32_t track) override;
    int GetTrackAlbum(wchar_t* buffer, uint32_t length, int32_t track) override;

    bool IsOpen() const { return m_bOpen; }
    int GetNumTrackTitles() const { return static_cast<int>(m_trackTitles.size()); }

private:
    static int Copy(const std::wstring& text, wchar_t* buffer, uint32_t length);

    std::wstring m_albumTitle;
    std::vector<std::wstring> m_trackTitles;
    bool m_bOpen = false;
};
