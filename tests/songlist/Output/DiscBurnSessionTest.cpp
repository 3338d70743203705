#include "src/songlist/Output/DiscBurnSession.h"

#include "src/songlist/Output/ExportParameter/CommonExportParameter.h"
#include "src/songlist/Output/ExportParameter/DiscBurnParameter.h"

#include "tests/support/HostTestSupport.h"
#include "tests/support/SimulatedBurner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

using burntest::Drive;
using burntest::Medium;
using burntest::SimulatedBurner;
using Vextal::CommonExportParameter;
using Vextal::DiscBurnParameter;
using Vextal::DiscBurnSession;
using Vextal::ExportSession;

namespace
{
// Records a session's notices as text and answers its questions. The
// notices come from the session's thread.
class SessionRecorder : public Vextal::ExportSessionListener
{
public:
    void exportAboutToStart(ExportSession*) override { Add("start"); }
    void exportSongProcessAboutToStart(ExportSession*) override
    {
        Add("render");
        if (onRender)
            onRender();
    }
    void exportEnded(ExportSession*, bool aborted) override
    {
        Add(aborted ? "end aborted" : "end");
        ended.store(true);
    }
    void exportErrorOccured(ExportSession*, const char* key, const juce::SparseSet<int>& songs,
                            const juce::StringArray& args) override
    {
        Add(std::string("error ") + key + Songs(songs) + Args(args));
    }
    bool exportShouldIgnoreWarning(ExportSession*, const char* key, const juce::SparseSet<int>& songs,
                                   const juce::StringArray&) override
    {
        Add(std::string("warning ") + key + Songs(songs));
        return acceptWarnings;
    }
    void exportProgressUpdated(ExportSession*, double, const char* key,
                               const juce::StringArray& args) override
    {
        const std::string text = std::string("progress ") + (key != nullptr ? key : "-") + Args(args);
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            if (!notices.empty() && notices.back() == text)
                return;
        }
        Add(text);
        if (onProgress && key != nullptr)
            onProgress(key);
    }
    bool exportShouldRepeat(ExportSession* session) override
    {
        Add(std::string("repeat ") + (session->isSucceeded() ? "done" : "failed ") +
            (session->isSucceeded() ? "" : session->getLastErrorMessage().toStdString()));
        const size_t asked = repeats++;
        if (onRepeat)
            onRepeat(asked);
        return asked < repeatAnswers.size() && repeatAnswers[asked];
    }

    std::vector<std::string> Notices() const
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        return notices;
    }
    bool Saw(const std::string& notice) const
    {
        const auto all = Notices();
        return std::find(all.begin(), all.end(), notice) != all.end();
    }
    // The first notice that begins with the text; empty when none.
    std::string First(const std::string& prefix) const
    {
        for (const auto& n : Notices())
            if (n.rfind(prefix, 0) == 0)
                return n;
        return {};
    }

    bool acceptWarnings = true;
    std::vector<bool> repeatAnswers;
    std::function<void()> onRender;
    std::function<void(const std::string&)> onProgress;
    std::function<void(size_t)> onRepeat;
    std::atomic<bool> ended{false};
    size_t repeats = 0;

private:
    static std::string Songs(const juce::SparseSet<int>& songs)
    {
        return songs.isEmpty() ? "" : " songs " + hosttest::RangesOf(songs);
    }
    static std::string Args(const juce::StringArray& args)
    {
        return args.isEmpty() ? "" : " [" + args.joinIntoString(",").toStdString() + "]";
    }
    void Add(const std::string& notice)
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        notices.push_back(notice);
    }

    mutable std::mutex m_lock;
    std::vector<std::string> notices;
};

// The session with its checks of the disc open to tests.
class OpenSession : public DiscBurnSession
{
public:
    using DiscBurnSession::checkDiscReadyToWrite;
    using DiscBurnSession::DiscBurnSession;
    using DiscBurnSession::discErrorArgs;
    using DiscBurnSession::discErrorKey;
    using DiscBurnSession::drive;
    using DiscBurnSession::sizeToWrite;
};

std::vector<std::string> StagingFolders(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind(".VextalDiscImage_", 0) == 0)
            names.push_back(entry.path().filename().string());
    return names;
}

