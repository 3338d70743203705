#include "src/ActionManager.h"

#include "common/dsp/CAudioFilePlayer.h"
#include "library/util/CCheckUtil.h"
#include "library/util/linux/CLinuxUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "library/vextal_juce/CZJESparseSet.h"
#include "library/vextal_juce/CZJEText.h"
#include "library/vextal_juce/linux/CZJEResourceFolder.h"
#include "src/AddSongThreadWithProgressWindow.h"
#include "src/CVXAboutWindow.h"
#include "src/linux/DesktopOpener.h"
#include "src/songlist/Action/ChangePictureAction.h"
#include "src/songlist/Action/ChannelLinkAction.h"
#include "src/songlist/Action/CombineSongAction.h"
#include "src/songlist/Action/DivideSongAction.h"
#include "src/songlist/Action/RemoveSongAction.h"
#include "src/songlist/Action/SelectionRetriever.h"
#include "src/songlist/AddSongAction.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/DialogManager.h"
#include "src/songlist/SonglistFile.h"

#include <numeric>
#include <vector>

namespace Vextal
{
namespace
{
using Info = juce::ApplicationCommandInfo;

constexpr int kCommand = juce::ModifierKeys::commandModifier;
constexpr int kShift = juce::ModifierKeys::shiftModifier;
constexpr int kOption = juce::ModifierKeys::altModifier;

// How long xdg-open may take to say whether it opened a document; one that
// is still busy after this has handed the document over.
constexpr int kOpenerWaitMs = 1500;

using CZJEText::Text;

DocumentOpener& installedOpener()
{
    static DocumentOpener opener;
    return opener;
}

void warnCannotOpenUsersGuide(const juce::String& cause)
{
    DialogManager::showMessageBox(juce::MessageBoxIconType::WarningIcon, Text("Common_ErrorDialogTitle"),
                                  Text("Other_CannotOpenUsersGuide") + "\n\n" + cause);
}

CVXHost* hostInstance()
{
    return CZJESingleton<CVXHost>::GetInstance();
}

// Transport commands act only in host mode 0 and while no play-from or
// play-to preview runs.
bool transportFree(const CVXHost& host)
{
    return host.GetMode() == 0 && host.GetFromToPlayStatus() == 0;
}

bool isPlaying(const CVXHost& host)
{
    return host.GetPlayerStatus() == CVXHost::kStatusPlaying;
}

void stepWhileNotPlaying(CVXHost& host, double tenths)
{
    if (transportFree(host) && !isPlaying(host))
        host.SkipByWheel(tenths, false);
}

// The unselected songs among count songs.
juce::SparseSet<int> complementOf(const juce::SparseSet<int>& selection, int count)
{
    juce::SparseSet<int> rest;
    rest.addRange({0, count});
    for (int r = 0; r < selection.getNumRanges(); ++r)
        rest.removeRange(selection.getRange(r));
    return rest;
}
} // namespace

// ---------------------------------------------------------------------------
// The host's state as the commands see it

struct ActionManager::HostState
{
    bool empty = true;      // E
    bool selected = false;  // S
    bool normal = false;    // N
    bool paused = false;    // P
    bool stoppable = false; // T
    bool atLast = false;    // L
    bool atFirst = false;   // F
    bool hasSonglistFile = false;
    bool lastSonglistExists = false;
    bool canUndo = false;
    bool canRedo = false;
    bool canDivide = false;
    bool canCombine = false;
    bool canLink = false;
    int playerStatus = CVXHost::kStatusStopped;
    int peakHoldMs = 0;
    int clipHoldMs = 0;
};

ActionManager::HostState ActionManager::takeHostState() const
{
    HostState s;
    if (m_host == nullptr)
        return s;
    bool playingOrNoCurrent = false;
    m_host->GetBits(&s.empty, &s.selected, &s.normal, &s.paused, &playingOrNoCurrent, &s.stoppable, &s.atLast,
                    &s.atFirst);
    s.hasSonglistFile = m_host->GetSonglistFile() != juce::File();
    s.lastSonglistExists = m_host->GetLastSonglistFile().existsAsFile();
    if (const CommandManager* commands = CommandManager::GetInstance())
    {
        s.canUndo = commands->canUndo();
        s.canRedo = commands->canRedo();
    }
    s.canDivide = m_host->canDivide();
    s.canCombine = m_host->CanCombine();
    s.canLink = m_host->CanLink();
    s.playerStatus = m_host->GetPlayerStatus();
    s.peakHoldMs = m_host->GetPeakHoldLevelMs();
    s.clipHoldMs = m_host->GetPeakHoldClipMs();
    return s;
}

// ---------------------------------------------------------------------------

ActionManager::ActionManager(CVXHost* host, juce::Component* parent) : m_host(host), m_parent(parent) {}

ActionManager::~ActionManager() = default;

juce::ApplicationCommandTarget* ActionManager::getNextCommandTarget()
{
    return nullptr;
}

void ActionManager::getAllCommands(juce::Array<juce::CommandID>& commands)
{
    for (int id = kNew; id <= kLastCommand; ++id)
        commands.add(id);
    for (int i = 0; i < kNumRecent; ++i)
        commands.add(kFirstRecent + i);
    for (int i = 0; i < kNumHoldTimes; ++i)
        commands.add(kFirstPeakHold + i);
    for (int i = 0; i < kNumHoldTimes; ++i)
        commands.add(kFirstClipHold + i);
}

void ActionManager::getCommandInfo(juce::CommandID commandID, juce::ApplicationCommandInfo& result)
{
    VX_ASSERT_MESSAGE_THREAD();
    const HostState state = takeHostState();
    if (commandID >= kNew && commandID <= kLastCommand)
        fillCommandInfo(commandID, state, result);
    else
        fillFamilyInfo(commandID, state, result);
    result.description = result.shortName;
    for (ActionBlocker* blocker : m_blockers)
        if (blocker->shouldBlockCommand(commandID))
            result.setActive(false);
}

void ActionManager::fillCommandInfo(int id, const HostState& s, juce::ApplicationCommandInfo& result) const
{
    struct Row
    {
        const char* name;
        const char* category;
    };
    static const Row rows[kLastCommand] = {
        {"Menu_Item_New", "Menu_Name_File"},
        {"Menu_Item_Open", "Menu_Name_File"},
        {"Menu_Item_OpenAutoSaved", "Menu_Name_File"},
        {"Menu_Item_Save", "Menu_Name_File"},
        {"Menu_Item_SaveAs", "Menu_Name_File"},
        {"Menu_Item_Add", "Menu_Name_File"},
        {"Menu_Item_OpenFolder", "Menu_Name_File"},
        {"Menu_Item_RemoveSongs", "Menu_Name_File"},
        {"Menu_Item_CropSongs", "Menu_Name_File"},
        {nullptr, "Menu_Name_Edit"},
        {nullptr, "Menu_Name_Edit"},
        {"Menu_Item_Divide", "Menu_Name_Edit"},
        {"Menu_Item_Combine", "Menu_Name_Edit"},
        {"Menu_Item_ChannelLink", "Menu_Name_Edit"},
        {"Menu_Item_SelectPicture", "Menu_Name_Edit"},
        {"Menu_Item_RemovePicture", "Menu_Name_Edit"},
        {nullptr, "Menu_Name_Controls"},
        {"Menu_Item_Stop", "Menu_Name_Controls"},
        {"Menu_Item_PlayFrom", "Menu_Name_Controls"},
        {"Menu_Item_PlayTo", "Menu_Name_Controls"},
        {"Menu_Item_NextSong", "Menu_Name_Controls"},
        {"Menu_Item_PreviousSong", "Menu_Name_Controls"},
        {"Menu_Item_Skip", "Menu_Name_Controls"},
        {"Menu_Item_Rewind", "Menu_Name_Controls"},
        {"Menu_Item_Skip1ms", "Menu_Name_Controls"},
        {"Menu_Item_Rewind1ms", "Menu_Name_Controls"},
        {"Menu_Item_Skip1s", "Menu_Name_Controls"},
        {"Menu_Item_Rewind1s", "Menu_Name_Controls"},
        {"Menu_Item_UsersGuide", "Menu_Name_Help"},
        {"Menu_Item_About", "Menu_Name_Help"},
    };
    const Row& row = rows[id - 1];
    juce::String name = row.name != nullptr ? Text(row.name) : juce::String();
    const CommandManager* commands = CommandManager::GetInstance();
    if (id == kUndo)
        name = commands != nullptr ? commands->getUndoDescription() : Text("Menu_Item_Undo");
    else if (id == kRedo)
        name = commands != nullptr ? commands->getRedoDescription() : Text("Menu_Item_Redo");
    else if (id == kPlayPause)
        name = Text("Menu_Item_Play") + "/" + Text("Menu_Item_Pause");

    // Skip and Rewind cue while a key is held, except while paused, when each
    // press steps.
    int flags = 0;
    if (id == kPlayPause || ((id == kSkip || id == kRewind) && !s.paused))
        flags = Info::wantsKeyUpDownCallbacks;
    result.setInfo(name, name, Text(row.category), flags);

    const auto key = [&result](int keyCode, int modifiers = 0)
    { result.addDefaultKeypress(keyCode, juce::ModifierKeys(modifiers)); };
    const bool n = s.normal;
    bool active = n;
    switch (id)
    {
    case kNew:
        key('n', kCommand);
        active = n && (s.hasSonglistFile || !s.empty);
        break;
    case kOpen:
        key('o', kCommand | kShift);
        break;
    case kOpenAutoSaved:
        key('r', kCommand);
        active = n && s.lastSonglistExists;
        break;
    case kSave:
        key('s', kCommand);
        active = !s.empty;
        break;
    case kSaveAs:
        key('s', kCommand | kShift);
        active = !s.empty;
        break;
    case kAdd:
        key('o', kCommand);
        break;
    case kOpenFolder:
        key('o', kOption);
        break;
    case kRemoveSongs:
        key(juce::KeyPress::deleteKey);
        key(juce::KeyPress::backspaceKey);
        active = s.selected && n;
        break;
    case kCropSongs:
        active = s.selected && n;
        break;
    case kUndo:
        key('z', kCommand);
        active = s.canUndo && n;
        break;
    case kRedo:
        key('z', kCommand | kShift);
        active = s.canRedo && n;
        break;
    case kDivide:
        key('d', kCommand);
        active = s.canDivide;
        break;
    case kCombine:
        key('j', kCommand);
        active = s.canCombine;
        break;
    case kChannelLink:
        key('l', kCommand);
        active = s.canLink;
        break;
    case kSelectPicture:
    case kRemovePicture:
        active = n && !s.empty;
        break;
    case kPlayPause:
        key(juce::KeyPress::spaceKey);
        active = n && !s.empty;
        break;
    case kStop:
        active = s.stoppable && n;
        break;
    case kPlayFrom:
        key('f');
        active = s.paused && n;
        break;
    case kPlayTo:
        key('t');
        active = s.paused && n;
        break;
    case kNextSong:
        key(juce::KeyPress::rightKey, kCommand);
        active = n && !s.empty && !s.atLast;
        break;
    case kPreviousSong:
        key(juce::KeyPress::leftKey, kCommand);
        active = n && !s.empty && !s.atFirst;
        break;
    case kSkip:
        key(juce::KeyPress::rightKey);
        break;
    case kRewind:
        key(juce::KeyPress::leftKey);
        break;
    case kSkip1ms:
        key(juce::KeyPress::rightKey, kShift);
        break;
    case kRewind1ms:
        key(juce::KeyPress::leftKey, kShift);
        break;
    case kSkip1s:
        key(juce::KeyPress::rightKey, kOption);
        break;
    case kRewind1s:
        key(juce::KeyPress::leftKey, kOption);
        break;
    case kUsersGuide:
    case kAbout:
        active = true;
        break;
    default:
        break;
    }
    result.setActive(active);
}

void ActionManager::fillFamilyInfo(int id, const HostState& s, juce::ApplicationCommandInfo& result) const
{
    if (id >= kFirstRecent && id < kFirstRecent + kNumRecent)
    {
        const juce::String name =
            Text("Menu_Item_OpenRecent") + juce::String::formatted(" : %2d", id - kFirstRecent + 1);
        result.setInfo(name, name, Text("Menu_Name_File"), Info::hiddenFromKeyEditor);
        result.setActive(s.normal);
        return;
    }
    const bool peak = id >= kFirstPeakHold && id < kFirstPeakHold + kNumHoldTimes;
    const bool clip = id >= kFirstClipHold && id < kFirstClipHold + kNumHoldTimes;
    if (!peak && !clip)
        return;
    const int hold = kHoldTimeMilliseconds[id - (peak ? kFirstPeakHold : kFirstClipHold)];
    const juce::String name = holdTimeText(hold);
    result.setInfo(name, name, Text("Menu_Name_View"), Info::hiddenFromKeyEditor);
    result.setActive(true);
    result.setTicked(hold == (peak ? s.peakHoldMs : s.clipHoldMs));
}

juce::String ActionManager::holdTimeText(int milliseconds)
{
    if (milliseconds < 0)
        return Text("Symbol_Infinity");
    return juce::String::formatted("%4.1f ", milliseconds * 0.001) + Text("Unit_Second");
}

// ---------------------------------------------------------------------------
// Performing the commands

bool ActionManager::perform(const InvocationInfo& info)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (info.commandID >= kNew && info.commandID <= kLastCommand)
        return performCommand(info);
    return performFamily(info.commandID);
}

