#include "src/songlist/Output/DiscEraseSession.h"

#include "common/disc/CAudioCDBurn.h"
#include "common/disc/linux/CDiscBurnImpSimulated.h"
#include "common/disc/linux/CDiscUtilLinux.h"
#include "library/vextal_juce/CZJEResource.h"

#include "tests/common/disc/CdTestImages.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

using hosttest::Wide;
using Vextal::DiscEraseSession;
using Vextal::ExportSession;
using Medium = CDiscBurnImpSimulated::Medium;
using Drive = CDiscBurnImpSimulated::Drive;

namespace
{
std::vector<int> Indices(const juce::SparseSet<int>& set)
{
    std::vector<int> indices;
    for (int i = 0; i < set.size(); ++i)
        indices.push_back(set[i]);
    return indices;
}

// The simulated drive, remembering which kind of erase it was asked for and
// how often it was asked whether a job runs.
class RecordingDrive : public CDiscBurnImpSimulated
{
public:
    using CDiscBurnImpSimulated::CDiscBurnImpSimulated;

    int StartEraseDisc(bool quick) override
    {
        erases.push_back(quick ? "quick" : "full");
        return CDiscBurnImpSimulated::StartEraseDisc(quick);
    }
    bool IsProcessing() override
    {
        ++processingAsks;
        return CDiscBurnImpSimulated::IsProcessing();
    }

    std::vector<std::string> erases;
    std::atomic<int> processingAsks{0};
};

// Records a session's notices as text.
class Recorder : public Vextal::ExportSessionListener
{
public:
    void exportAboutToStart(ExportSession*) override { notices.push_back("start"); }
    void exportEnded(ExportSession*, bool aborted) override
    {
        notices.push_back(aborted ? "end aborted" : "end");
    }
    void exportErrorOccured(ExportSession*, const char* key, const juce::SparseSet<int>& s,
                            const juce::StringArray&) override
    {
        notices.push_back(std::string("error ") + key);
        songs = s;
    }
    void exportProgressUpdated(ExportSession*, double, const char* key, const juce::StringArray&) override
    {
        if (key != nullptr)
            progressKeys.insert(key);
        ++progressCount;
    }

    bool Ended() const { return !notices.empty() && notices.back().rfind("end", 0) == 0; }

    std::vector<std::string> notices;
    juce::SparseSet<int> songs;
    std::set<std::string> progressKeys;
    int progressCount = 0;
};

// The host with a burner over a simulated CD writer, running far faster
// than real time, its drive open.
class DiscEraseSessionTest : public hosttest::HostTest
{
protected:
    void SetUp() override
    {
        hosttest::HostTest::SetUp();
        std::filesystem::create_directory(m_folder / "images");
        CDiscBurnImpSimulated::Options options;
        options.speedup = 1e6;
        auto drive = std::make_unique<RecordingDrive>(
            Wide(m_folder / "images"), std::vector<Drive>{Drive::CdWriter("Test CD-RW", Medium::UsedCdRw())},
            options);
        m_drive = drive.get();
        m_burner = std::make_unique<CAudioCDBurn>(std::move(drive));
        ASSERT_EQ(m_burner->OpenDrive(0), 0);
    }
    void TearDown() override
    {
        m_sessions.clear();
        m_burner.reset();
        hosttest::HostTest::TearDown();
    }

    DiscEraseSession& Session(int mode = DiscEraseSession::kEraseQuick, uint32_t kbps = 0)
    {
        m_sessions.push_back(std::make_unique<DiscEraseSession>(m_burner.get(), kbps, mode, m_host.get()));
        m_recorders.push_back(std::make_unique<Recorder>());
        m_sessions.back()->AddListener(m_recorders.back().get());
        return *m_sessions.back();
    }
    Recorder& RecorderOf(size_t i) { return *m_recorders[i]; }

    RecordingDrive* m_drive = nullptr;
    std::unique_ptr<CAudioCDBurn> m_burner;
    std::vector<std::unique_ptr<Recorder>> m_recorders;
    std::vector<std::unique_ptr<DiscEraseSession>> m_sessions;
};
} // namespace

