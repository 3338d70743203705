#pragma once

// Drives modal windows from a test: steps run on the message thread, while
// the code under test sits in its modal loop, each called every 20 ms until it
// returns true. A step that is still waiting after the time-out ends the
// modal loop with 0 and marks the drive as failed, so a test never hangs.

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <vector>

namespace uitest
{
class ModalDriver : private juce::Timer
{
public:
    using Step = std::function<bool()>;

    explicit ModalDriver(std::vector<Step> steps, int timeoutMs = 15000)
        : m_steps(std::move(steps)), m_timeoutMs(timeoutMs)
    {
        m_stepStart = juce::Time::getMillisecondCounter();
        startTimer(20);
    }
    ~ModalDriver() override { stopTimer(); }

    // Every step returned true.
    bool succeeded() const { return m_next == m_steps.size() && !m_failed; }
    // The step that timed out, or -1.
    int failedStep() const { return m_failedStep; }

private:
    void timerCallback() override
    {
        if (m_busy || m_next >= m_steps.size())
            return;
        m_busy = true;
        if (m_steps[m_next]())
        {
            ++m_next;
            m_stepStart = juce::Time::getMillisecondCounter();
        }
        else if (juce::Time::getMillisecondCounter() - m_stepStart > static_cast<juce::uint32>(m_timeoutMs))
        {
            m_failed = true;
            m_failedStep = static_cast<int>(m_next);
            if (auto* modal = juce::Component::getCurrentlyModalComponent())
                modal->exitModalState(0);
            m_next = m_steps.size();
        }
        m_busy = false;
        if (m_next >= m_steps.size())
            stopTimer();
    }

    std::vector<Step> m_steps;
    int m_timeoutMs;
    size_t m_next = 0;
    juce::uint32 m_stepStart = 0;
    bool m_busy = false;
    bool m_failed = false;
    int m_failedStep = -1;
};

// The first component of type T at or below root (depth first); null when
// none.
template <typename T>
T* FindComponent(juce::Component* root)
{
    if (root == nullptr)
        return nullptr;
    if (auto* found = dynamic_cast<T*>(root))
        return found;
    for (auto* child : root->getChildren())
    {
        if (auto* found = FindComponent<T>(child))
            return found;
    }
    return nullptr;
}

// The first button at or below root whose text is text; null when none.
inline juce::Button* FindButton(juce::Component* root, const juce::String& text)
{
    if (root == nullptr)
        return nullptr;
    if (auto* button = dynamic_cast<juce::Button*>(root);
        button != nullptr && button->getButtonText() == text)
        return button;
    for (auto* child : root->getChildren())
    {
        if (auto* found = FindButton(child, text))
            return found;
    }
    return nullptr;
}

// The modal component when it is a T; null otherwise.
template <typename T>
T* ModalOfType()
{
    return dynamic_cast<T*>(juce::Component::getCurrentlyModalComponent());
}

// Sends a key press to the window of component, as the keyboard would.
inline void PressKey(juce::Component& component, const juce::KeyPress& key)
{
    if (auto* peer = component.getPeer())
        peer->handleKeyPress(key);
}

// Types text in the window of component, one key press per character, and
// lets the notices each key posts arrive (20 ms) before the next.
inline void TypeText(juce::Component& component, const juce::String& text)
{
    for (auto p = text.getCharPointer(); !p.isEmpty();)
    {
        const juce::juce_wchar c = p.getAndAdvance();
        PressKey(component, juce::KeyPress(static_cast<int>(c), 0, c));
        juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
    }
}

// The mouse at a point of the window of component (in the window's
// coordinates) with the buttons of mods held, as the mouse reports it: a
// button newly held presses, one let go releases, a move with a button held
// drags.
inline void MouseAt(juce::Component& window, juce::Point<int> point, juce::ModifierKeys mods)
{
    if (auto* peer = window.getPeer())
        peer->handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, point.toFloat(), mods,
                               juce::MouseInputSource::defaultPressure,
                               juce::MouseInputSource::defaultOrientation, juce::Time::currentTimeMillis());
}

// A left click at a point of the window of component (in the window's
// coordinates), as the mouse makes it.
inline void ClickAt(juce::Component& window, juce::Point<int> point)
{
    MouseAt(window, point, juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier));
    MouseAt(window, point, juce::ModifierKeys());
}

// The picture of a component as drawn now.
inline juce::Image Snapshot(juce::Component& component)
{
    return component.createComponentSnapshot(component.getLocalBounds());
}
} // namespace uitest
