#pragma once

#include <juce_data_structures/juce_data_structures.h>

class CVXHost;

// Sets one text of one song (Vextal::TrackInfo's text ids); the song name
// (text 0) is made a legal file name and must stay unique in the songlist.
// A name another song bears is refused with the "Songlist_CannotRename"
// message, or, with makeUnique, replaced by the next free numbered name. The
// undo sets the old text back and selects the song.
//
// Threads. Message thread only, like every undoable action.
class CVXActionRename : public juce::UndoableAction
{
public:
    CVXActionRename(CVXHost& host, int index, int textId, const juce::String& text, bool makeUnique);

    // False, changing nothing, when the index names no song, the text id is
    // not 0..11, or a song name is empty (without makeUnique) or refused.
    bool perform() override;
    bool undo() override;

private:
    // The name the song gets; empty when it is refused.
    juce::String NewSongName(int index);

    CVXHost& m_host;
    const int m_index;
    const int m_textId;
    const juce::String m_text;
    const bool m_makeUnique;
    juce::String m_oldText;
};