bool ActionManager::performCommand(const InvocationInfo& info)
{
    const int id = info.commandID;
    if (id == kUsersGuide)
    {
        Help();
        return true;
    }
    if (id == kAbout)
    {
        CVXAboutWindow::show(m_parent.getComponent());
        return true;
    }
    if (m_host == nullptr)
        return false;
    CVXHost& host = *m_host;
    CommandManager* commands = CommandManager::GetInstance();
    const bool byKey = info.invocationMethod == InvocationInfo::fromKeyPress;
    switch (id)
    {
    case kNew:
        performNew();
        return true;
    case kOpen:
        host.OpenProject(juce::File(), true);
        return true;
    case kOpenAutoSaved:
        host.OpenLastProject();
        return true;
    case kSave:
        host.SaveProject(false);
        return true;
    case kSaveAs:
        host.SaveProject(true);
        return true;
    case kAdd:
        return performAdd();
    case kOpenFolder:
        return performOpenFolder();
    case kRemoveSongs:
        return push(std::make_unique<RemoveSongAction>(host, host.GetSelection()), true,
                    CommandManager::transactionName("Action_RemoveSongs"));
    case kCropSongs:
        return performCropSongs();
    case kUndo:
        return commands != nullptr && commands->undo();
    case kRedo:
        return commands != nullptr && commands->redo();
    case kDivide:
        return push(std::make_unique<DivideSongAction>(host, host.GetCurPlayTrack(host.GetMode()),
                                                       host.GetPlayer()->GetCurTimeSecond()),
                    true, CommandManager::transactionName("Action_Divide"));
    case kCombine:
        return performCombine();
    case kChannelLink:
        return performChannelLink();
    case kSelectPicture:
        return performChangePicture();
    case kRemovePicture:
        return performRemovePicture();
    case kPlayPause:
        if (!byKey || info.isKeyDown)
            PlayPause(host);
        return true;
    case kStop:
        Stop(host);
        return true;
    case kPlayFrom:
        FromPlay(host);
        return true;
    case kPlayTo:
        ToPlay(host);
        return true;
    case kNextSong:
        Next(host);
        return true;
    case kPreviousSong:
        Back(host);
        return true;
    case kSkip:
    case kRewind:
        if (!info.isKeyDown)
            SpeedNormal(host);
        else if (id == kSkip)
            Skip(host);
        else
            Rwd(host);
        m_cueKeyDown = info.isKeyDown;
        return true;
    case kSkip1ms:
        ShortSkip(host);
        return true;
    case kRewind1ms:
        ShortRwd(host);
        return true;
    case kSkip1s:
        LongSkip(host);
        return true;
    case kRewind1s:
        LongRwd(host);
        return true;
    default:
        return true;
    }
}

