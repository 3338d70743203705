#include "src/songlist/Action/ChannelLinkAction.h"
#include "src/songlist/Action/MergedSongUndo.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJESparseSet.h"

namespace Vextal
{
ChannelLinkAction::ChannelLinkAction(CVXHost& host, const juce::SparseSet<int>& songs)
    : m_host(host), m_songs(songs)
{
}

bool ChannelLinkAction::perform()
{
    if (!VX_CHECK(m_sources.empty()))
        return false;
    const std::vector<int> pair = CZJESparseSet::valuesOf(m_songs);
    const int current = m_host.GetCurPlayTrack(0);
    m_currentSource = -1;
    if (pair.size() == 2 && current >= 0)
        m_currentSource = current == pair[0] ? 0 : (current == pair[1] ? 1 : -1);
    return m_host.LinkTracks(m_songs, m_sources);
}

bool ChannelLinkAction::undo()
{
    const std::vector<int> pair = CZJESparseSet::valuesOf(m_songs);
    if (!VX_CHECK(pair.size() == 2 && m_sources.size() == 2))
        return false;
    return PutMergedSourcesBack(m_host, m_songs, pair, m_sources, pair[m_currentSource == 1 ? 1 : 0]);
}
} // namespace Vextal
