#include "src/Output/ExportProgressWindow.h"
#include "src/Output/DiscBurnProgressWindow.h"
#include "src/Output/DiscEraseProgressWindow.h"
#include "src/songlist/Output/ExportManager.h"

#include "library/vextal_juce/CZJEText.h"
#include "library/zfc/CZfcSheet.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using Vextal::DiscBurnProgressWindow;
using Vextal::DiscEraseProgressWindow;
using Vextal::ExportManager;
using Vextal::ExportProgressWindow;
using Vextal::ExportSession;
using Vextal::ExportSessionNames;

namespace
{
// A session whose notices the test sends, with the result the test sets.
class FakeSession : public ExportSession
{
public:
    explicit FakeSession(const char* key) : m_key(key) {}

    const char* getSessionNameKey() override { return m_key; }
    bool start() override
    {
        notifyStart();
        return true;
    }
    void cancel() override { ++cancels; }
    bool isSucceeded() override { return succeeded; }
    juce::String getLastErrorMessage() override { return error; }

    using ExportSession::notifyEnd;
    using ExportSession::notifyProgress;
    using ExportSession::shouldRepeat;

    std::atomic<int> cancels{0};
    std::atomic<bool> succeeded{true};
    juce::String error;

private:
    const char* m_key;
};

using CZJEText::Text;

// The export manager with a session of the given class running in it.
class ProgressWindowTest : public testing::TestWithParam<const char*>
{
protected:
    ProgressWindowTest() : ui(GetParam()) { m_manager = ExportManager::CreateInstance(); }
    ~ProgressWindowTest() override { ExportManager::DestroyInstance(); }

    FakeSession* Start(const char* key)
    {
        auto* raw = new FakeSession(key);
        std::unique_ptr<ExportSession> session(raw);
        return m_manager->start(session) ? raw : nullptr;
    }

    juce::String Name(const juce::String& what) const { return what + "_" + GetParam(); }

    // Saves the window's drawing and checks that it shows something.
    void Save(juce::Component& window, const juce::String& what) const
    {
        const juce::Image shot = uitest::Snapshot(window);
        EXPECT_TRUE(uitest::IsDrawn(shot)) << what;
        uitest::SavePng(shot, Name(what));
    }

    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui;
    ExportManager* m_manager = nullptr;
};

bool Contains(juce::Component& window, juce::Component& component)
{
    return window.isParentOf(&component);
}
} // namespace

// The export window follows the session's progress through the manager: a
// key with its argument becomes the text, a null key only moves the bar; its
// Cancel (and Escape) cancel the session without closing the window.
TEST_P(ProgressWindowTest, TheExportWindowShowsProgressAndCancels)
{
    FakeSession* session = Start(ExportSessionNames::kFileExport);
    ASSERT_NE(session, nullptr);
    auto window = std::make_unique<ExportProgressWindow>();
    EXPECT_TRUE(m_manager->IsListener(window.get()));
    window->show();
    SemiModalAlertWindow* alert = window->getWindow();
    ASSERT_NE(alert, nullptr);
    window->show();
    EXPECT_EQ(window->getWindow(), alert); // one window however often shown
    EXPECT_TRUE(alert->isCurrentlyModal());
    EXPECT_EQ(alert->getName(), Text("Export_Title"));

    session->notifyProgress(37.5, "Export_DetectNormalizeGain", {"Song (2 / 4)"});
    ASSERT_TRUE(uitest::PumpUntil([&] { return window->getProgress() > 0.0; }));
    EXPECT_DOUBLE_EQ(window->getProgress(), 0.375);
    const juce::String shown = Text("Export_DetectNormalizeGain").replace("%1", "Song (2 / 4)");
    EXPECT_EQ(window->getMessage(), shown);
    session->notifyProgress(50.0, nullptr, {});
    ASSERT_TRUE(uitest::PumpUntil([&] { return window->getProgress() == 0.5; }));
    EXPECT_EQ(window->getMessage(), shown);
    uitest::Pump(100);
    Save(*alert, "ExportProgressWindow");

    window->getCancelButton().triggerClick();
    EXPECT_TRUE(uitest::PumpUntil([&] { return session->cancels == 1; }));
    uitest::PressKey(*alert, juce::KeyPress(juce::KeyPress::escapeKey));
    EXPECT_TRUE(uitest::PumpUntil([&] { return session->cancels == 2; }));
    EXPECT_TRUE(alert->isCurrentlyModal());
    EXPECT_TRUE(alert->isVisible());

    session->notifyEnd(true);
    auto* listener = window.get();
    window.reset();
    EXPECT_FALSE(m_manager->IsListener(listener));
}

