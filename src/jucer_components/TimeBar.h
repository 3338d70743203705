#pragma once

#include "library/zfc/CZfcComponent.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The seek bar of the player panel: a horizontal bar of images showing the
// position in the current song (during an export, in the song being
// exported) with a pointer, and letting the user click or drag to a position,
// which is applied when the mouse button is released.
//
// The bar never asks the player for anything: the host's 50 ms tick moves
// the pointer (unless the user is dragging it), and the current song's
// notices tell whether a song with present files is shown; without one the
// bar is drawn in its disabled look with the pointer at the left. While the
// pointer is dragged, the host is in its time-bar dragging state (drag kind
// 2) and holds the drag position, so that the time display follows the drag;
// the release seeks once and ends the dragging state.
//
// Positions are x / BarLength, x limited to 0 .. BarLength; a press moves the
// pointer only when that is more than VALID_MOUSE_DELTA from where it is. The
// right mouse button never moves or seeks.
//
// Threads. Message thread. The current-song and song notices may come from
// another thread while songs are added: they take the message-manager lock.
class TimeBar : public juce::Component,
                public CVXHostListener,
                public CZfcComponent,
                public Vextal::TrackInfoListener
{
public:
    // The pixels of the usable bar.
    static constexpr int BarLength = 631;
    // The smallest change of position a press must make to count as a move.
    static constexpr float VALID_MOUSE_DELTA = 0.01f;

    // Registers with the host and for the notices of every song; the
    // destructor removes both.
    explicit TimeBar(CVXHost& host);
    ~TimeBar() override;

    void paint(juce::Graphics& g) override;
    void resized() override {}
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;

    void OnVXHostTimerCallback(CVXHost* host) override;
    void OnVXHostCurPlayTrackChanged(CVXHost* host, int index) override;
    void songReloaded(Vextal::TrackInfo* song) override;

    // What the bar shows: whether a song with present files is shown, and
    // the pointer's position 0..1.
    bool isSongPresent() const { return m_songPresent; }
    float getPosition() const { return m_position; }
    bool isDragging() const { return m_dragging; }

private:
    // The song the bar shows: the current song, or the exported one during
    // an export; null when there is none.
    Vextal::TrackInfo* ShownSong() const;
    // e.x limited to the bar.
    static int BarX(const juce::MouseEvent& e);
    void PaintPresent(juce::Graphics& g) const;
    void PaintAbsent(juce::Graphics& g) const;

    CVXHost& m_host;
    bool m_songPresent = false;
    bool m_dragging = false;
    bool m_moved = false;
    float m_position = 0.0f;
    juce::Image m_bar;
    juce::Image m_pointer;
    juce::Image m_left;
    juce::Image m_right;

    JUCE_DECLARE_NON_COPYABLE(TimeBar)
};
