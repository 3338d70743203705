#include "src/AddSongThreadWithProgressWindow.h"
#include "src/songlist/SonglistFile.h"
#include "src/songlist/TrackInfo.h"

#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"
#include "tests/support/SonglistTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using Vextal::AddSongThreadWithProgressWindow;
using Vextal::TrackInfo;
using namespace songlisttest;

namespace
{
// Runs the add-songs worker under its window over paths; the names of the
// songs it delivered, in order.
struct AddRun
{
    std::vector<std::string> names;
    int failed = 0;
    bool completed = false;
};

class AddSongThreadTest : public testing::Test
{
protected:
    AddSongThreadTest() : ui("en") {}

    AddRun Run(const juce::StringArray& paths, std::vector<uitest::ModalDriver::Step> steps = {})
    {
        AddRun run;
        AddSongThreadWithProgressWindow thread(paths);
        thread.setSongSink(
            [&run](std::vector<std::unique_ptr<TrackInfo>>& songs)
            {
                for (const auto& song : songs)
                    run.names.push_back(song->getText(TrackInfo::kSongName).toStdString());
            });
        m_thread = &thread;
        uitest::ModalDriver driver(std::move(steps));
        run.completed = thread.runThread();
        thread.deliverFinishedSongs();
        run.failed = thread.getNumFailedPaths();
        m_thread = nullptr;
        return run;
    }

    void Wav(const std::string& name, int64_t frames = 441)
    {
        std::filesystem::create_directories((m_folder / name).parent_path());
        ASSERT_TRUE(WriteRampFile(m_folder / name, "wav", frames, 44100, 2, 1));
    }
    juce::String Path(const std::string& name) const { return (m_folder / name).string(); }

    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui;
    TempFolder m_folder;
    AddSongThreadWithProgressWindow* m_thread = nullptr;
};
} // namespace

// A folder gives the songs of its files, sorted by full path without regard
// to letter case; files that give no song (not audio, empty, cut short) are
// counted and skipped, a named pipe (which would block a reader) is not
// listed by the walk at all, and a symbolic-link cycle does not keep the walk
// from ending. Files come before folders.
TEST_F(AddSongThreadTest, FolderFixtureAddsItsAudioInOrder)
{
    Wav("dir/b.wav");
    Wav("dir/A.wav");
    Wav("dir/sub/c.wav");
    juce::File(Path("dir/junk.txt")).replaceWithText("not audio");
    juce::File(Path("dir/empty.mp3")).create();
    Wav("dir/truncated.wav");
    ASSERT_EQ(::truncate((m_folder / "dir/truncated.wav").c_str(), 30), 0);
    ASSERT_EQ(::mkfifo((m_folder / "dir/pipe.wav").c_str(), 0600), 0);
    std::filesystem::create_directory_symlink("..", m_folder / "dir/sub/loop");
    Wav("single.wav");

    const AddRun run = Run({Path("dir"), Path("single.wav")});
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.names, (std::vector<std::string>{"single", "A", "b", "c"}));
    EXPECT_EQ(run.failed, 3) << "junk.txt, empty.mp3, truncated.wav";
}

// A songlist file gives its songs; one that is not a songlist gives none.
TEST_F(AddSongThreadTest, SonglistFilesGiveTheirSongs)
{
    Wav("x.wav");
    std::unique_ptr<TrackInfo> song = SongOf(m_folder / "x.wav", "From list");
    ASSERT_TRUE(Vextal::SonglistFile::write({song.get(), song.get()}, juce::File(Path("l.VXSL"))));
    juce::File(Path("bad.vxsl")).replaceWithText("<nope/>");
    const AddRun run = Run({Path("l.VXSL"), Path("bad.vxsl"), Path("missing.wav")});
    EXPECT_EQ(run.names, (std::vector<std::string>{"From list", "From list"}));
    EXPECT_EQ(run.failed, 2);
}

// Cancel stops the worker before its next song: the songs delivered are
// those finished before the stop, far fewer than the songlist holds.
TEST_F(AddSongThreadTest, CancelStopsAtOnce)
{
    constexpr int kSongs = 4000;
    std::vector<std::unique_ptr<TrackInfo>> songs;
    std::vector<const TrackInfo*> records;
    for (int i = 0; i < kSongs; ++i)
    {
        songs.push_back(std::make_unique<TrackInfo>());
        songs.back()->setText(TrackInfo::kSongName, "s" + juce::String(i), false);
        records.push_back(songs.back().get());
    }
    ASSERT_TRUE(Vextal::SonglistFile::write(records, juce::File(Path("big.vxsl"))));

    size_t deliveredAtCancel = 0;
    AddRun* current = nullptr;
    AddRun run;
    const auto pressCancel = [&]
    {
        auto* alert = uitest::ModalOfType<juce::AlertWindow>();
        if (alert == nullptr || m_thread == nullptr)
            return false;
        m_thread->deliverFinishedSongs();
        if (current == nullptr || current->names.empty())
            return false;
        deliveredAtCancel = current->names.size();
        uitest::PressKey(*alert, juce::KeyPress(juce::KeyPress::escapeKey));
        return true;
    };
    // The sink of Run fills the run it returns; watch it through a second
    // sink that shares the names.
    {
        AddSongThreadWithProgressWindow thread(juce::StringArray(Path("big.vxsl")));
        thread.setSongSink(
            [&run](std::vector<std::unique_ptr<TrackInfo>>& batch)
            {
                for (const auto& s : batch)
                    run.names.push_back(s->getText(TrackInfo::kSongName).toStdString());
            });
        current = &run;
        m_thread = &thread;
        uitest::ModalDriver driver({pressCancel});
        EXPECT_FALSE(thread.runThread());
        EXPECT_TRUE(driver.succeeded());
        EXPECT_FALSE(thread.isThreadRunning());
        thread.deliverFinishedSongs();
        m_thread = nullptr;
    }
    EXPECT_GT(run.names.size(), 0u);
    EXPECT_LT(run.names.size(), static_cast<size_t>(kSongs));
    EXPECT_GE(run.names.size(), deliveredAtCancel);
    for (size_t i = 0; i < run.names.size(); ++i)
        ASSERT_EQ(run.names[i], "s" + std::to_string(i)) << "in order, none skipped";
}
