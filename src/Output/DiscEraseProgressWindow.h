#pragma once

#include "src/Output/ExportProgressWindow.h"

namespace Vextal
{
// The progress window of a disc erase: no Cancel button, and Escape does
// nothing, since an erase cannot be cancelled. It closes when its owner
// deletes it at the session's end.
//
// Threads. Message thread only.
class DiscEraseProgressWindow : public ExportProgressWindow
{
public:
    DiscEraseProgressWindow() = default;
    ~DiscEraseProgressWindow() override = default;

    juce::String getWindowTitle() override;
    // Adds nothing; the window takes the keyboard focus and swallows Escape.
    void addComponentsToWindow(SemiModalAlertWindow* window) override;
};
} // namespace Vextal
