#include "src/InternalProcessProgressWindow.h"
#include "src/ThreadWithCustomProgressWindow.h"

#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"
#include "tests/support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

namespace
{
using uitest::ModalDriver;

// A worker that reports its steps until it is released (or asked to exit),
// with a label of its own in the window.
class Worker : public ThreadWithCustomProgressWindow
{
public:
    Worker(bool hasCancelButton, bool endAtOnce)
        : ThreadWithCustomProgressWindow(CZJEResource::GetText("Songlist_AddAudioFiles"), true,
                                         hasCancelButton, 5000, CZJEResource::GetText("Button_Cancel")),
          m_endAtOnce(endAtOnce)
    {
        m_file.setSize(300, 20);
    }
    ~Worker() override { stopThread(-1); }

    std::atomic<bool> release{false};
    std::atomic<bool> sawExitRequest{false};
    std::atomic<bool> reported{false};
    int updates = 0;
    juce::Label m_file;

private:
    void run() override
    {
        if (m_endAtOnce)
            return;
        setStatusMessage(CZJEResource::GetText("Songlist_ReadAudioData"));
        setProgress(0.3);
        reported = true;
        while (!release && !threadShouldExit())
            wait(5);
        sawExitRequest = threadShouldExit();
    }
    void createCustomComponents(juce::Array<juce::Component*>& components) override
    {
        components.add(&m_file);
    }
    void updateCustomComponents() override
    {
        ++updates;
        m_file.setText("/home/user/Music/Live/01 Opening.wav", juce::dontSendNotification);
    }

    bool m_endAtOnce;
};

juce::AlertWindow* ModalAlert()
{
    auto* alert = uitest::ModalOfType<juce::AlertWindow>();
    return alert != nullptr && alert->isShowing() ? alert : nullptr;
}

// Presses Escape in the worker's window once the worker has reported.
ModalDriver::Step PressEscapeOnceReported(const Worker& worker)
{
    return [&worker]
    {
        auto* alert = ModalAlert();
        if (alert == nullptr || !worker.reported)
            return false;
        uitest::PressKey(*alert, juce::KeyPress(juce::KeyPress::escapeKey));
        return true;
    };
}

// What the progress window reads of the host.
class FakeSource : public Vextal::InternalProcessProgressWindow::Source
{
public:
    int getHostMode() override { return hostMode; }
    int getPlayerStatus() override { return playerStatus; }
    bool isCurrentSongProcessing() override { return processing; }
    double getCurrentSongProcessPercent() override { return percent; }

    int hostMode = 0;
    int playerStatus = CVXHost::kStatusPlaying;
    bool processing = false;
    double percent = 0.0;
};

class ProgressWindows : public testing::TestWithParam<const char*>
{
protected:
    ProgressWindows() : ui(GetParam()) {}
    juce::String Name(const juce::String& what) const { return what + "_" + GetParam(); }

    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui;
};
} // namespace

// A worker that ends by itself ends the modal loop: runThread is true.
TEST_P(ProgressWindows, AWorkerThatEndsAtOnceReturnsTrue)
{
    Worker worker(true, true);
    EXPECT_TRUE(worker.runThread());
    EXPECT_FALSE(worker.isThreadRunning());
}

// The window shows the worker's status, its components and the progress; the
// status reaches the window from the worker thread.
TEST_P(ProgressWindows, TheWindowShowsTheWorkersStatus)
{
    Worker worker(true, false);
    ModalDriver driver({[&]
                        {
                            auto* alert = ModalAlert();
                            // A few timer periods, so that the bar shows the value.
                            if (alert == nullptr || !worker.reported || worker.updates < 4)
                                return false;
                            const juce::Image shot = uitest::Snapshot(*alert);
                            EXPECT_TRUE(uitest::IsDrawn(shot));
                            uitest::SavePng(shot, Name("ProgressWindow"));
                            worker.release = true;
                            return true;
                        }});
    EXPECT_TRUE(worker.runThread());
    EXPECT_TRUE(driver.succeeded());
    EXPECT_FALSE(worker.sawExitRequest);
    EXPECT_EQ(worker.m_file.getText(), "/home/user/Music/Live/01 Opening.wav");
}

