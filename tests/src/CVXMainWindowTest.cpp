#include "src/CVXMainWindow.h"

#include "src/jucer_components/MainComponent.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "src/songlist/SonglistFile.h"
#include "tests/src/jucer_components/PlayerPanelTestSupport.h"
#include "tests/support/ScopedSingletonInstance.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using Vextal::CommandManager;

namespace
{
class CVXMainWindowTest : public paneltest::PanelTest
{
protected:
    explicit CVXMainWindowTest(const char* language = "en") : PanelTest(language) {}

    void SetUp() override
    {
        PanelTest::SetUp();
        m_commands = std::make_unique<CommandManager>(*m_host, [] {});
        m_scoped = std::make_unique<ScopedSingletonInstance<CommandManager>>(m_commands.get());
    }
    void TearDown() override
    {
        m_window.reset();
        Dispatch(300);
        m_scoped.reset();
        m_commands.reset();
        PanelTest::TearDown();
    }

    CVXMainWindow& Open()
    {
        m_window = std::make_unique<CVXMainWindow>(m_host.get());
        Dispatch(50);
        return *m_window;
    }

    // The window's content drawn as it is on screen.
    void Save(const juce::String& name)
    {
        uitest::SavePng(m_window->getContentComponent()->createComponentSnapshot(
                            m_window->getContentComponent()->getLocalBounds()),
                        name);
    }

    Vextal::ScopedScriptedDialogs m_dialogs;
    std::unique_ptr<CommandManager> m_commands;
    std::unique_ptr<ScopedSingletonInstance<CommandManager>> m_scoped;
    std::unique_ptr<CVXMainWindow> m_window;
};

class CVXMainWindowJapaneseTest : public CVXMainWindowTest
{
protected:
    CVXMainWindowJapaneseTest() : CVXMainWindowTest("ja") {}
};

// Only the height changes: the width stays that of the content, the height
// keeps between the first height and the tallest work area, also when the
// stored height is larger; the height is stored when the window goes.
TEST_F(CVXMainWindowTest, SizeRules)
{
    CVXMainWindow& window = Open();
    const int width = window.getWidth();
    const int height = window.getHeight();
    EXPECT_EQ(window.getContentComponent()->getWidth(), Vextal::MainComponent::kWidth);
    const auto* constrainer = window.getConstrainer();
    ASSERT_NE(constrainer, nullptr);
    EXPECT_EQ(constrainer->getMinimumWidth(), width);
    EXPECT_EQ(constrainer->getMaximumWidth(), width);
    EXPECT_EQ(constrainer->getMinimumHeight(), height);
    const int tallest = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea.getHeight();
    EXPECT_LE(constrainer->getMaximumHeight(), tallest);

    window.toggleZoom();
    EXPECT_TRUE(window.isZoomed());
    EXPECT_EQ(window.getHeight(), constrainer->getMaximumHeight());
    EXPECT_EQ(window.getWidth(), width);
    window.toggleZoom();
    EXPECT_FALSE(window.isZoomed());
    EXPECT_EQ(window.getHeight(), height);

    // The system enlarging the window is taken back within the limits.
    window.setBounds(window.getX(), window.getY(), width + 100, tallest + 500);
    EXPECT_EQ(window.getWidth(), width);
    EXPECT_LE(window.getHeight(), constrainer->getMaximumHeight());
    m_window.reset();
    EXPECT_EQ(m_preferences.ReadInteger(CVXMainWindow::kWidthKey, 0), width);

    m_preferences.WriteInteger(CVXMainWindow::kHeightKey, 100000);
    CVXMainWindow& tall = Open();
    EXPECT_EQ(tall.getHeight(), tall.getConstrainer()->getMaximumHeight());
    m_window.reset();
    m_preferences.WriteInteger(CVXMainWindow::kHeightKey, 10);
    EXPECT_EQ(Open().getHeight(), height);
}

// The title names the songlist, with the modified mark while it is changed;
// the Window item shows the title and is ticked.
TEST_F(CVXMainWindowTest, TitleAndModifiedMark)
{
    CVXMainWindow& window = Open();
    EXPECT_EQ(window.getName(), "untitled.vxsl - Vextal ");
    m_host->SetVXSLPath(juce::File((m_folder / "Mix.vxsl").string()));
    EXPECT_EQ(window.getName(), "Mix.vxsl - Vextal");
    EXPECT_FALSE(window.isModifiedMarkShown());
    m_host->setVXSLChanged(true);
    EXPECT_EQ(window.getName(), "*Mix.vxsl - Vextal");
    EXPECT_TRUE(window.isModifiedMarkShown());

    juce::ApplicationCommandInfo info(CVXMainWindow::kWindowItem);
    window.getCommandInfo(CVXMainWindow::kWindowItem, info);
    EXPECT_EQ(info.shortName, window.getName());
    EXPECT_NE(info.flags & juce::ApplicationCommandInfo::isTicked, 0);
    Save("MainWindow_en");
}

TEST_F(CVXMainWindowJapaneseTest, DrawsInJapanese)
{
    AddSongs(3);
    Open();
    Save("MainWindow_ja");
}

// One songlist dropped on an empty list opens it; on a list with songs, or
// with other files, everything dropped is added as songs in one step.
TEST_F(CVXMainWindowTest, DroppedSonglist)
{
    AddSongs(2);
    const juce::File songlist((m_folder / "two.vxsl").string());
    ASSERT_TRUE(m_host->saveProjectInternal(songlist));
    CVXMainWindow& window = Open();
    const juce::StringArray dropped{songlist.getFullPathName()};
    EXPECT_TRUE(window.isInterestedInFileDrag(dropped));

    window.filesDropped(dropped, 0, 0);
    EXPECT_EQ(m_host->GetNumSongs(), 4) << "added as songs to a list with songs";
    EXPECT_TRUE(m_commands->canUndo());

    m_host->RemoveTracks({0, 1, 2, 3});
    ASSERT_EQ(m_host->GetNumSongs(), 0);
    window.filesDropped(dropped, 0, 0);
    EXPECT_EQ(m_host->GetNumSongs(), 2) << "opened on an empty list";
    EXPECT_EQ(m_host->GetSonglistFile(), songlist);
}
} // namespace
