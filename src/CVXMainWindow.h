#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The application's one main window. Closing it quits the application.
class CVXMainWindow : public juce::DocumentWindow
{
public:
    explicit CVXMainWindow(const juce::String& title);
    ~CVXMainWindow() override;

    void closeButtonPressed() override;

private:
    JUCE_DECLARE_NON_COPYABLE(CVXMainWindow)
};