// While the window is modal, the components of other windows still receive
// input as long as no sheet is open; with a sheet open only top-level
// windows do.
TEST_P(ProgressWindowTest, TheWindowIsSemiModal)
{
    juce::DocumentWindow mainWindow("Main", juce::Colours::white, 0);
    auto* button = new juce::TextButton("Play");
    button->setSize(80, 24);
    mainWindow.setContentOwned(button, true);
    mainWindow.setVisible(true);

    ExportProgressWindow window;
    window.show();
    ASSERT_TRUE(window.getWindow()->isCurrentlyModal());
    EXPECT_FALSE(button->isCurrentlyBlockedByAnotherModalComponent());
    EXPECT_FALSE(mainWindow.isCurrentlyBlockedByAnotherModalComponent());
    {
        const juce::ScopedValueSetter<int> sheetOpen(CZfcSheet::sm_iNumSheetsOpened, 1);
        EXPECT_TRUE(button->isCurrentlyBlockedByAnotherModalComponent());
        EXPECT_FALSE(mainWindow.isCurrentlyBlockedByAnotherModalComponent());
    }
    EXPECT_FALSE(button->isCurrentlyBlockedByAnotherModalComponent());
}

// The burn window asks after each burn: after a good one whether to burn
// another copy (Return: Burn), after a failed one the failure in red followed
// by the retry question (Escape: Stop; y and n answer too). The Yes/No strip takes the Cancel
// button's place while it asks; Burn brings the Cancel button and the usual
// text colour back; Stop leaves the question until the window goes. The
// session's thread waits for the answer.
TEST_P(ProgressWindowTest, TheBurnWindowAsksForAnotherCopyOrARetry)
{
    FakeSession* session = Start(ExportSessionNames::kDiscBurn);
    ASSERT_NE(session, nullptr);
    DiscBurnProgressWindow window;
    window.show();
    SemiModalAlertWindow* alert = window.getWindow();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->getName(), Text("DiscBurn_Title"));
    const juce::Colour usual = alert->findColour(juce::AlertWindow::textColourId);
    session->notifyProgress(100.0, "DiscBurn_Title", {});
    ASSERT_TRUE(uitest::PumpUntil([&] { return window.getProgress() == 1.0; }));

    // A file export is not asked.
    FakeSession fileExport(ExportSessionNames::kFileExport);
    EXPECT_FALSE(window.exportShouldRepeat(&fileExport));
    EXPECT_DOUBLE_EQ(window.getProgress(), 1.0);
    EXPECT_TRUE(Contains(*alert, window.getCancelButton()));

    struct Case
    {
        bool succeeded;
        juce::KeyPress key;
        bool answer;
        const char* message;
        const char* yes;
        const char* no;
        const char* picture;
    };
    const Case cases[] = {
        {true, juce::KeyPress(juce::KeyPress::returnKey), true, "DiscBurn_Completed", "Button_Burn",
         "Button_DontBurn", "DiscBurnAnotherCopy"},
        {false, juce::KeyPress('y', 0, 'y'), true, "DiscBurn_Retry", "Button_BurnRetry", "Button_Stop",
         nullptr},
        {false, juce::KeyPress(juce::KeyPress::escapeKey), false, "DiscBurn_Retry", "Button_BurnRetry",
         "Button_Stop", "DiscBurnRetry"},
        {true, juce::KeyPress('n', 0, 'n'), false, "DiscBurn_Completed", "Button_Burn", "Button_DontBurn",
         nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.key.getTextDescription().toStdString());
        session->succeeded = c.succeeded;
        session->error = "Write error at sector 1200.";
        const juce::String expected =
            c.succeeded ? Text(c.message) : "Write error at sector 1200." + Text(c.message);
        std::atomic<int> answer{-1};
        uitest::ModalDriver driver({[&]
                                    {
                                        if (!window.isAsking())
                                            return false;
                                        EXPECT_TRUE(Contains(*alert, window.getYesButton()));
                                        EXPECT_TRUE(alert->isCurrentlyModal());
                                        EXPECT_EQ(window.getMessage(), expected);
                                        EXPECT_EQ(window.getYesButton().getButtonText(), Text(c.yes));
                                        EXPECT_EQ(window.getNoButton().getButtonText(), Text(c.no));
                                        EXPECT_FALSE(Contains(*alert, window.getCancelButton()));
                                        EXPECT_EQ(alert->findColour(juce::AlertWindow::textColourId),
                                                  c.succeeded ? usual : juce::Colours::red);
                                        EXPECT_DOUBLE_EQ(window.getProgress(), 0.0);
                                        if (c.picture != nullptr)
                                            Save(*alert, c.picture);
                                        uitest::PressKey(*alert, c.key);
                                        return true;
                                    }});
        // As the burn session asks, from its own thread.
        std::thread burn([&] { answer = session->shouldRepeat() ? 1 : 0; });
        const bool answered = uitest::PumpUntil([&] { return answer >= 0; }, 30000);
        burn.join();
        ASSERT_TRUE(answered);
        EXPECT_TRUE(driver.succeeded());
        EXPECT_EQ(answer, c.answer ? 1 : 0);
        EXPECT_FALSE(window.isAsking());
        EXPECT_TRUE(alert->isCurrentlyModal());
        EXPECT_EQ(Contains(*alert, window.getCancelButton()), c.answer);
        EXPECT_EQ(Contains(*alert, window.getYesButton()), !c.answer);
        if (c.answer)
        {
            EXPECT_EQ(alert->findColour(juce::AlertWindow::textColourId), usual);
        }
    }
    session->notifyEnd(false);
}

