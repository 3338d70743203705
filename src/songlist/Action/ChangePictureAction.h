#pragma once

#include <juce_data_structures/juce_data_structures.h>

class CVXHost;

namespace Vextal
{
// Sets the attached picture of one song (an empty path removes it); the undo
// sets the old path back.
//
// Threads. Message thread only, like every undoable action.
class ChangePictureAction : public juce::UndoableAction
{
public:
    ChangePictureAction(CVXHost& host, int index, const juce::String& path);

    // False, changing nothing, when the index names no song.
    bool perform() override;
    bool undo() override;

private:
    CVXHost& m_host;
    const int m_index;
    const juce::String m_path;
    juce::String m_oldPath;
};
} // namespace Vextal
