// The songlist operations of the host: inserting and removing songs, the
// selection, the shuffle order, the combine and link availability, and the
// relay of song notices to the views registered for them.

#include "src/CVXHost.h"

#include "common/dsp/CAudioFilePlayer.h"
#include "common/file/CMarker.h"
#include "common/file/CSongRead.h"
#include "library/util/CCheckUtil.h"

#include <algorithm>
#include <cstdlib>

using Vextal::TrackInfo;

// ---------------------------------------------------------------------------
// The current song

void CVXHost::SetCurrentIndex(int index)
{
    if (m_hostMode == 1)
    {
        m_exportedSong = index;
        return;
    }
    m_currentSong = index;
    m_currentRecord = GetSong(index);
}

void CVXHost::FollowCurrentRecord()
{
    if (m_currentRecord == nullptr)
        return;
    for (int i = 0; i < GetNumSongs(); ++i)
    {
        if (m_songs[static_cast<size_t>(i)].get() == m_currentRecord)
        {
            m_currentSong = i;
            return;
        }
    }
    // The record has left the list: the index stays, naming what is there.
    m_currentRecord = nullptr;
}

void CVXHost::MarkCurrentRecord(TrackInfo* song)
{
    if (m_flaggedRecord != nullptr)
        m_flaggedRecord->setCurrentSong(false);
    m_flaggedRecord = song;
    if (song != nullptr)
        song->setCurrentSong(true);
}

TrackInfo* CVXHost::GetCurrentSong() const
{
    return GetSong(GetCurPlayTrack(m_hostMode));
}

// ---------------------------------------------------------------------------
// Inserting and removing

bool CVXHost::InsertTrack(int index, std::unique_ptr<TrackInfo> song)
{
    if (!VX_CHECK(song != nullptr))
        return false;
    const juce::ScopedLock sl(m_songLock);
    const int position = juce::jlimit(0, GetNumSongs(), index);
    TrackInfo* record = song.get();
    // Only the song the host made current carries the flag.
    if (record != m_flaggedRecord)
        record->setCurrentSong(false);
    m_songs.insert(m_songs.begin() + position, std::move(song));
    record->addListener(this);

    const int current = GetCurPlayTrack(m_hostMode);
    if (m_currentSong >= position)
        ++m_currentSong;
    if (m_hostMode == 1 && m_exportedSong >= position)
        ++m_exportedSong;
    if (current >= position)
        CallBackCurPlayTrackChanged();
    CallBackNumTracksChanged();
    return true;
}

std::unique_ptr<TrackInfo> CVXHost::RemoveTrack(int index, bool notify, bool adjustCurrent)
{
    const juce::ScopedLock sl(m_songLock);
    const int current = GetCurPlayTrack(m_hostMode);
    if (!IsValidIndex(index))
        return nullptr;
    TrackInfo* record = m_songs[static_cast<size_t>(index)].get();
    record->removeListener(this);
    if (current == index)
    {
        SetFromToPlayStatus(0);
        if (adjustCurrent)
        {
            SetPlayerStatus(kStatusStopped);
            SetCurPlayTrack(-1, true, false);
        }
    }
    std::unique_ptr<TrackInfo> removed = std::move(m_songs[static_cast<size_t>(index)]);
    m_songs.erase(m_songs.begin() + index);
    if (record == m_flaggedRecord)
        m_flaggedRecord = nullptr;
    FollowCurrentRecord();
    if (notify)
        CallBackNumTracksChanged();

    if (!m_songs.empty() && adjustCurrent)
    {
        if (current != index)
        {
            // A current index that names no record moves with the list.
            if (m_hostMode == 1 && current > index)
                m_exportedSong = current - 1;
            else if (m_hostMode == 0 && m_currentRecord == nullptr && current > index)
                m_currentSong = current - 1;
            if (notify)
                CallBackCurPlayTrackChanged();
        }
        else
        {
            SetCurPlayTrack(index < GetNumSongs() ? index : 0, true, false);
        }
    }
    return removed;
}

void CVXHost::CallBackNumTracksChanged()
{
    if (m_songs.empty())
        EjectCurrentSong();
    refreshShuffledList();
    const int count = GetNumSongs();
    NotifyListeners([this, count](CVXHostListener& l) { l.OnVXHostNumTracksChanged(this, count); });
}

void CVXHost::CallBackCurPlayTrackChanged()
{
    const int index = GetCurPlayTrack(m_hostMode == 0 ? 0 : 1);
    NotifyListeners([this, index](CVXHostListener& l) { l.OnVXHostCurPlayTrackChanged(this, index); });
}

// ---------------------------------------------------------------------------
// Selection, shuffle order, command availability

