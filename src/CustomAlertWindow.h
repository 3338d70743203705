#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace Vextal
{
// The alert window of every box of the dialog manager. While it is modal,
// input aimed outside it reaches only top-level windows.
class CustomAlertWindow : public juce::AlertWindow
{
public:
    CustomAlertWindow(const juce::String& title, const juce::String& message, juce::MessageBoxIconType icon);

    bool canModalEventBeSentToComponent(const juce::Component* target) override;

    // The modal rule of the dialog manager's windows: only a top-level window
    // receives input while a box is modal; null is refused.
    static bool isTopLevelWindow(const juce::Component* target);
};
} // namespace Vextal
