#include "src/ActionManager.h"

#include "src/songlist/TrackInfo.h"

#include "common/dsp/CAudioFilePlayer.h"
#include "src/songlist/CommandManager.h"
#include "tests/src/ActionTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <memory>
#include <string>

using Vextal::ActionManager;
using Vextal::CommandManager;

namespace
{
using Info = juce::ApplicationCommandInfo;
using actiontest::TestBlocker;
using ActionManagerTest = actiontest::ActionTest;

// The list of commands: 1 to 30, the ten recent songlists, then the peak-
// and clip-hold choices.
TEST_F(ActionManagerTest, ListsItsCommandsInOrder)
{
    juce::Array<juce::CommandID> ids;
    m_actions->getAllCommands(ids);
    ASSERT_EQ(ids.size(), 30 + 10 + 8 + 8);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[29], 30);
    EXPECT_EQ(ids[30], 256);
    EXPECT_EQ(ids[39], 265);
    EXPECT_EQ(ids[40], 512);
    EXPECT_EQ(ids[48], 768);
    EXPECT_EQ(ids[55], 775);
    EXPECT_EQ(m_actions->getNextCommandTarget(), nullptr);
}

// Which of the commands 1 to 30 are active in each state of the host.
TEST_F(ActionManagerTest, EnablementFollowsTheHostState)
{
    struct Case
    {
        const char* name;
        std::function<void()> enter;
        const char* enabled;
        bool cueFlags; // Skip and Rewind want key-up calls
    };
    TestBlocker sheet;
    const Case cases[] = {
        {"empty", [] {}, "0100011000 0000000000 0011111111", true},
        {"stopped", [&] { ThreeSongs(); }, "1101111110 0000111000 1011111111", true},
        {"paused at 0.1 s", [&] { PauseAt(0.1); }, "1101111110 0100111111 1111111111", false},
        {"playing at 0.1 s", [&] { m_host->SetPlayerStatus(CVXHost::kStatusPlaying); },
         "1101111110 0100111100 1111111111", true},
        {"play-from preview",
         [&]
         {
             PauseAt(0.1);
             m_host->SetFromToPlayStatus(1);
         },
         "1101111110 0000111111 1111111111", false},
        {"export running",
         [&]
         {
             m_host->SetFromToPlayStatus(0);
             m_host->SetMode(1);
         },
         "0001100000 0000000000 0000000011", true},
        {"a sheet open",
         [&]
         {
             m_host->SetMode(0);
             sheet.blockAllBut = ActionManager::kUsersGuide;
             m_actions->addBlocker(&sheet);
         },
         "0000000000 0000000000 0000000010", true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        c.enter();
        EXPECT_EQ(EnabledCommands(), c.enabled);
        const int cue = c.cueFlags ? Info::wantsKeyUpDownCallbacks : 0;
        EXPECT_EQ(InfoOf(ActionManager::kSkip).flags & Info::wantsKeyUpDownCallbacks, cue);
        EXPECT_EQ(InfoOf(ActionManager::kRewind).flags & Info::wantsKeyUpDownCallbacks, cue);
        EXPECT_NE(InfoOf(ActionManager::kPlayPause).flags & Info::wantsKeyUpDownCallbacks, 0);
        for (int id : {1, 8, 12, 29})
            EXPECT_EQ(InfoOf(id).flags & (Info::wantsKeyUpDownCallbacks | Info::hiddenFromKeyEditor), 0);
        // The hold choices stay active while an export runs; the recent
        // songlists do not.
        const bool blocked = sheet.blockAllBut.has_value();
        EXPECT_EQ(Enabled(ActionManager::kFirstPeakHold), !blocked);
        EXPECT_EQ(Enabled(ActionManager::kFirstRecent), !blocked && m_host->GetMode() == 0);
    }
}

// New needs a songlist file or a song; Open Last needs the previous run's
// songlist; Undo and Redo follow the history.
TEST_F(ActionManagerTest, NewOpenLastUndoAndRedoFollowTheirOwnConditions)
{
    EXPECT_FALSE(Enabled(ActionManager::kNew));
    m_host->SetVXSLPath(juce::File((m_folder / "Mix.vxsl").string()));
    EXPECT_TRUE(Enabled(ActionManager::kNew));

    EXPECT_FALSE(Enabled(ActionManager::kOpenAutoSaved));
    ASSERT_TRUE(m_host->GetLastSonglistFile().create().wasOk());
    EXPECT_TRUE(Enabled(ActionManager::kOpenAutoSaved));

    ThreeSongs();
    EXPECT_FALSE(Enabled(ActionManager::kUndo));
    ASSERT_TRUE(Invoke(ActionManager::kRemoveSongs));
    EXPECT_EQ(m_host->GetNumSongs(), 2);
    EXPECT_TRUE(Enabled(ActionManager::kUndo));
    EXPECT_EQ(InfoOf(ActionManager::kUndo).shortName, m_commands->getUndoDescription());
    EXPECT_TRUE(InfoOf(ActionManager::kUndo).shortName.startsWith("Undo"));
    ASSERT_TRUE(Invoke(ActionManager::kUndo));
    EXPECT_EQ(m_host->GetNumSongs(), 3);
    EXPECT_TRUE(Enabled(ActionManager::kRedo));
    ASSERT_TRUE(Invoke(ActionManager::kRedo));
    EXPECT_EQ(m_host->GetNumSongs(), 2);

    // New offers to save the changes, then empties the list and forgets the
    // file and the history.
    m_dialogs->answerNextBox(2);
    ASSERT_TRUE(Invoke(ActionManager::kNew));
    EXPECT_EQ(m_dialogs->getShownBoxes().size(), 1u);
    EXPECT_EQ(m_host->GetNumSongs(), 0);
    EXPECT_EQ(m_host->GetSonglistFile(), juce::File());
    EXPECT_FALSE(m_commands->canUndo());
    EXPECT_FALSE(m_host->isVXSLChanged());
}

// Names, categories, keys, flags and ticks of the commands and families.
TEST_F(ActionManagerTest, NamesKeysAndTicks)
{
    EXPECT_EQ(InfoOf(ActionManager::kPlayPause).shortName, "Play/Pause");
    EXPECT_EQ(InfoOf(ActionManager::kPlayPause).categoryName, "Controls");
    EXPECT_EQ(InfoOf(ActionManager::kNew).description, InfoOf(ActionManager::kNew).shortName);
    EXPECT_EQ(InfoOf(ActionManager::kFirstRecent).shortName, "Open Recent :  1");
    EXPECT_EQ(InfoOf(ActionManager::kFirstRecent + 9).shortName, "Open Recent : 10");
    EXPECT_EQ(InfoOf(ActionManager::kFirstRecent).flags & Info::hiddenFromKeyEditor,
              Info::hiddenFromKeyEditor);

    const juce::KeyPressMappingSet& keys = *m_commands->getKeyMappings();
    const auto command = juce::ModifierKeys::commandModifier;
    EXPECT_TRUE(keys.containsMapping(ActionManager::kNew, juce::KeyPress('n', command, 0)));
    EXPECT_TRUE(keys.containsMapping(ActionManager::kOpen,
                                     juce::KeyPress('o', command | juce::ModifierKeys::shiftModifier, 0)));
    EXPECT_TRUE(keys.containsMapping(ActionManager::kOpenFolder,
                                     juce::KeyPress('o', juce::ModifierKeys::altModifier, 0)));
    EXPECT_EQ(keys.getKeyPressesAssignedToCommand(ActionManager::kRemoveSongs).size(), 2);
    EXPECT_TRUE(keys.containsMapping(ActionManager::kPlayPause, juce::KeyPress(juce::KeyPress::spaceKey)));
    EXPECT_TRUE(
        keys.containsMapping(ActionManager::kSkip1s,
                             juce::KeyPress(juce::KeyPress::rightKey, juce::ModifierKeys::altModifier, 0)));
    EXPECT_TRUE(keys.getKeyPressesAssignedToCommand(ActionManager::kCropSongs).isEmpty());
    EXPECT_TRUE(keys.getKeyPressesAssignedToCommand(ActionManager::kUsersGuide).isEmpty());

    struct Hold
    {
        int index;
        const char* text;
    };
    for (const Hold& h :
         {Hold{0, " 0.0 sec"}, Hold{1, " 0.5 sec"}, Hold{6, "10.0 sec"}, Hold{7, "\xe2\x88\x9e"}})
    {
        SCOPED_TRACE(h.index);
        EXPECT_EQ(InfoOf(ActionManager::kFirstPeakHold + h.index).shortName, juce::String::fromUTF8(h.text));
        EXPECT_EQ(InfoOf(ActionManager::kFirstClipHold + h.index).shortName, juce::String::fromUTF8(h.text));
    }

    // Choosing a hold time sets it and moves the tick.
    ASSERT_TRUE(Invoke(ActionManager::kFirstPeakHold + 1));
    ASSERT_TRUE(Invoke(ActionManager::kFirstClipHold + 7));
    EXPECT_EQ(m_host->GetPeakHoldLevelMs(), 500);
    EXPECT_EQ(m_host->GetPeakHoldClipMs(), -1);
    for (int i = 0; i < ActionManager::kNumHoldTimes; ++i)
    {
        EXPECT_EQ(Ticked(ActionManager::kFirstPeakHold + i), i == 1);
        EXPECT_EQ(Ticked(ActionManager::kFirstClipHold + i), i == 7);
    }
}

// Every blocker is asked; one veto disables the command; a blocker added
// twice is asked once.
TEST_F(ActionManagerTest, ABlockerVetoesCommands)
{
    TestBlocker first, second;
    second.blocked = ActionManager::kAbout;
    m_actions->addBlocker(&first);
    m_actions->addBlocker(&second);
    m_actions->addBlocker(&first);
    EXPECT_FALSE(Enabled(ActionManager::kAbout));
    EXPECT_EQ(first.asked, 1);
    EXPECT_EQ(second.asked, 1);
    EXPECT_TRUE(Enabled(ActionManager::kUsersGuide));
    // Through the command manager, a vetoed command is not performed.
    second.blocked = ActionManager::kFirstPeakHold + 1;
    EXPECT_FALSE(m_commands->invokeDirectly(ActionManager::kFirstPeakHold + 1, false));
    EXPECT_NE(m_host->GetPeakHoldLevelMs(), 500);
}

// Channel link of the selected songs 2, 3, 7 and 8 links {2, 3}, then the
// second pair, which has moved up by one, {6, 7}; the two linked songs are
// selected; undo restores the songs and the selection.
TEST_F(ActionManagerTest, ChannelLinkPairsTheSelectedSongs)
{
    for (int i = 0; i < 10; ++i)
        AddSong(WriteSong("m" + std::to_string(i) + ".wav", 4410, 1 + 1000 * i, 1));
    m_host->SetSelectedSongs(hosttest::SetOf({2, 3, 7, 8}), false);
    ASSERT_TRUE(m_host->CanLink());
    EXPECT_TRUE(Enabled(ActionManager::kChannelLink));
    EXPECT_TRUE(Invoke(ActionManager::kChannelLink));
    EXPECT_EQ(m_host->GetNumSongs(), 8);
    EXPECT_EQ(hosttest::RangesOf(m_host->GetSelection()), "2,6");
    EXPECT_EQ(m_host->GetSong(2)->getText(Vextal::TrackInfo::kSongName), "m2");
    EXPECT_EQ(m_host->GetSong(6)->getText(Vextal::TrackInfo::kSongName), "m7");
    ASSERT_TRUE(m_commands->undo());
    EXPECT_EQ(m_host->GetNumSongs(), 10);
    EXPECT_EQ(hosttest::RangesOf(m_host->GetSelection()), "2-3,7-8");

    // Without the host's link availability nothing happens.
    m_host->SetSelectedSongs(hosttest::SetOf({2}), false);
    EXPECT_FALSE(m_actions->performChannelLink());
    EXPECT_EQ(m_host->GetNumSongs(), 10);
}

// Crop keeps the selected songs in one undo step that also restores the
// selection; with every song selected it changes nothing at all.
TEST_F(ActionManagerTest, CropKeepsTheSelectedSongs)
{
    ThreeSongs();
    m_host->SetSelectedSongs(0, 3, false);
    EXPECT_TRUE(Invoke(ActionManager::kCropSongs));
    EXPECT_EQ(m_host->GetNumSongs(), 3);
    EXPECT_FALSE(m_commands->canUndo());
    EXPECT_FALSE(m_host->isVXSLChanged());

    m_host->SetSelectedSongs(hosttest::SetOf({1}), false);
    EXPECT_TRUE(Invoke(ActionManager::kCropSongs));
    ASSERT_EQ(m_host->GetNumSongs(), 1);
    EXPECT_EQ(m_host->GetSong(0)->getText(Vextal::TrackInfo::kSongName), "b");
    EXPECT_TRUE(m_commands->getUndoDescription().endsWith(CZJEResource::GetText("Menu_Item_CropSongs")));
    ASSERT_TRUE(m_commands->undo());
    EXPECT_EQ(m_host->GetNumSongs(), 3);
    EXPECT_EQ(hosttest::RangesOf(m_host->GetSelection()), "1");
}

// Add: one songlist chosen while the list is empty opens it; with songs, it
// is added as songs; a cancelled chooser changes nothing.
TEST_F(ActionManagerTest, AddOpensASingleSonglistOnlyIntoAnEmptyList)
{
    ThreeSongs();
    const juce::File songlist((m_folder / "three.vxsl").string());
    ASSERT_TRUE(m_host->saveProjectInternal(songlist));
    Invoke(ActionManager::kNew);
    ASSERT_EQ(m_host->GetNumSongs(), 0);

    m_dialogs->cancelNextChooser();
    EXPECT_TRUE(Invoke(ActionManager::kAdd));
    EXPECT_EQ(m_host->GetNumSongs(), 0);

    m_dialogs->chooseNext({songlist});
    EXPECT_TRUE(Invoke(ActionManager::kAdd));
    EXPECT_EQ(m_host->GetNumSongs(), 3);
    EXPECT_EQ(m_host->GetSonglistFile(), songlist);
    EXPECT_FALSE(m_commands->canUndo());

    m_dialogs->chooseNext({songlist});
    Invoke(ActionManager::kAdd);
    EXPECT_EQ(m_host->GetNumSongs(), 6);
    EXPECT_TRUE(m_commands->canUndo());
}

// Previous song: at 0.5 s into a song other than the first it goes to the
// previous song; at 0.9 s back to the start of the same song.
TEST_F(ActionManagerTest, PreviousSongGoesBackOrRestarts)
{
    ThreeSongs();
    struct Case
    {
        double seconds;
        int current;
    };
    for (const Case& c : {Case{0.5, 0}, Case{0.9, 1}})
    {
        SCOPED_TRACE(c.seconds);
        ASSERT_TRUE(m_host->SetCurPlayTrack(1, true, false));
        PauseAt(c.seconds);
        EXPECT_TRUE(Enabled(ActionManager::kPreviousSong));
        EXPECT_TRUE(Invoke(ActionManager::kPreviousSong));
        EXPECT_EQ(m_host->GetCurPlayTrack(0), c.current);
        EXPECT_NEAR(Player()->GetCurTimeSecond(), 0.0, 0.001);
    }
}

// Right and Left: each press steps 50 ms while paused; held while playing
// they cue until released or until a menu opens; Left during a forward cue
// starts no backward cue. The 1 ms and 1 s steps work only while not
// playing; nothing moves during a preview.
TEST_F(ActionManagerTest, SkipAndRewindStepOrCue)
{
    ThreeSongs();
    PauseAt(1.0);
    Invoke(ActionManager::kSkip, true, true);
    EXPECT_NEAR(Player()->GetCurTimeSecond(), 1.05, 0.001);
    Invoke(ActionManager::kRewind, true, true);
    Invoke(ActionManager::kRewind, true, true);
    EXPECT_NEAR(Player()->GetCurTimeSecond(), 0.95, 0.001);
    Invoke(ActionManager::kSkip1ms);
    EXPECT_NEAR(Player()->GetCurTimeSecond(), 0.951, 0.0005);
    Invoke(ActionManager::kRewind1s);
    EXPECT_NEAR(Player()->GetCurTimeSecond(), 0.0, 0.001);

    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    Invoke(ActionManager::kSkip, true, true);
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 1);
    EXPECT_TRUE(m_actions->isCueKeyDown());
    Invoke(ActionManager::kRewind, true, true);
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 1);
    Invoke(ActionManager::kSkip, true, false);
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 0);
    EXPECT_FALSE(m_actions->isCueKeyDown());

    Invoke(ActionManager::kRewind, true, true);
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 2);
    m_actions->emulateKeyUp();
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 0);
    const double playing = Player()->GetCurTimeSecond();
    Invoke(ActionManager::kSkip1s);
    EXPECT_NEAR(Player()->GetCurTimeSecond(), playing, 0.05);

    PauseAt(1.0);
    m_host->SetFromToPlayStatus(1);
    Vextal::Skip();
    Vextal::LongSkip();
    Vextal::PlayPause();
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPaused);
}

