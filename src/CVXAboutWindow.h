#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

// The modal about window: the about picture with the application's name, its
// version, the build note and a one-line notice, fading in over its parent.
// Any key or any click, inside or outside it, closes it.
//
// Message thread only.
class CVXAboutWindow : public juce::Component
{
public:
    static constexpr const char* kVersionText = "1.0.0.0";
    static constexpr const char* kNotice = "Copyright (c) The Vextal developers";

    // Opens the window over parent (nothing when parent is null): centred,
    // modal with the keyboard focus, fading in over 400 ms. onClosed runs
    // when it has closed (the owner refreshes its command states there). The
    // window deletes itself when it has closed; the returned pointer is only
    // for looking at it until then.
    static CVXAboutWindow* show(juce::Component* parent, std::function<void()> onClosed = {});

    // Fades the window out over 400 ms, removes it from its parent, leaves the
    // modal state, runs onClosed and deletes the window (once the modal
    // state has ended). Only while it is visible.
    void close();

    // The build note: "Other_SSE2Optimized" on processors with SSE2, else
    // empty.
    static juce::String buildNote();

    void paint(juce::Graphics& g) override;
    bool keyPressed(const juce::KeyPress& key) override;
    void inputAttemptWhenModal() override;
    void mouseDown(const juce::MouseEvent& event) override;
    void handleCommandMessage(int commandId) override;

private:
    explicit CVXAboutWindow(std::function<void()> onClosed);

    juce::Image m_picture;
    juce::DropShadower m_shadow;
    std::function<void()> m_onClosed;
};
