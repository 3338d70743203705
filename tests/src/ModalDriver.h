#pragma once

// Drives modal windows from a test: steps run on the message thread, while
// the code under test sits in its modal loop, each called every 20 ms until it
// returns true.
//
// The whole drive has a deadline (30 s by default), counted from the
// driver's creation: the steps must have run and every modal window that
// opened meanwhile must have closed by then. A step's input can be lost (a
// key the window never answers) and a step can wait for a window that never
// shows; either way, at the deadline the driver fails the test, naming the
// step it was waiting for, ends every modal loop opened since its creation
// with 0, and from then on ends at once any that still opens, so a test
// never hangs. The driver watches until it is destroyed or, its steps done,
// a later driver is made.

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace uitest
{
class ModalDriver : private juce::Timer
{
public:
    using Step = std::function<bool()>;

    explicit ModalDriver(std::vector<Step> steps, int deadlineMs = 30000)
        : m_steps(std::move(steps)), m_start(juce::Time::getMillisecondCounter()),
          m_deadlineMs(static_cast<juce::uint32>(deadlineMs))
    {
        auto& modals = *juce::ModalComponentManager::getInstance();
        for (int i = 0; i < modals.getNumModalComponents(); ++i)
            m_modalBefore.emplace_back(modals.getModalComponent(i));
        LiveDrivers().push_back(this);
        startTimer(20);
    }
    ~ModalDriver() override
    {
        stopTimer();
        auto& live = LiveDrivers();
        live.erase(std::remove(live.begin(), live.end(), this), live.end());
    }
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    // Every step returned true before the deadline.
    bool succeeded() const { return m_next == m_steps.size() && !m_failed; }
    // The step still waiting at the deadline (the number of steps when all
    // had run but a modal loop had not ended), or -1.
    int failedStep() const { return m_failedStep; }

private:
    // The drivers alive, oldest first. Once its steps have run, a driver
    // leaves the watch over new modal loops to a later one.
    static std::vector<ModalDriver*>& LiveDrivers()
    {
        static std::vector<ModalDriver*> live;
        return live;
    }

    // One step a tick, so that what a step set off has happened (or has had
    // its chance to) when the next one looks.
    void timerCallback() override
    {
        if (m_busy)
            return;
        const juce::ScopedValueSetter<bool> busy(m_busy, true);
        const bool late = juce::Time::getMillisecondCounter() - m_start > m_deadlineMs;
        if (m_failed)
        {
            endModalLoopsOpenedSince();
            return;
        }
        if (m_next < m_steps.size())
        {
            if (m_steps[m_next]())
                ++m_next;
            else if (late)
            {
                endModalLoopsOpenedSince();
                fail();
            }
            return;
        }
        if (late && LiveDrivers().back() == this && endModalLoopsOpenedSince() > 0)
            fail();
    }

    void fail()
    {
        m_failed = true;
        m_failedStep = static_cast<int>(m_next);
        if (m_next < m_steps.size())
            ADD_FAILURE() << "ModalDriver: step " << m_next << " (of " << m_steps.size() << ", from 0) was "
                          << "still waiting after " << m_deadlineMs << " ms; its modal loops were ended";
        else
            ADD_FAILURE() << "ModalDriver: all " << m_steps.size() << " steps ran, but a modal loop was "
                          << "still running after " << m_deadlineMs
                          << " ms (the last step's input went unanswered); it was ended";
    }

    // Ends with 0 every modal loop that was not running when the driver was
    // made; returns how many.
    int endModalLoopsOpenedSince()
    {
        std::vector<juce::Component::SafePointer<juce::Component>> opened;
        auto& modals = *juce::ModalComponentManager::getInstance();
        for (int i = 0; i < modals.getNumModalComponents(); ++i)
        {
            auto* modal = modals.getModalComponent(i);
            if (std::none_of(m_modalBefore.begin(), m_modalBefore.end(),
                             [modal](const auto& before) { return before.getComponent() == modal; }))
                opened.emplace_back(modal);
        }
        for (auto& modal : opened)
        {
            if (modal != nullptr)
                modal->exitModalState(0);
        }
        return static_cast<int>(opened.size());
    }

    std::vector<Step> m_steps;
    juce::uint32 m_start;
    juce::uint32 m_deadlineMs;
    std::vector<juce::Component::SafePointer<juce::Component>> m_modalBefore;
    size_t m_next = 0;
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

// Sends a key press to the window of component, as the keyboard would: to
// the component with the keyboard focus, else to the window, and while a
// modal window blocks that one, to the modal window. A modal window thus
// gets the key whether or not its window holds the X keyboard focus, which
// the windows of other tests on the same display take; a test that types
// into a component (an editor) needs that focus and runs alone under CTest.
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