// Space plays and pauses on its key-down only; Stop stops.
TEST_F(ActionManagerTest, PlayPauseAndStop)
{
    ThreeSongs();
    Invoke(ActionManager::kPlayPause, true, true);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPlaying);
    Invoke(ActionManager::kPlayPause, true, false);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPlaying);
    Invoke(ActionManager::kPlayPause);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPaused);
    Invoke(ActionManager::kStop);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusStopped);
    m_host->SetMode(1);
    Vextal::PlayPause();
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusStopped);
}

// Recent songlists open by their place in the host's list; a place beyond
// the list does nothing.
TEST_F(ActionManagerTest, RecentSonglistsOpenByPlace)
{
    ThreeSongs();
    const juce::File songlist((m_folder / "three.vxsl").string());
    ASSERT_TRUE(m_host->saveProjectInternal(songlist));
    m_host->SetVXSLPath(songlist);
    Invoke(ActionManager::kNew);
    ASSERT_EQ(m_host->GetRecentSonglists().size(), 1);
    EXPECT_FALSE(Invoke(ActionManager::kFirstRecent + 1));
    EXPECT_EQ(m_host->GetNumSongs(), 0);
    EXPECT_TRUE(Invoke(ActionManager::kFirstRecent));
    EXPECT_EQ(m_host->GetNumSongs(), 3);
    EXPECT_FALSE(Invoke(999));
}

