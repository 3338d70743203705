#include "src/SemiModalAlertWindow.h"

#include "src/CustomAlertWindow.h"

SemiModalAlertWindow::SemiModalAlertWindow(const juce::String& title, const juce::String& message,
                                           juce::MessageBoxIconType icon)
    : juce::AlertWindow(title, message, icon)
{
}

void SemiModalAlertWindow::addButtonKey(juce::Button& button, const juce::KeyPress& key)
{
    // Keys reach the window, not a button that holds the focus (which would
    // answer Return itself).
    button.setWantsKeyboardFocus(false);
    m_buttonKeys.push_back({&button, key});
}

bool SemiModalAlertWindow::keyPressed(const juce::KeyPress& key)
{
    if (!escapeKeyPassesOn && key.isKeyCode(juce::KeyPress::escapeKey))
        return true;
    for (const ButtonKey& entry : m_buttonKeys)
    {
        juce::Button* button = entry.button.getComponent();
        if (button != nullptr && entry.key == key && isParentOf(button) && button->isEnabled())
        {
            button->triggerClick();
            return true;
        }
    }
    return juce::AlertWindow::keyPressed(key);
}

bool SemiModalAlertWindow::canModalEventBeSentToComponent(const juce::Component* component)
{
    if (delegate != nullptr)
        return delegate->canModalEventBeSentTo(component, this);
    return Vextal::CustomAlertWindow::isTopLevelWindow(component);
}

void SemiModalAlertWindow::inputAttemptWhenModal() {}
