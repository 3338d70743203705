#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The text editor of the labels edited in place, without undo and redo: Ctrl+Z,
// Ctrl+Y and Ctrl+Shift+Z do nothing, and its popup menu has no undo or redo
// items. Edits are undone as the song edits they become, never inside the
// editor.
//
// Message thread only.
class UndoDisabledTextEditor : public juce::TextEditor
{
public:
    explicit UndoDisabledTextEditor(const juce::String& name = {});

    void paint(juce::Graphics& g) override;
    bool keyPressed(const juce::KeyPress& key) override;
    void addPopupMenuItems(juce::PopupMenu& menu, const juce::MouseEvent* mouseClickEvent) override;

    // True for the keys of undo and redo.
    static bool isUndoOrRedoKey(const juce::KeyPress& key);
    // The items of menu without undo and redo: one separator between groups,
    // none at the start or the end.
    static juce::PopupMenu withoutUndoAndRedo(const juce::PopupMenu& menu);
};