bool ActionManager::performFamily(int id)
{
    if (m_host == nullptr)
        return false;
    if (id >= kFirstRecent && id < kFirstRecent + kNumRecent)
    {
        const juce::StringArray& recent = m_host->GetRecentSonglists();
        const int i = id - kFirstRecent;
        return i < recent.size() && m_host->OpenProject(juce::File(recent[i]), true);
    }
    if (id >= kFirstPeakHold && id < kFirstPeakHold + kNumHoldTimes)
    {
        m_host->SetPeakHoldLevelMs(kHoldTimeMilliseconds[id - kFirstPeakHold]);
        return true;
    }
    if (id >= kFirstClipHold && id < kFirstClipHold + kNumHoldTimes)
    {
        m_host->SetPeakHoldClipMs(kHoldTimeMilliseconds[id - kFirstClipHold]);
        return true;
    }
    return false;
}

bool ActionManager::push(std::unique_ptr<juce::UndoableAction> action, bool newTransaction,
                         const juce::String& name)
{
    CommandManager* commands = CommandManager::GetInstance();
    if (commands == nullptr)
        return false;
    return commands->stackActionInUndoList(std::move(action), newTransaction, name);
}

void ActionManager::reregisterCueCommands(juce::ApplicationCommandManager& commands)
{
    for (int id : {kSkip, kRewind})
    {
        commands.removeCommand(id);
        juce::ApplicationCommandInfo info(id);
        getCommandInfo(id, info);
        commands.registerCommand(info);
    }
}

