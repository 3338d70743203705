#include "tests/support/CheckReports.h"
#include "tests/support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace hosttest;
using Vextal::TrackInfo;

namespace
{
// A session that starts at once and ends when told; it reports a fixed time
// and fixed levels.
class FakeSession : public Vextal::ExportSession
{
public:
    explicit FakeSession(const char* key) : m_key(key) {}

    const char* getSessionNameKey() override { return m_key; }
    bool start() override
    {
        notifyStart();
        return true;
    }
    void cancel() override {}
    void getCurTime(int* h, int* m, float* s) const override
    {
        *h = 0;
        *m = 1;
        *s = 2.5f;
    }
    double getCurPositionPercent() const override { return 40.0; }
    void getLeveldB(float* levels, int* clipState) const override
    {
        levels[0] = -6.0f;
        levels[1] = -12.0f;
        *clipState = 1;
    }

    void End(bool aborted) { notifyEnd(aborted); }

private:
    const char* m_key;
};

juce::SparseSet<int> Rows(int first, int count)
{
    juce::SparseSet<int> rows;
    rows.addRange({first, first + count});
    return rows;
}

std::string Bits(CVXHost& host)
{
    bool b[8] = {};
    host.GetBits(&b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]);
    std::string s;
    for (bool bit : b)
        s += bit ? '1' : '0';
    return s;
}

class CVXHostTest : public HostTest
{
protected:
    // Starts a session of the class on the export manager; the session stays
    // owned by the manager.
    FakeSession* StartSession(const char* key)
    {
        auto* raw = new FakeSession(key);
        std::unique_ptr<Vextal::ExportSession> session(raw);
        return Vextal::ExportManager::GetInstance()->start(session) ? raw : nullptr;
    }
};
} // namespace

// The command-availability bits, in order: no songs, a selection, editing
// allowed, paused, playing or no current song, stoppable, at the last song,
// at the very start of the first song.
TEST_F(CVXHostTest, CommandAvailabilityBits)
{
    struct Case
    {
        const char* state;
        std::function<void(CVXHost&)> setUp;
        const char* bits;
    };
    const Case cases[] = {
        {"an empty list", [](CVXHost&) {}, "10101010"},
        {"stopped at the first song",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.SetCurPlayTrack(0, true, false);
         },
         "00100001"},
        {"playing the last song",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.SetCurPlayTrack(2, true, false);
             h.SetPlayerStatus(CVXHost::kStatusPlaying);
         },
         "00101110"},
        {"paused at the start of the first song",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.SetCurPlayTrack(0, true, false);
             h.SetPlayerStatus(CVXHost::kStatusPaused);
         },
         "00110101"},
        {"paused later in the first song",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.SetCurPlayTrack(0, true, false);
             h.SkipByWheel(0.5, true);
         },
         "00110100"},
        {"a play-from preview while paused",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.SetCurPlayTrack(1, true, false);
             h.SkipByWheel(0.5, true);
             h.SetFromToPlayStatus(1);
         },
         "00110100"},
        {"export mode",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.SetCurPlayTrack(1, true, false);
             h.SetSelectedSongs(0, 2, false);
             h.SetMode(1);
         },
         "01001000"},
        {"a selection",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.SetCurPlayTrack(1, true, false);
             h.SetSelectedSongs(1, 1, false);
         },
         "01100000"},
        {"repeat in all-songs mode at the last song",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.setPlayerMode(CVXHost::kPlayAllSongs);
             h.setRepeat(true);
             h.SetCurPlayTrack(2, true, false);
         },
         "00100000"},
        {"repeat in all-songs mode at the start of the first song",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.setPlayerMode(CVXHost::kPlayAllSongs);
             h.setRepeat(true);
             h.SetCurPlayTrack(0, true, false);
         },
         "00100000"},
        {"repeat in one-song mode at the last song",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.setRepeat(true);
             h.SetCurPlayTrack(2, true, false);
         },
         "00100010"},
        {"shuffle at the last place of the order",
         [this](CVXHost& h)
         {
             AddSongs(3);
             h.setPlayerMode(CVXHost::kPlayShuffle);
             h.SetCurPlayTrack(0, true, true);
             h.SkipNext(true);
             h.SkipNext(true);
         },
         "00100010"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.state);
        MakeHost();
        c.setUp(*m_host);
        EXPECT_EQ(Bits(*m_host), c.bits);
    }
}

