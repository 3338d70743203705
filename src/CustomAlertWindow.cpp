#include "src/CustomAlertWindow.h"

namespace Vextal
{
CustomAlertWindow::CustomAlertWindow(const juce::String& title, const juce::String& message,
                                     juce::MessageBoxIconType icon)
    : juce::AlertWindow(title, message, icon)
{
}

bool CustomAlertWindow::canModalEventBeSentToComponent(const juce::Component* target)
{
    return isTopLevelWindow(target);
}

bool CustomAlertWindow::isTopLevelWindow(const juce::Component* target)
{
    return dynamic_cast<const juce::TopLevelWindow*>(target) != nullptr;
}
} // namespace Vextal
