#include "src/TempDialogWindow.h"

#include "src/CustomAlertWindow.h"

namespace Vextal
{
TempDialogWindow::TempDialogWindow(const juce::String& title)
    : juce::DialogWindow(title, juce::Colours::lightgrey, true, true)
{
}

void TempDialogWindow::closeButtonPressed()
{
    setVisible(false);
}

bool TempDialogWindow::canModalEventBeSentToComponent(const juce::Component* target)
{
    return CustomAlertWindow::isTopLevelWindow(target);
}
} // namespace Vextal