// Export mode parks the selection and unloads the song; entering it again
// changes nothing, so the selection parked first is the one restored.
TEST_F(CVXHostTest, SetModeTwiceKeepsTheFirstParkedSelection)
{
    AddSongs(3);
    m_host->SetCurPlayTrack(1, true, false);
    m_host->SetSelectedSongs(0, 2, false);
    m_host->setQuitOnExportEnd(true);
    m_listener.notices.clear();

    m_host->SetMode(1);
    EXPECT_FALSE(m_host->isQuitOnExportEnd());
    EXPECT_EQ(m_host->GetSongReader()->GetNumSections(), 0);
    EXPECT_EQ(Player()->GetPlayerInput(), nullptr);
    EXPECT_TRUE(m_listener.Saw("mode 1"));
    m_host->SetSelectedSongs(2, 1, false);
    m_listener.notices.clear();
    m_host->SetMode(1);
    EXPECT_TRUE(m_listener.notices.empty());

    m_host->SetMode(0);
    EXPECT_EQ(m_host->GetSelection(), Rows(0, 2));
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 1);
    EXPECT_EQ(m_host->GetSongReader()->GetNumSections(), 1);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusStopped);
    EXPECT_TRUE(m_listener.Saw("mode 0"));
}

// A file export or burn puts the host in export mode for its duration, with
// the session's time and levels; a disc erase does not touch the host. An
// export that ends while a quit is pending quits instead of going back.
TEST_F(CVXHostTest, ExportSessionsSwitchTheHostMode)
{
    AddSongs(2);
    m_host->SetCurPlayTrack(0, true, false);
    m_host->SetSelectedSongs(1, 1, false);

    FakeSession* erase = StartSession(Vextal::ExportSessionNames::kDiscErase);
    ASSERT_NE(erase, nullptr);
    EXPECT_EQ(m_host->GetMode(), 0);
    erase->End(false);

    FakeSession* file = StartSession(Vextal::ExportSessionNames::kFileExport);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Vextal::ExportManager::GetInstance()->getCurrentSessionClass(),
              Vextal::ExportManager::kFileExport);
    EXPECT_EQ(m_host->GetMode(), 1);
    m_host->SetCurPlayTrack(1, false, false); // the converter's song
    EXPECT_EQ(m_host->GetCurPlayTrack(1), 1);
    int h = 0, m = 0;
    float s = 0.0f;
    m_host->GetCurTime(&h, &m, &s);
    EXPECT_EQ(m, 1);
    EXPECT_FLOAT_EQ(s, 2.5f);
    EXPECT_FLOAT_EQ(m_host->GetCurTimeBarPosition(), 0.4f);
    m_host->UpdateLevelAndClip();
    EXPECT_DOUBLE_EQ(m_listener.levels[0], -6.0);
    EXPECT_DOUBLE_EQ(m_listener.levels[1], -12.0);
    EXPECT_EQ(m_listener.clipStates.back(), 1);
    m_host->SetSelectedSongs(0, 2, false);
    file->End(false);
    EXPECT_EQ(m_host->GetMode(), 0);
    EXPECT_EQ(m_host->GetSelection(), Rows(1, 1));
    EXPECT_FALSE(Vextal::ExportManager::GetInstance()->isBusy());

    FakeSession* burn = StartSession(Vextal::ExportSessionNames::kDiscBurn);
    ASSERT_NE(burn, nullptr);
    m_host->setQuitOnExportEnd(true);
    burn->End(true);
    EXPECT_EQ(m_quitRequests, 1);
    EXPECT_EQ(m_host->GetMode(), 1);
}

