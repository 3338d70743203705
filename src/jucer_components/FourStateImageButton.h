#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace juce
{
// A toggle-like button drawn from an image strip of equal frames stacked
// vertically, with its own frames for on and off, each up and down. It is as
// wide as the strip and one frame high, never takes the keyboard focus and
// borrows the strip.
//
// Frame choice: disabled -> the disabled frame at the disabled opacity;
// toggled on -> on-down while pressed, else on-up; toggled off -> off-down
// while pressed, else off-up. The mouse passing over it changes nothing.
//
// Message thread only.
class FourStateImageButton : public Button
{
public:
    explicit FourStateImageButton(const String& name);

    void initialize(const Image& strip, int frameCount, int onUpFrame, int offUpFrame, int offDownFrame,
                    int onDownFrame, int disabledFrame, float disabledOpacity);

    // Told of every mouse-down after the button's own handling (the owner's
    // control listener).
    std::function<void(FourStateImageButton&, const MouseEvent&)> onMouseDown;

    void mouseDown(const MouseEvent& e) override;

protected:
    void paintButton(Graphics& g, bool isMouseOver, bool isDown) override;

private:
    Image m_strip;
    int m_frameHeight = 0;
    int m_onUpY = 0;
    int m_offUpY = 0;
    int m_offDownY = 0;
    int m_onDownY = 0;
    int m_disabledY = 0;
    float m_disabledOpacity = 1.0f;

    JUCE_DECLARE_NON_COPYABLE(FourStateImageButton)
};
} // namespace juce
