#include "src/jucer_components/LabelWithInlineEditor.h"

#include "src/jucer_components/UndoDisabledTextEditor.h"
#include "src/songlist/DroppedFileList.h"
#include "tests/common/file/RiffTestFiles.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
const juce::String kJapanese =
    juce::CharPointer_UTF8("\xe5\xa4\x9c\xe6\x98\x8e\xe3\x81\x91\xe3\x81\xae"
                           "\xe3\x82\xb9\xe3\x82\xad\xe3\x83\xa3\xe3\x83\x83\xe3\x83\x88");

const juce::KeyPress kCommandZ('z', juce::ModifierKeys::commandModifier, 0);
const juce::KeyPress kCommandY('y', juce::ModifierKeys::commandModifier, 0);

// The notices of the labels, as "row:Return", "row:Escape", "row:Changed".
class Recorder : public LabelWithInlineEditor::Listener
{
public:
    void OnLabelEditorReturnKeyPressed(LabelWithInlineEditor& label) override { add(label, "Return"); }
    void OnLabelEditorEscapeKeyPressed(LabelWithInlineEditor& label) override { add(label, "Escape"); }
    void OnLabelEditorTextChanged(LabelWithInlineEditor& label) override { add(label, "Changed"); }

    juce::StringArray notices;

private:
    void add(LabelWithInlineEditor& label, const juce::String& what)
    {
        if (what != "Changed" || notices[notices.size() - 1] != label.getName() + ":Changed")
            notices.add(label.getName() + ":" + what);
    }
};

// Three rows of name labels in a window, like the song list's names.
class LabelWithInlineEditorTest : public testing::Test
{
protected:
    LabelWithInlineEditorTest() : ui("ja")
    {
        LabelWithInlineEditor::setUndoDisabled(true);
        window.setBounds(100, 100, 420, 200);
        for (int i = 0; i < 3; ++i)
        {
            auto& row = *rows.emplace_back(std::make_unique<LabelWithInlineEditor>(
                "row" + juce::String(i), "Song " + juce::String(i), false));
            row.setBounds(10, 10 + i * 30, 300, 24);
            row.setEditable(true, false, false);
            row.setFont(ui.look().getLocalTextFont(15.0f));
            row.setColour(juce::Label::backgroundColourId, juce::Colours::white);
            row.setEditorListener(&recorder);
            window.addAndMakeVisible(row);
        }
        other.setBounds(10, 120, 100, 24);
        window.addAndMakeVisible(other);
        window.addToDesktop(juce::ComponentPeer::windowIsTemporary);
        window.setVisible(true);
        window.toFront(true);
        EXPECT_TRUE(
            uitest::PumpUntil([&] { return window.getPeer() != nullptr && window.getPeer()->isFocused(); }));
    }
    ~LabelWithInlineEditorTest() override
    {
        for (auto& row : rows)
            row->hideEditor(true);
        window.removeFromDesktop();
        juce::SystemClipboard::copyTextToClipboard({});
    }

    // Presses a key and lets the editor's notices, which it posts, arrive.
    void Press(const juce::KeyPress& key)
    {
        uitest::PressKey(window, key);
        uitest::Pump(20);
    }
    void Type(const juce::String& text) { uitest::TypeText(window, text); }
    void Click(juce::Point<int> point)
    {
        uitest::ClickAt(window, point);
        uitest::Pump(20);
    }
    // Opens the row's editor, types "abc" over its text and presses the
    // undo and redo keys; returns the editor's text then.
    juce::String TypeThenUndo(int row)
    {
        Row(row).showEditor();
        Editor(row)->selectAll();
        Type("abc");
        Press(kCommandZ);
        Press(kCommandY);
        Press(kCommandZ);
        Press(
            juce::KeyPress('z', juce::ModifierKeys::commandModifier | juce::ModifierKeys::shiftModifier, 0));
        Press(kCommandZ);
        return Editor(row)->getText();
    }
    juce::TextEditor* Editor(int row) { return rows[static_cast<size_t>(row)]->getCurrentTextEditor(); }
    LabelWithInlineEditor& Row(int row) { return *rows[static_cast<size_t>(row)]; }

    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui;
    juce::Component window;
    std::vector<std::unique_ptr<LabelWithInlineEditor>> rows;
    // Another control of the window, clicked to leave an editor.
    juce::TextEditor other;
    Recorder recorder;
};
} // namespace

