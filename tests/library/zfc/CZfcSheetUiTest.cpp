#include "library/zfc/CZfcSheet.h"

#include "tests/src/ModalDriver.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
using Log = std::vector<std::string>;

// A sheet that logs its hooks and holds one button.
class TestSheet : public CZfcSheet
{
public:
    explicit TestSheet(Log& log) : m_log(log)
    {
        setSize(600, 300);
        ok.setBounds(480, 250, 100, 30);
        ok.onClick = [this] { ++okClicks; };
        addAndMakeVisible(ok);
    }

    void paint(juce::Graphics& g) override
    {
        g.fillAll(juce::Colour(0xFFF2F2F2));
        g.setColour(juce::Colours::darkgrey);
        g.drawRect(getLocalBounds());
        g.setColour(juce::Colours::black);
        g.setFont(18.0f);
        g.drawText("Sheet", getLocalBounds().reduced(20), juce::Justification::topLeft);
    }

    juce::TextButton ok{"OK"};
    int okClicks = 0;

protected:
    void DoBeforeOpen() override { m_log.push_back("before open"); }
    void DoAfterOpen() override { m_log.push_back("after open"); }
    void DoBeforeClose() override { m_log.push_back("before close"); }
    void DoAfterClose() override { m_log.push_back("after close"); }

private:
    Log& m_log;
};

class LogListener : public CZfcSheetListener
{
public:
    explicit LogListener(Log& log) : m_log(log) {}
    void OnZfcSheetOpened(CZfcSheet*) override { m_log.push_back("opened"); }
    void OnZfcSheetClosed(CZfcSheet*) override { m_log.push_back("closed"); }

private:
    Log& m_log;
};

// A component that counts the presses it receives.
class PressCounter : public juce::Component
{
public:
    void paint(juce::Graphics& g) override { g.fillAll(juce::Colours::lightsteelblue); }
    void mouseDown(const juce::MouseEvent&) override { ++presses; }
    int presses = 0;
};

// A separate top-level window (a dialog) that counts the presses it receives.
class Dialog : public juce::TopLevelWindow
{
public:
    Dialog() : juce::TopLevelWindow("Dialog", true) { setBounds(1060, 40, 200, 100); }
    void paint(juce::Graphics& g) override { g.fillAll(juce::Colours::white); }
    void mouseDown(const juce::MouseEvent&) override { ++presses; }
    int presses = 0;
};

// The window's content, 1000 pixels wide, with a song list below the place of
// a 600 x 300 sheet, and a dialog beside it.
class CZfcSheetTest : public testing::Test
{
protected:
    CZfcSheetTest()
    {
        window.setBounds(40, 40, 1000, 600);
        songList.setBounds(20, 340, 960, 240);
        window.addAndMakeVisible(songList);
        window.addChildComponent(sheet);
        sheet.AddListener(&listener);
        window.addToDesktop(juce::ComponentPeer::windowIsTemporary);
        window.setVisible(true);
        dialog.setVisible(true);
    }
    ~CZfcSheetTest() override
    {
        sheet.Close();
        dialog.removeFromDesktop();
        window.removeFromDesktop();
    }

    bool WaitUntilOpen()
    {
        return uitest::PumpUntil([&] { return sheet.GetState() == CZfcSheet::kOpen; });
    }
    void Click(juce::Component& on, juce::Point<int> at)
    {
        uitest::ClickAt(on, at);
        uitest::Pump(20);
    }

    juce::ScopedJuceInitialiser_GUI gui;
    Log log;
    juce::Component window;
    PressCounter songList;
    TestSheet sheet{log};
    LogListener listener{log};
    Dialog dialog;
};
} // namespace

