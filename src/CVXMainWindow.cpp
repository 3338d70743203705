#include "src/CVXMainWindow.h"

namespace
{
constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 560;
} // namespace

CVXMainWindow::CVXMainWindow(const juce::String& title)
    : juce::DocumentWindow(title, juce::Colours::darkgrey, juce::DocumentWindow::allButtons)
{
    setUsingNativeTitleBar(true);
    setResizable(true, false);
    centreWithSize(kDefaultWidth, kDefaultHeight);
}

CVXMainWindow::~CVXMainWindow() = default;

void CVXMainWindow::closeButtonPressed()
{
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
}