// A value label takes only its characters; the limit applies to an open
// editor at once; a limit of 0 allows any length.
TEST_F(LabelWithInlineEditorTest, TheEditorKeepsTheInputRestrictions)
{
    Row(0).setInputRestrictions(0, "0123456789.", LabelWithInlineEditor::kInputMethodDisabled);
    Row(0).showEditor();
    ASSERT_NE(Editor(0), nullptr);
    Editor(0)->setText({}, false);
    Type("1a2.5b-");
    EXPECT_EQ(Editor(0)->getText(), "12.5");

    Row(0).setInputRestrictions(5, "0123456789.", LabelWithInlineEditor::kInputMethodDisabled);
    Type("6789");
    EXPECT_EQ(Editor(0)->getText(), "12.56");
    Press(juce::KeyPress(juce::KeyPress::returnKey));
    EXPECT_EQ(Row(0).getText(), "12.56");

    Row(1).setInputRestrictions(0, {}, LabelWithInlineEditor::kInputMethodEnabled);
    Row(1).showEditor();
    Editor(1)->setText({}, false);
    const juce::String longName = juce::String::repeatedString("Long name ", 30);
    Type(longName);
    EXPECT_EQ(Editor(1)->getText(), longName);
    EXPECT_EQ(recorder.notices[0], "row0:Changed");
}

// Return commits and Escape discards, each with its notice; leaving the
// editor (the window losing the focus, or a click elsewhere while the label
// is modal) commits or discards by the label's loss-of-focus setting, with the
// same notices.
TEST_F(LabelWithInlineEditorTest, CommitOrDiscardOnReturnEscapeAndFocusLoss)
{
    struct Case
    {
        const char* how;
        bool discardsOnFocusLoss;
        const char* text;
        const char* notice;
    };
    const Case cases[] = {
        {"return", false, "Edited", "Return"}, {"return", true, "Edited", "Return"},
        {"escape", false, "Song 0", "Escape"}, {"focus", false, "Edited", "Return"},
        {"focus", true, "Song 0", "Escape"},   {"click", false, "Edited", "Return"},
        {"click", true, "Song 0", "Escape"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.how << (c.discardsOnFocusLoss ? " discarding" : " keeping"));
        Row(0).setText("Song 0", juce::dontSendNotification);
        Row(0).setEditable(true, false, c.discardsOnFocusLoss);
        recorder.notices.clear();
        Row(0).showEditor();
        ASSERT_NE(Editor(0), nullptr);
        Editor(0)->selectAll();
        Type("Edited");
        const juce::String how = c.how;
        if (how == "return")
            Press(juce::KeyPress(juce::KeyPress::returnKey));
        else if (how == "escape")
            Press(juce::KeyPress(juce::KeyPress::escapeKey));
        else if (how == "focus")
        {
            // The window loses the focus (another application comes forward).
            window.getPeer()->handleFocusLoss();
            uitest::Pump(20);
            window.getPeer()->handleFocusGain();
        }
        else
            Click(other.getBounds().getCentre());
        EXPECT_FALSE(Row(0).isBeingEdited());
        EXPECT_EQ(Row(0).getText(), c.text);
        const juce::String notice(c.notice);
        EXPECT_TRUE(recorder.notices.contains("row0:" + notice)) << recorder.notices.joinIntoString(" ");
        EXPECT_FALSE(recorder.notices.contains(notice == "Return" ? "row0:Escape" : "row0:Return"));
    }
}

// Tab commits the name being edited and opens the editor of the next row.
TEST_F(LabelWithInlineEditorTest, TabMovesToTheNextRowsEditor)
{
    Row(0).showEditor();
    Editor(0)->selectAll();
    Type("First");
    Press(juce::KeyPress(juce::KeyPress::tabKey));
    EXPECT_EQ(Row(0).getText(), "First");
    EXPECT_FALSE(Row(0).isBeingEdited());
    ASSERT_TRUE(Row(1).isBeingEdited());
    EXPECT_TRUE(Editor(1)->hasKeyboardFocus(false));
    EXPECT_TRUE(recorder.notices.contains("row0:Return"));

    Editor(1)->selectAll();
    Type("Second");
    Press(juce::KeyPress(juce::KeyPress::tabKey));
    EXPECT_EQ(Row(1).getText(), "Second");
    EXPECT_TRUE(Row(2).isBeingEdited());

    Press(juce::KeyPress(juce::KeyPress::tabKey, juce::ModifierKeys::shiftModifier, 0));
    EXPECT_TRUE(Row(1).isBeingEdited());
    EXPECT_FALSE(Row(2).isBeingEdited());
}