// Escape presses Cancel: the worker is asked to exit and has stopped when
// runThread returns false.
TEST_P(ProgressWindows, EscapeCancelsTheWorker)
{
    Worker worker(true, false);
    ModalDriver driver({PressEscapeOnceReported(worker)});
    EXPECT_FALSE(worker.runThread());
    EXPECT_TRUE(driver.succeeded());
    EXPECT_FALSE(worker.isThreadRunning());
    EXPECT_TRUE(worker.sawExitRequest);
}

// Without a Cancel button Escape does nothing: the loop ends only when the
// worker does, and that is reported as the worker's own end.
TEST_P(ProgressWindows, WithoutCancelButtonEscapeIsIgnored)
{
    Worker worker(false, false);
    ModalDriver driver({PressEscapeOnceReported(worker), [&]
                        {
                            EXPECT_NE(ModalAlert(), nullptr);
                            EXPECT_TRUE(worker.isThreadRunning());
                            worker.release = true;
                            return true;
                        }});
    EXPECT_TRUE(worker.runThread());
    EXPECT_TRUE(driver.succeeded());
    EXPECT_FALSE(worker.sawExitRequest);
}

// The preparation alert shows only in normal mode while playing or paused and
// while the stream prepares; ticks follow the progress and hide it when the
// stream is ready; Close hides it until the next notice.
TEST_P(ProgressWindows, ThePreparationAlertFollowsTheCurrentSongsStream)
{
    FakeSource source;
    Vextal::InternalProcessProgressWindow window(source);
    auto& alert = window.getAlertWindow();
    EXPECT_FALSE(alert.isVisible());

    // Ready before the first check: never shown.
    window.OnVXHostPlayerStatusChanged(nullptr, CVXHost::kStatusPlaying);
    EXPECT_FALSE(alert.isVisible());

    // An export runs, or the player is stopped: nothing changes.
    source.processing = true;
    source.percent = 25.0;
    source.hostMode = 1;
    window.OnVXHostPlayerStatusChanged(nullptr, CVXHost::kStatusPlaying);
    EXPECT_FALSE(alert.isVisible());
    source.hostMode = 0;
    source.playerStatus = CVXHost::kStatusStopped;
    window.OnVXHostCurPlayTrackChanged(nullptr, 0);
    EXPECT_FALSE(alert.isVisible());

    source.playerStatus = CVXHost::kStatusPaused;
    window.OnVXHostCurPlayTrackChanged(nullptr, 0);
    EXPECT_TRUE(alert.isVisible());
    EXPECT_DOUBLE_EQ(window.getProgress(), 0.25);
    source.percent = 60.0;
    window.OnVXHostTimerCallback(nullptr);
    EXPECT_DOUBLE_EQ(window.getProgress(), 0.6);
    uitest::Pump(100);
    const juce::Image shot = uitest::Snapshot(alert);
    EXPECT_TRUE(uitest::IsDrawn(shot));
    uitest::SavePng(shot, Name("PreparingSongWindow"));

    // Close hides it; ticks leave it hidden; the next notice shows it again.
    auto* close = uitest::FindButton(&alert, CZJEResource::GetText("Button_Close"));
    ASSERT_NE(close, nullptr);
    close->triggerClick();
    EXPECT_TRUE(uitest::PumpUntil([&] { return !alert.isVisible(); }));
    window.OnVXHostTimerCallback(nullptr);
    EXPECT_FALSE(alert.isVisible());
    window.OnVXHostCurPlayTrackChanged(nullptr, 1);
    EXPECT_TRUE(alert.isVisible());

    source.processing = false;
    window.OnVXHostTimerCallback(nullptr);
    EXPECT_FALSE(alert.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Languages, ProgressWindows, testing::ValuesIn(uitest::kInterfaceLanguages));

namespace
{
class InternalProcessWithHost : public hosttest::HostTest
{
};
} // namespace

// The window listens to the host for its life; a song whose stream is ready
// at once never shows it.
TEST_F(InternalProcessWithHost, ListensToTheHostForItsLife)
{
    AddSongs(1, 44100);
    auto window = std::make_unique<Vextal::InternalProcessProgressWindow>(*m_host);
    EXPECT_TRUE(m_host->IsListener(window.get()));
    ASSERT_TRUE(m_host->SetCurPlayTrack(0, true, false));
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    Dispatch(20);
    m_host->timerCallback();
    EXPECT_FALSE(window->getAlertWindow().isVisible());
    m_host->SetPlayerStatus(CVXHost::kStatusStopped);
    auto* listener = window.get();
    window.reset();
    EXPECT_FALSE(m_host->IsListener(listener));
}
