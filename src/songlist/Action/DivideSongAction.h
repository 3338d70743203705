#pragma once

#include "src/songlist/TrackInfo.h"

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

class CVXHost;

namespace Vextal
{
// Divides one song at a time into two (CVXHost::DivideTrack), first making
// it current when it is not, since the division works on the song the
// player has open. While performed the action holds the divided record; the
// undo deletes both parts, puts it back and makes the song that was current
// before current (and selected) again.
//
// Threads. Message thread only, like every undoable action.
class DivideSongAction : public juce::UndoableAction
{
public:
    DivideSongAction(CVXHost& host, int index, double seconds);

    // False when the song cannot be divided at the time; the song it made
    // current stays current.
    bool perform() override;
    bool undo() override;

private:
    CVXHost& m_host;
    const int m_index;
    int m_previousCurrent;
    const double m_seconds;
    std::unique_ptr<TrackInfo> m_source;
};
} // namespace Vextal
