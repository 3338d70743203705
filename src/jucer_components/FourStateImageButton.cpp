#include "src/jucer_components/FourStateImageButton.h"

#include "src/jucer_components/ImageStrip.h"

namespace juce
{
FourStateImageButton::FourStateImageButton(const String& name) : Button(name)
{
    setWantsKeyboardFocus(false);
}

void FourStateImageButton::initialize(const Image& strip, int frameCount, int onUpFrame, int offUpFrame,
                                      int offDownFrame, int onDownFrame, int disabledFrame,
                                      float disabledOpacity)
{
    m_strip = strip;
    m_frameHeight = Vextal::ImageStrip::frameHeight(strip, frameCount);
    m_onUpY = onUpFrame * m_frameHeight;
    m_offUpY = offUpFrame * m_frameHeight;
    m_offDownY = offDownFrame * m_frameHeight;
    m_onDownY = onDownFrame * m_frameHeight;
    m_disabledY = disabledFrame * m_frameHeight;
    m_disabledOpacity = disabledOpacity;
    setSize(strip.isValid() ? strip.getWidth() : 0, m_frameHeight);
    repaint();
}

void FourStateImageButton::mouseDown(const MouseEvent& e)
{
    Component::SafePointer<FourStateImageButton> self(this);
    Button::mouseDown(e);
    if (self != nullptr && onMouseDown != nullptr)
        onMouseDown(*this, e);
}

void FourStateImageButton::paintButton(Graphics& g, bool, bool isDown)
{
    int y = 0;
    float opacity = 1.0f;
    if (!isEnabled())
    {
        y = m_disabledY;
        opacity = m_disabledOpacity;
    }
    else if (getToggleState())
        y = isDown ? m_onDownY : m_onUpY;
    else
        y = isDown ? m_offDownY : m_offUpY;
    Vextal::ImageStrip::drawCell(g, m_strip, 0, y, getWidth(), getHeight(), opacity);
}
} // namespace juce