// The recent list keeps only songlists that exist, in their order, and
// writes them from index 0 on with the unused indices emptied.
TEST_F(CVXHostTest, RecentListDropsMissingEntries)
{
    const auto a = m_folder / "a.vxsl";
    const auto c = m_folder / "c.vxsl";
    rifftest::WriteBytes(a, {'x'});
    rifftest::WriteBytes(c, {'x'});
    m_preferences.WriteString("RecentSonglist_0", a.string());
    m_preferences.WriteString("RecentSonglist_1", (m_folder / "b.vxsl").string());
    m_preferences.WriteString("RecentSonglist_2", c.string());
    for (int i = 3; i < 10; ++i)
        m_preferences.WriteString(("RecentSonglist_" + std::to_string(i)).c_str(), "junk");
    m_host->readRecentSonglistPaths();
    EXPECT_EQ(m_host->GetRecentSonglists(),
              juce::StringArray(juce::String(a.string()), juce::String(c.string())));

    m_host->writeRecentSonglistPaths();
    EXPECT_EQ(m_preferences.ReadString("RecentSonglist_0").value_or(""), juce::String(a.string()));
    EXPECT_EQ(m_preferences.ReadString("RecentSonglist_1").value_or(""), juce::String(c.string()));
    for (int i = 2; i < 10; ++i)
        EXPECT_EQ(m_preferences.ReadString(("RecentSonglist_" + std::to_string(i)).c_str()), juce::String())
            << i;
}

// Player preferences: the defaults, a round trip, and stored values that
// are not a play mode.
TEST_F(CVXHostTest, PlayerPreferences)
{
    m_host->ReadPreferences();
    EXPECT_EQ(m_host->GetPlayerMode(), CVXHost::kPlayOneSong);
    EXPECT_FALSE(m_host->IsRepeat());
    EXPECT_EQ(m_host->GetPeakHoldLevelMs(), 2000);
    EXPECT_EQ(m_host->GetPeakHoldClipMs(), 2000);
    EXPECT_FALSE(Player()->GetContinuousPlayback());

    m_host->setPlayerMode(CVXHost::kPlayShuffle);
    m_host->setRepeat(true);
    m_host->SetPeakHoldLevelMs(-1);
    m_host->SetPeakHoldClipMs(500);
    m_host->WritePreferences();
    MakeHost();
    m_host->ReadPreferences();
    EXPECT_EQ(m_host->GetPlayerMode(), CVXHost::kPlayShuffle);
    EXPECT_TRUE(m_host->IsRepeat());
    EXPECT_EQ(m_host->GetPeakHoldLevelMs(), -1);
    EXPECT_EQ(m_host->GetPeakHoldClipMs(), 500);
    EXPECT_TRUE(Player()->GetContinuousPlayback());

    m_preferences.WriteInteger("PlayerMode", 7);
    m_preferences.WriteInteger("PlayerRepeat", 2);
    m_host->ReadPreferences();
    EXPECT_EQ(m_host->GetPlayerMode(), CVXHost::kPlayOneSong);
    EXPECT_FALSE(m_host->IsRepeat());
    EXPECT_FALSE(Player()->GetContinuousPlayback());
}

