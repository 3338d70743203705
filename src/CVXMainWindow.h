#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class CVXHost;

// The application's one main window. Closing it quits the application.
//
// Over a host it owns the command manager with the undo stack
// (Vextal::CommandManager) for its life, and takes dropped files: a single
// songlist file dropped on an empty songlist opens it, anything else is
// added as songs in one undoable step.
class CVXMainWindow : public juce::DocumentWindow, public juce::FileDragAndDropTarget
{
public:
    explicit CVXMainWindow(const juce::String& title);
    explicit CVXMainWindow(CVXHost* host);
    ~CVXMainWindow() override;

    void closeButtonPressed() override;

    bool isInterestedInFileDrag(const juce::StringArray& files) override;
    // Ignored while an export runs. The application hands its command line
    // here with x = y = 0.
    void filesDropped(const juce::StringArray& files, int x, int y) override;

private:
    CVXHost* m_host = nullptr;

    JUCE_DECLARE_NON_COPYABLE(CVXMainWindow)
};
