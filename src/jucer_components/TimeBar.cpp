#include "src/jucer_components/TimeBar.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/Resource/VXImageTable.h"

#include <cmath>

namespace
{
// The bar's own images, which the resource manager does not hold: read by
// name from the resources.
juce::Image LoadBarImage(Vextal::ImageIndex index)
{
    CZJEResource* resource = CZJEResource::GetInstance();
    if (resource == nullptr)
        return {};
    return resource->LoadImageZJE(Vextal::kImageTable[index].name, Vextal::kImageType);
}

int Width(const juce::Image& image)
{
    return image.isValid() ? image.getWidth() : 0;
}

int Height(const juce::Image& image)
{
    return image.isValid() ? image.getHeight() : 0;
}

// The sizes painting works with: L and R the widths of the bar's ends, B and
// H the bar image's, P and Q the pointer image's (five frames stacked).
struct BarSizes
{
    BarSizes(const juce::Image& bar, const juce::Image& pointer, const juce::Image& left,
             const juce::Image& right)
        : L(Width(left)), R(Width(right)), B(Width(bar)), H(Height(bar)), P(Width(pointer)),
          Q(Height(pointer))
    {
    }

    const int L, R, B, H, P, Q;
};

bool IsRightButton(const juce::MouseEvent& e)
{
    return e.mods.isRightButtonDown();
}
} // namespace

TimeBar::TimeBar(CVXHost& host)
    : m_host(host), m_bar(LoadBarImage(Vextal::kImageTimeBar)),
      m_pointer(LoadBarImage(Vextal::kImageTimeBarPoint)), m_left(LoadBarImage(Vextal::kImageTimeBarLeft)),
      m_right(LoadBarImage(Vextal::kImageTimeBarRight))
{
    setSize(650, 20);
    const Vextal::TrackInfo* song = ShownSong();
    m_songPresent = song != nullptr && song->isPresent();
    {
        const juce::ScopedLock sl(m_host.ObtainCriticalSection());
        m_host.AddListener(this);
    }
    m_host.addTrackInfoListener(this, -1);
}

TimeBar::~TimeBar()
{
    m_host.removeTrackInfoListener(this);
    const juce::ScopedLock sl(m_host.ObtainCriticalSection());
    m_host.RemoveListener(this);
}

Vextal::TrackInfo* TimeBar::ShownSong() const
{
    return m_host.GetSong(m_host.GetCurPlayTrack(m_host.GetMode()));
}

int TimeBar::BarX(const juce::MouseEvent& e)
{
    return juce::jlimit(0, BarLength, e.x);
}

// ---------------------------------------------------------------------------
// Notices

void TimeBar::OnVXHostTimerCallback(CVXHost*)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (!m_songPresent || m_dragging)
        return;
    m_position = m_host.GetCurTimeBarPosition();
    repaint();
}

void TimeBar::OnVXHostCurPlayTrackChanged(CVXHost*, int index)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    const Vextal::TrackInfo* song = m_host.GetSong(index);
    m_songPresent = song != nullptr && song->isPresent();
    repaint();
}

// Only the shown song's reload tells whether the bar has a song to show:
// another song's files coming or going change nothing here.
void TimeBar::songReloaded(Vextal::TrackInfo* song)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    if (song == nullptr || song != ShownSong())
        return;
    m_songPresent = song->isPresent();
    repaint();
}

// ---------------------------------------------------------------------------
// Mouse

void TimeBar::mouseDown(const juce::MouseEvent& e)
{
    if (IsRightButton(e))
        return;
    m_dragging = true;
    const float p = static_cast<float>(BarX(e)) / BarLength;
    m_moved = std::abs(m_position - p) > VALID_MOUSE_DELTA;
    if (m_moved)
    {
        m_position = p;
        repaint();
    }
}

void TimeBar::mouseDrag(const juce::MouseEvent& e)
{
    if (IsRightButton(e))
        return;
    const float p = static_cast<float>(BarX(e)) / BarLength;
    m_dragging = true;
    m_moved = true;
    m_host.SetDragKind(2);
    m_host.SetDraggingValue(p, 2);
    m_position = p;
    repaint();
}

void TimeBar::mouseUp(const juce::MouseEvent& e)
{
    m_dragging = false;
    if (IsRightButton(e) || !m_moved)
        return;
    m_host.SkipByTimeBar(static_cast<double>(BarX(e)) / BarLength);
    m_host.SetDragKind(0);
}

// ---------------------------------------------------------------------------
// Painting

void TimeBar::paint(juce::Graphics& g)
{
    if (m_songPresent)
        PaintPresent(g);
    else
        PaintAbsent(g);
}

void TimeBar::PaintPresent(juce::Graphics& g) const
{
    const auto [L, R, B, H, P, Q] = BarSizes(m_bar, m_pointer, m_left, m_right);
    const int px = static_cast<int>(static_cast<float>(getWidth() - 2 * L) * m_position);
    g.drawImage(m_bar, L + 5, 3, BarLength - R, 8, 0, 0, B, 9);
    g.drawImage(m_right, L - R + 632, 3, R, 7, 0, 0, R, 9);
    g.drawImage(m_bar, 5, 3, px, 8, 0, 9, B, H / 3);
    g.drawImage(m_left, 7 - L, 3, L, 7, 0, 0, L, 8);
    g.drawImage(m_left, 8 - L, 3, L, 8, 0, 9, L, 8);
    g.drawImage(m_pointer, juce::jlimit(5, BarLength, px) - 5, 0, P, Q / 5, 0, Q / 5, P, Q / 5);
}

void TimeBar::PaintAbsent(juce::Graphics& g) const
{
    const auto [L, R, B, H, P, Q] = BarSizes(m_bar, m_pointer, m_left, m_right);
    g.drawImage(m_bar, 4, 3, L + 627, 8, 0, 2 * H / 3, B, H / 3);
    g.drawImage(m_right, L + 627, 3, R, 8, 0, 18, R, 9);
    g.drawImage(m_pointer, 1, 0, P, Q / 5, 0, 4 * Q / 5, P, Q / 5);
}