// The user's guide: the Japanese one for a Japanese user; a missing guide
// and one that cannot be opened each get their warning.
TEST_F(ActionManagerTest, UsersGuideOpensOrWarns)
{
    const juce::File resources((m_folder / "Resources").string());
    ASSERT_TRUE(resources.createDirectory().wasOk());
    uitest::ScopedResourceRoot root(resources);
    {
        uitest::ScopedLanguage japanese("ja");
        EXPECT_EQ(Vextal::usersGuideFile(), resources.getChildFile("Users Guide(J).pdf"));
    }
    EXPECT_EQ(Vextal::usersGuideFile(), resources.getChildFile("Users Guide.pdf"));

    juce::Array<juce::File> opened;
    juce::String failure = "xdg-open ended with exit status 3.";
    Vextal::setDocumentOpener(
        [&](const juce::File& file)
        {
            opened.add(file);
            return failure;
        });
    Invoke(ActionManager::kUsersGuide);
    ASSERT_EQ(m_dialogs->getShownBoxes().size(), 1u);
    EXPECT_EQ(m_dialogs->getShownBoxes()[0].message, "The user's guide was not found.");
    EXPECT_EQ(m_dialogs->getShownBoxes()[0].icon, juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ(m_dialogs->getShownBoxes()[0].title, "Error");
    EXPECT_TRUE(opened.isEmpty());

    ASSERT_TRUE(resources.getChildFile("Users Guide.pdf").create().wasOk());
    Invoke(ActionManager::kUsersGuide);
    ASSERT_EQ(m_dialogs->getShownBoxes().size(), 2u);
    EXPECT_EQ(m_dialogs->getShownBoxes()[1].message,
              "The user's guide could not be opened.\n\nxdg-open ended with exit status 3.");
    failure = {};
    Invoke(ActionManager::kUsersGuide);
    EXPECT_EQ(m_dialogs->getShownBoxes().size(), 2u);
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[1], resources.getChildFile("Users Guide.pdf"));
    Vextal::setDocumentOpener({});
}
} // namespace

