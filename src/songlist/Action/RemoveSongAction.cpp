#include "src/songlist/Action/RemoveSongAction.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJESparseSet.h"
#include "src/songlist/CVXHost.h"

namespace Vextal
{
RemoveSongAction::RemoveSongAction(CVXHost& host, const juce::SparseSet<int>& songs)
    : m_host(host), m_songs(songs)
{
}

bool RemoveSongAction::perform()
{
    if (!VX_CHECK(m_removed.empty()))
        return false;
    const std::vector<int> indices = CZJESparseSet::valuesOf(m_songs);
    const TrackInfo* current = m_host.GetCurrentSong();
    m_removedCurrent = -1;
    CVXHost::TakenSongs taken = m_host.RemoveTracks(indices);
    for (size_t k = 0; k < taken.size(); ++k)
    {
        if (taken[k] == nullptr)
            continue;
        if (taken[k].get() == current)
            m_removedCurrent = indices[k];
        m_removed.emplace_back(indices[k], std::move(taken[k]));
    }
    if (m_removed.empty())
        return false;
    const int count = m_host.GetNumSongs();
    if (count > 0)
        m_host.SetSelectedSongs(juce::jlimit(0, count - 1, indices.front()), 1, false);
    else
        m_host.SetSelectedSongs(0, 0, false);
    return true;
}

bool RemoveSongAction::undo()
{
    const int removed = static_cast<int>(m_removed.size());
    m_host.InsertTracks(std::move(m_removed));
    m_removed.clear();
    if (m_removedCurrent >= 0)
        m_host.SetCurPlayTrack(m_removedCurrent, true, false);
    else if (m_host.GetNumSongs() == removed)
        m_host.SetCurPlayTrack(0, true, false);
    m_host.SetSelectedSongs(m_songs, false);
    return true;
}
} // namespace Vextal
