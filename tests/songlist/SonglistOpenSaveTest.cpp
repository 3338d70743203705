#include "src/songlist/AddSongAction.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "src/songlist/SonglistFile.h"

#include "library/vextal_juce/CZJEResource.h"
#include "tests/songlist/SonglistHostTestSupport.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/ReadOnlyFolder.h"
#include "tests/support/ScopedSingletonInstance.h"
#include "tests/support/ScopedUmask.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

using namespace hosttest;
using Vextal::CommandManager;
using Vextal::TrackInfo;

namespace
{
// An edit that changes nothing but the history.
class NoteAction : public juce::UndoableAction
{
public:
    bool perform() override { return true; }
    bool undo() override { return true; }
};

// The host with its undo stack, scripted dialogs and the interface's texts.
class SonglistOpenSaveTest : public SonglistHostTest
{
protected:
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < m_host->GetNumSongs(); ++i)
            names.push_back(m_host->GetSong(i)->getText(TrackInfo::kSongName).toStdString());
        return names;
    }
    void Edit() { m_commands->stackActionInUndoList(new NoteAction(), true, "Edit"); }
    juce::File File(const std::string& name) const { return juce::File((m_folder / name).string()); }
    juce::String LastBoxMessage() { return m_dialogs->getShownBoxes().back().message; }
};
} // namespace

// Save names an untitled songlist through the chooser and clears its modified
// state; opening it again replaces the songs, makes the first current and
// leaves a byte copy of the file as the backup.
TEST_F(SonglistOpenSaveTest, SaveThenOpenRoundTrip)
{
    AddSongs(3);
    Edit();
    ASSERT_TRUE(m_host->isVXSLChanged());
    const juce::File list = File("mine.vxsl");
    m_dialogs->chooseNext({list});
    ASSERT_TRUE(m_host->SaveProject(false));
    EXPECT_EQ(m_host->GetSonglistFile(), list);
    EXPECT_FALSE(m_host->isVXSLChanged());
    EXPECT_EQ(m_host->GetRecentSonglists()[0], list.getFullPathName());

    AddSongs(1);
    Edit();
    m_dialogs->answerNextBox(2); // don't save
    ASSERT_TRUE(m_host->OpenProject(list, true));
    EXPECT_EQ(Names(), (std::vector<std::string>{"s0", "s1", "s2"}));
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);
    EXPECT_FALSE(m_host->isVXSLChanged());
    EXPECT_FALSE(m_commands->canUndo());
    EXPECT_TRUE(m_host->GetBackupSonglistFile().hasIdenticalContentTo(list));
    EXPECT_TRUE(m_listener.Saw("count 3"));
}

// Opening a file that is no songlist keeps the songs, their undo history and
// the songlist's name, and says why; a missing file says so.
TEST_F(SonglistOpenSaveTest, InvalidFileKeepsEverything)
{
    AddSongs(2);
    m_dialogs->chooseNext({File("kept.vxsl")});
    ASSERT_TRUE(m_host->SaveProject(true));
    Edit();
    File("bad.vxsl").replaceWithText("<VextalProject version=\"9\"><Track/></VextalProject>");
    m_dialogs->answerNextBox(2); // don't save
    EXPECT_FALSE(m_host->OpenProject(File("bad.vxsl"), true));
    EXPECT_EQ(LastBoxMessage(), CZJEResource::GetText("Songlist_NewerVersion"));
    File("bad.vxsl").replaceWithText("no xml");
    m_dialogs->answerNextBox(2);
    EXPECT_FALSE(m_host->OpenProject(File("bad.vxsl"), true));
    EXPECT_EQ(LastBoxMessage(), CZJEResource::GetText("Songlist_Invalid"));
    EXPECT_FALSE(m_host->OpenProject(File("missing.vxsl"), false));
    EXPECT_EQ(LastBoxMessage(), CZJEResource::GetText("Songlist_FileNotFound"));

    EXPECT_EQ(Names(), (std::vector<std::string>{"s0", "s1"}));
    EXPECT_TRUE(m_commands->canUndo());
    EXPECT_TRUE(m_host->isVXSLChanged());
    EXPECT_EQ(m_host->GetSonglistFile(), File("kept.vxsl"));
}

