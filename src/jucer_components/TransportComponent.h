#pragma once

#include "src/jucer_components/FourStateImageButton.h"
#include "src/jucer_components/InformationViewer.h"
#include "src/jucer_components/TimeBar.h"
#include "src/jucer_components/ViewClock.h"
#include "src/songlist/CVXHost.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <functional>

// The player panel at the top of the main window: the rewind, play and
// fast-forward buttons, the time bar and the information area with the song
// name and times.
//
// Play invokes the play-or-pause command through the command manager.
// Rewind and fast-forward tell a click from a hold: a button held for
// kCueDelayMs starts cueing (back or forward; a stopped player is paused
// first) and its release only ends the cue; a shorter click skips instead:
// fast-forward to the next song, rewind to the start of the song when it is
// playing or paused at kRestartSeconds or later, else to the previous song.
// While a button is held the framework clicks it again every kCueDelayMs;
// whether a click is such a repeat or the release is told by the button
// itself (CueButton), not by its drawn state, which the framework may flash.
//
// The buttons show the host's state: play lit while playing, a cue button lit
// while its cue runs; all three are disabled while an export runs or the
// songlist is empty. Presses just left and right of the time bar go to the
// bar as presses at its start and at its end.
//
// Threads. Message thread. The song-count and player-status notices may come
// from another thread: they take the message-manager lock.
class TransportComponent : public juce::Component, public juce::Button::Listener, public CVXHostListener
{
public:
    static constexpr int kCueDelayMs = 300;
    static constexpr double kRestartSeconds = 0.8;
    // The play-or-pause command.
    static constexpr int kPlayCommand = 17;

    // A cue button: it knows whether the mouse holds it and since when.
    class CueButton : public juce::FourStateImageButton
    {
    public:
        CueButton(const juce::String& name, const Vextal::ViewClock& clock);

        bool isHeld() const { return m_held; }
        int64_t getHeldMilliseconds() const;
        // Told at every press, before the button's own handling.
        std::function<void()> onPress;

        void mouseDown(const juce::MouseEvent& e) override;
        void mouseUp(const juce::MouseEvent& e) override;

    private:
        const Vextal::ViewClock& m_clock;
        bool m_held = false;
        int64_t m_pressTime = 0;
    };

    // Registers with the host (removed by the destructor). commands: the
    // target of the play button (none: play does nothing). clock: the time of
    // the cue buttons' presses.
    TransportComponent(CVXHost& host, juce::ApplicationCommandManager* commands,
                       Vextal::ViewClock clock = {});
    ~TransportComponent() override;

    void paint(juce::Graphics&) override {}
    void resized() override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;
    void buttonClicked(juce::Button* button) override;
    void buttonStateChanged(juce::Button* button) override;

    void OnVXHostNumTracksChanged(CVXHost* host, int count) override;
    void OnVXHostPlayerStatusChanged(CVXHost* host, int status) override;
    void OnVXHostPlayerSpeedStatusChanged(CVXHost* host, int speed) override;
    void OnVXHostModeChanged(CVXHost* host, int mode) override;

    CueButton& getRewindButton() { return m_rewind; }
    CueButton& getFastForwardButton() { return m_fastForward; }
    juce::FourStateImageButton& getPlayButton() { return m_play; }
    TimeBar& getTimeBar() { return m_timeBar; }
    InformationViewer& getInformationViewer() { return m_information; }
    bool isCueingBack() const { return m_cueingBack; }
    bool isCueingForward() const { return m_cueingForward; }

private:
    // A click of a cue button while it is held (a repeat), and at its release.
    void CueButtonRepeated(CueButton& button, bool& cueing, int speed);
    void RewindReleased();
    void FastForwardReleased();
    // Ends a running cue whose button changed its state.
    void EndCue(CueButton& button, bool& cueing);
    // Lights the cue buttons for a speed status.
    void ShowSpeed(int speed);
    // The buttons work only in host mode 0 with songs in the list.
    void UpdateEnablement(int mode, int count);
    // Passes a press or release in one of the spots beside the bar to the
    // bar, as an event at its start or its end.
    void ForwardToBar(const juce::MouseEvent& e, void (TimeBar::*handler)(const juce::MouseEvent&));

    CVXHost& m_host;
    juce::ApplicationCommandManager* const m_commands;
    const Vextal::ViewClock m_clock;
    CueButton m_rewind;
    CueButton m_fastForward;
    juce::FourStateImageButton m_play{"Play"};
    TimeBar m_timeBar;
    InformationViewer m_information;
    bool m_cueingForward = false;
    bool m_cueingBack = false;

    JUCE_DECLARE_NON_COPYABLE(TransportComponent)
};