void ActionManager::addBlocker(ActionBlocker* blocker)
{
    if (blocker != nullptr)
        m_blockers.addIfNotAlreadyThere(blocker);
}

void ActionManager::removeBlocker(ActionBlocker* blocker)
{
    m_blockers.removeAllInstancesOf(blocker);
}

void ActionManager::emulateKeyUp()
{
    if (m_cueKeyDown && m_host != nullptr && m_host->GetMode() == 0)
        SpeedNormal(*m_host);
}

void ActionManager::resetKeyStatus()
{
    juce::Component* parent = m_parent.getComponent();
    if (parent == nullptr)
        return;
    // Asks the system for the modifier keys now down; the key mappings then
    // ask it about each key they think is down.
    juce::ModifierKeys::getCurrentModifiersRealtime();
    if (CommandManager* commands = CommandManager::GetInstance())
        commands->getKeyMappings()->keyStateChanged(false, parent);
}

// ---------------------------------------------------------------------------
// The File and Edit operations

bool ActionManager::performNew()
{
    if (m_host == nullptr || !m_host->isReadyToOpen())
        return true;
    std::vector<int> all(static_cast<size_t>(m_host->GetNumSongs()));
    std::iota(all.begin(), all.end(), 0);
    // Removed in one pass, so that listeners hear of it once; the records go.
    m_host->RemoveTracks(all);
    m_host->SetVXSLPath(juce::File());
    if (CommandManager* commands = CommandManager::GetInstance())
    {
        commands->clearUndoHistory();
        commands->clearNumTransactions();
    }
    return true;
}