// Registrations by song index follow the index, "every song" sees every
// song and "the current song" follows the current record, also when a song
// is inserted before them all.
TEST_F(CVXHostTest, SongListenerFiltersAcrossAnInsert)
{
    AddSongs(5);
    m_host->SetCurPlayTrack(2, true, false);
    songlisttest::RecordingSongListener third, every, current;
    m_host->addTrackInfoListener(&third, 3);
    m_host->addTrackInfoListener(&every, -1);
    m_host->addTrackInfoListener(&current, -2);
    TrackInfo* oldThird = m_host->GetSong(3);
    TrackInfo* playing = m_host->GetSong(2);

    m_host->InsertTrack(0, songlisttest::SongOf(m_folder / "s0.wav", "new"));
    TrackInfo* newThird = m_host->GetSong(3);
    ASSERT_EQ(newThird, playing);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 3);
    EXPECT_EQ(m_host->GetCurrentSong(), playing);

    oldThird->setText(TrackInfo::kTitle, "a", true);
    playing->setText(TrackInfo::kTitle, "b", true);
    m_host->GetSong(0)->setControl(TrackInfo::kGain, 1.0f, true);

    EXPECT_EQ(third.notices, (std::vector<songlisttest::RecordingSongListener::Notice>{{playing, "text 1"}}));
    EXPECT_EQ(current.notices,
              (std::vector<songlisttest::RecordingSongListener::Notice>{{playing, "text 1"}}));
    EXPECT_EQ(every.notices,
              (std::vector<songlisttest::RecordingSongListener::Notice>{
                  {oldThird, "text 1"}, {playing, "text 1"}, {m_host->GetSong(0), "control 0"}}));

    // A filter below -2 is refused; removing a listener ends all its
    // registrations.
    {
        TestSupport::ScopedCheckReports reports;
        m_host->addTrackInfoListener(&third, -3);
        EXPECT_EQ(reports.Count(), 1);
    }
    m_host->addTrackInfoListener(&every, 0);
    m_host->removeTrackInfoListener(&every);
    m_host->GetSong(0)->setText(TrackInfo::kTitle, "c", true);
    EXPECT_EQ(every.notices.size(), 3u);
}

// The current song is followed by its record through insertions and
// removals, also removals that do not adjust it; removing it makes the song
// that takes its place current (the first one after the last).
TEST_F(CVXHostTest, InsertAndRemoveFollowTheCurrentSong)
{
    AddSongs(4);
    m_host->SetCurPlayTrack(2, true, false);
    TrackInfo* playing = m_host->GetSong(2);
    EXPECT_TRUE(playing->isCurrentSong());

    m_host->InsertTrack(99, songlisttest::SongOf(m_folder / "s0.wav", "end"));
    EXPECT_EQ(m_host->GetSong(4)->getText(0), "end");
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 2);

    EXPECT_NE(m_host->RemoveTrack(0, true, false), nullptr);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 1);
    EXPECT_EQ(m_host->GetCurrentSong(), playing);
    EXPECT_EQ(m_host->RemoveTrack(7, true, true), nullptr);

    m_listener.notices.clear();
    std::unique_ptr<TrackInfo> removed = m_host->RemoveTrack(1, true, true);
    EXPECT_EQ(removed.get(), playing);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 1);
    EXPECT_EQ(m_host->GetCurrentSong()->getText(0), "s3");
    EXPECT_TRUE(m_host->GetCurrentSong()->isCurrentSong());
    EXPECT_TRUE(m_listener.Saw("count 3"));
    EXPECT_EQ(m_host->GetSongReader()->GetNumSections(), 1);

    // The current song at the end is removed: the first song follows.
    m_host->SetCurPlayTrack(2, true, false);
    m_host->RemoveTrack(2, true, true);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);

    // A removed record put back is not current any more.
    removed->setCurrentSong(true);
    m_host->InsertTrack(0, std::move(removed));
    EXPECT_FALSE(m_host->GetSong(0)->isCurrentSong());
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 1);

    while (m_host->GetNumSongs() > 0)
        m_host->RemoveTrack(0, true, true);
    EXPECT_EQ(m_host->GetCurrentSong(), nullptr);
    EXPECT_EQ(Player()->GetPlayerInput(), nullptr);
    EXPECT_EQ(m_host->GetSongReader()->GetNumSections(), 0);
}

