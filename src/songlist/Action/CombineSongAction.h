#pragma once

#include "src/songlist/CVXHost.h"

#include <juce_data_structures/juce_data_structures.h>

namespace Vextal
{
// Combines two or more songs into one at the first index
// (CVXHost::CombineTracks). While performed the action holds the source
// records; the undo deletes the combined song, puts the sources back, makes
// the song that was current before current again when the combined song is,
// and selects the sources.
//
// Threads. Message thread only, like every undoable action.
class CombineSongAction : public juce::UndoableAction
{
public:
    CombineSongAction(CVXHost& host, const juce::SparseSet<int>& songs);

    bool perform() override;
    bool undo() override;

private:
    CVXHost& m_host;
    const juce::SparseSet<int> m_songs;
    CVXHost::TakenSongs m_sources;
    // The current index before the combine; the undo restores the list as it
    // was then, so the index names the same song again.
    int m_previousCurrent = -1;
};
} // namespace Vextal
