#pragma once

#include <juce_data_structures/juce_data_structures.h>

class CVXHost;

// Changes one control of one song (Vextal::TrackInfo's control ids): perform
// and undo both swap the stored value with the song's, so each restores what
// the other replaced. The song keeps the value as its clamps allow it. A
// value given in either type serves a control of either type.
//
// Threads. Message thread only, like every undoable action.
class CVXActionChangeValue : public juce::UndoableAction
{
public:
    explicit CVXActionChangeValue(CVXHost* host);

    void SetValue(int index, int controlId, int value);
    void SetValue(int index, int controlId, float value);

    // False, changing nothing, when the index names no song or the control
    // id is not 0..6.
    bool perform() override;
    bool undo() override;

private:
    CVXHost* const m_host;
    int m_index = -1;
    int m_controlId = -1;
    int m_intValue = 0;
    float m_floatValue = 0.0f;
};
