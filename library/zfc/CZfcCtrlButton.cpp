#include "library/zfc/CZfcCtrlButton.h"

#include <algorithm>

namespace
{
constexpr float kDisabledOpacity = 0.5f;
} // namespace

CZfcCtrlButton::CZfcCtrlButton(const juce::String& name) : juce::Component(name) {}

CZfcCtrlButton::~CZfcCtrlButton() = default;

void CZfcCtrlButton::SetImage(juce::Image* strip, int stateCount, bool pressedRows, bool resize,
                              int frameWidth, int frameHeight)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    m_pImage = strip;
    const int count = std::max(stateCount, 1);
    const bool countChanged = count != m_iStateCount;
    m_iStateCount = count;
    if (countChanged && m_iState >= count)
        SetState(count - 1, true, false);
    m_bPressedRows = pressedRows;
    m_iRows = pressedRows ? count * 2 : count;
    const bool valid = strip != nullptr && strip->isValid();
    m_iFrameWidth = frameWidth != 0 ? frameWidth : (valid ? strip->getWidth() : 0);
    m_iFrameHeight = frameHeight != 0 ? frameHeight : (valid ? strip->getHeight() / m_iRows : 0);
    if (!resize)
        return;
    if (getWidth() == m_iFrameWidth && getHeight() == m_iFrameHeight)
        resized();
    else
        setSize(m_iFrameWidth, m_iFrameHeight);
}

void CZfcCtrlButton::SetState(int state, bool, bool)
{
    const int clamped = std::clamp(state, 0, m_iStateCount - 1);
    if (clamped == m_iState)
        return;
    m_iState = clamped;
    m_bPainted = false;
    repaint();
}

void CZfcCtrlButton::SetHitArea(const juce::Rectangle<int>& area)
{
    m_hitArea = area;
    m_bFixedHitArea = true;
}

int CZfcCtrlButton::FrameRow(int state, bool pressed, bool inside, bool pressedRows, int rows)
{
    const int row = pressedRows ? state * 2 + ((pressed && inside) ? 1 : 0) : state;
    return std::clamp(row, 0, std::max(rows - 1, 0));
}

bool CZfcCtrlButton::TrackPointer(MouseOperation operation, const juce::MouseEvent& e)
{
    if (ListenerConsumes(operation, e))
        return false;
    m_bInside = m_hitArea.contains(e.getPosition());
    return true;
}

void CZfcCtrlButton::mouseMove(const juce::MouseEvent& e)
{
    TrackPointer(&CZfcComponentListener::OnZfcComponentMouseMove, e);
}

void CZfcCtrlButton::mouseEnter(const juce::MouseEvent& e)
{
    TrackPointer(&CZfcComponentListener::OnZfcComponentMouseEnter, e);
}

void CZfcCtrlButton::mouseExit(const juce::MouseEvent& e)
{
    TrackPointer(&CZfcComponentListener::OnZfcComponentMouseExit, e);
}

void CZfcCtrlButton::mouseDown(const juce::MouseEvent& e)
{
    if (ListenerConsumes(&CZfcComponentListener::OnZfcComponentMouseDown, e) || e.mods.isRightButtonDown())
        return;
    m_bInside = m_hitArea.contains(e.getPosition());
    if (!m_bInside || !isEnabled())
        return;
    m_bPressed = true;
    RepaintPressedFrame();
    TellListener(&CZfcComponentListener::OnZfcComponentBeginEdit);
    if (m_iActionTiming == kActionOnPress)
        TellListener(&CZfcComponentListener::OnZfcComponentButtonAction);
}

void CZfcCtrlButton::mouseDrag(const juce::MouseEvent& e)
{
    if (ListenerConsumes(&CZfcComponentListener::OnZfcComponentMouseDrag, e) || e.mods.isRightButtonDown() ||
        !m_bPressed)
        return;
    const bool wasInside = m_bInside;
    m_bInside = m_hitArea.contains(e.getPosition());
    if (m_bInside != wasInside)
        repaint();
}

// A release ends the press the button took, and only that, so that the end of
// the edit always follows its beginning: also when the button was disabled
// meanwhile or the listener consumed the release (neither then fires the
// action).
void CZfcCtrlButton::mouseUp(const juce::MouseEvent& e)
{
    const bool ownRelease =
        !ListenerConsumes(&CZfcComponentListener::OnZfcComponentMouseUp, e) && !e.mods.isRightButtonDown();
    if (!m_bPressed)
        return;
    m_bPressed = false;
    RepaintPressedFrame();
    TellListener(&CZfcComponentListener::OnZfcComponentEndEdit);
    if (ownRelease && isEnabled() && m_iActionTiming == kActionOnRelease && m_bInside)
        TellListener(&CZfcComponentListener::OnZfcComponentButtonAction);
}

void CZfcCtrlButton::RepaintPressedFrame()
{
    if (m_bPressedRows)
        repaint();
}

void CZfcCtrlButton::enablementChanged()
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    repaint();
}

void CZfcCtrlButton::paint(juce::Graphics& g)
{
    if (m_pImage == nullptr || !m_pImage->isValid() || m_iStateCount < 1 || m_iFrameWidth < 1 ||
        m_iFrameHeight < 1)
        return;
    const int row = FrameRow(m_iState, m_bPressed, m_bInside, m_bPressedRows, m_iRows);
    g.setOpacity(isEnabled() ? 1.0f : kDisabledOpacity);
    g.drawImage(*m_pImage, 0, 0, getWidth(), getHeight(), 0, row * m_iFrameHeight, m_iFrameWidth,
                m_iFrameHeight);
    m_bPainted = true;
}

void CZfcCtrlButton::resized()
{
    if (!m_bFixedHitArea)
        m_hitArea = getLocalBounds();
}
