#pragma once

#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The texts of the player panel about the current song: its name, its
// elapsed time and its total time. During an export the current song is the
// one being exported, so the texts follow the export.
//
// The three viewers share one shape (SongInfoViewer): one label filling the
// viewer, white text, not editable; registered with the host and for the
// current song's notices, and refreshed only on those notices, never by
// asking the player. refresh sets the label's text without notification.
//
// Threads. Message thread. Song-count, current-song and song notices may
// come from another thread while songs are added: they take the
// message-manager lock before refreshing.
class SongInfoViewer : public juce::Component, public CVXHostListener, public Vextal::TrackInfoListener
{
public:
    // The text shown for a time when there is no current song.
    static constexpr const char* kNoTime = "--:--:--.---";

    ~SongInfoViewer() override;

    void resized() override;

    // Sets the label to what the viewer shows now.
    virtual void refresh() = 0;

    const juce::Label& getLabel() const { return m_label; }

protected:
    // Registers with the host and for the current song's notices; the
    // destructor removes both.
    SongInfoViewer(CVXHost& host, int width, int height);

    // The current song (during an export the exported one); null when none.
    Vextal::TrackInfo* CurrentSong() const;
    void SetText(const juce::String& text);
    // Refreshes under the message-manager lock.
    void RefreshLocked();

    CVXHost& m_host;
    juce::Label m_label;
};

// The current song's name; empty without a current song.
class SongNameViewer final : public SongInfoViewer
{
public:
    explicit SongNameViewer(CVXHost& host);

    void refresh() override;

    void songReloaded(Vextal::TrackInfo* song) override;
    void songTextChanged(Vextal::TrackInfo* song, int textIndex) override;
    void OnVXHostCurPlayTrackChanged(CVXHost* host, int index) override;
};

// The two time viewers' font: the widely spaced time font (id 4) while the
// songlist is empty, the plain time font (id 3) otherwise.
class SongTimeViewerBase : public SongInfoViewer
{
public:
    void songTextChanged(Vextal::TrackInfo* song, int textIndex) override;
    void OnVXHostCurPlayTrackChanged(CVXHost* host, int index) override;
    void OnVXHostNumTracksChanged(CVXHost* host, int count) override;

    // The font id of a song count.
    static int FontIdForCount(int count);

protected:
    explicit SongTimeViewerBase(CVXHost& host);
};

// The current time: the player's, the exported song's during an export, or
// the drag position while the time bar or the wheel is dragged.
class SongTimeCounter final : public SongTimeViewerBase
{
public:
    explicit SongTimeCounter(CVXHost& host);

    void refresh() override;

    void OnVXHostTimerCallback(CVXHost* host) override;
};

// The current song's total time.
class SongTimeViewer final : public SongTimeViewerBase
{
public:
    explicit SongTimeViewer(CVXHost& host);

    void refresh() override;
};
