#pragma once

#include "src/songlist/DialogPresenter.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

namespace Vextal
{
// The alert window of every box of the dialog manager. While it is modal,
// input aimed outside it reaches only top-level windows.
//
// Its buttons answer to their keys through keyPressed, never as the
// framework's button shortcuts: a shortcut button asks the keyboard map
// whether its key is held, and for a character no key produces (the first
// letter of a Japanese text) that map has no key, so the framework reads a
// bit the X library leaves unset in its keymap notices; when that bit happens
// to be 1 the button claims every key press, and Return, Escape and the other
// keys no longer answer the box.
class CustomAlertWindow : public juce::AlertWindow
{
public:
    CustomAlertWindow(const juce::String& title, const juce::String& message, juce::MessageBoxIconType icon);

    // Adds button at the right, answering with its result when clicked or
    // when one of its keys is pressed; the first button added that has a
    // key answers to it.
    void addButton(const DialogButton& button);

    bool keyPressed(const juce::KeyPress& key) override;
    bool canModalEventBeSentToComponent(const juce::Component* target) override;

    // The modal rule of the dialog manager's windows: only a top-level window
    // receives input while a box is modal; null is refused.
    static bool isTopLevelWindow(const juce::Component* target);

private:
    std::vector<DialogButton> m_buttons;
};
} // namespace Vextal
