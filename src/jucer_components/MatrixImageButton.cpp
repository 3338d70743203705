#include "src/jucer_components/MatrixImageButton.h"

#include "src/jucer_components/ImageStrip.h"

#include <algorithm>

MatrixImageButton::MatrixImageButton(const juce::String& name, const juce::Image& image, int columns,
                                     int rows, int pressedRow, int disabledRow)
    : juce::Button(name), m_image(image), m_cellWidth(Vextal::ImageStrip::frameWidth(image, columns)),
      m_cellHeight(Vextal::ImageStrip::frameHeight(image, rows)), m_pressedY(pressedRow * m_cellHeight),
      m_disabledY(disabledRow * m_cellHeight), m_numStates(std::max(1, columns))
{
    setWantsKeyboardFocus(false);
    setSize(m_cellWidth, m_cellHeight);
}

void MatrixImageButton::setStateIndex(int index)
{
    const int clamped = std::clamp(index, 0, m_numStates - 1);
    if (m_stateIndex.exchange(clamped) == clamped)
        return;
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    repaint();
}

void MatrixImageButton::toggleState()
{
    setStateIndex((getStateIndex() + 1) % m_numStates);
}

void MatrixImageButton::paintButton(juce::Graphics& g, bool, bool isDown)
{
    int y = 0;
    if (isDown)
        y = m_pressedY;
    else if (!isEnabled())
        y = m_disabledY;
    Vextal::ImageStrip::drawCell(g, m_image, getStateIndex() * m_cellWidth, y, getWidth(), getHeight(), 1.0f);
}