bool ActionManager::performAdd()
{
    juce::StringArray paths;
    if (m_host == nullptr || !DialogManager::browseToOpen(paths, DialogManager::kAudioFiles))
        return true;
    if (paths.size() == 1 && paths[0].endsWithIgnoreCase(SonglistFile::kExtension) &&
        m_host->GetNumSongs() == 0)
        return m_host->OpenProject(juce::File(paths[0]), true);
    return push(std::make_unique<AddSongAction>(*m_host, paths, AddSongAction::kAppend,
                                                AddSongThreadWithProgressWindow::runWithWindow),
                true, CommandManager::transactionName("Action_AddAudioFiles"));
}

bool ActionManager::performOpenFolder()
{
    juce::StringArray paths;
    if (m_host == nullptr || !DialogManager::browseToOpen(paths, DialogManager::kFolder))
        return true;
    return push(std::make_unique<AddSongAction>(*m_host, paths, AddSongAction::kAppend,
                                                AddSongThreadWithProgressWindow::runWithWindow),
                true, CommandManager::transactionName("Action_OpenFolder"));
}

bool ActionManager::performCropSongs()
{
    if (m_host == nullptr)
        return false;
    const juce::SparseSet<int> unselected = complementOf(m_host->GetSelection(), m_host->GetNumSongs());
    // With every song selected there is nothing to crop: no edit, no undo
    // step and no modified mark.
    if (unselected.isEmpty())
        return true;
    push(std::make_unique<SelectionRetriever>(*m_host, false), true,
         CommandManager::transactionName("Menu_Item_CropSongs"));
    return push(std::make_unique<RemoveSongAction>(*m_host, unselected), false, {});
}