// Cancel in the save question keeps everything; a songlist with two songs
// of one name opens with the second renamed.
TEST_F(SonglistOpenSaveTest, CancelKeepsTheSonglistAndDuplicateNamesAreMadeUnique)
{
    AddSongs(2);
    std::vector<const TrackInfo*> twice = {m_host->GetSong(0), m_host->GetSong(0)};
    ASSERT_TRUE(Vextal::SonglistFile::write(twice, File("twice.vxsl")));
    Edit();
    m_dialogs->answerNextBox(0); // cancel
    EXPECT_FALSE(m_host->OpenProject(File("twice.vxsl"), true));
    EXPECT_EQ(Names(), (std::vector<std::string>{"s0", "s1"}));

    m_dialogs->answerNextBox(2);
    ASSERT_TRUE(m_host->OpenProject(File("twice.vxsl"), true));
    EXPECT_EQ(Names(), (std::vector<std::string>{"s0", "s0.1"}));
}

// A save that fails (a read-only folder) says so with the path and, when the
// user gives up, leaves the songlist modified, unnamed and the old file
// untouched.
TEST_F(SonglistOpenSaveTest, FailedSaveKeepsTheSonglistModified)
{
    vxtest::ReadOnlyFolder readOnly(m_folder / "ro");
    if (!readOnly.IsReady())
        GTEST_SKIP() << readOnly.WhyNot();
    AddSongs(2);
    Edit();
    const juce::File target = File("ro/list.vxsl");
    m_dialogs->chooseNext({target});
    m_dialogs->answerNextBox(0); // cancel in "cannot save"
    EXPECT_FALSE(m_host->SaveProject(false));
    ASSERT_FALSE(m_dialogs->getShownBoxes().empty());
    EXPECT_TRUE(LastBoxMessage().contains(target.getFullPathName()));
    EXPECT_TRUE(m_host->isVXSLChanged());
    EXPECT_EQ(m_host->GetSonglistFile(), juce::File());
    EXPECT_FALSE(target.exists());

    // Saving somewhere else from the same question succeeds.
    m_dialogs->chooseNext({target});
    m_dialogs->answerNextBox(1);
    m_dialogs->chooseNext({File("elsewhere.vxsl")});
    EXPECT_TRUE(m_host->SaveProject(false));
    EXPECT_EQ(m_host->GetSonglistFile(), File("elsewhere.vxsl"));
    EXPECT_FALSE(m_host->isVXSLChanged());
}

// The backup is written only when there are songs; the last songlist opens
// untitled, so the next save asks for a name.
TEST_F(SonglistOpenSaveTest, BackupAndLastSonglist)
{
    const juce::File backup = m_host->GetBackupSonglistFile();
    EXPECT_FALSE(m_host->BackupProject());
    EXPECT_FALSE(backup.exists());
    AddSongs(2);
    ASSERT_TRUE(m_host->BackupProject());
    ASSERT_TRUE(backup.existsAsFile());

    // The next run: the backup becomes the last songlist.
    DropCommands();
    MakeHost();
    MakeCommands();
    ASSERT_TRUE(m_host->GetLastSonglistFile().existsAsFile());
    ASSERT_TRUE(m_host->OpenLastProject());
    EXPECT_EQ(Names(), (std::vector<std::string>{"s0", "s1"}));
    EXPECT_EQ(m_host->GetSonglistFile(), juce::File());
    m_dialogs->cancelNextChooser();
    EXPECT_FALSE(m_host->SaveProject(false));
    EXPECT_EQ(m_dialogs->getShownChoosers().size(), 1u);

    // Shutting down with no songs leaves the older backup in place.
    m_host->RemoveTrack(1, true, true);
    m_host->RemoveTrack(0, true, true);
    const juce::String before = backup.loadFileAsString();
    m_scoped.reset();
    m_commands.reset();
    m_host.reset();
    EXPECT_EQ(backup.loadFileAsString(), before);
}

