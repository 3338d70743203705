#pragma once

#include "src/CommandIDs.h"
#include "src/NativeDocumentWindow.h"
#include "src/songlist/CVXHost.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace Vextal
{
class ActionManager;
class MainComponent;
class MenuBarManager;
} // namespace Vextal

// The application's one document window: it holds the main content, shows the
// songlist's name and modified mark "*" in its title, keeps its height in the
// preferences ("MainWindowHeight"; the width never changes), answers the
// Window commands 43 to 46, and takes dropped files: a single songlist file
// dropped on an empty songlist opens it, anything else is added as songs in
// one undoable step. Closing it asks the application to quit.
//
// It owns the command manager with the undo stack (Vextal::CommandManager)
// for its life, the action manager (commands 1 to 30 and the recent
// songlists and hold times) and the menu bar shown inside the window:
// commands are looked for in the main content, then here, then in the action
// manager, then in the application object; the manager's key mappings listen
// to every key of the window. A held Right or Left key's cue ends when a menu
// opens or the focus moves.
//
// Threads. Message thread only. Host notices may come from other threads: the
// window reacts to them on the message thread.
// Locks. The window joins and leaves the host's listeners under the host's
// listener lock.
class CVXMainWindow : public NativeDocumentWindow,
                      public juce::ApplicationCommandTarget,
                      public CVXHostListener,
                      public juce::FileDragAndDropTarget,
                      public juce::FocusChangeListener,
                      public Vextal::WindowCommandIDs
{
public:
    static constexpr int kPlayPauseCommand = 17;
    static constexpr int kPreferencesCommand = 39;
    static constexpr int kAboutCommand = 30;
    static constexpr const char* kWidthKey = "MainWindowWidth";
    static constexpr const char* kHeightKey = "MainWindowHeight";
    static constexpr const char* kUntitled = "untitled.vxsl";
    static constexpr const char* kApplicationTitle = "Vextal";

    explicit CVXMainWindow(CVXHost* host);
    ~CVXMainWindow() override;

    // The title for a songlist name: "<name or untitled.vxsl> - Vextal".
    static juce::String titleFor(const juce::String& songlistName);

    Vextal::MainComponent* getMainComponent() const { return m_content; }
    Vextal::ActionManager* getActionManager() const { return m_actions.get(); }
    Vextal::MenuBarManager* getMenuBarManager() const { return m_menuBar.get(); }

    void closeButtonPressed() override;
    bool keyPressed(const juce::KeyPress& key) override;

    juce::ApplicationCommandManager* getCommandManager() override;
    int getPreferencesCommandId() override { return kPreferencesCommand; }
    int getAboutCommandId() override { return kAboutCommand; }
    void menuOpening() override;

    juce::ApplicationCommandTarget* getNextCommandTarget() override;
    void getAllCommands(juce::Array<juce::CommandID>& commands) override;
    void getCommandInfo(juce::CommandID commandID, juce::ApplicationCommandInfo& result) override;
    bool perform(const InvocationInfo& info) override;

    void songlistNameChanged(CVXHost* host, const juce::String& name) override;
    void OnVXHostPlayerStatusChanged(CVXHost* host, int status) override;

    bool isInterestedInFileDrag(const juce::StringArray& files) override;
    // Only while no export runs. The application hands its command line here
    // with x = y = 0.
    void filesDropped(const juce::StringArray& files, int x, int y) override;

    void globalFocusChanged(juce::Component* focused) override;

private:
    void showSonglistName(const juce::String& name);
    void bringToFront();

    CVXHost* m_host = nullptr;
    std::unique_ptr<Vextal::ActionManager> m_actions;
    Vextal::MainComponent* m_content = nullptr;
    std::unique_ptr<Vextal::MenuBarManager> m_menuBar;

    JUCE_DECLARE_NON_COPYABLE(CVXMainWindow)
};
