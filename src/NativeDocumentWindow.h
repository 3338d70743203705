#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A document window in a window of the desktop with the system's title bar,
// which holds no knowledge of the application: its hooks are overridden by
// the application's window.
//
// It shows the menu bar of a model inside the window (the menu bar is the
// window's own, asking menuOpening() before a menu opens), puts a modified
// mark "*" before the title, keeps resize limits whose maximum height leaves
// room for the title bar, and zooms the height only: zoom makes the window as
// tall as the limits allow and zoom again gives back the size before. When
// the system enlarges the window beyond the limits (its maximise button), the
// window is put back within them, centred on its previous place, and counts
// as zoomed.
//
// While the window is active, a modal window of the application that lives
// in a window of its own is kept in front of it.
//
// Message thread only.
class NativeDocumentWindow : public juce::DocumentWindow, public juce::MenuBarModel, private juce::Timer
{
public:
    NativeDocumentWindow(const juce::String& title, juce::Colour background, int requiredButtons);
    ~NativeDocumentWindow() override;

    // Hooks of the application's window.
    virtual juce::ApplicationCommandManager* getCommandManager() { return nullptr; }
    virtual int getPreferencesCommandId() { return 0; }
    virtual int getAboutCommandId() { return 0; }
    virtual bool shouldDisableServiceMenu() { return true; }
    // A menu of the menu bar is about to open.
    virtual void menuOpening() {}

    // The title, with the mark "*" before it while modified.
    void setNameAndModified(const juce::String& title, bool modified);
    bool isModifiedMarkShown() const { return m_modified; }
    // The model whose menus the window's menu bar shows (not owned; null
    // removes the bar). The model follows the command manager's changes.
    void setMenuBar(juce::MenuBarModel* model);

    void toggleZoom();
    bool isZoomed() const { return m_zoomed; }
    // The limits; the title bar's height is taken from the maximum height.
    void setResizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight);
    // Places the window of w x h centred on a monitor's work area (the last
    // monitor when monitorIndex is too large).
    void centreWithSize(int width, int height, int monitorIndex);
    int getTitleBarHeight() const;

    void resized() override;
    void activeWindowStatusChanged() override;
    juce::BorderSize<int> getBorderThickness() override;

    juce::StringArray getMenuBarNames() override;
    juce::PopupMenu getMenuForIndex(int topLevelMenuIndex, const juce::String& menuName) override;
    void menuItemSelected(int menuItemID, int topLevelMenuIndex) override;

private:
    void timerCallback() override;
    // Resizes to the limited size, centred on the window's previous area.
    void setSizeCentred(int width, int height);

    juce::MenuBarModel* m_menuModel = nullptr;
    juce::String m_title;
    bool m_modified = false;
    int m_maxWidth = 0;
    int m_maxHeight = 0;
    int m_minWidth = 0;
    int m_minHeight = 0;
    int m_normalWidth = 0;
    int m_normalHeight = 0;
    bool m_zoomed = false;
    int m_resizing = 0;
    juce::Rectangle<int> m_lastBounds;

    JUCE_DECLARE_NON_COPYABLE(NativeDocumentWindow)
};
