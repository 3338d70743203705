#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>

// A button with several states drawn from an image grid: one column per state
// and one row per look (row 0 normal, and the rows of the pressed and the
// disabled look). The column is the state index; the row is the pressed row
// while pressed, row 0 when enabled, the disabled row when disabled. It never
// takes the keyboard focus and borrows the image.
//
// Threads. The state index may be set from any thread: it is atomic, and the
// repaint that follows a change takes the message-manager lock. Everything
// else is message thread only.
class MatrixImageButton : public juce::Button
{
public:
    // columns and rows below 1 count as 1.
    MatrixImageButton(const juce::String& name, const juce::Image& image, int columns, int rows,
                      int pressedRow, int disabledRow);

    int getStateIndex() const { return m_stateIndex.load(std::memory_order_relaxed); }
    // Sets the state, clamped to 0 .. states - 1, and repaints; any thread.
    void setStateIndex(int index);
    // Moves to the next state, after the last back to 0.
    void toggleState();

    int getNumStates() const { return m_numStates; }

protected:
    void paintButton(juce::Graphics& g, bool isMouseOver, bool isDown) override;

private:
    juce::Image m_image;
    int m_cellWidth;
    int m_cellHeight;
    int m_pressedY;
    int m_disabledY;
    int m_numStates;
    std::atomic<int> m_stateIndex{0};

    JUCE_DECLARE_NON_COPYABLE(MatrixImageButton)
};
