#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Stands in for a component while it fades in (CZfcFadeIn::Start): a
// picture of the component drawn at a rising opacity, moving and growing into
// the component's place, while the component itself is fully transparent. It
// lives in the component's parent, ignores the mouse, and deletes itself when
// the fade has ended.
//
// Message thread only.
class CZfcFadeInProxy : public juce::Component, private juce::Timer
{
public:
    // Takes the picture, joins the component's parent and makes the component
    // transparent; the timer starts at once. The parent must exist.
    CZfcFadeInProxy(juce::Component& target, int ms, int dx, int dy, float startScale);
    ~CZfcFadeInProxy() override;

    void paint(juce::Graphics& g) override;

    float getCurrentAlpha() const { return m_alpha; }

private:
    void timerCallback() override;
    // Ends the fade: makes the component opaque, tells it, and deletes this.
    void finish();
    void moveOn(double elapsedMs);

    juce::Component::SafePointer<juce::Component> m_target;
    juce::Image m_snapshot;
    double m_lastTime = 0.0;
    float m_alpha = 0.0f;
    float m_alphaPerMs;
    float m_centreX;
    float m_centreY;
    float m_centreXPerMs;
    float m_centreYPerMs;
    float m_scale;
    float m_scalePerMs;
};
