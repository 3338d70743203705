#pragma once

#include "library/zfc/CZfcComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A label with the framework's inline editor that reports to the kit's
// listener. Its mouse events (move, exit, down, drag, up, double-click) are
// offered to the listener first; when the listener does not consume one and
// the label is enabled, the label handles it as the framework's label does (a
// click or double-click may open the editor). The editor's events are handled
// by the framework's label first and then reported: a text change, the Return
// and Escape keys, and a finished edit that changed the text
// (OnZfcComponentEditorTextWasEdited, before the Return notice).
//
// Message thread only.
class CZfcCtrlLabel : public juce::Label, public CZfcComponent
{
public:
    CZfcCtrlLabel(const juce::String& name, const juce::String& text);
    ~CZfcCtrlLabel() override;

    void mouseMove(const juce::MouseEvent& e) override;
    void mouseExit(const juce::MouseEvent& e) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;
    void mouseDoubleClick(const juce::MouseEvent& e) override;

protected:
    void textEditorTextChanged(juce::TextEditor& editor) override;
    void textEditorReturnKeyPressed(juce::TextEditor& editor) override;
    void textEditorEscapeKeyPressed(juce::TextEditor& editor) override;
    void textWasEdited() override;

private:
    // True when the label handles the event itself: the listener did not
    // consume it and the label is enabled.
    bool HandlesItself(MouseOperation operation, const juce::MouseEvent& e);
    // Runs the framework's handling of an editor event, then tells the
    // listener, unless the handling deleted the label.
    template <typename Handling>
    void HandleThenTell(Handling&& handling, void (CZfcComponentListener::*notice)(CZfcComponent*));

    JUCE_DECLARE_NON_COPYABLE(CZfcCtrlLabel)
};
