// The songlist operations of the host: inserting and removing songs, unique
// song names, linking, combining, dividing and moving songs, the selection,
// the shuffle order, the combine and link availability, the songlist's file
// and modified flag, and the relay of song notices to the views registered
// for them.

#include "src/songlist/CVXHost.h"

#include "common/dsp/CAudioFilePlayer.h"
#include "common/file/CMarker.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/CSongRead.h"
#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJESparseSet.h"

#include <algorithm>
#include <random>
#include <unordered_map>
#include <unordered_set>

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
    for (int near : {m_currentSong, m_currentSong - 1, m_currentSong + 1})
    {
        if (GetSong(near) == m_currentRecord)
        {
            m_currentSong = near;
            return;
        }
    }
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

void CVXHost::StopPlayback()
{
    SetPlayerStatus(kStatusStopped);
    m_player->Stop();
}

// ---------------------------------------------------------------------------
// Inserting and removing

bool CVXHost::InsertTrack(int index, std::unique_ptr<TrackInfo> song)
{
    if (!VX_CHECK(song != nullptr))
        return false;
    const juce::ScopedLock sl(m_songLock);
    const int position = juce::jlimit(0, GetNumSongs(), index);
    AttachSong(song.get());
    m_songs.insert(m_songs.begin() + position, std::move(song));

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
    DetachSong(m_songs[static_cast<size_t>(index)].get());
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

void CVXHost::AttachSong(TrackInfo* record)
{
    // Only the song the host made current carries the flag.
    if (record != m_flaggedRecord)
        record->setCurrentSong(false);
    m_names.add(record, record->getText(TrackInfo::kSongName));
    record->addListener(this);
}

void CVXHost::DetachSong(TrackInfo* record)
{
    record->removeListener(this);
    m_names.remove(record);
    if (record == m_flaggedRecord)
        m_flaggedRecord = nullptr;
}

void CVXHost::InsertTracks(std::vector<std::pair<int, std::unique_ptr<TrackInfo>>> songs)
{
    VX_ASSERT_MESSAGE_THREAD();
    const juce::ScopedLock sl(m_songLock);
    const int current = GetCurPlayTrack(m_hostMode);
    std::vector<std::unique_ptr<TrackInfo>> old = std::move(m_songs);
    m_songs.clear();
    m_songs.reserve(old.size() + songs.size());
    size_t next = 0;
    int previous = -1;
    for (auto& [index, song] : songs)
    {
        // Each song goes where inserting them one by one, in order, puts it.
        const int size = static_cast<int>(m_songs.size() + (old.size() - next));
        const int position = juce::jlimit(previous + 1, size, index);
        while (static_cast<int>(m_songs.size()) < position)
            m_songs.push_back(std::move(old[next++]));
        if (!VX_CHECK(song != nullptr))
            continue;
        AttachSong(song.get());
        m_songs.push_back(std::move(song));
        if (m_currentSong >= position)
            ++m_currentSong;
        if (m_hostMode == 1 && m_exportedSong >= position)
            ++m_exportedSong;
        previous = position;
    }
    while (next < old.size())
        m_songs.push_back(std::move(old[next++]));
    if (GetCurPlayTrack(m_hostMode) != current)
        CallBackCurPlayTrackChanged();
    CallBackNumTracksChanged();
}

CVXHost::TakenSongs CVXHost::RemoveTracks(const std::vector<int>& indices)
{
    VX_ASSERT_MESSAGE_THREAD();
    const juce::ScopedLock sl(m_songLock);
    TakenSongs taken(indices.size());
    std::vector<int> slot(m_songs.size(), -1);
    for (size_t k = 0; k < indices.size(); ++k)
        if (IsValidIndex(indices[k]) && slot[static_cast<size_t>(indices[k])] < 0)
            slot[static_cast<size_t>(indices[k])] = static_cast<int>(k);
    const int current = GetCurPlayTrack(m_hostMode);
    const bool currentRemoved = IsValidIndex(current) && slot[static_cast<size_t>(current)] >= 0;
    if (currentRemoved)
    {
        SetFromToPlayStatus(0);
        StopPlayback();
        SetCurPlayTrack(-1, true, false);
    }
    std::vector<std::unique_ptr<TrackInfo>> old = std::move(m_songs);
    m_songs.clear();
    int removedBeforeCurrent = 0;
    int removedBeforeExported = 0;
    for (size_t i = 0; i < old.size(); ++i)
    {
        const int k = slot[i];
        if (k < 0)
        {
            m_songs.push_back(std::move(old[i]));
            continue;
        }
        DetachSong(old[i].get());
        taken[static_cast<size_t>(k)] = std::move(old[i]);
        removedBeforeCurrent += static_cast<int>(i) < current ? 1 : 0;
        removedBeforeExported += static_cast<int>(i) < m_exportedSong ? 1 : 0;
    }
    if (m_hostMode == 1)
        m_exportedSong -= removedBeforeExported;
    else if (m_currentRecord == nullptr && !currentRemoved && current >= 0)
        m_currentSong = current - removedBeforeCurrent;
    FollowCurrentRecord();
    CallBackNumTracksChanged();
    if (currentRemoved && !m_songs.empty())
    {
        // The first song after the current one that stays takes its place,
        // else the first song.
        const int next = current - removedBeforeCurrent;
        SetCurPlayTrack(next < GetNumSongs() ? next : 0, true, false);
    }
    else if (GetCurPlayTrack(m_hostMode) != current)
    {
        CallBackCurPlayTrackChanged();
    }
    return taken;
}

void CVXHost::CallBackNumTracksChanged()
{
    if (m_songs.empty())
        EjectCurrentSong();
    m_shuffleStale = true;
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
    RebuildShuffleOrder();
}

void CVXHost::EnsureShuffleOrder() const
{
    if (m_shuffleStale)
        RebuildShuffleOrder();
}

void CVXHost::RebuildShuffleOrder() const
{
    m_shuffleStale = false;
    const int count = GetNumSongs();
    m_shuffleOrder.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        m_shuffleOrder[static_cast<size_t>(i)] = i;
    const int current = GetCurPlayTrack(m_hostMode);
    if (current >= 0 && current < count)
        std::swap(m_shuffleOrder[0], m_shuffleOrder[static_cast<size_t>(current)]);
    m_shufflePosition = 0;
    if (count < 3)
        return;
    const uint32_t seed = m_services.shuffleSeed
                              ? m_services.shuffleSeed()
                              : static_cast<uint32_t>(juce::Time::currentTimeMillis() & 0xFFFFFFFF);
    std::minstd_rand random(seed);
    // The current song stays first; the others are shuffled uniformly.
    for (int i = count - 1; i >= 2; --i)
    {
        const auto j = static_cast<size_t>(random() % static_cast<uint32_t>(i) + 1);
        std::swap(m_shuffleOrder[static_cast<size_t>(i)], m_shuffleOrder[j]);
    }
}

const std::vector<int>& CVXHost::GetShuffleOrder() const
{
    EnsureShuffleOrder();
    return m_shuffleOrder;
}

int CVXHost::GetShufflePosition() const
{
    EnsureShuffleOrder();
    return m_shufflePosition;
}

void CVXHost::refreshCommandAvailabilities()
{
    m_canCombine = m_canLink = false;
    if (m_hostMode != 0)
        return;
    const std::vector<int> selected = CZJESparseSet::valuesOf(m_selection);
    if (selected.size() < 2)
        return;
    m_canCombine = CanCombineSongs(selected);
    m_canLink = selected.size() % 2 == 0;
    for (size_t k = 0; k + 1 < selected.size() && m_canLink; k += 2)
    {
        const TrackInfo* first = GetSong(selected[k]);
        m_canLink = first != nullptr && first->canLinkWith(GetSong(selected[k + 1]));
    }
}

bool CVXHost::CanCombineSongs(const std::vector<int>& indices) const
{
    if (indices.size() < 2)
        return false;
    for (size_t k = 1; k < indices.size(); ++k)
    {
        const TrackInfo* first = GetSong(indices[k - 1]);
        if (first == nullptr || !first->canCombineWith(GetSong(indices[k]), false))
            return false;
    }
    // The combined song holds at most the parts of all of them (a mono song
    // keeps one section), and must stay a song the songlist reads back.
    CPlaylistSong::PartCounts parts;
    for (const int index : indices)
        parts += GetSong(index)->getSong()->CountParts();
    return parts.IsWithinLimit();
}

// ---------------------------------------------------------------------------
// Song names

namespace
{
juce::String LegalSongName(const juce::String& name)
{
    return juce::File::createLegalFileName(name).trimEnd();
}
} // namespace

juce::String CVXHost::SongNameChecker(const juce::String& candidate) const
{
    juce::String legal = LegalSongName(candidate);
    if (legal.isEmpty())
        legal = "_";
    const juce::ScopedLock sl(m_songLock);
    if (m_names.count(legal) == 0)
        return legal;
    juce::String base = legal;
    int number = -1;
    Vextal::StripNameOfNumber(base, number);
    // The taken name itself carries a number on base, so there is a highest.
    const int highest = m_names.highestNumber(base).value_or(number);
    int next = std::max(std::max(highest, number), 0) + 1;
    // A name with more digits than a number may have is a plain name and
    // may bear the number just found.
    while (m_names.count(base + "." + juce::String(next)) > 0)
        ++next;
    return base + "." + juce::String(next);
}

juce::String CVXHost::SongNameCheckerRename(const juce::String& newName, const juce::String& oldName,
                                            int ownIndex) const
{
    if (newName == oldName)
        return newName;
    const juce::String legal = LegalSongName(newName);
    const juce::ScopedLock sl(m_songLock);
    const TrackInfo* own = GetSong(ownIndex);
    const int others = m_names.count(legal) - (own != nullptr && m_names.nameOf(own) == legal ? 1 : 0);
    return others > 0 ? juce::String() : legal;
}

// ---------------------------------------------------------------------------
// Link and combine

std::unique_ptr<TrackInfo> CVXHost::MakeLinkedSong(const TrackInfo& first, const TrackInfo& second) const
{
    auto linked = std::make_unique<TrackInfo>(first);
    linked->setControl(TrackInfo::kBalance, 0.0f, true);
    const CPlaylistSong* from = second.getSong();
    CPlaylistSong* to = linked->getSong();
    // The second song's channels join the first's, section by section.
    for (int i = 0; i < from->GetNumSections(); ++i)
    {
        const CPlaylistSection* section = from->GetSectionPtr(static_cast<unsigned>(i));
        CPlaylistSection* target = to->GetSectionPtr(static_cast<unsigned>(i));
        for (int t = 0; t < section->GetNumTracks(); ++t)
            target->CreateNewTrack()->CopyAll(section->GetTrackPtr(static_cast<unsigned>(t)));
    }
    linked->reload(true);
    return linked;
}

bool CVXHost::LinkTracks(const juce::SparseSet<int>& songs, TakenSongs& sources)
{
    VX_ASSERT_MESSAGE_THREAD();
    const std::vector<int> pair = CZJESparseSet::valuesOf(songs);
    if (!VX_CHECK(pair.size() == 2))
        return false;
    const int a = pair[0];
    const int b = pair[1];
    const juce::ScopedLock sl(m_songLock);
    const TrackInfo* first = GetSong(a);
    if (first == nullptr || !first->canLinkWith(GetSong(b)))
        return false;
    const int current = GetCurPlayTrack(m_hostMode);
    const bool load = current == a || current == b;
    const int newCurrent = current > b ? current - 1 : (current == b ? a : current);
    if (load)
        StopPlayback();

    std::unique_ptr<TrackInfo> linked = MakeLinkedSong(*first, *GetSong(b));
    sources.push_back(RemoveTrack(a, false, false));
    sources.push_back(RemoveTrack(b - 1, false, false));
    InsertTrack(a, std::move(linked));
    SetCurPlayTrack(newCurrent, load, false);
    return true;
}

std::unique_ptr<TrackInfo> CVXHost::MakeCombinedSong(const std::vector<int>& indices) const
{
    auto combined = std::make_unique<TrackInfo>(*GetSong(indices[0]));
    double offset = combined->getTotalTimeSecond();
    CPlaylistSong* model = combined->getSong();
    // Mono songs play their files back to back in one track; others append
    // their sections.
    const CPlaylistSection* last = model->GetLastSectionPtr();
    CPlaylistTrack* monoTarget =
        combined->getNumChannels() == 1 && last != nullptr ? last->GetTrackPtr(0) : nullptr;
    for (size_t k = 1; k < indices.size(); ++k)
    {
        const TrackInfo* song = GetSong(indices[k]);
        const CPlaylistSong* from = song->getSong();
        for (int i = 0; i < from->GetNumSections(); ++i)
        {
            const CPlaylistSection* section = from->GetSectionPtr(static_cast<unsigned>(i));
            if (monoTarget == nullptr)
            {
                model->CreateNewSection()->CopyAll(section);
                continue;
            }
            const CPlaylistTrack* track = section->GetNumTracks() > 0 ? section->GetTrackPtr(0) : nullptr;
            for (int f = 0; track != nullptr && f < track->GetNumFiles(); ++f)
                monoTarget->CreateNewFile()->Copy(track->GetFilePtr(static_cast<unsigned>(f)));
        }
        const CMarker* markers = song->getMarkers();
        for (int m = 0; m < markers->GetNumMarkers(); ++m)
            combined->addMarker(markers->GetMarkerTimeSecond(m) + offset, true);
        offset += song->getTotalTimeSecond();
    }
    combined->reload(true);
    return combined;
}

bool CVXHost::CombineTracks(const juce::SparseSet<int>& songs, TakenSongs& sources)
{
    VX_ASSERT_MESSAGE_THREAD();
    const std::vector<int> indices = CZJESparseSet::valuesOf(songs);
    const juce::ScopedLock sl(m_songLock);
    if (!CanCombineSongs(indices))
        return false;
    const int current = GetCurPlayTrack(m_hostMode);
    const bool load = std::binary_search(indices.begin(), indices.end(), current);
    int newCurrent = indices[0];
    if (load)
    {
        StopPlayback();
    }
    else
    {
        const auto below =
            std::lower_bound(indices.begin() + 1, indices.end(), current) - (indices.begin() + 1);
        newCurrent = current - static_cast<int>(below);
    }

    std::unique_ptr<TrackInfo> combined = MakeCombinedSong(indices);
    sources.push_back(RemoveTrack(indices[0], false, false));
    for (size_t k = 1; k < indices.size(); ++k)
        sources.push_back(RemoveTrack(indices[k] - static_cast<int>(k), true, false));
    InsertTrack(indices[0], std::move(combined));
    SetCurPlayTrack(newCurrent, load, false);
    SetSelectedSongs(indices[0], 1, false);
    return true;
}

// ---------------------------------------------------------------------------
// Divide

bool CVXHost::DivideTrack(double seconds, std::unique_ptr<TrackInfo>& source)
{
    VX_ASSERT_MESSAGE_THREAD();
    const int current = GetCurPlayTrack(m_hostMode);
    const TrackInfo* song = GetSong(current);
    if (song == nullptr || !canDivide(seconds))
        return false;
    const int status = GetPlayerStatus();
    auto first = std::make_unique<TrackInfo>(*song);
    auto second = std::make_unique<TrackInfo>(*song);
    first->setControl(TrackInfo::kFadeOutType, 0, true);
    first->setControl(TrackInfo::kFadeOutTime, 0.0f, true);
    second->setControl(TrackInfo::kFadeInType, 0, true);
    second->setControl(TrackInfo::kFadeInTime, 0.0f, true);

    // The song reader holds the current song open and divides it.
    CPlaylistSong before, after;
    m_songReader->DividePlaylist(&before, &after, seconds);
    first->copyAllMarkers(before.GetMarkerPtr(), true);
    second->copyAllMarkers(after.GetMarkerPtr(), true);
    first->getSong()->CopyAll(&before);
    first->reload(true);
    second->getSong()->CopyAll(&after);
    second->reload(true);
    // The divided song still bears its name here, so the second part gets
    // the next free number.
    second->setText(TrackInfo::kSongName, SongNameChecker(first->getText(TrackInfo::kSongName)), true);

    source = RemoveTrack(current, false, false);
    InsertTrack(current, std::move(first));
    InsertTrack(current + 1, std::move(second));
    CallBackNumTracksChanged();
    SetCurPlayTrack(current + 1, true, false);
    SetSelectedSongs(current, 2, false);
    if (status == kStatusPlaying)
        SetPlayerStatus(kStatusPlaying);
    return true;
}

// ---------------------------------------------------------------------------
// Moving songs

bool CVXHost::PermutateTracks(const juce::SparseSet<int>& moved, int insertPosition)
{
    VX_ASSERT_MESSAGE_THREAD();
    const juce::ScopedLock sl(m_songLock);
    const int count = GetNumSongs();
    const std::vector<bool> isMoved = CZJESparseSet::maskOf(moved, count);
    std::vector<std::unique_ptr<TrackInfo>> before, block, after;
    for (int i = 0; i < count; ++i)
    {
        auto& song = m_songs[static_cast<size_t>(i)];
        if (isMoved[static_cast<size_t>(i)])
            block.push_back(std::move(song));
        else
            (i < insertPosition ? before : after).push_back(std::move(song));
    }
    const int first = static_cast<int>(before.size());
    const int size = static_cast<int>(block.size());
    m_songs.clear();
    for (auto* part : {&before, &block, &after})
        for (auto& song : *part)
            m_songs.push_back(std::move(song));
    FollowCurrentRecord();
    SetSelectedSongs(first, size, false);
    CallBackNumTracksChanged();
    return true;
}

bool CVXHost::PermutateTracks_Undo(const juce::SparseSet<int>& selection,
                                   const std::vector<TrackInfo*>& oldOrder)
{
    VX_ASSERT_MESSAGE_THREAD();
    const juce::ScopedLock sl(m_songLock);
    std::unordered_map<TrackInfo*, size_t> position;
    for (size_t i = 0; i < m_songs.size(); ++i)
        position.emplace(m_songs[i].get(), i);
    const std::unordered_set<TrackInfo*> distinct(oldOrder.begin(), oldOrder.end());
    const bool sameSongs = oldOrder.size() == m_songs.size() && distinct.size() == oldOrder.size() &&
                           std::all_of(oldOrder.begin(), oldOrder.end(),
                                       [&position](TrackInfo* song) { return position.count(song) > 0; });
    if (!VX_CHECK(sameSongs))
        return false;
    std::vector<std::unique_ptr<TrackInfo>> songs;
    songs.reserve(oldOrder.size());
    for (TrackInfo* song : oldOrder)
        songs.push_back(std::move(m_songs[position[song]]));
    m_songs = std::move(songs);
    FollowCurrentRecord();
    SetSelectedSongs(selection, false);
    // The list shows the old order again.
    CallBackNumTracksChanged();
    return true;
}

// ---------------------------------------------------------------------------
// The songlist's file and modified flag

void CVXHost::setVXSLChanged(bool changed)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (changed == m_songlistChanged)
        return;
    m_songlistChanged = changed;
    NotifySonglistName();
}

void CVXHost::SetVXSLPath(const juce::File& file)
{
    VX_ASSERT_MESSAGE_THREAD();
    m_songlistFile = file;
    if (file != juce::File())
    {
        const juce::String path = file.getFullPathName();
        m_recentSonglists.removeString(path, false);
        m_recentSonglists.insert(0, path);
        m_recentSonglists.removeRange(kNumRecentSonglists, m_recentSonglists.size());
    }
    NotifySonglistName();
}

void CVXHost::NotifySonglistName()
{
    const juce::String name = m_songlistFile.getFileName();
    NotifyListeners([this, &name](CVXHostListener& l) { l.songlistNameChanged(this, name); });
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
    if (textIndex == TrackInfo::kSongName && song != nullptr)
    {
        const juce::ScopedLock sl(m_songLock);
        m_names.rename(song, song->getText(TrackInfo::kSongName));
    }
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
