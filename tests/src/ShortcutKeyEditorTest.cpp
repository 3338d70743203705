#include "src/ShortcutKeyEditor.h"

#include "src/jucer_components/ComponentDresser.h"
#include "tests/src/ActionTestSupport.h"
#include "tests/src/ModalDriver.h"

#include <gtest/gtest.h>

#include <string>

using Vextal::ShortcutKeyEditor;

namespace
{
using actiontest::ActionManager;

class ShortcutKeyEditorTest : public actiontest::ActionTest
{
protected:
    explicit ShortcutKeyEditorTest(const char* language = "en") : ActionTest(language) {}

    // Each group as "<name>: id id ...".
    static std::vector<std::string> Describe(const ShortcutKeyEditor& editor)
    {
        std::vector<std::string> groups;
        for (size_t g = 0; g < editor.getGroups().size(); ++g)
        {
            std::string s = editor.getGroupNames()[static_cast<int>(g)].toStdString() + ":";
            for (int id : editor.getGroups()[g])
                s += " " + std::to_string(id);
            groups.push_back(s);
        }
        return groups;
    }

    static void ExpectEveryTextFits(const ShortcutKeyEditor& editor)
    {
        int lines = 0;
        for (const auto& line : editor.layOut())
        {
            const float needed = editor.getLineFont(line).getStringWidthFloat(line.text) *
                                 ShortcutKeyEditor::kMinimumHorizontalScale;
            EXPECT_LE(needed, static_cast<float>(line.box.getWidth())) << line.text;
            EXPECT_LE(line.box.getRight(), editor.getWidth()) << line.text;
            ++lines;
        }
        EXPECT_GT(lines, 20);
    }

    void Draw(const char* name)
    {
        ShortcutKeyEditor editor(m_commands.get());
        const juce::Image shot = editor.createComponentSnapshot(editor.getLocalBounds());
        EXPECT_TRUE(uitest::IsDrawn(shot));
        uitest::SavePng(shot, name);
    }
};

class ShortcutKeyEditorJapaneseTest : public ShortcutKeyEditorTest
{
protected:
    ShortcutKeyEditorJapaneseTest() : ShortcutKeyEditorTest("ja") {}
};

// The application's group, then one group per menu with the commands that
// have a key, in menu order: commands without a key, the hold times and the
// recent songlists never appear; Skip, Rewind and their steps, which stand
// in no menu, join Controls.
TEST_F(ShortcutKeyEditorTest, GroupsTheCommandsThatHaveKeys)
{
    const ShortcutKeyEditor editor(m_commands.get());
    const std::vector<std::string> expected = {
        "Vextal: 39 4097",
        "File: 1 2 3 4 5 6 7 8",
        "Edit: 10 11 35 12 13 14",
        "View:",
        "Controls: 17 19 20 21 22 23 24 25 26 27 28",
        "Window: 43",
        "Help:",
    };
    EXPECT_EQ(Describe(editor), expected);
    EXPECT_EQ(editor.getWidth(), ShortcutKeyEditor::kWidth);
    EXPECT_EQ(editor.getHeight(), ShortcutKeyEditor::kHeight);
    EXPECT_FALSE(editor.isOpaque());
    ExpectEveryTextFits(editor);
    Draw("ShortcutKeyEditor_en");
}

// Every heading, name and key fits its box, narrowed at most to the
// overview's minimum scale: the longest Japanese names
// ("ソングリストに名前を付けて保存") are not cut.
TEST_F(ShortcutKeyEditorJapaneseTest, EveryTextFitsItsBox)
{
    const ShortcutKeyEditor editor(m_commands.get());
    ExpectEveryTextFits(editor);
}

TEST_F(ShortcutKeyEditorJapaneseTest, DrawsInJapanese)
{
    const ShortcutKeyEditor editor(m_commands.get());
    EXPECT_EQ(editor.getGroupNames()[4], CZJEResource::GetText("Menu_Name_Controls"));
    EXPECT_EQ(editor.getGroups()[4].size(), 11u);
    Draw("ShortcutKeyEditor_ja");
}

// Shown over its parent, centred and modal; any key closes and deletes it.
// Without a parent nothing is shown.
TEST_F(ShortcutKeyEditorTest, ShowsModallyAndClosesOnAKey)
{
    EXPECT_EQ(ShortcutKeyEditor::showModal(nullptr), nullptr);
    juce::Component parent;
    parent.setBounds(100, 100, 700, 560);
    parent.addToDesktop(juce::ComponentPeer::windowIsTemporary);
    parent.setVisible(true);
    ShortcutKeyEditor* editor = ShortcutKeyEditor::showModal(&parent);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->getParentComponent(), &parent);
    EXPECT_EQ(editor->getBounds().getCentre(), parent.getLocalBounds().getCentre());
    EXPECT_TRUE(editor->isCurrentlyModal());
    EXPECT_TRUE(
        uitest::PumpUntil([&] { return !editor->getProperties()[ComponentDresser::isCurrentlyFadingIn]; }));
    uitest::PressKey(parent, juce::KeyPress(juce::KeyPress::spaceKey));
    const juce::Component::SafePointer<juce::Component> alive(editor);
    EXPECT_TRUE(uitest::PumpUntil(
        [&] { return alive == nullptr && juce::Component::getCurrentlyModalComponent() == nullptr; }));
    EXPECT_EQ(uitest::FindComponent<ShortcutKeyEditor>(&parent), nullptr);
    // The key only closed the overview.
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusStopped);
    parent.removeFromDesktop();
}
} // namespace
