#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <memory>

// A worker thread run under a modal alert that shows a status text, the
// subclass's own components, an optional progress bar and an optional Cancel
// button (Escape). The subclass does its work in run() and polls
// threadShouldExit(), so that Cancel ends it.
//
// Threads. runThread and the alert belong to the message thread. The worker
// calls setProgress and setStatusMessage; a 100 ms timer on the message
// thread copies both into the alert and calls updateCustomComponents. The
// status text is guarded by a lock; the progress value is atomic, and the
// progress bar reads a copy that only the message thread writes.
//
// Stopping: the worker is asked to exit and waited for, never killed. The
// stop time-out is how long a cancelled worker is expected to take; one that
// takes longer is still waited for.
class ThreadWithCustomProgressWindow : public juce::Thread, private juce::Timer
{
public:
    ThreadWithCustomProgressWindow(const juce::String& title, bool hasProgressBar, bool hasCancelButton,
                                   int timeOutMsWhenCancelling, const juce::String& cancelButtonText);
    ~ThreadWithCustomProgressWindow() override;

    // Shows the alert, runs the thread and waits in the alert's modal loop
    // until the thread ends (true) or the user cancels (false); the thread has
    // stopped when it returns. Message thread only.
    bool runThread(juce::Thread::Priority priority = juce::Thread::Priority::normal);

    // 0.0 to 1.0; any thread.
    void setProgress(double progress);
    // Shown within 100 ms; any thread.
    void setStatusMessage(const juce::String& text);

    // The alert (for drawing it).
    juce::AlertWindow& getAlertWindow() { return *m_alert; }

protected:
    // The components to show above the progress bar, in order; they stay the
    // subclass's.
    virtual void createCustomComponents(juce::Array<juce::Component*>& components) = 0;
    // Brings them up to date; message thread.
    virtual void updateCustomComponents() = 0;

private:
    void timerCallback() override;
    void buildAlert();
    void showStatus();
    void stopWorker();

    std::unique_ptr<juce::AlertWindow> m_alert;
    bool m_hasProgressBar;
    bool m_hasCancelButton;
    int m_timeOutMs;
    juce::String m_cancelButtonText;
    std::atomic<double> m_progress{0.0};
    double m_shownProgress = 0.0;
    juce::CriticalSection m_statusLock;
    juce::String m_status;
};