bool ActionManager::performCombine()
{
    if (m_host == nullptr || !m_host->CanCombine())
        return false;
    return push(std::make_unique<CombineSongAction>(*m_host, m_host->GetSelection()), true,
                CommandManager::transactionName("Action_Combine"));
}

bool ActionManager::performChannelLink()
{
    if (m_host == nullptr || !m_host->CanLink())
        return false;
    const std::vector<int> selected = CZJESparseSet::valuesOf(m_host->GetSelection());
    push(std::make_unique<SelectionRetriever>(*m_host, false), true,
         CommandManager::transactionName("Action_ChannelLink"));
    // Each link makes two songs one, so the later pairs move up by one per
    // link made.
    juce::SparseSet<int> linked;
    bool allLinked = true;
    int offset = 0;
    for (size_t k = 0; k + 1 < selected.size(); k += 2)
    {
        const int first = selected[k] + offset;
        const int second = selected[k + 1] + offset;
        juce::SparseSet<int> pair;
        pair.addRange({first, first + 1});
        pair.addRange({second, second + 1});
        if (push(std::make_unique<ChannelLinkAction>(*m_host, pair), false, {}))
        {
            linked.addRange({first, first + 1});
            --offset;
        }
        else
        {
            allLinked = false;
        }
    }
    m_host->SetSelectedSongs(linked, false);
    return allLinked;
}

bool ActionManager::performChangePicture()
{
    if (m_host == nullptr)
        return false;
    const int song = m_host->GetCurPlayTrack(m_host->GetMode());
    juce::String path;
    if (!DialogManager::browseToOpen(path, DialogManager::kPictureFile))
        return true;
    return push(std::make_unique<ChangePictureAction>(*m_host, song, path), true,
                CommandManager::transactionName("Action_Change", "ChangeTarget_AttachedPicture"));
}

bool ActionManager::performRemovePicture()
{
    if (m_host == nullptr)
        return false;
    return push(std::make_unique<ChangePictureAction>(*m_host, m_host->GetCurPlayTrack(m_host->GetMode()),
                                                      juce::String()),
                true, CommandManager::transactionName("Action_RemovePicture"));
}

// ---------------------------------------------------------------------------
// Transport

void PlayPause(CVXHost& host)
{
    if (!transportFree(host) || host.GetNumSongs() == 0)
        return;
    host.SetPlayerStatus(isPlaying(host) ? CVXHost::kStatusPaused : CVXHost::kStatusPlaying);
}

void Stop(CVXHost& host)
{
    if (!transportFree(host) || host.GetNumSongs() == 0)
        return;
    host.SetPlayerStatus(CVXHost::kStatusStopped);
    host.GetPlayer()->Stop();
}

void FromPlay(CVXHost& host)
{
    if (transportFree(host) && host.GetPlayerStatus() == CVXHost::kStatusPaused)
        host.SetFromToPlayStatus(1);
}

void ToPlay(CVXHost& host)
{
    if (transportFree(host) && host.GetPlayerStatus() == CVXHost::kStatusPaused)
        host.SetFromToPlayStatus(2);
}

void Next(CVXHost& host)
{
    if (transportFree(host))
        host.SkipNext(false);
}