// Undo and redo keys change nothing in the editor, and its menu has no undo
// or redo items.
TEST_F(LabelWithInlineEditorTest, UndoKeysDoNothing)
{
    EXPECT_EQ(TypeThenUndo(0), "abc");
    EXPECT_NE(dynamic_cast<UndoDisabledTextEditor*>(Editor(0)), nullptr);
    Press(juce::KeyPress(juce::KeyPress::escapeKey));

    juce::PopupMenu menu;
    UndoDisabledTextEditor editor;
    editor.addPopupMenuItems(menu, nullptr);
    juce::StringArray items;
    for (juce::PopupMenu::MenuItemIterator it(menu); it.next();)
        items.add(it.getItem().isSeparator ? juce::String("-") : it.getItem().text);
    EXPECT_EQ(items.joinIntoString("|"), "Cut|Copy|Paste|Delete|-|Select All");

    // Without the class-wide switch the same keys undo.
    LabelWithInlineEditor::setUndoDisabled(false);
    EXPECT_NE(TypeThenUndo(1), "abc");
    EXPECT_EQ(dynamic_cast<UndoDisabledTextEditor*>(Editor(1)), nullptr);
    Press(juce::KeyPress(juce::KeyPress::escapeKey));
    LabelWithInlineEditor::setUndoDisabled(true);
}

// Japanese text cannot be typed through an input method here, but pasted text
// is taken and committed, and shows in the label with real glyphs.
TEST_F(LabelWithInlineEditorTest, PastedJapaneseTextIsCommitted)
{
    juce::SystemClipboard::copyTextToClipboard(kJapanese);
    Row(0).showEditor();
    Editor(0)->selectAll();
    Press(juce::KeyPress('v', juce::ModifierKeys::commandModifier, 0));
    EXPECT_EQ(Editor(0)->getText(), kJapanese);
    Press(juce::KeyPress(juce::KeyPress::returnKey));
    EXPECT_EQ(Row(0).getText(), kJapanese);
    EXPECT_EQ(recorder.notices[recorder.notices.size() - 1], "row0:Return");
    const juce::Image drawn = uitest::Snapshot(Row(0));
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    uitest::SavePng(drawn, "LabelEditor_PastedJapanese");
}

// Setting the text while editing closes the editor without taking its text.
TEST_F(LabelWithInlineEditorTest, SetTextClosesTheEditorDiscardingIt)
{
    Row(0).showEditor();
    Editor(0)->selectAll();
    Type("Typed");
    Row(0).setText("Set", juce::dontSendNotification);
    EXPECT_FALSE(Row(0).isBeingEdited());
    EXPECT_EQ(Row(0).getText(), "Set");
}

// A dropped folder yields its files and those of its subfolders sorted
// without regard to case; folders are not listed; anything else is itself.
TEST(DroppedFileList, AFolderYieldsItsFilesSortedWithoutRegardToCase)
{
    rifftest::TempFolder folder;
    const juce::File root(folder.Path().string());
    for (const char* name : {"b.wav", "A.wav", "sub/c.wav", ".hidden.wav"})
        ASSERT_TRUE(root.getChildFile(name).create());
    juce::StringArray files{"stale"};
    Vextal::getFileListFromDroppedFile(root.getFullPathName(), files);
    juce::StringArray expected;
    for (const char* name : {".hidden.wav", "A.wav", "b.wav", "sub/c.wav"})
        expected.add(root.getChildFile(name).getFullPathName());
    EXPECT_EQ(files, expected);
    Vextal::getFileListFromDroppedFile(root.getChildFile("b.wav").getFullPathName(), files);
    EXPECT_EQ(files, juce::StringArray(root.getChildFile("b.wav").getFullPathName()));
    Vextal::getFileListFromDroppedFile("/no/such/file.wav", files);
    EXPECT_EQ(files, juce::StringArray("/no/such/file.wav"));
}