// A rewritable disc whose volume is not mounted is erased in the mode asked
// for, with progress on the way, and the session ends once, not aborted and
// succeeded.
TEST_F(DiscEraseSessionTest, ErasesQuicklyOrFully)
{
    AddSongs(1);
    const struct
    {
        int mode;
        const char* erase;
    } cases[] = {{DiscEraseSession::kEraseQuick, "quick"}, {DiscEraseSession::kEraseFull, "full"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.erase);
        m_drive->SetMedium(0, Medium::UsedCdRw());
        m_drive->erases.clear();
        m_drive->HoldAt(CDiscBurnImpSimulated::kPointErasing);
        DiscEraseSession& session = Session(c.mode);
        Recorder& recorder = RecorderOf(m_sessions.size() - 1);
        EXPECT_FALSE(session.isSucceeded()); // nothing erased yet
        ASSERT_TRUE(session.start());
        EXPECT_EQ(m_drive->erases, std::vector<std::string>{c.erase});
        ASSERT_TRUE(m_drive->WaitUntilHeld(5000));
        EXPECT_TRUE(uitest::PumpUntil([&] { return !recorder.progressKeys.empty(); }));
        EXPECT_EQ(recorder.progressKeys, std::set<std::string>{DiscEraseSession::kStatusEraseKey});
        session.cancel(); // an erase runs to its end
        m_drive->ReleaseHold();
        ASSERT_TRUE(uitest::PumpUntil([&] { return recorder.Ended(); }));
        uitest::Pump(250);
        EXPECT_EQ(recorder.notices, (std::vector<std::string>{"start", "end"}));
        EXPECT_TRUE(session.isSucceeded());
        EXPECT_TRUE(m_drive->GetMedium(0).blank);
    }
}

// The end of the erase comes from the job's end notice: while the job runs,
// the progress ticks never ask the burner whether it is still processing;
// once it ends, the notice ends the session, succeeded.
TEST_F(DiscEraseSessionTest, TheEndComesFromTheJobsNotice)
{
    m_drive->HoldAt(CDiscBurnImpSimulated::kPointErasing);
    DiscEraseSession& session = Session();
    Recorder& recorder = RecorderOf(0);
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(m_drive->WaitUntilHeld(5000));
    m_drive->processingAsks = 0;
    ASSERT_TRUE(uitest::PumpUntil([&] { return recorder.progressCount >= 3; }));
    EXPECT_EQ(m_drive->processingAsks.load(), 0) << "the ticks only show progress";
    EXPECT_FALSE(recorder.Ended());
    m_drive->ReleaseHold();
    ASSERT_TRUE(uitest::PumpUntil([&] { return recorder.Ended(); }));
    EXPECT_EQ(recorder.notices, (std::vector<std::string>{"start", "end"}));
    EXPECT_TRUE(session.isSucceeded());
    EXPECT_TRUE(m_drive->GetMedium(0).blank);
}

// A disc that is not there, or not rewritable, is refused before anything
// starts: an error notice, no end notice, no erase, no success.
TEST_F(DiscEraseSessionTest, RefusesADiscItCannotErase)
{
    const struct
    {
        Medium medium;
        const char* key;
    } cases[] = {{Medium::None(), DiscEraseSession::kErrorDiscNotFoundKey},
                 {Medium::InTransition(), DiscEraseSession::kErrorDiscNotFoundKey},
                 {Medium::UsedCdR(), DiscEraseSession::kErrorNotErasableDiscKey},
                 {Medium::CdRom(), DiscEraseSession::kErrorNotErasableDiscKey}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.key);
        m_drive->SetMedium(0, c.medium);
        DiscEraseSession& session = Session();
        EXPECT_FALSE(session.start());
        uitest::Pump(250);
        EXPECT_EQ(RecorderOf(m_sessions.size() - 1).notices,
                  std::vector<std::string>{std::string("error ") + c.key});
        EXPECT_FALSE(session.isSucceeded());
        EXPECT_EQ(session.getLastErrorMessage(), CZJEResource::GetText(c.key));
    }
    EXPECT_TRUE(m_drive->erases.empty());
}

