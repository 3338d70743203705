#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class CVXMainWindow;

// The application object: owns the main window and runs start-up and shutdown.
class CVXApp : public juce::JUCEApplication
{
public:
    CVXApp();
    ~CVXApp() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;

    void initialise(const juce::String& commandLine) override;
    void shutdown() override;
    void systemRequestedQuit() override;
    void anotherInstanceStarted(const juce::String& commandLine) override;

private:
    std::unique_ptr<CVXMainWindow> m_pMainWindow;
};
