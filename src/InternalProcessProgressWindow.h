#pragma once

#include "src/songlist/CVXHost.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace Vextal
{
// A floating, non-modal alert shown while the song the player is about to play
// is still being prepared by its stream (a compressed file being decoded into
// a temporary file, for example), with the stream's share done as a progress
// bar and a Close button. The main content keeps one for the life of the main
// window; it is the host's listener.
//
// It shows on a player-status or current-song notice when no export or burn
// runs, the player is not stopped and the stream is still preparing; every
// host tick refreshes the bar and hides the alert once the stream is ready.
// Close hides it until the next such notice finds the stream still preparing.
//
// Threads. The status and current-song notices may come from any thread:
// they take the message-manager lock before touching the alert. The tick
// comes on the message thread.
class InternalProcessProgressWindow : public CVXHostListener, private juce::Button::Listener
{
public:
    // What the window reads of the host.
    class Source
    {
    public:
        virtual ~Source() = default;
        // 0 when no export or burn runs.
        virtual int getHostMode() = 0;
        // 2 when stopped.
        virtual int getPlayerStatus() = 0;
        // Whether the current song's stream is still preparing its data, and
        // how much of it is done, 0 to 100.
        virtual bool isCurrentSongProcessing() = 0;
        virtual double getCurrentSongProcessPercent() = 0;
    };

    // Listens to the host (added to its listener list; removed again by the
    // destructor).
    explicit InternalProcessProgressWindow(CVXHost& host);
    // Reads source; whoever owns it calls the notices.
    explicit InternalProcessProgressWindow(Source& source);
    ~InternalProcessProgressWindow() override;

    void OnVXHostCurPlayTrackChanged(CVXHost* host, int index) override;
    void OnVXHostPlayerStatusChanged(CVXHost* host, int status) override;
    void OnVXHostTimerCallback(CVXHost* host) override;

    // Shows the alert while the current song's stream is preparing; hides it
    // when it is ready. Nothing while an export runs or the player is stopped.
    void showIfProcessing();

    juce::AlertWindow& getAlertWindow() { return m_alert; }
    double getProgress() const { return m_progress; }

private:
    void buttonClicked(juce::Button* button) override;
    void build();

    std::unique_ptr<Source> m_hostSource;
    Source& m_source;
    CVXHost* m_host = nullptr;
    double m_progress = 0.0;
    juce::AlertWindow m_alert;
    juce::TextButton m_closeButton;
};
} // namespace Vextal
