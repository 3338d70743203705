#include "src/CustomAlertWindow.h"

namespace Vextal
{
CustomAlertWindow::CustomAlertWindow(const juce::String& title, const juce::String& message,
                                     juce::MessageBoxIconType icon)
    : juce::AlertWindow(title, message, icon)
{
}

void CustomAlertWindow::addButton(const DialogButton& button)
{
    juce::AlertWindow::addButton(button.text, button.result);
    m_buttons.push_back(button);
}

bool CustomAlertWindow::keyPressed(const juce::KeyPress& key)
{
    for (const auto& button : m_buttons)
    {
        if (button.answersTo(key))
        {
            exitModalState(button.result);
            return true;
        }
    }
    return juce::AlertWindow::keyPressed(key);
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