// Songs of the host burnt by sessions over a simulated drive. The drive
// loads a new blank CD-R whenever a disc is ejected unless a test says not.
class DiscBurnSessionTest : public hosttest::HostTest
{
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        // As during an export: the host's player is stopped.
        m_host->SetMode(1);
        std::filesystem::create_directory(m_folder / "tmp");
        m_common.setParameterText(CommonExportParameter::kTempDirectory, Tmp().getFullPathName(), false);
    }

    juce::File Tmp() const { return juce::File((m_folder / "tmp").string()); }
    juce::File Images() const { return juce::File((m_folder / "images").string()); }

    void MakeBurner(std::vector<Drive> drives, bool blankAfterEject = true)
    {
        m_burner = std::make_unique<SimulatedBurner>(Images(), std::move(drives), 1e6, blankAfterEject);
        m_disc = std::make_unique<DiscBurnParameter>(*m_burner->proxy);
    }
    void MakeBurner(const Medium& medium = Medium::BlankCdR(), bool blankAfterEject = true)
    {
        MakeBurner({Drive::CdWriter("W", medium)}, blankAfterEject);
    }

    std::unique_ptr<DiscBurnSession> MakeSession()
    {
        auto session = std::make_unique<DiscBurnSession>(*m_burner->proxy, m_common, *m_disc, m_host.get());
        session->AddListener(&m_recorder);
        return session;
    }

    // Dispatches messages until the session has ended; false on time-out.
    bool WaitForEnd(double seconds = 60.0)
    {
        return DispatchUntil([this] { return m_recorder.ended.load(); }, seconds, 5);
    }

    bool Dispatches(const std::function<bool()>& until, double seconds = 30.0)
    {
        return DispatchUntil(until, seconds, 5);
    }

    int NumImages() const
    {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m_folder / "images"))
            count += entry.path().extension() == ".cue" ? 1 : 0;
        return count;
    }

    // The drive is closed: with none open the burner sees no medium, though
    // the drive holds one.
    bool DriveClosed() { return (*m_burner->proxy)->GetInsertedDiscType() == kDiscTypeNone; }

    CommonExportParameter m_common{[] { return false; }};
    std::unique_ptr<SimulatedBurner> m_burner;
    std::unique_ptr<DiscBurnParameter> m_disc;
    SessionRecorder m_recorder;
};
} // namespace

// A burn with one further copy: both discs are burnt, the staging folder is
// gone, the drive closed, and declining the third ends the session done.
TEST_F(DiscBurnSessionTest, BurnsCopiesUntilDeclinedAndCleansUp)
{
    MakeBurner();
    AddSongs(2, 44100 * 5);
    m_recorder.repeatAnswers = {true, false};
    auto session = MakeSession();
    ASSERT_TRUE(session->start());
    EXPECT_EQ(StagingFolders(m_folder / "tmp").size(), 1u);
    EXPECT_TRUE(session->getTempDirectory().isHidden());
    ASSERT_TRUE(WaitForEnd());
    session->waitForWorkToEnd();

    const auto notices = m_recorder.Notices();
    EXPECT_EQ(notices.front(), "start");
    EXPECT_TRUE(m_recorder.Saw("render"));
    EXPECT_EQ(m_recorder.repeats, 2u);
    EXPECT_TRUE(m_recorder.Saw("repeat done"));
    EXPECT_EQ(notices.back(), "end");
    EXPECT_TRUE(session->isSucceeded());
    EXPECT_EQ(NumImages(), 2);
    EXPECT_TRUE(StagingFolders(m_folder / "tmp").empty());
    EXPECT_TRUE(DriveClosed());
}

// A burn the drive fails, and one it refuses to start, are failures with
// the burner's text, never read as done, also after a good copy.
TEST_F(DiscBurnSessionTest, FailedAndRefusedBurnsAreFailures)
{
    MakeBurner();
    AddSongs(1, 44100 * 5);
    m_burner->drive->InjectFailure(CDiscBurnImpSimulated::kPointWriting, L"The laser failed.");
    m_recorder.repeatAnswers = {true, true, false};
    m_recorder.onRepeat = [this](size_t asked)
    {
        // After the retry that succeeds, the drive is taken by another
        // program: the next start is refused.
        if (asked == 1)
            m_burner->drive->SetDriveLocked(true);
    };
    auto session = MakeSession();
    ASSERT_TRUE(session->start());
    ASSERT_TRUE(WaitForEnd());
    session->waitForWorkToEnd();

    std::vector<std::string> repeats;
    for (const auto& n : m_recorder.Notices())
        if (n.rfind("repeat", 0) == 0)
            repeats.push_back(n);
    ASSERT_EQ(repeats.size(), 3u);
    EXPECT_EQ(repeats[0], "repeat failed The laser failed.");
    EXPECT_EQ(repeats[1], "repeat done");
    EXPECT_EQ(repeats[2].rfind("repeat failed ", 0), 0u) << repeats[2];
    EXPECT_GT(repeats[2].size(), std::string("repeat failed ").size()) << "the refusal says why";
    EXPECT_FALSE(session->isSucceeded());
    EXPECT_EQ(m_recorder.Notices().back(), "end");
    EXPECT_TRUE(StagingFolders(m_folder / "tmp").empty());
}

