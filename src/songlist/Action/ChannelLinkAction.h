#pragma once

#include "src/songlist/CVXHost.h"

#include <juce_data_structures/juce_data_structures.h>

namespace Vextal
{
// Links two mono songs a < b into one stereo song at a (CVXHost::LinkTracks).
// While performed the action holds the two source records; the undo deletes
// the linked song, puts the sources back, makes the one that was current
// current again when the linked song is, and selects both.
//
// Threads. Message thread only, like every undoable action.
class ChannelLinkAction : public juce::UndoableAction
{
public:
    ChannelLinkAction(CVXHost& host, const juce::SparseSet<int>& songs);

    bool perform() override;
    bool undo() override;

private:
    CVXHost& m_host;
    const juce::SparseSet<int> m_songs;
    CVXHost::TakenSongs m_sources;
    // Which source was current when the link was made: 0, 1, or -1.
    int m_currentSource = -1;
};
} // namespace Vextal
