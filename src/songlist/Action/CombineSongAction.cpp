#include "src/songlist/Action/CombineSongAction.h"
#include "src/songlist/Action/MergedSongUndo.h"

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
    return PutMergedSourcesBack(m_host, m_songs, indices, m_sources, m_previousCurrent);
}
} // namespace Vextal
