#pragma once

#include "src/CommandIDs.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

class CVXHost;

// A component that may disable any command of the action manager: while it
// answers true for a command, that command is inactive whatever the host's
// state. The main content is the application's one blocker.
class ActionBlocker
{
public:
    virtual ~ActionBlocker() = default;
    virtual bool shouldBlockCommand(int commandID) = 0;
};

namespace Vextal
{
// The peak-hold and clip-hold choices in milliseconds; -1 holds until the
// hold is cleared (shown as infinity).
inline constexpr int kHoldTimeMilliseconds[8] = {0, 500, 1000, 2000, 3000, 4000, 10000, -1};

// The command target of the main window's commands 1 to 30 (File, Edit,
// Controls and Help), of the ten recent songlists (256 to 265) and of the
// peak-hold (512 to 519) and clip-hold (768 to 775) choices. It is asked
// after the main content and the main window and passes nothing on.
//
// Each command's name, keys and flags come from the localized texts and the
// host's state at the moment they are asked for; its enablement follows the
// host's command-availability bits (CVXHost::GetBits), and then every blocker
// may disable it.
//
// Commands 23 and 24 (Skip, Rewind) want key-up calls while the player does
// not pause: a held Right or Left key cues until it is released. Their flags
// therefore depend on the player status, and the window registers them anew
// when the status changes.
//
// Threads. Message thread only.
class ActionManager : public juce::ApplicationCommandTarget, public ActionCommandIDs
{
public:
    // Over the host (not owned; null disables every command that needs it);
    // parent is the main window (not owned), which the about window centres
    // on.
    ActionManager(CVXHost* host, juce::Component* parent);
    ~ActionManager() override;

    juce::ApplicationCommandTarget* getNextCommandTarget() override;
    void getAllCommands(juce::Array<juce::CommandID>& commands) override;
    void getCommandInfo(juce::CommandID commandID, juce::ApplicationCommandInfo& result) override;
    bool perform(const InvocationInfo& info) override;

    // Registers Skip and Rewind anew with the manager, so that their flags
    // follow the player status (the manager keeps the information of the
    // moment a command was registered). The window calls it whenever the
    // player status changes.
    void reregisterCueCommands(juce::ApplicationCommandManager& commands);

    // Appends a blocker (not owned) unless it is there already.
    void addBlocker(ActionBlocker* blocker);
    void removeBlocker(ActionBlocker* blocker);

    // Ends a cue started by a held Right or Left key: back to normal speed
    // when the last Skip or Rewind came from a key going down and no export
    // runs.
    void emulateKeyUp();
    // Makes the key mappings look again at which keys are down, so that a
    // key released while the window did not see it gets its key-up call.
    void resetKeyStatus();
    bool isCueKeyDown() const { return m_cueKeyDown; }

    // The text of a hold-time choice: " 0.5 sec", "10.0 sec" or the infinity
    // symbol for -1.
    static juce::String holdTimeText(int milliseconds);

    // The operations of the File and Edit commands; each gives the result of
    // its undoable edit (true when the user cancels a chooser).
    bool performNew();
    bool performAdd();
    bool performOpenFolder();
    bool performCropSongs();
    bool performCombine();
    bool performChannelLink();
    bool performChangePicture();
    bool performRemovePicture();

private:
    struct HostState;
    HostState takeHostState() const;
    void fillCommandInfo(int commandID, const HostState& state, juce::ApplicationCommandInfo& result) const;
    void fillFamilyInfo(int commandID, const HostState& state, juce::ApplicationCommandInfo& result) const;
    bool performCommand(const InvocationInfo& info);
    bool performFamily(int commandID);
    bool push(std::unique_ptr<juce::UndoableAction> action, bool newTransaction, const juce::String& name);

    CVXHost* const m_host;
    juce::Component::SafePointer<juce::Component> m_parent;
    juce::Array<ActionBlocker*> m_blockers;
    bool m_cueKeyDown = false;

    JUCE_DECLARE_NON_COPYABLE(ActionManager)
};

// The transport operations the commands call, on the host singleton (the
// overloads on a given host do the same). None acts while a play-from or
// play-to preview runs; all but SpeedNormal need host mode 0.
void PlayPause();
void Stop();
void FromPlay();
void ToPlay();
void Next();
void Back();
void Skip();
void Rwd();
void ShortSkip();
void ShortRwd();
void LongSkip();
void LongRwd();
void SpeedNormal();

void PlayPause(CVXHost& host);
void Stop(CVXHost& host);
void FromPlay(CVXHost& host);
void ToPlay(CVXHost& host);
void Next(CVXHost& host);
void Back(CVXHost& host);
void Skip(CVXHost& host);
void Rwd(CVXHost& host);
void ShortSkip(CVXHost& host);
void ShortRwd(CVXHost& host);
void LongSkip(CVXHost& host);
void LongRwd(CVXHost& host);
void SpeedNormal(CVXHost& host);

// Opens the user's guide ("Users Guide(J).pdf" for a user whose first
// language is Japanese, else "Users Guide.pdf", in the resource folder) with
// the desktop's default application; a warning box tells when the file is
// missing or could not be opened, and why (also when the opener fails after
// it was handed the guide).
void Help();
// The guide Help opens for the user's first language.
juce::File usersGuideFile();
// Opens a document with the desktop's default application (xdg-open, see
// runDesktopOpener); the failure as a text for the user, empty when the
// document was handed over. A failure of xdg-open after it was handed the
// document goes to lateFailure on the message thread. Tests replace the
// opener; an empty function goes back to xdg-open.
using DocumentOpener = std::function<juce::String(const juce::File&)>;
void setDocumentOpener(DocumentOpener opener);
juce::String openDocument(const juce::File& file, std::function<void(const juce::String&)> lateFailure = {});
} // namespace Vextal
