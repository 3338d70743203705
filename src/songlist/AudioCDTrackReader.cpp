#include "src/songlist/AudioCDTrackReader.h"

#include "common/disc/linux/CCddbReadImpLinux.h"
#include "common/file/CAudioCDRead.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/TrackInfo.h"

#include <vector>

namespace Vextal
{
namespace
{
using TextGetter = int (CCddbReadImp::*)(wchar_t*, uint32_t, int32_t);

juce::String TrackText(CCddbReadImp& titles, TextGetter getter, int track, bool* found = nullptr)
{
    std::vector<wchar_t> buffer(AudioCDTrackReader::kTextBufferSize, L'\0');
    const int length = (titles.*getter)(buffer.data(), static_cast<uint32_t>(buffer.size()), track);
    if (found != nullptr)
        *found = length > 0;
    return juce::String(buffer.data());
}

void FillIfEmpty(TrackInfo& song, int index, const juce::String& text)
{
    if (song.getText(index).isEmpty())
        song.setText(index, text, true);
}
} // namespace

AudioCDTrackReader::AudioCDTrackReader(const juce::String& volumePath)
{
    m_cd = std::make_unique<CAudioCDRead>(true);
    if (m_cd->OpenFile(volumePath.toWideCharPointer()) != 0)
    {
        m_cd.reset();
        return;
    }
    m_titles = std::make_unique<CCddbReadImpLinux>();
    if (m_titles->OpenDrive(volumePath.toWideCharPointer()) != 0)
    {
        m_titles.reset();
        return;
    }
    std::vector<wchar_t> buffer(kTextBufferSize, L'\0');
    m_titles->GetAlbumArtist(buffer.data(), kTextBufferSize);
    m_albumArtist = juce::String(buffer.data());
    std::fill(buffer.begin(), buffer.end(), L'\0');
    m_titles->GetAlbumTitle(buffer.data(), kTextBufferSize);
    m_albumTitle = juce::String(buffer.data());
}

AudioCDTrackReader::~AudioCDTrackReader() = default;

bool AudioCDTrackReader::isReady() const
{
    return m_cd != nullptr && m_index < m_cd->GetNumTracks();
}

double AudioCDTrackReader::getCurrentProgress() const
{
    return isReady() ? static_cast<double>(m_index) / m_cd->GetNumTracks() : 1.0;
}

std::unique_ptr<TrackInfo> AudioCDTrackReader::next()
{
    if (!isReady() || !m_cd->SelectTrack(m_index))
        return nullptr;
    auto song = std::make_unique<TrackInfo>(m_cd.get());
    if (m_titles != nullptr)
        fillTitles(*song, m_index);
    juce::String name = juce::File::createLegalFileName(song->getText(TrackInfo::kTitle));
    if (name.isEmpty())
        name =
            CZJEResource::GetText("DiscOpen_SongNamePrefix") + juce::String::formatted(" %02d", m_index + 1);
    song->setText(TrackInfo::kSongName, name, true);
    ++m_index;
    return song;
}

void AudioCDTrackReader::fillTitles(TrackInfo& song, int track)
{
    FillIfEmpty(song, TrackInfo::kTitle, TrackText(*m_titles, &CCddbReadImp::GetTrackTitle, track));
    FillIfEmpty(song, TrackInfo::kAlbum, m_albumTitle);
    bool found = false;
    const juce::String artist = TrackText(*m_titles, &CCddbReadImp::GetTrackArtist, track, &found);
    FillIfEmpty(song, TrackInfo::kArtist, found ? artist : m_albumArtist);
    FillIfEmpty(song, TrackInfo::kGenre, TrackText(*m_titles, &CCddbReadImp::GetTrackGenre, track));
}
} // namespace Vextal
