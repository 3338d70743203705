#include "library/zfc/CZfcCtrlListBox.h"

#include "tests/src/ModalDriver.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

namespace
{
constexpr int kRowHeight = 20;

juce::Colour RowColour(int row)
{
    return juce::Colour::fromHSV(static_cast<float>(row) / 4.0f, 0.8f, 0.9f, 1.0f);
}

// A list of three rows, each in its own colour (darker when selected), that
// notes the last row selected.
class ThreeRows : public CZfcCtrlListBox
{
public:
    ThreeRows() : CZfcCtrlListBox("ListBox") {}

    int getNumRows() override { return 3; }
    void paintListBoxItem(int row, juce::Graphics& g, int, int, bool selected) override
    {
        g.fillAll(selected ? RowColour(row).darker() : RowColour(row));
    }
    void selectedRowsChanged(int lastRowSelected) override { lastSelected = lastRowSelected; }

    int lastSelected = -1;
};

juce::Colour DrawnAt(juce::Component& c, int y)
{
    return uitest::Snapshot(c).getPixelAt(c.getWidth() / 3, y);
}
} // namespace

// The list is its own model: by itself it has no rows and draws none; a
// subclass's rows are drawn, and a click selects one.
TEST(CZfcCtrlListBoxTest, IsItsOwnModel)
{
    juce::ScopedJuceInitialiser_GUI gui;
    CZfcCtrlListBox empty("ListBox");
    EXPECT_EQ(empty.getModel(), static_cast<juce::ListBoxModel*>(&empty));
    empty.setBounds(0, 0, 120, 80);
    EXPECT_EQ(empty.getNumRows(), 0);
    EXPECT_EQ(uitest::CountColours(uitest::Snapshot(empty)), 1);

    juce::Component window;
    window.setBounds(100, 100, 140, 100);
    ThreeRows list;
    EXPECT_EQ(list.getModel(), static_cast<juce::ListBoxModel*>(&list));
    list.setRowHeight(kRowHeight);
    list.setBounds(10, 10, 120, 80);
    list.updateContent();
    window.addAndMakeVisible(list);
    window.addToDesktop(juce::ComponentPeer::windowIsTemporary);
    window.setVisible(true);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(DrawnAt(list, row * kRowHeight + kRowHeight / 2), RowColour(row)) << "row " << row;

    uitest::ClickAt(window, {40, 10 + kRowHeight + kRowHeight / 2});
    EXPECT_EQ(list.lastSelected, 1);
    EXPECT_TRUE(list.isRowSelected(1));
    EXPECT_EQ(DrawnAt(list, kRowHeight + kRowHeight / 2), RowColour(1).darker());
    window.removeFromDesktop();
}
