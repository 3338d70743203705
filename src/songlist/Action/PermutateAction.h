#pragma once

#include "src/songlist/TrackInfo.h"

#include <juce_data_structures/juce_data_structures.h>

#include <vector>

class CVXHost;

namespace Vextal
{
// Moves songs as one block to a drop position (CVXHost::PermutateTracks);
// the undo puts every song back in the order before the move and selects the
// moved songs at their old places.
//
// Threads. Message thread only, like every undoable action.
class PermutateAction : public juce::UndoableAction
{
public:
    PermutateAction(CVXHost& host, const juce::SparseSet<int>& songs, int insertPosition);

    bool perform() override;
    bool undo() override;

private:
    CVXHost& m_host;
    const juce::SparseSet<int> m_songs;
    const int m_insertPosition;
    // The songs before the move (owned by the host).
    std::vector<TrackInfo*> m_oldOrder;
};
} // namespace Vextal