// A cancel ends the run as aborted in every phase, and nothing is left
// staged. While a disc is waited for, the wait has no time-out (the
// simulated drive tells of every change): only the stop request wakes it. While the disc is being closed the
// burn can no longer be stopped: "DiscBurn_Cancelling" shows until it has ended.
class DiscBurnCancelTest : public DiscBurnSessionTest
{
protected:
    enum Phase
    {
        kWaitingForDisc,
        kBeforeRendering,
        kBurning,
        kClosing
    };

    void CancelIn(Phase phase)
    {
        MakeBurner(phase == kWaitingForDisc ? Medium::None() : Medium::BlankCdR(), false);
        AddSongs(1, 44100 * 5);
        auto session = MakeSession();
        ExportSession* running = session.get();
        if (phase == kBeforeRendering)
            m_recorder.onRender = [running] { running->cancel(); };
        if (phase == kBurning)
            m_burner->drive->HoldAt(CDiscBurnImpSimulated::kPointWriting);
        if (phase == kClosing)
            m_burner->drive->HoldAt(CDiscBurnImpSimulated::kPointClosing);
        ASSERT_TRUE(session->start());
        if (phase == kWaitingForDisc)
        {
            ASSERT_TRUE(Dispatches([this] { return m_recorder.Saw("progress DiscBurn_WaitForBlankDisc"); }));
            session->cancel();
        }
        if (phase == kBurning || phase == kClosing)
        {
            ASSERT_TRUE(Dispatches([this] { return m_burner->drive->WaitUntilHeld(1); }));
            session->cancel();
        }
        if (phase == kClosing)
        {
            ASSERT_TRUE(Dispatches([this] { return m_recorder.Saw("progress DiscBurn_Cancelling"); }));
            m_burner->drive->ReleaseHold();
        }
        ASSERT_TRUE(WaitForEnd());
        session->waitForWorkToEnd();
        EXPECT_EQ(m_recorder.Notices().back(), "end aborted");
        EXPECT_EQ(m_recorder.repeats, 0u);
        EXPECT_EQ(NumImages(), phase == kClosing ? 1 : 0);
        EXPECT_TRUE(StagingFolders(m_folder / "tmp").empty());
        EXPECT_EQ(session->isSucceeded(), phase == kClosing);
        EXPECT_TRUE(DriveClosed());
    }
};

TEST_F(DiscBurnCancelTest, WhileWaitingForADisc)
{
    CancelIn(kWaitingForDisc);
}

TEST_F(DiscBurnCancelTest, BeforeRendering)
{
    CancelIn(kBeforeRendering);
}

TEST_F(DiscBurnCancelTest, WhileBurning)
{
    CancelIn(kBurning);
}

TEST_F(DiscBurnCancelTest, WhileClosingTheDisc)
{
    CancelIn(kClosing);
}

// The wait for a blank disc is an event: the simulated drive tells of every
// change of medium, so the session waits on it with no time-out. A notice
// that changes nothing (the tray still empty) makes it look again and keep
// waiting, with its message once; the disc inserted then lets it go on, and
// only the notice can have woken it.
TEST_F(DiscBurnSessionTest, WaitForABlankDiscEndsWithTheMediumNotice)
{
    MakeBurner(Medium::None(), false);
    ASSERT_FALSE((*m_burner->proxy)->CanMissMediumChanges());
    AddSongs(1, 44100 * 5);
    auto session = MakeSession();
    ASSERT_TRUE(session->start());
    ASSERT_TRUE(Dispatches([this] { return m_recorder.Saw("progress DiscBurn_WaitForBlankDisc"); }));

    m_burner->drive->SetMedium(0, Medium::None());
    m_burner->drive->SetMedium(0, Medium::BlankCdR());
    ASSERT_TRUE(WaitForEnd());
    session->waitForWorkToEnd();
    const auto notices = m_recorder.Notices();
    EXPECT_EQ(std::count(notices.begin(), notices.end(), "progress DiscBurn_WaitForBlankDisc"), 1);
    EXPECT_EQ(notices.back(), "end");
    EXPECT_TRUE(session->isSucceeded());
    EXPECT_EQ(NumImages(), 1);
}

