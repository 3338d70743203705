#include "src/jucer_components/SimpleImageButton.h"

#include "src/jucer_components/ImageStrip.h"

namespace juce
{
SimpleImageButton::SimpleImageButton(const String& name) : Button(name)
{
    setWantsKeyboardFocus(false);
}

SimpleImageButton::SimpleImageButton(const String& name, const Image& strip, int frameCount, int overFrame,
                                     int pressedFrame, int disabledFrame, int onFrame, float disabledOpacity)
    : SimpleImageButton(name)
{
    initialize(strip, frameCount, overFrame, pressedFrame, disabledFrame, onFrame, disabledOpacity);
}

void SimpleImageButton::initialize(const Image& strip, int frameCount, int overFrame, int pressedFrame,
                                   int disabledFrame, int onFrame, float disabledOpacity)
{
    m_strip = strip;
    m_frameHeight = Vextal::ImageStrip::frameHeight(strip, frameCount);
    m_overY = overFrame * m_frameHeight;
    m_pressedY = pressedFrame * m_frameHeight;
    m_disabledY = disabledFrame * m_frameHeight;
    m_onY = onFrame * m_frameHeight;
    m_disabledOpacity = disabledOpacity;
    setSize(strip.isValid() ? strip.getWidth() : 0, m_frameHeight);
    repaint();
}

void SimpleImageButton::paintButton(Graphics& g, bool isMouseOver, bool isDown)
{
    int y = 0;
    float opacity = 1.0f;
    if (!isEnabled())
    {
        y = getToggleState() ? m_onY : m_disabledY;
        opacity = m_disabledOpacity;
    }
    else if (isDown)
        y = m_pressedY;
    else if (!getToggleState())
        y = isMouseOver ? m_overY : 0;
    else
        y = m_onY;
    Vextal::ImageStrip::drawCell(g, m_strip, 0, y, getWidth(), getHeight(), opacity);
}
} // namespace juce
