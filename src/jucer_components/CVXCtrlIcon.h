#pragma once

#include "library/zfc/CZfcComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A small picture from a vertical strip of frames: either one still frame
// (0 or 1) or the frames in turn, one every kFrameMs, while it animates.
// The song list marks the songs of a running export or burn with it.
//
// Threads. The animation is switched on the message thread or with the
// message-manager lock held (song notices may come from a worker).
class CVXCtrlIcon : public juce::Component, public CZfcComponent, private juce::Timer
{
public:
    static constexpr int kFrameMs = 160;

    explicit CVXCtrlIcon(const juce::String& name);
    ~CVXCtrlIcon() override;

    // The strip (borrowed) of frames frames; the icon becomes one frame in
    // size.
    void SetImage(juce::Image* strip, int frames);
    // Animates from the current frame on.
    void StartAnimation();
    // Stops on still frame 1 (the frame of a waiting target song).
    void StopAnimation();
    // Not animating, still frame 0.
    void SetInitialState();

    bool IsAnimating() const { return m_animating; }
    // The frame drawn now.
    int GetShownFrame() const;

    void paint(juce::Graphics& g) override;

private:
    void timerCallback() override;

    juce::Image* m_strip = nullptr;
    int m_currentFrame = 0;
    int m_frames = 0;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    bool m_animating = false;
    int m_stillFrame = 0;

    JUCE_DECLARE_NON_COPYABLE(CVXCtrlIcon)
};
