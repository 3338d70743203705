#include "src/jucer_components/CVXCtrlLevelMeter.h"

#include <algorithm>

namespace
{
// A shown level below this shows nothing.
constexpr double kLowestShownDb = -50.0;
} // namespace

CVXCtrlLevelMeter::CVXCtrlLevelMeter(Vextal::ViewClock clock)
    : m_clock(Vextal::viewClockOrSystem(std::move(clock))), m_peakTime(m_clock())
{
}

void CVXCtrlLevelMeter::SetImage(const juce::Image& off, const juce::Image& on, bool resize)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    m_off = off;
    m_on = on;
    m_width = off.isValid() ? off.getWidth() : 0;
    m_height = off.isValid() ? off.getHeight() : 0;
    if (resize)
        setSize(m_width, m_height);
}

void CVXCtrlLevelMeter::SetSegments(const int* pixels, const float* thresholds, int count)
{
    m_pixels = pixels;
    m_thresholds = thresholds;
    m_count = pixels != nullptr && thresholds != nullptr ? std::max(count, 0) : 0;
    m_peak = m_count;
}

double CVXCtrlLevelMeter::FallStep(double shownDb)
{
    if (shownDb >= -6.0)
        return 1.5;
    if (shownDb >= -12.0)
        return 3.0;
    if (shownDb >= -24.0)
        return 6.0;
    return 12.0;
}

int CVXCtrlLevelMeter::SegmentOf(double levelDb) const
{
    for (int i = 0; i < m_count; ++i)
    {
        if (levelDb > m_thresholds[i])
            return i;
    }
    return m_count;
}

int CVXCtrlLevelMeter::PixelOf(int segment) const
{
    return segment >= 0 && segment < m_count ? m_pixels[segment] : 0;
}

int CVXCtrlLevelMeter::GetLitHeight() const
{
    return PixelOf(SegmentOf(m_shown));
}

// The shown level counts as changed only when it moves: a level that stays
// at the floor while nothing is shown (silence) repaints nothing.
void CVXCtrlLevelMeter::SetValue(double levelDb)
{
    bool changed = false;
    if (levelDb != m_shown)
    {
        double shown = std::max(m_shown - FallStep(m_shown), levelDb);
        if (shown < kLowestShownDb)
            shown = kSilenceDb;
        changed = shown != m_shown;
        m_shown = shown;
    }
    const int index = SegmentOf(levelDb);
    const int64_t now = m_clock();
    if (index <= m_peak)
        m_peakTime = now;
    if (index < m_peak || (m_holdMs >= 0 && index > m_peak && now - m_peakTime >= m_holdMs))
    {
        m_peak = index;
        repaint();
        return;
    }
    if (changed)
        repaint();
}

void CVXCtrlLevelMeter::ResetPeak()
{
    m_peak = m_count;
    repaint();
}

// ---------------------------------------------------------------------------
// Painting

void CVXCtrlLevelMeter::DrawRows(juce::Graphics& g, const juce::Image& image, int top, int bottom) const
{
    top = std::max(top, 0);
    bottom = std::min(bottom, m_height);
    if (bottom > top)
        g.drawImage(image, 0, top, m_width, bottom - top, 0, top, m_width, bottom - top);
}

void CVXCtrlLevelMeter::paint(juce::Graphics& g)
{
    if (!m_off.isValid() || !m_on.isValid() || m_width < 1 || m_height < 1)
        return;
    g.setOpacity(isEnabled() ? 1.0f : 0.5f);
    const int lit = GetLitHeight();
    DrawRows(g, m_on, m_height - lit, m_height);
    DrawRows(g, m_off, 0, m_height - lit);
    const int peakTop = PixelOf(m_peak);
    const int peakBottom = PixelOf(m_peak + 1);
    DrawRows(g, m_on, m_height - peakTop, m_height - peakBottom);
}

void CVXCtrlLevelMeter::enablementChanged()
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    repaint();
}

// ---------------------------------------------------------------------------
// Mouse: offered to the listener

void CVXCtrlLevelMeter::mouseMove(const juce::MouseEvent& e)
{
    ListenerConsumes(&CZfcComponentListener::OnZfcComponentMouseMove, e);
}

void CVXCtrlLevelMeter::mouseEnter(const juce::MouseEvent& e)
{
    ListenerConsumes(&CZfcComponentListener::OnZfcComponentMouseEnter, e);
}

void CVXCtrlLevelMeter::mouseExit(const juce::MouseEvent& e)
{
    ListenerConsumes(&CZfcComponentListener::OnZfcComponentMouseExit, e);
}

void CVXCtrlLevelMeter::mouseDown(const juce::MouseEvent& e)
{
    ListenerConsumes(&CZfcComponentListener::OnZfcComponentMouseDown, e);
}

void CVXCtrlLevelMeter::mouseDrag(const juce::MouseEvent& e)
{
    ListenerConsumes(&CZfcComponentListener::OnZfcComponentMouseDrag, e);
}

void CVXCtrlLevelMeter::mouseUp(const juce::MouseEvent& e)
{
    ListenerConsumes(&CZfcComponentListener::OnZfcComponentMouseUp, e);
}

void CVXCtrlLevelMeter::mouseWheelMove(const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    if (CZfcComponentListener* listener = GetListener())
        listener->OnZfcComponentMouseWheelMove(this, e, wheel.deltaY);
}