void Back(CVXHost& host)
{
    if (!transportFree(host))
        return;
    // Within the first 0.8 s of a song, back goes to the previous song;
    // later (or at the first song) to the start of this one.
    if (host.GetPlayer()->GetCurTimeSecond() < 0.8 && host.SkipBack(false))
        return;
    host.GetPlayer()->SetCurPositionPercent(0.0);
}

void Skip(CVXHost& host)
{
    if (!transportFree(host))
        return;
    if (!isPlaying(host))
        host.SkipByWheel(0.5, false);
    else if (host.GetPlayerSpeedStatus() != 1)
        host.SetPlayerSpeedStatus(1);
}

void Rwd(CVXHost& host)
{
    if (!transportFree(host))
        return;
    // A forward cue in progress is not turned into a backward one.
    if (!isPlaying(host))
        host.SkipByWheel(-0.5, false);
    else if (host.GetPlayerSpeedStatus() != 1)
        host.SetPlayerSpeedStatus(2);
}

void ShortSkip(CVXHost& host)
{
    stepWhileNotPlaying(host, 0.01);
}

void ShortRwd(CVXHost& host)
{
    stepWhileNotPlaying(host, -0.01);
}

void LongSkip(CVXHost& host)
{
    stepWhileNotPlaying(host, 10.0);
}

void LongRwd(CVXHost& host)
{
    stepWhileNotPlaying(host, -10.0);
}

void SpeedNormal(CVXHost& host)
{
    if (host.GetFromToPlayStatus() != 0)
        return;
    // Also reached from key-state callbacks.
    const juce::MessageManagerLock lock(juce::Thread::getCurrentThread());
    if (!lock.lockWasGained())
        return;
    host.SetPlayerSpeedStatus(0);
}

#define VX_ON_HOST_INSTANCE(function)                                                                        \
    void function()                                                                                          \
    {                                                                                                        \
        if (CVXHost* host = hostInstance())                                                                  \
            function(*host);                                                                                 \
    }
VX_ON_HOST_INSTANCE(PlayPause)
VX_ON_HOST_INSTANCE(Stop)
VX_ON_HOST_INSTANCE(FromPlay)
VX_ON_HOST_INSTANCE(ToPlay)
VX_ON_HOST_INSTANCE(Next)
VX_ON_HOST_INSTANCE(Back)
VX_ON_HOST_INSTANCE(Skip)
VX_ON_HOST_INSTANCE(Rwd)
VX_ON_HOST_INSTANCE(ShortSkip)
VX_ON_HOST_INSTANCE(ShortRwd)
VX_ON_HOST_INSTANCE(LongSkip)
VX_ON_HOST_INSTANCE(LongRwd)
VX_ON_HOST_INSTANCE(SpeedNormal)
#undef VX_ON_HOST_INSTANCE

// ---------------------------------------------------------------------------
// The user's guide

juce::File usersGuideFile()
{
    juce::StringArray languages;
    CLinuxUtil::GetUserLanguages(languages);
    const bool japanese = !languages.isEmpty() && languages[0] == "ja";
    return CZJEResourceFolder::GetDefaultRoot().getChildFile(japanese ? "Users Guide(J).pdf"
                                                                      : "Users Guide.pdf");
}

void setDocumentOpener(DocumentOpener opener)
{
    installedOpener() = std::move(opener);
}

juce::String openDocument(const juce::File& file, std::function<void(const juce::String&)> lateFailure)
{
    const DocumentOpener& opener = installedOpener();
    return opener ? opener(file) : runDesktopOpener(file, kOpenerWaitMs, std::move(lateFailure));
}

void Help()
{
    const juce::File guide = usersGuideFile();
    if (!guide.existsAsFile())
    {
        DialogManager::showMessageBox(juce::MessageBoxIconType::WarningIcon, Text("Common_ErrorDialogTitle"),
                                      Text("Other_UsersGuideNotFound"));
        return;
    }
    const juce::String failure = openDocument(guide, warnCannotOpenUsersGuide);
    if (failure.isNotEmpty())
        warnCannotOpenUsersGuide(failure);
}
} // namespace Vextal
