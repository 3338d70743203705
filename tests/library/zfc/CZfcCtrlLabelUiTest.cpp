#include "library/zfc/CZfcCtrlLabel.h"

#include "tests/src/ModalDriver.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Records the label's notices in order; consumes the double-click when told.
class Recorder : public CZfcComponentListener
{
public:
    void OnZfcComponentEditorTextChanged(CZfcComponent*) override { Add("changed"); }
    void OnZfcComponentEditorReturnKeyPressed(CZfcComponent*) override { Add("return"); }
    void OnZfcComponentEditorEscapeKeyPressed(CZfcComponent*) override { Add("escape"); }
    void OnZfcComponentEditorTextWasEdited(CZfcComponent*) override { Add("edited"); }
    bool OnZfcComponentMouseDown(CZfcComponent*, const juce::MouseEvent&) override
    {
        ++downs;
        return false;
    }
    bool OnZfcComponentMouseDoubleClick(CZfcComponent*, const juce::MouseEvent&) override
    {
        ++doubleClicks;
        return consumeDoubleClick;
    }

    std::vector<std::string> notices;
    int downs = 0;
    int doubleClicks = 0;
    bool consumeDoubleClick = false;

private:
    // Successive text changes count once.
    void Add(const std::string& notice)
    {
        if (notice != "changed" || notices.empty() || notices.back() != "changed")
            notices.push_back(notice);
    }
};

// A label that edits on double click, in a window that has the keyboard
// focus, reporting to a recorder.
class CZfcCtrlLabelTest : public testing::Test
{
protected:
    CZfcCtrlLabelTest()
    {
        window.setBounds(100, 100, 320, 80);
        label.setBounds(10, 10, 300, 24);
        label.setEditable(false, true, false);
        label.setColour(juce::Label::backgroundColourId, juce::Colours::white);
        label.SetListener(&recorder);
        window.addAndMakeVisible(label);
        window.addToDesktop(juce::ComponentPeer::windowIsTemporary);
        window.setVisible(true);
        window.toFront(true);
        EXPECT_TRUE(
            uitest::PumpUntil([&] { return window.getPeer() != nullptr && window.getPeer()->isFocused(); }));
    }
    ~CZfcCtrlLabelTest() override
    {
        label.hideEditor(true);
        window.removeFromDesktop();
    }

    // A double click on the label, each one further right, so that two in a
    // row don't count as one triple click.
    void DoubleClick()
    {
        const juce::Point<int> at{40 + 60 * m_doubleClicks++, 20};
        uitest::ClickAt(window, at);
        uitest::ClickAt(window, at);
        uitest::Pump(20);
    }
    void Press(const juce::KeyPress& key)
    {
        uitest::PressKey(window, key);
        uitest::Pump(20);
    }

    juce::ScopedJuceInitialiser_GUI gui;
    juce::Component window;
    CZfcCtrlLabel label{"Name", "Song"};
    Recorder recorder;

private:
    int m_doubleClicks = 0;
};
} // namespace

// Mouse events reach the listener first: a consumed double-click opens no
// editor, one passed on does; a disabled label still offers its events but
// does not edit.
TEST_F(CZfcCtrlLabelTest, TheListenerMayConsumeAMouseEvent)
{
    recorder.consumeDoubleClick = true;
    DoubleClick();
    EXPECT_EQ(recorder.downs, 2);
    EXPECT_EQ(recorder.doubleClicks, 1);
    EXPECT_FALSE(label.isBeingEdited());

    label.setEnabled(false);
    recorder.consumeDoubleClick = false;
    DoubleClick();
    EXPECT_EQ(recorder.doubleClicks, 2);
    EXPECT_FALSE(label.isBeingEdited());

    label.setEnabled(true);
    DoubleClick();
    EXPECT_EQ(recorder.doubleClicks, 3);
    EXPECT_TRUE(label.isBeingEdited());
}

// The editor's events are reported after the label has handled them: typing
// changes the text, Return keeps it (the edit first, then the key), Escape
// discards it.
TEST_F(CZfcCtrlLabelTest, EditingIsReportedToTheListener)
{
    DoubleClick();
    ASSERT_TRUE(label.isBeingEdited());
    Press(juce::KeyPress(juce::KeyPress::endKey));
    uitest::TypeText(window, " one");
    Press(juce::KeyPress(juce::KeyPress::returnKey));
    EXPECT_EQ(recorder.notices, (std::vector<std::string>{"changed", "edited", "return"}));
    EXPECT_EQ(label.getText(), "Song one");
    EXPECT_FALSE(label.isBeingEdited());

    recorder.notices.clear();
    DoubleClick();
    ASSERT_TRUE(label.isBeingEdited());
    uitest::TypeText(window, "two");
    Press(juce::KeyPress(juce::KeyPress::escapeKey));
    EXPECT_EQ(recorder.notices, (std::vector<std::string>{"changed", "escape"}));
    EXPECT_EQ(label.getText(), "Song one");
    EXPECT_FALSE(label.isBeingEdited());
}