namespace
{
// Divide, Combine, Select Picture and Open Folder: each edit is one named
// undo step; a cancelled chooser changes nothing.
TEST_F(ActionManagerTest, EditCommandsMakeNamedUndoSteps)
{
    ThreeSongs();
    PauseAt(1.0);
    ASSERT_TRUE(Enabled(ActionManager::kDivide));
    EXPECT_TRUE(Invoke(ActionManager::kDivide));
    EXPECT_EQ(m_host->GetNumSongs(), 4);
    EXPECT_TRUE(m_commands->getUndoDescription().endsWith(CZJEResource::GetText("Action_Divide")));

    m_host->SetSelectedSongs(hosttest::SetOf({2, 3}), false);
    ASSERT_TRUE(Enabled(ActionManager::kCombine));
    EXPECT_TRUE(Invoke(ActionManager::kCombine));
    EXPECT_EQ(m_host->GetNumSongs(), 3);
    EXPECT_TRUE(m_commands->getUndoDescription().endsWith(CZJEResource::GetText("Action_Combine")));
    m_host->SetSelectedSongs(hosttest::SetOf({0}), false);
    EXPECT_FALSE(m_actions->performCombine());

    const juce::String before = m_commands->getUndoDescription();
    m_dialogs->cancelNextChooser();
    EXPECT_TRUE(Invoke(ActionManager::kSelectPicture));
    EXPECT_EQ(m_commands->getUndoDescription(), before);

    const auto folder = m_folder / "more";
    std::filesystem::create_directory(folder);
    ASSERT_TRUE(songlisttest::WriteRampFile(folder / "d.wav", "wav", 4410, 44100, 2, 1));
    m_dialogs->chooseNext({juce::File(folder.string())});
    EXPECT_TRUE(Invoke(ActionManager::kOpenFolder));
    EXPECT_EQ(m_host->GetNumSongs(), 4);
    EXPECT_TRUE(m_commands->getUndoDescription().endsWith(CZJEResource::GetText("Action_OpenFolder")));
}

// Skip and Rewind registered anew carry the flags of the player status of
// that moment, and keep their keys.
TEST_F(ActionManagerTest, CueCommandsAreRegisteredAnewWithTheirFlags)
{
    ThreeSongs();
    const auto registeredFlags = [this](int id) { return m_commands->getCommandForID(id)->flags; };
    EXPECT_NE(registeredFlags(ActionManager::kSkip) & Info::wantsKeyUpDownCallbacks, 0);
    PauseAt(0.5);
    m_actions->reregisterCueCommands(*m_commands);
    EXPECT_EQ(registeredFlags(ActionManager::kSkip) & Info::wantsKeyUpDownCallbacks, 0);
    EXPECT_EQ(registeredFlags(ActionManager::kRewind) & Info::wantsKeyUpDownCallbacks, 0);
    EXPECT_TRUE(m_commands->getKeyMappings()->containsMapping(ActionManager::kSkip,
                                                              juce::KeyPress(juce::KeyPress::rightKey)));
    // A press while paused steps through the key mappings.
    EXPECT_TRUE(m_commands->getKeyMappings()->keyPressed(juce::KeyPress(juce::KeyPress::rightKey), nullptr));
    EXPECT_NEAR(Player()->GetCurTimeSecond(), 0.55, 0.001);
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    m_actions->reregisterCueCommands(*m_commands);
    EXPECT_NE(registeredFlags(ActionManager::kRewind) & Info::wantsKeyUpDownCallbacks, 0);
}

// The desktop's opener: xdg-open's exit status tells whether the document
// was opened, and a failure says what failed; no xdg-open at all is a
// failure that names it.
TEST_F(ActionManagerTest, DocumentsOpenWithXdgOpen)
{
    const juce::File bin((m_folder / "bin").string());
    ASSERT_TRUE(bin.createDirectory().wasOk());
    const juce::File script = bin.getChildFile("xdg-open");
    const juce::File log = bin.getChildFile("opened.txt");
    const juce::File document((m_folder / "Users Guide.pdf").string());
    uitest::ScopedEnvironment path("PATH", bin.getFullPathName());
    Vextal::setDocumentOpener({});
    EXPECT_EQ(Vextal::openDocument(document), "The program xdg-open, which opens documents, was not found.");

    const struct
    {
        const char* ending;
        const char* failure;
    } cases[] = {{"exit 0", ""},
                 {"exit 4", "xdg-open ended with exit status 4."},
                 {"kill -9 $$", "xdg-open was ended by signal 9."}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.ending);
        ASSERT_TRUE(script.replaceWithText("#!/bin/sh\necho \"$1\" > '" + log.getFullPathName() + "'\n" +
                                               c.ending + "\n",
                                           false, false, "\n"));
        ASSERT_TRUE(script.setExecutePermission(true));
        EXPECT_EQ(Vextal::openDocument(document), c.failure);
        EXPECT_EQ(log.loadFileAsString().trim(), document.getFullPathName());
    }
}

