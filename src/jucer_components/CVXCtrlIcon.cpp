#include "src/jucer_components/CVXCtrlIcon.h"

CVXCtrlIcon::CVXCtrlIcon(const juce::String& name) : juce::Component(name)
{
    setInterceptsMouseClicks(false, false);
}

CVXCtrlIcon::~CVXCtrlIcon()
{
    stopTimer();
}

void CVXCtrlIcon::SetImage(juce::Image* strip, int frames)
{
    m_strip = strip;
    m_frames = frames;
    m_frameWidth = strip != nullptr ? strip->getWidth() : 0;
    m_frameHeight = strip != nullptr && frames > 0 ? strip->getHeight() / frames : 0;
    setSize(m_frameWidth, m_frameHeight);
}

void CVXCtrlIcon::StartAnimation()
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    m_animating = true;
    startTimer(kFrameMs);
}

void CVXCtrlIcon::StopAnimation()
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    stopTimer();
    m_stillFrame = 1;
    if (m_animating)
    {
        m_animating = false;
        repaint();
    }
}

void CVXCtrlIcon::SetInitialState()
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    m_animating = false;
    m_stillFrame = 0;
}

int CVXCtrlIcon::GetShownFrame() const
{
    const int frame = m_animating ? juce::jmax(0, m_currentFrame) : m_stillFrame;
    return juce::jmin(frame, m_frames - 1);
}

void CVXCtrlIcon::timerCallback()
{
    if (m_frames > 0)
        m_currentFrame = (m_currentFrame + 1) % m_frames;
    repaint();
}

void CVXCtrlIcon::paint(juce::Graphics& g)
{
    if (m_strip == nullptr || !m_strip->isValid() || m_frames <= 0 || m_frameWidth <= 0 || m_frameHeight <= 0)
        return;
    const int frame = GetShownFrame();
    g.drawImage(*m_strip, 0, 0, getWidth(), getHeight(), 0, frame * m_frameHeight, m_frameWidth,
                m_frameHeight);
}
