#include "src/songlist/CommandManager.h"
#include "src/songlist/DroppedFileList.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "src/songlist/SonglistFile.h"

#include "library/vextal_juce/CZJEResource.h"
#include "tests/songlist/SonglistHostTestSupport.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/OpenWatchdog.h"
#include "tests/support/ScopedSingletonInstance.h"
#include "tests/support/SpecialFiles.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace hosttest;
using Vextal::CommandManager;
using Vextal::TrackInfo;
using vxtest::ESpecialFile;
namespace fs = std::filesystem;

namespace
{
// The host as the application opens songlists: its undo stack, scripted
// dialogs and the interface's texts.
class SpecialFileSonglistTest : public SonglistHostTest
{
protected:
    juce::File File(const fs::path& path) const { return juce::File(path.string()); }

    // A record of a WAV song whose file is then given the path of target.
    std::unique_ptr<TrackInfo> SongAt(const fs::path& target, const std::string& name)
    {
        auto song = songlisttest::SongOf(WriteSong("source-" + name + ".wav", 2205), name);
        EXPECT_NE(song, nullptr);
        if (song == nullptr)
            return nullptr;
        juce::Array<CPlaylistFile*> files;
        song->getAllFiles(files);
        for (CPlaylistFile* f : files)
            f->SetFile(Wide(target).c_str(), f->GetAbsStartSample(), f->GetAbsStopSample(), 0);
        return song;
    }
};

// A songlist whose first song is a FIFO without a writer (the song the open
// makes current and loads), whose second is a link to /dev/zero named as an
// MP3, and whose third has a FIFO named as an MP3 for its picture, opens at
// once: the special songs are missing and the picture has no bytes.
TEST_F(SpecialFileSonglistTest, SongsAndPicturesThatAreSpecialFilesAreMissing)
{
    const fs::path fifoSong = m_folder / "fifo.wav";
    const fs::path zeroSong = m_folder / "zero.mp3";
    const fs::path fifoPicture = m_folder / "cover.mp3";
    ASSERT_TRUE(vxtest::MakeSpecialFile(ESpecialFile::kFifo, fifoSong));
    ASSERT_TRUE(vxtest::MakeSpecialFile(ESpecialFile::kLinkToDevZero, zeroSong));
    ASSERT_TRUE(vxtest::MakeSpecialFile(ESpecialFile::kFifo, fifoPicture));
    std::vector<std::unique_ptr<TrackInfo>> songs;
    songs.push_back(SongAt(fifoSong, "fifo"));
    songs.push_back(SongAt(zeroSong, "zero"));
    songs.push_back(songlisttest::SongOf(WriteSong("plain.wav", 2205), "plain"));
    ASSERT_NE(songs.back(), nullptr);
    songs.back()->setAttachedPictureFilePath(File(fifoPicture).getFullPathName(), false);
    const juce::File list = File(m_folder / "special.vxsl");
    ASSERT_TRUE(Vextal::SonglistFile::write({songs[0].get(), songs[1].get(), songs[2].get()}, list));

    vxtest::OpenWatchdog watchdog({fifoSong.string(), fifoPicture.string()});
    ASSERT_TRUE(m_host->OpenProject(list, true));
    ASSERT_EQ(m_host->GetNumSongs(), 3);
    EXPECT_FALSE(m_host->GetSong(0)->isPresent());
    EXPECT_FALSE(m_host->GetSong(1)->isPresent());
    EXPECT_TRUE(m_host->GetSong(2)->isPresent());
    EXPECT_EQ(m_host->GetSong(2)->getAttachedPictureFilePath(), File(fifoPicture).getFullPathName());
    EXPECT_EQ(m_host->GetSong(2)->getAttachedPictureSize(), 0);
    // The host goes on: the third song can be made current and loads.
    m_host->SetCurPlayTrack(2, true, false);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 2);
    watchdog.Finish();
}

// A songlist that is itself a FIFO, an endless device behind a link or a
// folder is not found, as a missing one is, and the songs stay.
TEST_F(SpecialFileSonglistTest, ASonglistThatIsASpecialFileIsNotFound)
{
    AddSongs(2);
    for (const ESpecialFile kind : vxtest::AllSpecialFiles())
    {
        SCOPED_TRACE(vxtest::SpecialFileName(kind));
        const fs::path path = m_folder / "special.vxsl";
        ASSERT_TRUE(vxtest::MakeSpecialFile(kind, path));
        vxtest::OpenWatchdog watchdog({path.string()});
        const size_t boxes = m_dialogs->getShownBoxes().size();
        EXPECT_FALSE(m_host->OpenProject(File(path), true));
        ASSERT_EQ(m_dialogs->getShownBoxes().size(), boxes + 1);
        EXPECT_EQ(m_dialogs->getShownBoxes().back().message, CZJEResource::GetText("Songlist_FileNotFound"));
        EXPECT_EQ(m_host->GetNumSongs(), 2);
        watchdog.Finish();
        fs::remove(path);
    }
}

// Adding a folder's songs lists its regular files only (links to them
// included): FIFOs and links to devices in the folder are left out.
TEST(DroppedFileList, AFolderWalkLeavesOutSpecialFiles)
{
    rifftest::TempFolder folder;
    const juce::File root(folder.Path().string());
    for (const char* name : {"a.wav", "sub/b.wav"})
        ASSERT_TRUE(root.getChildFile(name).create());
    fs::create_symlink(folder.Path() / "a.wav", folder.Path() / "link.wav");
    ASSERT_TRUE(vxtest::MakeSpecialFile(ESpecialFile::kFifo, folder.Path() / "fifo.wav"));
    ASSERT_TRUE(vxtest::MakeSpecialFile(ESpecialFile::kLinkToDevZero, folder.Path() / "sub/zero.mp3"));
    ASSERT_TRUE(vxtest::MakeSpecialFile(ESpecialFile::kLinkToDevUrandom, folder.Path() / "urandom.wav"));
    juce::StringArray files;
    Vextal::getFileListFromDroppedFile(root.getFullPathName(), files);
    juce::StringArray expected;
    for (const char* name : {"a.wav", "link.wav", "sub/b.wav"})
        expected.add(root.getChildFile(name).getFullPathName());
    EXPECT_EQ(files, expected);
}
} // namespace