// An xdg-open still busy when Help stops waiting is reaped when it ends (no
// zombie stays), and its later failure is still shown, with its cause.
TEST_F(ActionManagerTest, ALateOpenerFailureIsReapedAndShown)
{
    const juce::File resources((m_folder / "Resources").string());
    ASSERT_TRUE(resources.createDirectory().wasOk());
    uitest::ScopedResourceRoot root(resources);
    ASSERT_TRUE(resources.getChildFile("Users Guide.pdf").create().wasOk());
    const juce::File bin((m_folder / "bin").string());
    ASSERT_TRUE(bin.createDirectory().wasOk());
    const juce::File pidFile = bin.getChildFile("pid");
    const juce::File go = bin.getChildFile("go");
    const juce::File script = bin.getChildFile("xdg-open");
    ASSERT_TRUE(script.replaceWithText("#!/bin/sh\necho $$ > '" + pidFile.getFullPathName() + ".tmp'\nmv '" +
                                           pidFile.getFullPathName() + ".tmp' '" + pidFile.getFullPathName() +
                                           "'\nwhile [ ! -e '" + go.getFullPathName() +
                                           "' ]; do sleep 0.05; done\nexit 5\n",
                                       false, false, "\n"));
    ASSERT_TRUE(script.setExecutePermission(true));
    uitest::ScopedEnvironment path("PATH", bin.getFullPathName() + ":/usr/bin:/bin");
    Vextal::setDocumentOpener({});

    Invoke(ActionManager::kUsersGuide); // the script waits for "go": handed over
    EXPECT_TRUE(m_dialogs->getShownBoxes().empty());
    ASSERT_TRUE(uitest::PumpUntil([&] { return pidFile.existsAsFile(); }, 60000));
    const pid_t pid = pidFile.loadFileAsString().trim().getIntValue();
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(go.create().wasOk());
    // Reaped: the process is gone altogether, not left as a zombie.
    EXPECT_TRUE(uitest::PumpUntil([&] { return ::kill(pid, 0) != 0 && errno == ESRCH; }, 60000));
    ASSERT_TRUE(uitest::PumpUntil([&] { return !m_dialogs->getShownBoxes().empty(); }, 60000));
    EXPECT_EQ(m_dialogs->getShownBoxes()[0].message,
              "The user's guide could not be opened.\n\nxdg-open ended with exit status 5.");
}
} // namespace
