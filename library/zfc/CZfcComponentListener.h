#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class CZfcComponent;

// What the controls of the component kit tell their owner. Every operation
// does nothing by default, so an owner overrides only the notices it wants.
// The mouse operations are offered an event before the control handles it:
// returning true consumes the event, and the control then skips its own
// handling of it.
//
// Message thread only, like the controls that call it.
class CZfcComponentListener
{
public:
    virtual ~CZfcComponentListener() = default;

    virtual void OnZfcComponentValueChanged(CZfcComponent*, double) {}
    virtual void OnZfcComponentValueChangedRelatively(CZfcComponent*, double) {}
    virtual void OnZfcComponentButtonAction(CZfcComponent*) {}
    virtual void OnZfcComponentButtonClicked(CZfcComponent*) {}
    virtual void OnZfcComponentButtonStateChanged(CZfcComponent*) {}
    // A press (or another editing gesture) begins and ends; the two always
    // come in pairs.
    virtual void OnZfcComponentBeginEdit(CZfcComponent*) {}
    virtual void OnZfcComponentEndEdit(CZfcComponent*) {}
    virtual void OnZfcComponentEditorTextChanged(CZfcComponent*) {}
    virtual void OnZfcComponentEditorReturnKeyPressed(CZfcComponent*) {}
    virtual void OnZfcComponentEditorEscapeKeyPressed(CZfcComponent*) {}
    virtual void OnZfcComponentEditorFocusLost(CZfcComponent*) {}
    virtual void OnZfcComponentEditorTextWasEdited(CZfcComponent*) {}
    virtual void OnZfcComponentFocusGained(CZfcComponent*, juce::Component::FocusChangeType) {}
    virtual void OnZfcComponentFocusLost(CZfcComponent*, juce::Component::FocusChangeType) {}
    virtual void OnZfcComponentListBoxSelectedRowsChanged(CZfcComponent*, int) {}
    virtual void OnZfcComponentListBoxSelectedRowsDragged(CZfcComponent*, juce::Image*) {}
    virtual bool OnZfcComponentMouseMove(CZfcComponent*, const juce::MouseEvent&) { return false; }
    virtual bool OnZfcComponentMouseEnter(CZfcComponent*, const juce::MouseEvent&) { return false; }
    virtual bool OnZfcComponentMouseExit(CZfcComponent*, const juce::MouseEvent&) { return false; }
    virtual bool OnZfcComponentMouseDown(CZfcComponent*, const juce::MouseEvent&) { return false; }
    virtual bool OnZfcComponentMouseDrag(CZfcComponent*, const juce::MouseEvent&) { return false; }
    virtual bool OnZfcComponentMouseUp(CZfcComponent*, const juce::MouseEvent&) { return false; }
    virtual bool OnZfcComponentMouseDoubleClick(CZfcComponent*, const juce::MouseEvent&) { return false; }
    virtual bool OnZfcComponentMouseWheelMove(CZfcComponent*, const juce::MouseEvent&, float)
    {
        return false;
    }
};
