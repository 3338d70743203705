#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace juce
{
// A button drawn from an image strip: equal frames stacked vertically, frame
// height = strip height / frame count. The button is as wide as the strip and
// one frame high and never takes the keyboard focus. It borrows the strip (the
// pixels are shared, never copied).
//
// Frame choice, first match wins: disabled -> the on frame when toggled on,
// else the disabled frame, at the disabled opacity; pressed -> the pressed
// frame; toggled off -> the over frame while the mouse is over it, else frame
// 0; toggled on -> the on frame.
//
// Message thread only.
class SimpleImageButton : public Button
{
public:
    explicit SimpleImageButton(const String& name);
    SimpleImageButton(const String& name, const Image& strip, int frameCount, int overFrame, int pressedFrame,
                      int disabledFrame, int onFrame, float disabledOpacity);

    void initialize(const Image& strip, int frameCount, int overFrame, int pressedFrame, int disabledFrame,
                    int onFrame, float disabledOpacity);

protected:
    void paintButton(Graphics& g, bool isMouseOver, bool isDown) override;

private:
    Image m_strip;
    int m_frameHeight = 0;
    int m_overY = 0;
    int m_pressedY = 0;
    int m_disabledY = 0;
    int m_onY = 0;
    float m_disabledOpacity = 1.0f;

    JUCE_DECLARE_NON_COPYABLE(SimpleImageButton)
};
} // namespace juce