// A used disc in the drive is ejected and its message stays while the tray
// is empty; the burn goes on once a blank disc is in.
TEST_F(DiscBurnSessionTest, UnsuitableDiscsAreEjectedWhileWaiting)
{
    MakeBurner(Medium::UsedCdR(), false);
    AddSongs(1, 44100 * 5);
    auto session = MakeSession();
    ASSERT_TRUE(session->start());
    ASSERT_TRUE(Dispatches([this] { return m_burner->drive->GetMedium(0).type == kDiscTypeNone; }));
    Dispatch(500);
    EXPECT_TRUE(m_recorder.Saw("progress DiscBurn_UsedDisc"));
    EXPECT_FALSE(m_recorder.Saw("progress DiscBurn_WaitForBlankDisc")) << "the message stays";
    m_burner->drive->SetMedium(0, Medium::BlankCdR());
    ASSERT_TRUE(WaitForEnd());
    session->waitForWorkToEnd();
    EXPECT_EQ(m_recorder.Notices().back(), "end");
    EXPECT_TRUE(session->isSucceeded());
    EXPECT_EQ(NumImages(), 1);
}

// Songs whose files lie on the disc in the burner drive: a warning first;
// refused, nothing starts; accepted, the songs are rendered before the disc
// is ejected, then a blank disc is waited for.
TEST_F(DiscBurnSessionTest, SourceOnTheOutputDriveIsRenderedBeforeEjecting)
{
    std::filesystem::create_directory(m_folder / "cd");
    const auto onDisc = m_folder / "cd" / "track.wav";
    ASSERT_TRUE(songlisttest::WriteRampFile(onDisc, "wav", 44100 * 5, 44100, 2, 1));
    Medium source = Medium::CdRom();
    source.imagePath = hosttest::Wide(m_folder / "cd");
    MakeBurner(source, false);
    AddSongs(1, 44100 * 5);
    AddSong(onDisc);

    m_recorder.acceptWarnings = false;
    EXPECT_FALSE(MakeSession()->start());
    EXPECT_TRUE(m_recorder.Saw("warning DiscBurn_NeedToReplaceDisc songs 1"));
    EXPECT_TRUE(StagingFolders(m_folder / "tmp").empty());

    m_recorder.acceptWarnings = true;
    m_recorder.onProgress = [this](const std::string& key)
    {
        if (key == "DiscBurn_WaitForBlankDisc")
            m_burner->drive->SetMedium(0, Medium::BlankCdR());
    };
    auto session = MakeSession();
    ASSERT_TRUE(session->start());
    EXPECT_TRUE(session->isSourceOnOutputDrive());
    ASSERT_TRUE(WaitForEnd()) << testing::PrintToString(m_recorder.Notices());
    session->waitForWorkToEnd();
    const auto notices = m_recorder.Notices();
    const auto at = [&notices](const std::string& n)
    { return std::find(notices.begin(), notices.end(), n) - notices.begin(); };
    EXPECT_LT(at("render"), at("progress DiscBurn_WaitForBlankDisc"));
    EXPECT_EQ(notices.back(), "end");
    EXPECT_EQ(NumImages(), 1);
}

// The checks of start(): each refusal notifies and leaves no staging folder.
TEST_F(DiscBurnSessionTest, StartChecksRefuseBeforeAnythingIsStaged)
{
    // No drive that writes: no drive index, no crash.
    MakeBurner({SimulatedBurner::Reader("R")});
    AddSongs(1, 44100 * 5);
    EXPECT_FALSE(MakeSession()->start());
    EXPECT_EQ(m_recorder.First("error"), "error DiscBurn_CannotOpenDrive");

    // 100 songs are too many; 99 pass on to the next check.
    MakeBurner();
    AddSongs(99, 2205);
    m_recorder.acceptWarnings = false;
    EXPECT_FALSE(MakeSession()->start());
    EXPECT_TRUE(m_recorder.Saw("error DiscBurn_TooManyTracks"));
    m_host->RemoveTrack(0, true, true);
    ASSERT_EQ(m_host->GetNumSongs(), 99);
    EXPECT_FALSE(MakeSession()->start());
    EXPECT_TRUE(m_recorder.Saw("warning DiscBurn_SilenceAppended songs 0-98"));
    EXPECT_TRUE(StagingFolders(m_folder / "tmp").empty());

    // A temporary folder that is gone.
    EXPECT_TRUE(Tmp().deleteRecursively());
    EXPECT_FALSE(MakeSession()->start());
    EXPECT_TRUE(m_recorder.Saw("error DiscBurn_CannotCreateTempDir"));
}

