#pragma once

#include "library/zfc/CZfcComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A button with several states drawn from an image strip: equal frames stacked
// vertically, one per state, or, with pressed rows, each state's frame followed
// by its pressed frame. The frame fills the whole component; a disabled button
// is drawn at half opacity. The strip is borrowed: the owner keeps it alive
// while the button uses it.
//
// A press inside the hit area that is released inside it fires the action
// (OnZfcComponentButtonAction), or, with action timing 1, the press itself
// fires it. Dragging out of the hit area before the release cancels the action,
// and the pressed frame shows only while the pointer is inside. Every press
// the button takes is bracketed by OnZfcComponentBeginEdit and
// OnZfcComponentEndEdit, also when the button is disabled while pressed or the
// listener consumes the release (the release then ends the press without an
// action). Each mouse event is offered to the listener first; a consumed event
// is not otherwise handled by the button. The right mouse button neither
// presses it nor fires its action.
//
// Threads. Message thread, except SetImage, which takes the framework's
// message-manager lock and so may be called from a worker thread (the repaint
// of enablementChanged takes it too).
class CZfcCtrlButton : public juce::Component, public CZfcComponent
{
public:
    // When the action fires.
    enum ActionTiming
    {
        kActionOnRelease = 0,
        kActionOnPress = 1
    };

    explicit CZfcCtrlButton(const juce::String& name);
    ~CZfcCtrlButton() override;

    // Sets the strip of stateCount states (at least 1) and, with pressedRows,
    // a pressed frame after each state's frame. A frame size of 0 means the
    // strip's width, or its height divided by the rows. A state beyond the new
    // count moves to the last state. With resize, the button becomes one frame
    // in size. Null draws nothing.
    void SetImage(juce::Image* strip, int stateCount, bool pressedRows, bool resize, int frameWidth,
                  int frameHeight);

    // Sets the state, clamped to 0 .. count - 1, and repaints when it changed.
    // The flags are for subclasses; this class ignores them and tells nobody.
    virtual void SetState(int state, bool, bool);

    int GetState() const { return m_iState; }
    int GetStateCount() const { return m_iStateCount; }
    int GetRows() const { return m_iRows; }
    int GetFrameWidth() const { return m_iFrameWidth; }
    int GetFrameHeight() const { return m_iFrameHeight; }

    void SetActionTiming(int timing) { m_iActionTiming = timing; }
    int GetActionTiming() const { return m_iActionTiming; }

    // Fixes the hit area (right and bottom exclusive); until it is fixed, the
    // hit area is the whole component.
    void SetHitArea(const juce::Rectangle<int>& area);
    juce::Rectangle<int> GetHitArea() const { return m_hitArea; }

    bool IsPressed() const { return m_bPressed; }
    bool IsInside() const { return m_bInside; }
    // True once the current state has been drawn.
    bool IsPainted() const { return m_bPainted; }

    // The row of the strip drawn: with pressed rows state x 2, plus 1 while
    // pressed with the pointer inside; else the state; limited to the rows.
    static int FrameRow(int state, bool pressed, bool inside, bool pressedRows, int rows);

    void mouseMove(const juce::MouseEvent& e) override;
    void mouseEnter(const juce::MouseEvent& e) override;
    void mouseExit(const juce::MouseEvent& e) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;
    void enablementChanged() override;
    void paint(juce::Graphics& g) override;
    void resized() override;

private:
    // Offers the event to the listener and, when not consumed, notes whether
    // the pointer is inside; false when the listener consumed it.
    bool TrackPointer(MouseOperation operation, const juce::MouseEvent& e);
    void RepaintPressedFrame();

    juce::Image* m_pImage = nullptr;
    int m_iFrameWidth = 0;
    int m_iFrameHeight = 0;
    int m_iRows = 0;
    int m_iState = 0;
    int m_iStateCount = 1;
    int m_iActionTiming = kActionOnRelease;
    juce::Rectangle<int> m_hitArea;
    bool m_bFixedHitArea = false;
    bool m_bPressed = false;
    bool m_bPressedRows = false;
    bool m_bInside = false;
    bool m_bPainted = false;

    JUCE_DECLARE_NON_COPYABLE(CZfcCtrlButton)
};
