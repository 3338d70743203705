#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class CVXHost;

namespace Vextal
{
// The model of the application's menu bar: File, Edit, View, Controls,
// Window and Help, each built from the application's commands (the command
// manager singleton) every time it is asked for, so that texts, keys,
// enablement and ticks are those of the moment the menu opens. The items of
// the application menu of other systems stand here in File (Quit), Edit
// (Preferences) and Help (About).
//
// Every item is a command item that the framework invokes itself, so
// menuItemSelected does nothing.
//
// Threads. Message thread only.
class MenuBarManager : public juce::MenuBarModel
{
public:
    enum MenuIndex
    {
        kFileMenu = 0,
        kEditMenu = 1,
        kViewMenu = 2,
        kControlsMenu = 3,
        kWindowMenu = 4,
        kHelpMenu = 5,
        kNumMenus = 6
    };

    // owner: the main window (not owned; may be null). host: whose player
    // status and recent songlists the menus show (not owned; null shows no
    // recent songlist and the Play text).
    MenuBarManager(juce::Component* owner, CVXHost* host);
    ~MenuBarManager() override;

    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex(int topLevelMenuIndex, const juce::String& menuName) override;
    void menuItemSelected(int menuItemID, int topLevelMenuIndex) override;

    // The text of a recent songlist's item: its file's modification time and
    // its name ("2024/05/01 13:45 : Mix.vxsl" in Japanese).
    static juce::String recentItemText(const juce::File& file);

    juce::Component* getOwner() const { return m_owner; }

private:
    juce::PopupMenu fileMenu() const;
    juce::PopupMenu editMenu() const;
    juce::PopupMenu viewMenu() const;
    juce::PopupMenu controlsMenu() const;
    juce::PopupMenu windowMenu() const;
    juce::PopupMenu helpMenu() const;
    juce::PopupMenu recentMenu() const;

    juce::Component* const m_owner;
    CVXHost* const m_host;

    JUCE_DECLARE_NON_COPYABLE(MenuBarManager)
};
} // namespace Vextal
