#include "src/jucer_components/SongInfoViewers.h"

#include "library/util/CCheckUtil.h"
#include "src/CVXLookAndFeel.h"
#include "src/songlist/VXUtil.h"

namespace
{
constexpr float kFontHeight = 18.0f;
} // namespace

// ---------------------------------------------------------------------------
// SongInfoViewer

SongInfoViewer::SongInfoViewer(CVXHost& host, int width, int height) : m_host(host)
{
    m_label.setJustificationType(juce::Justification::centredLeft);
    m_label.setEditable(false, false, false);
    m_label.setColour(juce::Label::textColourId, juce::Colours::white);
    m_label.setColour(juce::Label::textWhenEditingColourId, juce::Colours::black);
    m_label.setColour(juce::Label::backgroundWhenEditingColourId, juce::Colours::transparentBlack);
    addAndMakeVisible(m_label);
    setSize(width, height);
    {
        const juce::ScopedLock sl(m_host.ObtainCriticalSection());
        m_host.AddListener(this);
    }
    m_host.addTrackInfoListener(this, -2);
}

SongInfoViewer::~SongInfoViewer()
{
    m_host.removeTrackInfoListener(this);
    const juce::ScopedLock sl(m_host.ObtainCriticalSection());
    m_host.RemoveListener(this);
}

void SongInfoViewer::resized()
{
    m_label.setBounds(getLocalBounds());
}

Vextal::TrackInfo* SongInfoViewer::CurrentSong() const
{
    return m_host.GetSong(m_host.GetCurPlayTrack(m_host.GetMode()));
}

void SongInfoViewer::SetText(const juce::String& text)
{
    m_label.setText(text, juce::dontSendNotification);
}

void SongInfoViewer::RefreshLocked()
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    refresh();
}

// ---------------------------------------------------------------------------
// SongNameViewer

SongNameViewer::SongNameViewer(CVXHost& host) : SongInfoViewer(host, 220, 30)
{
    m_label.setFont(
        CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontLocalText, kFontHeight, juce::Font::bold));
    refresh();
}

void SongNameViewer::refresh()
{
    const Vextal::TrackInfo* song = CurrentSong();
    SetText(song != nullptr ? song->getText(Vextal::TrackInfo::kSongName) : juce::String());
}

void SongNameViewer::songReloaded(Vextal::TrackInfo*)
{
    RefreshLocked();
}

void SongNameViewer::songTextChanged(Vextal::TrackInfo*, int)
{
    RefreshLocked();
}

void SongNameViewer::OnVXHostCurPlayTrackChanged(CVXHost*, int)
{
    RefreshLocked();
}

// ---------------------------------------------------------------------------
// The time viewers

SongTimeViewerBase::SongTimeViewerBase(CVXHost& host) : SongInfoViewer(host, 100, 30)
{
    m_label.setFont(
        CVXLookAndFeel::GetFontOrDefault(FontIdForCount(host.GetNumSongs()), kFontHeight, juce::Font::bold));
}

int SongTimeViewerBase::FontIdForCount(int count)
{
    return count == 0 || count == -1 ? CVXLookAndFeel::kFontTimeKerned : CVXLookAndFeel::kFontTime;
}

void SongTimeViewerBase::songTextChanged(Vextal::TrackInfo*, int)
{
    RefreshLocked();
}

void SongTimeViewerBase::OnVXHostCurPlayTrackChanged(CVXHost*, int)
{
    RefreshLocked();
}

void SongTimeViewerBase::OnVXHostNumTracksChanged(CVXHost*, int count)
{
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    m_label.setFont(CVXLookAndFeel::GetFontOrDefault(FontIdForCount(count), kFontHeight, juce::Font::bold));
    refresh();
}

SongTimeCounter::SongTimeCounter(CVXHost& host) : SongTimeViewerBase(host)
{
    refresh();
}

void SongTimeCounter::refresh()
{
    if (CurrentSong() == nullptr)
    {
        SetText(kNoTime);
        return;
    }
    int hours = 0, minutes = 0;
    float seconds = 0.0f;
    m_host.GetCurTime(&hours, &minutes, &seconds);
    SetText(Vextal::convertTimeToString(hours, minutes, seconds, 0));
}

void SongTimeCounter::OnVXHostTimerCallback(CVXHost*)
{
    VX_ASSERT_MESSAGE_THREAD();
    refresh();
}

SongTimeViewer::SongTimeViewer(CVXHost& host) : SongTimeViewerBase(host)
{
    refresh();
}

void SongTimeViewer::refresh()
{
    const Vextal::TrackInfo* song = CurrentSong();
    SetText(song != nullptr ? Vextal::convertTimeToString(song->getTotalTimeSecond(), 0)
                            : juce::String(kNoTime));
}
