// The song list driven by real input: mouse and key events handed to the
// window's peer as the X server delivers them, with the host's state checked
// after each step. Typing needs the X keyboard focus, so these tests run
// alone.

#include "tests/src/jucer_components/SongListTestSupport.h"

#include <gtest/gtest.h>

using songlistpanel::SongListTest;
using Vextal::TrackInfo;

namespace
{
const juce::ModifierKeys kShift(juce::ModifierKeys::shiftModifier);
const juce::ModifierKeys kCommand(juce::ModifierKeys::commandModifier);

class SongListInputTest : public SongListTest
{
protected:
    std::string Selection() const { return hosttest::RangesOf(m_host->GetSelection()); }
};

// Click, Shift-click and Command-click select as a list does; a click on one
// row of a selection keeps it while the button is down and reduces it to
// that row on release; the Down key moves the selection.
TEST_F(SongListInputTest, ClicksSelectRowsAndRanges)
{
    AddSongs(12);
    ShowPanel();

    ClickAt(At(1));
    EXPECT_EQ(Selection(), "1");
    ClickAt(At(3), kShift);
    EXPECT_EQ(Selection(), "1-3");
    ClickAt(At(6), kCommand);
    EXPECT_EQ(Selection(), "1-3,6");
    ClickAt(At(2), kCommand);
    EXPECT_EQ(Selection(), "1,3,6");

    // Shift-click above a selection of 5 and 9 takes 2 to 9.
    m_host->SetSelectedSongs(hosttest::SetOf({5, 9}), false);
    ClickAt(At(2), kShift);
    EXPECT_EQ(Selection(), "2-9");

    Press(At(4));
    EXPECT_EQ(Selection(), "2-9");
    Release(At(4));
    EXPECT_EQ(Selection(), "4");
    uitest::Pump(450);

    EXPECT_TRUE(m_panel->keyPressed(juce::KeyPress(juce::KeyPress::downKey)));
    EXPECT_EQ(Selection(), "5");
    EXPECT_TRUE(m_panel->keyPressed(juce::KeyPress(juce::KeyPress::downKey, kShift, 0)));
    EXPECT_EQ(Selection(), "5-6");
}

// Dragging a row by its name moves it where it is dropped, as one undo step.
TEST_F(SongListInputTest, DraggingARowMovesIt)
{
    AddSongs(6);
    ShowPanel();
    ClickAt(At(0));
    ASSERT_EQ(Selection(), "0");

    const juce::Point<int> from = At(0, CVXListItem::kNameLabel);
    const juce::Point<int> to = At(3, CVXListItem::kNameLabel).translated(0, -4);
    Press(from);
    for (int step = 1; step <= 6; ++step)
        DragTo(from + (to - from) * step / 6);
    EXPECT_TRUE(List().isDragAndDropActive());
    EXPECT_EQ(List().GetInsertPosition().row, 3);
    Release(to);
    ASSERT_TRUE(uitest::PumpUntil([&] { return !List().isDragAndDropActive(); }));

    EXPECT_EQ(Names(), "s1 s2 s0 s3 s4 s5");
    EXPECT_EQ(Selection(), "2");
    EXPECT_EQ(Row(2).GetLabel(CVXListItem::kNameLabel).getText(), "s0");
    ASSERT_TRUE(m_commands->undo());
    EXPECT_EQ(Names(), "s0 s1 s2 s3 s4 s5");
}

// A slow second click on the name of the selected row opens its editor;
// the typed name is committed through the undo stack. Renaming to the same
// name pushes nothing; an empty name is refused and the old name shows.
TEST_F(SongListInputTest, ASlowSecondClickRenamesTheSong)
{
    AddSongs(4);
    ShowPanel();
    auto& name = Row(1).GetLabel(CVXListItem::kNameLabel);
    const juce::Point<int> onName = m_window.getLocalPoint(&name, juce::Point<int>(5, name.getHeight() / 2));
    ClickAt(onName);
    ASSERT_EQ(Selection(), "1");
    EXPECT_FALSE(name.isBeingEdited());

    Press(onName);
    Release(onName);
    EXPECT_TRUE(Row(1).IsRenamePending());
    ASSERT_TRUE(uitest::PumpUntil([&] { return name.isBeingEdited(); }));
    juce::TextEditor* editor = name.getCurrentTextEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(uitest::PumpUntil([&] { return editor->hasKeyboardFocus(true); }));
    uitest::PressKey(m_window, juce::KeyPress('a', juce::ModifierKeys::commandModifier, 'a'));
    uitest::TypeText(m_window, "Song");
    uitest::PressKey(m_window, juce::KeyPress(juce::KeyPress::returnKey));
    uitest::Pump(20);

    EXPECT_EQ(m_host->GetSong(1)->getText(TrackInfo::kSongName), "Song");
    EXPECT_EQ(name.getText(), "Song");
    EXPECT_EQ(m_commands->getUndoDescription(), "Undo : Change Song Name");
    ASSERT_TRUE(m_commands->undo());
    EXPECT_EQ(m_host->GetSong(1)->getText(TrackInfo::kSongName), "s1");
    EXPECT_EQ(Row(1).GetLabel(CVXListItem::kNameLabel).getText(), "s1");
    ASSERT_TRUE(m_commands->redo());
    ASSERT_TRUE(m_commands->undo());

    // The same name, then an empty one: nothing to undo after either.
    for (const char* text : {"s1", ""})
    {
        SCOPED_TRACE(text);
        m_panel->editSongName();
        auto& label = Row(1).GetLabel(CVXListItem::kNameLabel);
        ASSERT_TRUE(label.isBeingEdited());
        label.getCurrentTextEditor()->setText(text, false);
        label.textEditorReturnKeyPressed(*label.getCurrentTextEditor());
        EXPECT_EQ(m_host->GetSong(1)->getText(TrackInfo::kSongName), "s1");
        EXPECT_EQ(label.getText(), "s1");
        EXPECT_TRUE(m_commands->canRedo());
    }
}

// Tab in a name editor commits the name and opens the editor of the next
// row, which becomes the selection.
TEST_F(SongListInputTest, TabMovesTheNameEditorToTheNextRow)
{
    AddSongs(4);
    ShowPanel();
    ClickAt(At(1));
    m_panel->editSongName();
    auto& name = Row(1).GetLabel(CVXListItem::kNameLabel);
    ASSERT_TRUE(name.isBeingEdited());
    ASSERT_TRUE(uitest::PumpUntil([&] { return name.getCurrentTextEditor()->hasKeyboardFocus(true); }));
    uitest::PressKey(m_window, juce::KeyPress('a', juce::ModifierKeys::commandModifier, 'a'));
    uitest::TypeText(m_window, "New");
    uitest::PressKey(m_window, juce::KeyPress(juce::KeyPress::tabKey));
    uitest::Pump(20);

    EXPECT_EQ(m_host->GetSong(1)->getText(TrackInfo::kSongName), "New");
    EXPECT_EQ(Selection(), "2");
    EXPECT_TRUE(Row(2).GetLabel(CVXListItem::kNameLabel).isBeingEdited());
    EXPECT_FALSE(Row(1).GetLabel(CVXListItem::kNameLabel).isBeingEdited());
}

// A double click plays the song and opens no name editor.
TEST_F(SongListInputTest, ADoubleClickPlaysTheSong)
{
    AddSongs(3);
    ShowPanel();
    ClickAt(At(2, CVXListItem::kNameLabel));
    const juce::Point<int> onName = At(2, CVXListItem::kNameLabel);
    Press(onName);
    Release(onName);
    Press(onName);
    Release(onName);
    uitest::Pump(450);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 2);
    EXPECT_FALSE(Row(2).GetLabel(CVXListItem::kNameLabel).isBeingEdited());
}
} // namespace
