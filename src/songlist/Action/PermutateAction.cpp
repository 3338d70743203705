#include "src/songlist/Action/PermutateAction.h"

#include "src/songlist/CVXHost.h"

namespace Vextal
{
PermutateAction::PermutateAction(CVXHost& host, const juce::SparseSet<int>& songs, int insertPosition)
    : m_host(host), m_songs(songs), m_insertPosition(insertPosition)
{
}

bool PermutateAction::perform()
{
    m_oldOrder.clear();
    for (int i = 0; i < m_host.GetNumSongs(); ++i)
        m_oldOrder.push_back(m_host.GetSong(i));
    return m_host.PermutateTracks(m_songs, m_insertPosition);
}

bool PermutateAction::undo()
{
    const bool restored = m_host.PermutateTracks_Undo(m_songs, m_oldOrder);
    m_oldOrder.clear();
    return restored;
}
} // namespace Vextal
