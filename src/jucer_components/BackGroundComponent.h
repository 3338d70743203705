#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The upper background of the main window: the top image, below it the
// one-row strip repeated down to the bottom, and the logo at the right.
//
// Message thread only.
class BackGroundComponent : public juce::Component
{
public:
    BackGroundComponent();

    void paint(juce::Graphics& g) override;
    void resized() override {}

private:
    juce::Image m_top;
    juce::Image m_strip;
    juce::Image m_logo;

    JUCE_DECLARE_NON_COPYABLE(BackGroundComponent)
};
