#pragma once

#include "src/songlist/CVXHost.h"

#include <juce_core/juce_core.h>

#include <vector>

namespace Vextal
{
// The undo of an action that made one song of the songs at indices (the
// ascending values of songs, as many as sources): deletes the made song at
// indices[0], puts the source records back at their indices and selects them.
// When the made song was current, the song at index current becomes current;
// any other current song has followed its record through the change. False,
// with nothing changed, when the made song could not be deleted.
//
// Threads. Message thread only, like the actions that call it.
inline bool PutMergedSourcesBack(CVXHost& host, const juce::SparseSet<int>& songs,
                                 const std::vector<int>& indices, CVXHost::TakenSongs& sources, int current)
{
    const bool mergedWasCurrent = host.GetCurPlayTrack(0) == indices[0];
    if (host.RemoveTrack(indices[0], true, true) == nullptr)
        return false;
    for (size_t k = 0; k < indices.size(); ++k)
        host.InsertTrack(indices[k], std::move(sources[k]));
    sources.clear();
    if (mergedWasCurrent)
        host.SetCurPlayTrack(current, true, false);
    host.SetSelectedSongs(songs, false);
    return true;
}
} // namespace Vextal
