#pragma once

#include "library/zfc/CZfcListenerOwner.h"
#include "library/zfc/CZfcSheetListener.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The base of the window's modal sheets: a child of the window's content that
// slides in from the top edge, centred horizontally, blocks the rest of the
// window while it is open, and slides out again. A sheet is made once, as a
// hidden child, and opened and closed many times; its subclass fills it in the
// hooks around opening and closing.
//
// States: closed -> Open -> opening -> (the fade-in has ended) -> open ->
// Close -> closed. Open is refused unless closed, Close unless open (also
// while the sheet is still opening). The sheet is modal from Open until Close;
// it counts as open, and its listeners hear of it, only once its fade-in has
// ended. The framework shows a component when it enters the modal state, so
// the end of the fade-in, not the showing, completes the opening.
//
// While the sheet is modal, mouse events reach its own children and top-level
// windows (a dialog over it) only.
//
// Threads. Message thread only; Close takes the framework's message-manager
// lock for the fade-out.
class CZfcSheet : public juce::Component, public CZfcListenerOwner<CZfcSheetListener>
{
public:
    enum State
    {
        kClosed = 0,
        kOpening = 1,
        kOpen = 2
    };

    // The length of the slide in and of the slide out.
    static constexpr int kFadeMs = 300;

    // The number of sheets open now.
    static inline int sm_iNumSheetsOpened = 0;

    CZfcSheet();
    // A sheet deleted while open no longer counts as open.
    ~CZfcSheet() override;

    // Opens a closed sheet that has a parent: DoBeforeOpen, places it at the
    // top of the parent, centred, makes it modal with the keyboard focus and
    // starts the fade-in, at whose end the opening completes. False, changing
    // nothing, when the sheet is not closed or has no parent.
    bool Open();
    // Closes an open sheet: DoBeforeClose, the slide out, the end of the modal
    // state, DoAfterClose and the listeners' OnZfcSheetClosed. False, changing
    // nothing, when the sheet is not open.
    bool Close();

    int GetState() const { return m_iState; }

    void visibilityChanged() override;
    bool canModalEventBeSentToComponent(const juce::Component* target) override;

protected:
    // Hooks for the sheets; empty here.
    virtual void DoBeforeOpen() {}
    virtual void DoAfterOpen() {}
    virtual void DoBeforeClose() {}
    virtual void DoAfterClose() {}

    void handleCommandMessage(int commandId) override;

private:
    // State 2, the count, the keyboard focus, DoAfterOpen and the listeners'
    // OnZfcSheetOpened.
    void CompleteOpening();
    // Slides the sheet up out of view through the framework's animator and
    // hides it.
    void SlideOut();

    juce::DropShadower m_shadow;
    int m_iState = kClosed;

    JUCE_DECLARE_NON_COPYABLE(CZfcSheet)
};