// A song shorter than four seconds is warned of (silence is appended); one
// of four seconds is not.
TEST_F(DiscBurnSessionTest, SongsUnderFourSecondsAreWarnedOf)
{
    MakeBurner();
    AddSong(WriteSong("short.wav", 171990)); // 3.9 s
    m_recorder.acceptWarnings = false;
    EXPECT_FALSE(MakeSession()->start());
    EXPECT_TRUE(m_recorder.Saw("warning DiscBurn_SilenceAppended songs 0"));

    m_host->RemoveTrack(0, true, true);
    AddSong(WriteSong("four.wav", 176400));
    auto session = MakeSession();
    const size_t before = m_recorder.Notices().size();
    ASSERT_TRUE(session->start());
    ASSERT_TRUE(WaitForEnd());
    session->waitForWorkToEnd();
    const auto notices = m_recorder.Notices();
    EXPECT_EQ(std::count_if(notices.begin() + static_cast<long>(before), notices.end(),
                            [](const std::string& n) { return n.rfind("warning", 0) == 0; }),
              0);
    EXPECT_TRUE(session->isSucceeded());
}

// The size counts every track rounded up to CD frames with its closing
// frame, at least four seconds, and the pre-gaps (two seconds at least
// before the first track).
TEST_F(DiscBurnSessionTest, NeededBytesCountRoundingPaddingAndPreGaps)
{
    constexpr int64_t kBlock = 2352;
    constexpr int64_t kFile = 2048;
    const struct
    {
        std::vector<int64_t> frames;
        float gap;
        int64_t blocks;
    } cases[] = {
        {{1}, 0.0f, 300 + 150},
        {{588 * 400}, 0.0f, 401 + 150},
        {{588 * 400 + 1}, 0.0f, 402 + 150},
        {{588 * 400, 588 * 400}, 2.0f, 401 + 150 + 401 + 150},
        {{588 * 400, 588 * 400}, 3.0f, 401 + 225 + 401 + 225},
        {{588 * 400, 1000}, 0.0f, 401 + 150 + 300},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.frames.size());
        EXPECT_EQ(DiscBurnSession::neededBytes(c.frames, c.gap),
                  c.blocks * kBlock + static_cast<int64_t>(c.frames.size()) * kFile);
    }
}

// A disc must have more free than the size to write: equal is refused with
// the size in units of 1000.
TEST_F(DiscBurnSessionTest, DiscFreeSpaceEqualToTheNeedIsRefused)
{
    MakeBurner();
    OpenSession session(*m_burner->proxy, m_common, *m_disc, m_host.get());
    session.drive = (*m_burner->proxy)->GetAvailableCDDrives()[0];
    const int64_t free = (*m_burner->proxy)->GetFreeSizeOnDisc();
    ASSERT_GT(free, 0);
    session.sizeToWrite = free;
    EXPECT_FALSE(session.checkDiscReadyToWrite());
    EXPECT_STREQ(session.discErrorKey, "DiscBurn_OverDiscSize");
    EXPECT_EQ(session.discErrorArgs.size(), 1);
    session.sizeToWrite = free - 1;
    EXPECT_TRUE(session.checkDiscReadyToWrite());
    EXPECT_EQ(session.discErrorKey, nullptr);
}

// Start-up removes the stamped staging folders of a run that never ended,
// with their files, and nothing else.
TEST_F(DiscBurnSessionTest, StartUpRemovesLeftOverStagingFolders)
{
    const auto tmp = m_folder / "tmp";
    for (const char* name : {".VextalDiscImage_20260101120000", ".VextalDiscImage_20260101120000_0",
                             ".VextalDiscImage_2026010112000", "VextalDiscImage_20260101120000", "Music"})
        std::filesystem::create_directory(tmp / name);
    std::ofstream(tmp / ".VextalDiscImage_20260101120000" / "Track 01.aiff") << "x";
    EXPECT_EQ(DiscBurnSession::deleteTempDirectories(Tmp().getFullPathName()), 1);
    EXPECT_FALSE(std::filesystem::exists(tmp / ".VextalDiscImage_20260101120000"));
    EXPECT_EQ(StagingFolders(tmp).size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(tmp / "Music"));
    EXPECT_EQ(DiscBurnSession::deleteTempDirectories(Tmp().getFullPathName() + "/missing"), 0);
}
