#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace Vextal
{
// The window of DialogManager::showModalDialog: light grey, Escape presses
// its close button, and closing it hides it, which ends its modal loop with
// 0. While it is modal, input aimed outside it reaches only top-level windows.
class TempDialogWindow : public juce::DialogWindow
{
public:
    explicit TempDialogWindow(const juce::String& title);

    void closeButtonPressed() override;
    bool canModalEventBeSentToComponent(const juce::Component* target) override;
};
} // namespace Vextal