void CVXHost::SetSelectedSongs(const juce::SparseSet<int>& selection, bool scrollToIt)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (selection == m_selection)
        return;
    m_selection = selection;
    refreshCommandAvailabilities();
    NotifyListeners([this, scrollToIt](CVXHostListener& l)
                    { l.OnVXHostSelectedSongsChanged(this, m_selection, scrollToIt); });
}

void CVXHost::SetSelectedSongs(int first, int count, bool scrollToIt)
{
    juce::SparseSet<int> selection;
    if (count > 0)
        selection.addRange({first, first + count});
    SetSelectedSongs(selection, scrollToIt);
}

void CVXHost::refreshShuffledList()
{
    const int count = GetNumSongs();
    m_shuffleOrder.resize(static_cast<size_t>(count));
    std::srand(static_cast<unsigned>(juce::Time::currentTimeMillis() & 0xFFFFFFFF));
    for (int i = 0; i < count; ++i)
        m_shuffleOrder[static_cast<size_t>(i)] = i;
    const int current = GetCurPlayTrack(m_hostMode);
    if (current >= 0 && current < count)
        std::swap(m_shuffleOrder[0], m_shuffleOrder[static_cast<size_t>(current)]);
    m_shufflePosition = 0;
    // The current song stays first; the others are shuffled uniformly.
    for (int i = count - 1; i >= 2; --i)
        std::swap(m_shuffleOrder[static_cast<size_t>(i)],
                  m_shuffleOrder[static_cast<size_t>(std::rand() % i + 1)]);
}

void CVXHost::refreshCommandAvailabilities()
{
    m_canCombine = m_canLink = false;
    const int selected = m_selection.size();
    if (selected < 2 || m_hostMode != 0)
        return;
    m_canCombine = true;
    for (int k = 1; k < selected && m_canCombine; ++k)
    {
        const TrackInfo* first = GetSong(m_selection[k - 1]);
        m_canCombine = first != nullptr && first->canCombineWith(GetSong(m_selection[k]), false);
    }
    m_canLink = selected % 2 == 0;
    for (int k = 0; k + 1 < selected && m_canLink; k += 2)
    {
        const TrackInfo* first = GetSong(m_selection[k]);
        m_canLink = first != nullptr && first->canLinkWith(GetSong(m_selection[k + 1]));
    }
}

// ---------------------------------------------------------------------------
// Song notices

void CVXHost::RelaySongNotice(TrackInfo* song, const std::function<void(Vextal::TrackInfoListener&)>& f)
{
    std::vector<std::pair<Vextal::TrackInfoListener*, int>> entries;
    {
        const juce::ScopedLock sl(m_listenerLock);
        entries = m_songListeners;
    }
    const TrackInfo* current = GetCurrentSong();
    for (const auto& [listener, filter] : entries)
    {
        const bool selects =
            filter == -1 || (filter == -2 && song == current) || (filter >= 0 && GetSong(filter) == song);
        if (!selects)
            continue;
        {
            // A registration removed by an earlier listener of this pass is
            // not called.
            const juce::ScopedLock sl(m_listenerLock);
            if (std::find(m_songListeners.begin(), m_songListeners.end(), std::make_pair(listener, filter)) ==
                m_songListeners.end())
                continue;
        }
        f(*listener);
    }
}

void CVXHost::songMarkerChanged(TrackInfo* song, int markerIndex)
{
    if (song != nullptr && song == GetCurrentSong())
    {
        if (CMarker* markers = m_player->GetMarkerPtr())
            markers->CopyAll(song->getMarkers());
    }
    RelaySongNotice(song, [song, markerIndex](Vextal::TrackInfoListener& l)
                    { l.songMarkerChanged(song, markerIndex); });
}

void CVXHost::songTextChanged(TrackInfo* song, int textIndex)
{
    RelaySongNotice(song,
                    [song, textIndex](Vextal::TrackInfoListener& l) { l.songTextChanged(song, textIndex); });
}

void CVXHost::songPictureChanged(TrackInfo* song)
{
    RelaySongNotice(song, [song](Vextal::TrackInfoListener& l) { l.songPictureChanged(song); });
}

void CVXHost::songControlChanged(TrackInfo* song, int controlId)
{
    // A change of the current song reaches the player at once.
    if (song != nullptr && song == GetCurrentSong())
        song->copyControlsTo(m_player->GetDynamicControlParamsPtr(), false);
    RelaySongNotice(song, [song, controlId](Vextal::TrackInfoListener& l)
                    { l.songControlChanged(song, controlId); });
}

void CVXHost::songReloaded(TrackInfo* song)
{
    RelaySongNotice(song, [song](Vextal::TrackInfoListener& l) { l.songReloaded(song); });
}