// Open: the sheet goes modal at the top of the window, centred, and slides in
// over 300 ms (the framework shows it at once, transparent); only at the end
// of the fade is it open, counted and announced. Meanwhile a second Open and a
// Close are refused.
TEST_F(CZfcSheetTest, OpensWithAFadeInAndCompletesAtItsEnd)
{
    EXPECT_EQ(sheet.GetState(), CZfcSheet::kClosed);
    const auto start = juce::Time::getMillisecondCounterHiRes();
    ASSERT_TRUE(sheet.Open());
    EXPECT_EQ(sheet.GetState(), CZfcSheet::kOpening);
    EXPECT_EQ(sheet.getBounds(), juce::Rectangle<int>(200, 0, 600, 300));
    EXPECT_TRUE(sheet.isCurrentlyModal());
    EXPECT_EQ(sheet.getAlpha(), 0.0f);
    EXPECT_EQ(CZfcSheet::sm_iNumSheetsOpened, 0);
    EXPECT_FALSE(sheet.Open());
    EXPECT_FALSE(sheet.Close());
    EXPECT_EQ(log, (Log{"before open"}));

    ASSERT_TRUE(WaitUntilOpen());
    EXPECT_GE(juce::Time::getMillisecondCounterHiRes() - start, CZfcSheet::kFadeMs);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.getAlpha(), 1.0f);
    EXPECT_TRUE(sheet.isCurrentlyModal());
    EXPECT_EQ(sheet.getBounds(), juce::Rectangle<int>(200, 0, 600, 300));
    EXPECT_EQ(CZfcSheet::sm_iNumSheetsOpened, 1);
    EXPECT_EQ(log, (Log{"before open", "after open", "opened"}));

    uitest::Pump(50);
    const juce::Image drawn = uitest::Snapshot(window);
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    uitest::SavePng(drawn, "CZfcSheet_open");
}

// While the sheet is open, clicks on the rest of the window are blocked, the
// sheet's own controls and a separate top-level window still get theirs; after
// Close the window gets them again and no sheet counts as open.
TEST_F(CZfcSheetTest, BlocksTheWindowWhileOpenAndClosesAgain)
{
    ASSERT_TRUE(sheet.Open());
    ASSERT_TRUE(WaitUntilOpen());

    Click(window, {500, 450});
    EXPECT_EQ(songList.presses, 0);
    Click(window, {200 + 530, 265});
    EXPECT_EQ(sheet.okClicks, 1);
    Click(dialog, {100, 50});
    EXPECT_EQ(dialog.presses, 1);
    EXPECT_TRUE(sheet.canModalEventBeSentToComponent(&dialog));
    EXPECT_FALSE(sheet.canModalEventBeSentToComponent(&songList));
    EXPECT_FALSE(sheet.canModalEventBeSentToComponent(nullptr));

    log.clear();
    ASSERT_TRUE(sheet.Close());
    EXPECT_EQ(sheet.GetState(), CZfcSheet::kClosed);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_FALSE(sheet.isCurrentlyModal());
    EXPECT_EQ(CZfcSheet::sm_iNumSheetsOpened, 0);
    EXPECT_EQ(log, (Log{"before close", "after close", "closed"}));
    EXPECT_FALSE(sheet.Close());

    Click(window, {500, 450});
    EXPECT_EQ(songList.presses, 1);
}

// A sheet opened again while it still slides out opens normally and stays
// open where it belongs when the slide out would have ended.
TEST_F(CZfcSheetTest, ReopensWhileSlidingOut)
{
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        ASSERT_TRUE(sheet.Open());
        ASSERT_TRUE(WaitUntilOpen());
        ASSERT_TRUE(sheet.Close());
    }
    ASSERT_TRUE(sheet.Open());
    ASSERT_TRUE(WaitUntilOpen());
    uitest::Pump(CZfcSheet::kFadeMs + 100);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(sheet.isCurrentlyModal());
    EXPECT_EQ(sheet.getAlpha(), 1.0f);
    EXPECT_EQ(sheet.getBounds(), juce::Rectangle<int>(200, 0, 600, 300));
    EXPECT_EQ(CZfcSheet::sm_iNumSheetsOpened, 1);
}

// A sheet without a parent has no place to open; a sheet deleted while open
// no longer counts as open.
TEST_F(CZfcSheetTest, NeedsAParentAndStopsCountingWhenDeleted)
{
    Log otherLog;
    TestSheet alone(otherLog);
    EXPECT_FALSE(alone.Open());
    EXPECT_TRUE(otherLog.empty());

    auto extra = std::make_unique<TestSheet>(otherLog);
    window.addChildComponent(*extra);
    ASSERT_TRUE(extra->Open());
    ASSERT_TRUE(uitest::PumpUntil([&] { return extra->GetState() == CZfcSheet::kOpen; }));
    EXPECT_EQ(CZfcSheet::sm_iNumSheetsOpened, 1);
    extra.reset();
    EXPECT_EQ(CZfcSheet::sm_iNumSheetsOpened, 0);
    EXPECT_EQ(juce::Component::getCurrentlyModalComponent(), nullptr);
}