// An erase the burner refuses, or that fails on the way, ends (not aborted)
// as failed with the burner's text, never as completed. An erase refused
// because another job runs does not follow that job: it ends at its first
// tick, failed, while the other erase goes on and succeeds.
TEST_F(DiscEraseSessionTest, ARefusedOrFailedEraseEndsFailed)
{
    struct Case
    {
        const char* what;
        std::function<void()> arrange;
        uint32_t kbps;
    };
    const Case cases[] = {
        {"drive held by another program", [&] { m_drive->SetDriveLocked(true); }, 0},
        {"speed the disc does not offer", [] {}, 12345},
        {"failure while erasing",
         [&] { m_drive->InjectFailure(CDiscBurnImpSimulated::kPointErasing, L"Erase failed at sector 17."); },
         0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        m_drive->SetMedium(0, Medium::UsedCdRw());
        m_drive->SetDriveLocked(false);
        c.arrange();
        DiscEraseSession& session = Session(DiscEraseSession::kEraseQuick, c.kbps);
        Recorder& recorder = RecorderOf(m_sessions.size() - 1);
        ASSERT_TRUE(session.start());
        ASSERT_TRUE(uitest::PumpUntil([&] { return recorder.Ended(); }));
        EXPECT_EQ(recorder.notices, (std::vector<std::string>{"start", "end"}));
        EXPECT_FALSE(session.isSucceeded());
        EXPECT_TRUE(session.getLastErrorMessage().isNotEmpty());
        EXPECT_FALSE(m_drive->GetMedium(0).blank);
    }
    m_drive->SetDriveLocked(false);
    EXPECT_EQ(m_sessions[2]->getLastErrorMessage(), "Erase failed at sector 17.");

    // Another erase is running.
    m_drive->HoldAt(CDiscBurnImpSimulated::kPointErasing);
    DiscEraseSession& first = Session();
    Recorder& firstRecorder = RecorderOf(m_sessions.size() - 1);
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(m_drive->WaitUntilHeld(5000));
    DiscEraseSession& second = Session(DiscEraseSession::kEraseFull);
    Recorder& secondRecorder = RecorderOf(m_sessions.size() - 1);
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(uitest::PumpUntil([&] { return secondRecorder.Ended(); }));
    EXPECT_FALSE(second.isSucceeded());
    EXPECT_TRUE(second.getLastErrorMessage().isNotEmpty());
    EXPECT_FALSE(firstRecorder.Ended());
    m_drive->ReleaseHold();
    ASSERT_TRUE(uitest::PumpUntil([&] { return firstRecorder.Ended(); }));
    EXPECT_TRUE(first.isSucceeded());
    EXPECT_FALSE(second.isSucceeded());
    EXPECT_TRUE(m_drive->GetMedium(0).blank);
}

// A mounted disc that songs of the songlist play from is refused, naming
// those songs: a file at or below the disc's root that names the disc's
// identifier or none (a song without one plays from whichever disc is
// there), but not a file of another disc mounted at the same place, a track
// the disc does not hold, or a file elsewhere.
TEST_F(DiscEraseSessionTest, RefusesADiscThatSongsPlayFrom)
{
    cdtest::Image image;
    image.tracks = {{"AUDIO", 0}, {"AUDIO", 100}};
    image.sectors = 250;
    const auto cue = cdtest::WriteImage(m_folder.Path(), "disc", image);
    const int id = CDiscUtilLinux::GetCDDBID(Wide(cue).c_str());
    ASSERT_NE(id, 0);
    Medium medium = Medium::UsedCdRw();
    medium.imagePath = Wide(cue);
    m_drive->SetMedium(0, medium);

    AddSongs(6);
    const std::wstring track2 = Wide(cue) + L"/Track 02";
    const std::wstring track9 = Wide(cue) + L"/Track 09";
    const struct
    {
        std::wstring path;
        int media;
    } files[] = {{Wide(cue), id}, {Wide(cue), id + 1}, {track9, 0}, {L"", 0}, {track2, 0}, {track2, id}};
    for (int i = 0; i < 6; ++i)
    {
        if (files[i].path.empty())
            continue; // keeps its file elsewhere
        juce::Array<CPlaylistFile*> parts;
        m_host->GetSong(i)->getAllFiles(parts);
        for (CPlaylistFile* part : parts)
            part->SetFile(files[i].path.c_str(), 0, 588, files[i].media);
    }

    DiscEraseSession& session = Session();
    juce::SparseSet<int> songs;
    EXPECT_EQ(session.getPotentialErrorKey(songs), DiscEraseSession::kErrorDiscRefferedBySongs);
    const std::vector<int> expected{0, 4, 5};
    EXPECT_EQ(Indices(songs), expected);
    EXPECT_FALSE(session.start());
    EXPECT_EQ(RecorderOf(0).notices, std::vector<std::string>{"error DiscErase_DiscRefferedBySongs"});
    EXPECT_EQ(Indices(RecorderOf(0).songs), expected);
    EXPECT_TRUE(m_drive->erases.empty());

    // With those songs gone the disc may be erased.
    for (int i : {5, 4, 0})
        m_host->RemoveTrack(i, true, true);
    EXPECT_EQ(session.getPotentialErrorKey(songs), nullptr);
    EXPECT_TRUE(songs.isEmpty());
}
