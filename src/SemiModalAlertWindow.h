#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

// Decides, for a window that is modal, which other components still receive
// input.
class ModalEventSendDelegate
{
public:
    virtual ~ModalEventSendDelegate() = default;

    // True lets input aimed at component through while modalComponent is
    // modal; component may be null.
    virtual bool canModalEventBeSentTo(const juce::Component* component,
                                       const juce::Component* modalComponent) = 0;
};

// An alert window that is modal, yet lets through the input its delegate
// allows (without a delegate: top-level windows only). An input attempt
// elsewhere makes no sound and does not bring it to the front.
//
// Its buttons answer to their keys through keyPressed (addButtonKey), never
// as the framework's button shortcuts, which read the keyboard map (see
// CustomAlertWindow). A key answers only while its button is inside the
// window and enabled, so a window can swap its buttons.
//
// Threads. Message thread only.
class SemiModalAlertWindow : public juce::AlertWindow
{
public:
    SemiModalAlertWindow(const juce::String& title, const juce::String& message,
                         juce::MessageBoxIconType icon);

    // Not owned; may be null.
    ModalEventSendDelegate* delegate = nullptr;
    // False swallows the Escape key: it neither presses a button nor closes
    // the window.
    bool escapeKeyPassesOn = true;

    // Key presses button (which stays the caller's) while it is inside the
    // window.
    void addButtonKey(juce::Button& button, const juce::KeyPress& key);

    bool keyPressed(const juce::KeyPress& key) override;
    bool canModalEventBeSentToComponent(const juce::Component* component) override;
    void inputAttemptWhenModal() override;

private:
    struct ButtonKey
    {
        juce::Component::SafePointer<juce::Button> button;
        juce::KeyPress key;
    };
    std::vector<ButtonKey> m_buttonKeys;
};
