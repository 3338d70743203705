#include "src/MenuBarManager.h"

#include "tests/src/ActionTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using Vextal::MenuBarManager;

namespace
{
using actiontest::ActionManager;

class MenuBarManagerTest : public actiontest::ActionTest
{
protected:
    explicit MenuBarManagerTest(const char* language = "en") : ActionTest(language) {}

    void SetUp() override
    {
        ActionTest::SetUp();
        m_menuBar = std::make_unique<MenuBarManager>(nullptr, m_host.get());
    }

    juce::PopupMenu Menu(int index) { return m_menuBar->getMenuForIndex(index, {}); }

    // The menu's items: command ids, "|" for a separator and a submenu in
    // brackets, "-[...]" when the submenu is disabled.
    static std::string Describe(const juce::PopupMenu& menu)
    {
        std::string s;
        for (juce::PopupMenu::MenuItemIterator it(menu); it.next();)
        {
            const juce::PopupMenu::Item& item = it.getItem();
            s += s.empty() ? "" : " ";
            if (item.isSeparator)
                s += "|";
            else if (item.subMenu != nullptr)
                s += std::string(item.isEnabled ? "" : "-") + "[" + Describe(*item.subMenu) + "]";
            else
                s += std::to_string(item.itemID);
        }
        return s;
    }

    // The item of a command in the menu or its submenus.
    static const juce::PopupMenu::Item* Find(const juce::PopupMenu& menu, int id)
    {
        for (juce::PopupMenu::MenuItemIterator it(menu, true); it.next();)
            if (it.getItem().itemID == id && !it.getItem().isSeparator)
                return &it.getItem();
        return nullptr;
    }

    // A songlist file of the folder with the given modification time.
    juce::File Songlist(const std::string& name, juce::Time modified)
    {
        const juce::File file((m_folder / name).string());
        EXPECT_TRUE(file.replaceWithText("songlist"));
        EXPECT_TRUE(file.setLastModificationTime(modified));
        return file;
    }

    std::unique_ptr<MenuBarManager> m_menuBar;
};

class MenuBarManagerJapaneseTest : public MenuBarManagerTest
{
protected:
    MenuBarManagerJapaneseTest() : MenuBarManagerTest("ja") {}
};

// The six menus, their commands and separators, in order.
TEST_F(MenuBarManagerTest, MenusHoldTheirCommandsInOrder)
{
    const juce::StringArray names{"File", "Edit", "View", "Controls", "Window", "Help"};
    EXPECT_EQ(m_menuBar->getMenuBarNames(), names);
    const char* const expected[] = {
        "1 2 -[3] 4 5 | 6 31 7 | 8 9 | 32 33 | 4097",
        "10 11 | 35 36 | 12 | 13 14 | 38 | 39",
        "[512 513 514 515 516 517 518 519] [768 769 770 771 772 773 774 775] | 41",
        "17 18 | 19 20 | 21 22",
        "43 44 | 45 | 46",
        "29 40 | 30",
    };
    for (int index = 0; index < MenuBarManager::kNumMenus; ++index)
    {
        SCOPED_TRACE(index);
        EXPECT_EQ(Describe(Menu(index)), expected[index]);
    }
    EXPECT_EQ(Describe(Menu(6)), "");
    EXPECT_EQ(Describe(Menu(-1)), "");

    // Items take their state from the commands when the menu is made.
    const juce::PopupMenu file = Menu(MenuBarManager::kFileMenu);
    EXPECT_EQ(Find(file, ActionManager::kOpen)->text, "Open Songlist");
    EXPECT_TRUE(Find(file, ActionManager::kOpen)->isEnabled);
    EXPECT_FALSE(Find(file, ActionManager::kSave)->isEnabled);
    EXPECT_EQ(Find(file, juce::StandardApplicationCommandIDs::quit)->text, "Quit");
    const juce::PopupMenu view = Menu(MenuBarManager::kViewMenu);
    m_host->SetPeakHoldLevelMs(1000);
    EXPECT_FALSE(Find(view, ActionManager::kFirstPeakHold + 2)->isTicked);
    EXPECT_TRUE(Find(Menu(MenuBarManager::kViewMenu), ActionManager::kFirstPeakHold + 2)->isTicked);
}

// Play/Pause reads Pause while playing and Play otherwise.
TEST_F(MenuBarManagerTest, PlayPauseShowsWhatItWillDo)
{
    for (const char* name : {"a", "b"})
        AddSongOfSeconds(name, 2.0);
    ASSERT_TRUE(m_host->SetCurPlayTrack(0, true, false));
    const auto textOf = [this]
    { return Find(Menu(MenuBarManager::kControlsMenu), ActionManager::kPlayPause)->text; };
    EXPECT_EQ(textOf(), "Play");
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    EXPECT_EQ(textOf(), "Pause");
    m_host->SetPlayerStatus(CVXHost::kStatusPaused);
    EXPECT_EQ(textOf(), "Play");
}

// The recent songlists: one item per existing file, with its time and name;
// a missing file gets no item and the others keep the ids of their places.
// The submenu is enabled while one of its items is.
TEST_F(MenuBarManagerTest, RecentSonglistsKeepTheirIds)
{
    const juce::Time time(2024, 4, 1, 13, 45, 0, 0, true);
    const juce::File a = Songlist("a.vxsl", time);
    const juce::File b = Songlist("b.vxsl", time);
    const juce::File c = Songlist("c.vxsl", time);
    for (const juce::File& f : {a, b, c})
        m_host->SetVXSLPath(f);
    const juce::StringArray order{c.getFullPathName(), b.getFullPathName(), a.getFullPathName()};
    ASSERT_EQ(m_host->GetRecentSonglists(), order);
    ASSERT_TRUE(b.deleteFile());
    const juce::PopupMenu file = Menu(MenuBarManager::kFileMenu);
    EXPECT_EQ(Describe(file).substr(0, 20), "1 2 [3 | 256 258] 4 ");
    const juce::String expected = time.toString(true, true, false, false) + " : c.vxsl";
    EXPECT_EQ(Find(file, ActionManager::kFirstRecent)->text, expected);
    EXPECT_TRUE(expected.containsIgnoreCase("pm"));
    EXPECT_FALSE(expected.contains("13:45"));

    // Every file gone: only the previous session's songlist, and the
    // submenu follows it.
    ASSERT_TRUE(a.deleteFile());
    ASSERT_TRUE(c.deleteFile());
    EXPECT_EQ(Describe(Menu(MenuBarManager::kFileMenu)).substr(0, 12), "1 2 -[3 |] 4");
    ASSERT_TRUE(m_host->GetLastSonglistFile().create().wasOk());
    EXPECT_EQ(Describe(Menu(MenuBarManager::kFileMenu)).substr(0, 11), "1 2 [3 |] 4");
    m_host->SetMode(1);
    EXPECT_EQ(Describe(Menu(MenuBarManager::kFileMenu)).substr(0, 12), "1 2 -[3 |] 4");
}

TEST_F(MenuBarManagerJapaneseTest, RecentSonglistsShowYearMonthDayAndTwentyFourHours)
{
    const juce::Time time(2024, 4, 1, 13, 45, 0, 0, true);
    EXPECT_EQ(MenuBarManager::recentItemText(Songlist("Mix.vxsl", time)), "2024/05/01 13:45 : Mix.vxsl");
    EXPECT_EQ(m_menuBar->getMenuBarNames()[MenuBarManager::kFileMenu],
              CZJEResource::GetText("Menu_Name_File"));
}
} // namespace