// The backup and the last songlist never gain permissions over the starts:
// new ones take the umask (tried with 077), a replaced one keeps its bits,
// and one made read-only becomes writable for its owner alone.
TEST_F(SonglistOpenSaveTest, BackupFilesNeverGainPermissions)
{
    const ScopedUmask umask(077);
    const auto restart = [this]
    {
        m_scoped.reset();
        m_commands.reset();
        MakeHost();
        m_commands = std::make_unique<CommandManager>(*m_host, [this] { m_host->BackupProject(); });
        m_scoped = std::make_unique<ScopedSingletonInstance<CommandManager>>(m_commands.get());
    };
    const auto modeOf = [](const juce::File& file)
    {
        struct stat st;
        return ::stat(file.getFullPathName().toRawUTF8(), &st) == 0 ? st.st_mode & 07777 : 07777u;
    };
    AddSongs(1);
    for (int start = 0; start < 3; ++start)
    {
        SCOPED_TRACE(start);
        ASSERT_TRUE(m_host->BackupProject());
        EXPECT_EQ(modeOf(m_host->GetBackupSonglistFile()), 0600u);
        restart();
        EXPECT_EQ(modeOf(m_host->GetLastSonglistFile()), 0600u);
        AddSongs(1);
    }

    ASSERT_EQ(::chmod(m_host->GetBackupSonglistFile().getFullPathName().toRawUTF8(), 0440), 0);
    restart();
    AddSongs(1);
    ASSERT_TRUE(m_host->BackupProject());
    EXPECT_EQ(modeOf(m_host->GetBackupSonglistFile()), 0640u);
}

// Adding songs from a folder: in path order, the first becomes current when
// the songlist was empty, the added songs are selected; undo takes out
// exactly those songs and redo puts the same records back without reading a
// file; a name already taken is made unique.
TEST_F(SonglistOpenSaveTest, AddSongsWithUndoAndRedo)
{
    juce::ScopedJuceInitialiser_GUI gui;
    std::filesystem::create_directories(m_folder / "dir/sub");
    WriteSong("dir/b.wav", 441);
    WriteSong("dir/A.wav", 441);
    WriteSong("dir/sub/c.wav", 441);
    File("dir/junk.txt").replaceWithText("x");
    auto* action = new Vextal::AddSongAction(*m_host, juce::StringArray(File("dir").getFullPathName()));
    ASSERT_TRUE(m_commands->stackActionInUndoList(action, true, "Add"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "b", "c"}));
    EXPECT_EQ(action->getNumFailedPaths(), 1);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);
    EXPECT_EQ(m_host->GetSelection().size(), 3);
    EXPECT_TRUE(m_host->isVXSLChanged());
    EXPECT_EQ(m_host->GetListeners().size(), 1u) << "the listeners are back";

    ASSERT_TRUE(m_commands->stackActionInUndoList(
        new Vextal::AddSongAction(*m_host, juce::StringArray(File("dir/b.wav").getFullPathName()), 1), true,
        "Add"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "b.1", "b", "c"}));
    const TrackInfo* added = m_host->GetSong(1);

    ASSERT_TRUE(m_commands->undo());
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "b", "c"}));
    std::filesystem::remove_all(m_folder / "dir");
    ASSERT_TRUE(m_commands->redo());
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "b.1", "b", "c"}));
    EXPECT_EQ(m_host->GetSong(1), added) << "the same record, no file read";
    ASSERT_TRUE(m_commands->undo());
    ASSERT_TRUE(m_commands->undo());
    EXPECT_EQ(m_host->GetNumSongs(), 0);

    // Nothing to add: the action is not kept.
    EXPECT_FALSE(m_commands->stackActionInUndoList(
        new Vextal::AddSongAction(*m_host, juce::StringArray(File("nothing.wav").getFullPathName())), true,
        "Add"));
}