// The erase window has no Cancel button and Escape does nothing: it stays
// until its owner deletes it at the session's end.
TEST_P(ProgressWindowTest, TheEraseWindowCannotBeClosed)
{
    FakeSession* session = Start(ExportSessionNames::kDiscErase);
    ASSERT_NE(session, nullptr);
    DiscEraseProgressWindow window;
    window.show();
    SemiModalAlertWindow* alert = window.getWindow();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->getName(), Text("DiscErase_Title"));
    EXPECT_FALSE(Contains(*alert, window.getCancelButton()));
    EXPECT_EQ(uitest::FindButton(alert, Text("Button_Cancel")), nullptr);

    session->notifyProgress(42.0, "DiscErase_Erase", {});
    ASSERT_TRUE(uitest::PumpUntil([&] { return window.getProgress() > 0.0; }));
    EXPECT_EQ(window.getMessage(), Text("DiscErase_Erase"));
    uitest::PressKey(*alert, juce::KeyPress(juce::KeyPress::escapeKey));
    uitest::Pump(100);
    EXPECT_TRUE(alert->isCurrentlyModal());
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(session->cancels, 0);
    Save(*alert, "DiscEraseProgressWindow");
    session->notifyEnd(false);
}

INSTANTIATE_TEST_SUITE_P(Languages, ProgressWindowTest, testing::ValuesIn(uitest::kInterfaceLanguages));
