#include "common/disc/linux/CCddbReadImpLinux.h"

#include "common/disc/CCdTextInfoRead.h"
#include "common/disc/linux/CAudioCDPath.h"
#include "common/disc/linux/CCdioDisc.h"

#include <algorithm>

namespace
{
constexpr uint32_t kTextLength = 1024;

std::wstring ReadTitle(CCdTextInfoRead& text, uint8_t entry)
{
    wchar_t buffer[kTextLength] = {};
    const uint32_t n = text.GetTitle(buffer, kTextLength, entry);
    return std::wstring(buffer, n);
}
} // namespace

int CCddbReadImpLinux::OpenDrive(const wchar_t* volumePath)
{
    m_albumTitle.clear();
    m_trackTitles.clear();
    m_bOpen = false;

    const std::wstring root = CAudioCDPath::GetRoot(volumePath);
    CCdioDisc disc;
    if (root.empty() || !disc.Open(root.c_str()) || disc.GetFirstAudioTrackNumber() == 0)
        return 1;

    CCdTextInfoRead text;
    const bool haveText = text.OpenDrive(root.c_str()) == 0;
    if (haveText)
        m_albumTitle = ReadTitle(text, 0);
    if (m_albumTitle.empty())
        m_albumTitle = CAudioCDPath::GetVolumeName(root.c_str());

    // One title per audio track, in the order of the track numbers, so that
    // title i belongs to the audio reader's track i.
    if (haveText)
    {
        for (int t = disc.GetFirstAudioTrackNumber(); t <= disc.GetLastAudioTrackNumber(); ++t)
            m_trackTitles.push_back(ReadTitle(text, static_cast<uint8_t>(t)));
        const bool allEmpty = std::all_of(m_trackTitles.begin(), m_trackTitles.end(),
                                          [](const std::wstring& s) { return s.empty(); });
        const bool generic =
            m_trackTitles.size() >= 2 &&
            std::all_of(m_trackTitles.begin(), m_trackTitles.end(),
                        [this](const std::wstring& s) { return s == m_trackTitles.front(); });
        if (allEmpty || generic)
            m_trackTitles.clear();
    }
    m_bOpen = true;
    return 0;
}

int CCddbReadImpLinux::Copy(const std::wstring& text, wchar_t* buffer, uint32_t length)
{
    if (buffer == nullptr || length == 0)
        return 0;
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(text.size(), length - 1));
    std::copy_n(text.data(), n, buffer);
    buffer[n] = L'\0';
    return static_cast<int>(n);
}

int CCddbReadImpLinux::GetAlbumTitle(wchar_t* buffer, uint32_t length)
{
    return Copy(m_albumTitle, buffer, length);
}

int CCddbReadImpLinux::GetAlbumArtist(wchar_t* buffer, uint32_t length)
{
    return Copy(std::wstring(), buffer, length);
}

int CCddbReadImpLinux::GetTrackTitle(wchar_t* buffer, uint32_t length, int32_t track)
{
    const bool inRange = track >= 0 && static_cast<size_t>(track) < m_trackTitles.size();
    return Copy(inRange ? m_trackTitles[static_cast<size_t>(track)] : std::wstring(), buffer, length);
}

int CCddbReadImpLinux::GetTrackArtist(wchar_t* buffer, uint32_t length, int32_t)
{
    return Copy(std::wstring(), buffer, length);
}

int CCddbReadImpLinux::GetTrackGenre(wchar_t* buffer, uint32_t length, int32_t)
{
    return Copy(std::wstring(), buffer, length);
}

int CCddbReadImpLinux::GetTrackAlbum(wchar_t* buffer, uint32_t length, int32_t)
{
    return Copy(m_albumTitle, buffer, length);
}
