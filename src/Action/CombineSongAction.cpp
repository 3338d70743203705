#include "src/Action/CombineSongAction.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJESparseSet.h"

namespace Vextal
{
CombineSongAction::CombineSongAction(CVXHost& host, const juce::SparseSet<int>& songs)
    : m_host(host), m_songs(songs)
{
}

bool CombineSongAction::perform()
{
    if (!VX_CHECK(m_sources.empty()))
        return false;
    m_previousCurrent = m_host.GetCurPlayTrack(0);
    return m_host.CombineTracks(m_songs, m_sources);
}

bool CombineSongAction::undo()
{
    const std::vector<int> indices = CZJESparseSet::valuesOf(m_songs);
    if (!VX_CHECK(!indices.empty() && m_sources.size() == indices.size()))
        return false;
    const bool combinedWasCurrent = m_host.GetCurPlayTrack(0) == indices[0];
    if (m_host.RemoveTrack(indices[0], true, true) == nullptr)
        return false;
    for (size_t k = 0; k < indices.size(); ++k)
        m_host.InsertTrack(indices[k], std::move(m_sources[k]));
    m_sources.clear();
    // Any other current song has followed its record through the change.
    if (combinedWasCurrent)
        m_host.SetCurPlayTrack(m_previousCurrent, true, false);
    m_host.SetSelectedSongs(m_songs, false);
    return true;
}
} // namespace Vextal