// The selection is told only when it changes; combining and linking follow
// it (and are off in export mode).
TEST_F(CVXHostTest, SelectionAndEditAvailability)
{
    AddSongs(2);
    AddSong(WriteSong("m0.wav", 2205, 1, 1));
    AddSong(WriteSong("m1.wav", 4410, 7, 1));
    m_listener.notices.clear();
    m_host->SetSelectedSongs(0, 2, true);
    m_host->SetSelectedSongs(Rows(0, 2), true);
    EXPECT_EQ(m_listener.notices, std::vector<std::string>{"selection 2"});
    EXPECT_TRUE(m_host->CanCombine());
    EXPECT_FALSE(m_host->CanLink());

    m_host->SetSelectedSongs(2, 2, false);
    EXPECT_TRUE(m_host->CanCombine());
    EXPECT_TRUE(m_host->CanLink());
    m_host->SetSelectedSongs(1, 2, false);
    EXPECT_FALSE(m_host->CanCombine());
    EXPECT_FALSE(m_host->CanLink());
    m_host->SetSelectedSongs(2, 2, false);
    m_host->SetMode(1);
    EXPECT_FALSE(m_host->CanCombine());
    EXPECT_FALSE(m_host->CanLink());
    m_host->SetSelectedSongs(0, 0, false);
    EXPECT_TRUE(m_host->GetSelection().isEmpty());
}

// The shuffle order is a permutation that starts with the current song.
TEST_F(CVXHostTest, ShuffleOrderStartsWithTheCurrentSong)
{
    AddSongs(6);
    m_host->setPlayerMode(CVXHost::kPlayShuffle);
    for (int current : {0, 3, 5})
    {
        m_host->SetCurPlayTrack(current, false, true);
        std::vector<int> order = m_host->GetShuffleOrder();
        ASSERT_EQ(order.size(), 6u);
        EXPECT_EQ(order[0], current);
        EXPECT_EQ(m_host->GetShufflePosition(), 0);
        std::sort(order.begin(), order.end());
        EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    }
}

// The host makes the last songlist a copy of the backup one (atomically);
// without a backup there is no last songlist.
TEST_F(CVXHostTest, TheLastSonglistIsTheBackupOfThePreviousRun)
{
    const juce::File backup = m_host->GetBackupSonglistFile();
    const juce::File last = m_host->GetLastSonglistFile();
    EXPECT_EQ(backup.getFileName(), "VextalBackup.vxsl");
    EXPECT_EQ(last.getFileName(), "VextalLast.vxsl");
    ASSERT_TRUE(backup.replaceWithText("backup of the previous run"));
    ASSERT_TRUE(last.replaceWithText("older"));
    MakeHost();
    EXPECT_EQ(last.loadFileAsString(), "backup of the previous run");
    EXPECT_EQ(backup.loadFileAsString(), "backup of the previous run");
    EXPECT_EQ(backup.getParentDirectory().getNumberOfChildFiles(juce::File::findFiles), 2);

    backup.deleteFile();
    MakeHost();
    EXPECT_FALSE(last.exists());
}

// A volume about to be unmounted that holds a file of the current song stops
// playback and releases the song's files, however the system names it; other
// volumes, also one whose name begins the same, change nothing.
TEST_F(CVXHostTest, AnUnmountRequestReleasesTheCurrentSong)
{
    std::filesystem::create_directory(m_folder / "volume");
    AddSong(WriteSong("volume/song.wav", 44100 * 2));
    m_host->SetCurPlayTrack(0, true, false);
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    ASSERT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPlaying);

    m_broadcaster.broadcastMessageCallback(kDeviceChangeUnmountRequested, (m_folder / "other").string());
    m_broadcaster.broadcastMessageCallback(kDeviceChangeUnmountRequested, (m_folder / "volum").string());
    m_broadcaster.broadcastMessageCallback(kDeviceChangeVolumeUnmounted, (m_folder / "volume").string());
    Dispatch(20);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPlaying);
    EXPECT_EQ(m_host->GetSongReader()->GetNumSections(), 1);

    // The system names the volume through a link, with a trailing separator.
    std::filesystem::create_directory_symlink(m_folder / "volume", m_folder / "link");
    m_broadcaster.broadcastMessageCallback(kDeviceChangeUnmountRequested,
                                           (m_folder / "link").string() + "//");
    Dispatch(20);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusStopped);
    EXPECT_EQ(m_host->GetSongReader()->GetNumSections(), 0);
    EXPECT_EQ(Player()->GetPlayerInput(), nullptr);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);
}
