#pragma once

#include "src/songlist/TrackInfo.h"

#include <juce_data_structures/juce_data_structures.h>

#include <memory>
#include <utility>
#include <vector>

class CVXHost;

namespace Vextal
{
// Removes songs from the songlist and selects the song that takes the first
// one's place (the new last song when none does). While performed the action
// holds the removed records; the undo puts them back at their places, makes
// the song that was current current again when it was removed, and selects
// them.
//
// Threads. Message thread only, like every undoable action.
class RemoveSongAction : public juce::UndoableAction
{
public:
    RemoveSongAction(CVXHost& host, const juce::SparseSet<int>& songs);

    // False, changing nothing, when no index names a song.
    bool perform() override;
    bool undo() override;

private:
    CVXHost& m_host;
    const juce::SparseSet<int> m_songs;
    // The removed songs with their indices, in ascending order.
    std::vector<std::pair<int, std::unique_ptr<TrackInfo>>> m_removed;
    // The index of the removed song that was current; -1 when the current
    // song stayed.
    int m_removedCurrent = -1;
};
} // namespace Vextal
