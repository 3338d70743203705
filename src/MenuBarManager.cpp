#include "src/MenuBarManager.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEText.h"
#include "src/CommandIDs.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CommandManager.h"

#include <initializer_list>

namespace Vextal
{
namespace
{
using AM = ActionCommandIDs;
using MC = ContentCommandIDs;
using MW = WindowCommandIDs;

// A separator in a list of items.
constexpr int kSeparator = 0;

using CZJEText::Text;

// The command manager the items come from; null when none exists.
juce::ApplicationCommandManager* commands()
{
    return CommandManager::GetInstance();
}

void addItems(juce::PopupMenu& menu, std::initializer_list<int> ids)
{
    juce::ApplicationCommandManager* manager = commands();
    for (int id : ids)
    {
        if (id == kSeparator)
            menu.addSeparator();
        else if (manager != nullptr)
            menu.addCommandItem(manager, id);
    }
}

bool hasActiveItem(const juce::PopupMenu& menu)
{
    for (juce::PopupMenu::MenuItemIterator it(menu); it.next();)
        if (!it.getItem().isSeparator && it.getItem().isEnabled)
            return true;
    return false;
}

juce::PopupMenu commandRange(int first, int count)
{
    juce::PopupMenu menu;
    if (juce::ApplicationCommandManager* manager = commands())
        for (int i = 0; i < count; ++i)
            menu.addCommandItem(manager, first + i);
    return menu;
}
} // namespace

MenuBarManager::MenuBarManager(juce::Component* owner, CVXHost* host) : m_owner(owner), m_host(host) {}

MenuBarManager::~MenuBarManager() = default;

juce::StringArray MenuBarManager::getMenuBarNames()
{
    return {Text("Menu_Name_File"),     Text("Menu_Name_Edit"),   Text("Menu_Name_View"),
            Text("Menu_Name_Controls"), Text("Menu_Name_Window"), Text("Menu_Name_Help")};
}

juce::PopupMenu MenuBarManager::getMenuForIndex(int topLevelMenuIndex, const juce::String&)
{
    VX_ASSERT_MESSAGE_THREAD();
    switch (topLevelMenuIndex)
    {
    case kFileMenu:
        return fileMenu();
    case kEditMenu:
        return editMenu();
    case kViewMenu:
        return viewMenu();
    case kControlsMenu:
        return controlsMenu();
    case kWindowMenu:
        return windowMenu();
    case kHelpMenu:
        return helpMenu();
    default:
        return {};
    }
}

void MenuBarManager::menuItemSelected(int, int) {}

juce::PopupMenu MenuBarManager::fileMenu() const
{
    juce::PopupMenu menu;
    addItems(menu, {AM::kNew, AM::kOpen});
    const juce::PopupMenu recent = recentMenu();
    menu.addSubMenu(Text("Menu_Item_OpenRecent"), recent, hasActiveItem(recent));
    addItems(menu, {AM::kSave, AM::kSaveAs, kSeparator, AM::kAdd, MC::kOpenDisc, AM::kOpenFolder, kSeparator,
                    AM::kRemoveSongs, AM::kCropSongs, kSeparator, MC::kExport, MC::kBurnDisc});
    // The quit command of the framework, under the application's own text.
    juce::ApplicationCommandManager* manager = commands();
    if (manager != nullptr && manager->getCommandForID(juce::StandardApplicationCommandIDs::quit) != nullptr)
    {
        menu.addSeparator();
        menu.addCommandItem(manager, juce::StandardApplicationCommandIDs::quit, Text("Menu_Item_Exit"));
    }
    return menu;
}

juce::PopupMenu MenuBarManager::recentMenu() const
{
    juce::PopupMenu menu;
    addItems(menu, {AM::kOpenAutoSaved});
    juce::ApplicationCommandManager* manager = commands();
    if (m_host == nullptr || manager == nullptr || m_host->GetRecentSonglists().isEmpty())
        return menu;
    menu.addSeparator();
    const juce::StringArray& recent = m_host->GetRecentSonglists();
    // A songlist whose file is gone gets no item; the others keep the id of
    // their place in the list.
    for (int i = 0; i < recent.size() && i < AM::kNumRecent; ++i)
    {
        const juce::File file(recent[i]);
        if (file.existsAsFile())
            menu.addCommandItem(manager, AM::kFirstRecent + i, recentItemText(file));
    }
    return menu;
}

juce::String MenuBarManager::recentItemText(const juce::File& file)
{
    const juce::Time modified = file.getLastModificationTime();
    const juce::String time = Text("Common_Language") == "ja" ? modified.formatted("%Y/%m/%d %H:%M")
                                                              : modified.toString(true, true, false, false);
    return time + " : " + file.getFileName();
}

juce::PopupMenu MenuBarManager::editMenu() const
{
    juce::PopupMenu menu;
    addItems(menu, {AM::kUndo, AM::kRedo, kSeparator, MC::kSelectAll, MC::kInvertSelection, kSeparator,
                    AM::kDivide, kSeparator, AM::kCombine, AM::kChannelLink, kSeparator,
                    MC::kEditSongInformation, kSeparator, MC::kPreferences});
    return menu;
}

juce::PopupMenu MenuBarManager::viewMenu() const
{
    juce::PopupMenu menu;
    menu.addSubMenu(Text("Menu_Item_PeakHold"), commandRange(AM::kFirstPeakHold, AM::kNumHoldTimes), true);
    menu.addSubMenu(Text("Menu_Item_ClipHold"), commandRange(AM::kFirstClipHold, AM::kNumHoldTimes), true);
    addItems(menu, {kSeparator, MC::kSongProperty});
    return menu;
}

juce::PopupMenu MenuBarManager::controlsMenu() const
{
    juce::PopupMenu menu;
    if (juce::ApplicationCommandManager* manager = commands())
    {
        const bool playing = m_host != nullptr && m_host->GetPlayerStatus() == CVXHost::kStatusPlaying;
        menu.addCommandItem(manager, AM::kPlayPause, Text(playing ? "Menu_Item_Pause" : "Menu_Item_Play"));
    }
    addItems(menu, {AM::kStop, kSeparator, AM::kPlayFrom, AM::kPlayTo, kSeparator, AM::kNextSong,
                    AM::kPreviousSong});
    return menu;
}

juce::PopupMenu MenuBarManager::windowMenu() const
{
    juce::PopupMenu menu;
    addItems(menu, {MW::kMinimize, MW::kZoom, kSeparator, MW::kBringAllToFront, kSeparator, MW::kWindowItem});
    return menu;
}

juce::PopupMenu MenuBarManager::helpMenu() const
{
    juce::PopupMenu menu;
    addItems(menu, {AM::kUsersGuide, MC::kEditShortcutKeys, kSeparator, AM::kAbout});
    return menu;
}
} // namespace Vextal
