#include "library/zfc/CZfcFadeInProxy.h"

#include "library/zfc/CZfcFadeIn.h"

#include <algorithm>

CZfcFadeInProxy::CZfcFadeInProxy(juce::Component& target, int ms, int dx, int dy, float startScale)
    : m_target(&target)
{
    const float duration = static_cast<float>(std::max(1, ms));
    const auto bounds = target.getBounds().translated(-dx, -dy);
    m_snapshot = target.createComponentSnapshot(target.getLocalBounds(), true);
    m_alphaPerMs = 1.0f / duration;
    m_centreX = static_cast<float>(bounds.getCentreX());
    m_centreY = static_cast<float>(bounds.getCentreY());
    m_centreXPerMs = static_cast<float>(dx) / duration;
    m_centreYPerMs = static_cast<float>(dy) / duration;
    m_scale = startScale;
    m_scalePerMs = (1.0f - startScale) / duration;

    setInterceptsMouseClicks(false, false);
    setBounds(bounds.withSizeKeepingCentre(juce::roundToInt(bounds.getWidth() * m_scale),
                                           juce::roundToInt(bounds.getHeight() * m_scale)));
    target.getParentComponent()->addAndMakeVisible(this);
    // Transparent rather than hidden: a modal component that is hidden leaves
    // its modal state.
    target.setAlpha(0.0f);
    target.setVisible(true);
    startTimer(CZfcFadeIn::Interval(dx, dy));
}

CZfcFadeInProxy::~CZfcFadeInProxy() = default;

void CZfcFadeInProxy::paint(juce::Graphics& g)
{
    g.setOpacity(std::clamp(m_alpha, 0.0f, 1.0f));
    g.drawImage(m_snapshot, getLocalBounds().toFloat());
}

void CZfcFadeInProxy::timerCallback()
{
    const double now = juce::Time::getMillisecondCounterHiRes();
    const double elapsed = (m_lastTime == 0.0 || now < m_lastTime) ? 0.0 : now - m_lastTime;
    m_lastTime = now;
    m_alpha += static_cast<float>(elapsed) * m_alphaPerMs;
    if (m_alpha >= 1.0f)
    {
        finish();
        return;
    }
    moveOn(elapsed);
    repaint();
}

void CZfcFadeInProxy::moveOn(double elapsedMs)
{
    if (m_centreXPerMs == 0.0f && m_centreYPerMs == 0.0f && m_scalePerMs == 0.0f)
        return;
    const float elapsed = static_cast<float>(elapsedMs);
    m_centreX += elapsed * m_centreXPerMs;
    m_centreY += elapsed * m_centreYPerMs;
    m_scale += elapsed * m_scalePerMs;
    const int w = juce::roundToInt(static_cast<float>(m_snapshot.getWidth()) * m_scale);
    const int h = juce::roundToInt(static_cast<float>(m_snapshot.getHeight()) * m_scale);
    setBounds(
        juce::Rectangle<int>(w, h).withCentre({juce::roundToInt(m_centreX), juce::roundToInt(m_centreY)}));
}

void CZfcFadeInProxy::finish()
{
    stopTimer();
    setVisible(false);
    if (m_target != nullptr)
    {
        m_target->setAlpha(1.0f);
        m_target->setVisible(true);
    }
    if (auto* parent = getParentComponent())
        parent->removeChildComponent(this);
    if (m_target != nullptr)
    {
        m_target->getProperties().set(CZfcFadeIn::isCurrentlyFadingIn, false);
        m_target->postCommandMessage(CZfcFadeIn::FadeInEndMessage);
    }
    delete this;
}
