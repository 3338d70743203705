#include "src/songlist/Output/ExportManager.h"

#include "common/disc/linux/CDiscBurnImpSimulated.h"

#include "tests/common/file/RiffTestFiles.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using Vextal::ExportManager;
using Vextal::ExportSession;
using Vextal::ExportSessionNames;

namespace
{
// A session whose start succeeds or fails as told, and whose notices the
// test sends from any thread.
class ScriptedSession : public ExportSession
{
public:
    ScriptedSession(const char* key, bool starts) : m_key(key), m_starts(starts) {}

    const char* getSessionNameKey() override { return m_key; }
    bool start() override
    {
        if (!m_starts)
        {
            notifyError("Export_DiskFull", {}, {"disk"});
            return false;
        }
        notifyStart();
        return true;
    }
    void cancel() override { ++cancels; }

    using ExportSession::notifyEnd;
    using ExportSession::notifyError;
    using ExportSession::notifyProgress;
    using ExportSession::notifySongProcessStart;
    using ExportSession::shouldIgnoreWarning;
    using ExportSession::shouldRepeat;

    int cancels = 0;

private:
    const char* m_key;
    bool m_starts;
};

// A session that works on a thread of its own: progress, one warning, then
// its end (aborted when the warning was refused or it was cancelled).
class ThreadedSession : public ExportSession
{
public:
    ~ThreadedSession() override { waitForWorkToEnd(); }

    const char* getSessionNameKey() override { return ExportSessionNames::kFileExport; }
    bool start() override
    {
        notifyStart();
        m_thread = std::thread([this] { Run(); });
        return true;
    }
    void cancel() override { m_cancel = true; }
    void waitForWorkToEnd() override
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    // Set as the thread begins (and goes to wait for the listeners).
    std::atomic<bool> running{false};

private:
    void Run()
    {
        running = true;
        notifySongProcessStart();
        for (int step = 0; step < 3 && !m_cancel; ++step)
            notifyProgress(step * 50.0, "Export_Title", {});
        const bool goOn = shouldIgnoreWarning("Export_Warning", {}, {}) && !m_cancel;
        notifyEnd(!goOn);
    }

    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
};

// Records the relayed notices and the thread they came on.
class RecordingListener : public Vextal::ExportSessionListener
{
public:
    explicit RecordingListener(bool answer) : m_answer(answer) {}

    void exportAboutToStart(ExportSession*) override { Add("start"); }
    void exportSongProcessAboutToStart(ExportSession*) override { Add("songs"); }
    void exportEnded(ExportSession*, bool aborted) override { Add(aborted ? "end aborted" : "end"); }
    void exportErrorOccured(ExportSession*, const char* key, const juce::SparseSet<int>&,
                            const juce::StringArray& args) override
    {
        Add(std::string("error ") + key + " " + args[0].toStdString());
    }
    bool exportShouldIgnoreWarning(ExportSession*, const char*, const juce::SparseSet<int>&,
                                   const juce::StringArray&) override
    {
        Add("warning");
        return m_answer;
    }
    void exportProgressUpdated(ExportSession* session, double percent, const char* key,
                               const juce::StringArray&) override
    {
        Add("progress " + std::to_string(static_cast<int>(percent)) + (key == nullptr ? " null" : " key"));
        progressNames.push_back(session->getSessionNameKey());
    }
    bool exportShouldRepeat(ExportSession*) override
    {
        Add("repeat");
        return m_answer;
    }

    std::vector<std::string> notices;
    std::atomic<bool> offMessageThread{false};
    // The sessions progress came from, asked for their name as it arrives
    // (a deleted session would show under the address sanitizer).
    std::vector<const char*> progressNames;

private:
    void Add(const std::string& notice)
    {
        if (!juce::MessageManager::existsAndIsCurrentThread())
            offMessageThread = true;
        notices.push_back(notice);
    }
    bool m_answer;
};

class ExportManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_manager = ExportManager::CreateInstance();
        m_manager->AddListener(&m_yes);
        m_manager->AddListener(&m_no);
    }
    void TearDown() override { ExportManager::DestroyInstance(); }

    ScriptedSession* Start(const char* key, bool starts = true)
    {
        auto* raw = new ScriptedSession(key, starts);
        std::unique_ptr<ExportSession> session(raw);
        return m_manager->start(session) ? raw : nullptr;
    }

    juce::ScopedJuceInitialiser_GUI m_gui;
    ExportManager* m_manager = nullptr;
    RecordingListener m_yes{true};
    RecordingListener m_no{false};
};
} // namespace

// One session at a time: a second start while one runs is refused and the
// offered session stays with the caller; the session's class shows while it
// runs; a start after the end replaces the finished session.
TEST_F(ExportManagerTest, RunsOneSessionAtATime)
{
    EXPECT_EQ(m_manager->getCurrentSessionClass(), ExportManager::kNoSession);
    ScriptedSession* burn = Start(ExportSessionNames::kDiscBurn);
    ASSERT_NE(burn, nullptr);
    EXPECT_TRUE(m_manager->isBusy());
    EXPECT_EQ(m_manager->getCurrentSessionClass(), ExportManager::kDiscBurn);
    EXPECT_EQ(burn->GetNumListeners(), 1);

    std::unique_ptr<ExportSession> second =
        std::make_unique<ScriptedSession>(ExportSessionNames::kFileExport, true);
    EXPECT_FALSE(m_manager->start(second));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(m_manager->getCurrentSession(), burn);

    m_manager->cancel();
    EXPECT_EQ(burn->cancels, 1);
    burn->notifyEnd(true);
    EXPECT_FALSE(m_manager->isBusy());
    EXPECT_EQ(m_manager->getCurrentSessionClass(), ExportManager::kNoSession);
    EXPECT_EQ(burn->GetNumListeners(), 0);
    EXPECT_EQ(m_manager->getCurrentSession(), burn); // kept until the next start

    EXPECT_TRUE(m_manager->start(second));
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(m_manager->getCurrentSessionClass(), ExportManager::kFileExport);
    EXPECT_EQ(m_yes.notices, (std::vector<std::string>{"start", "end aborted", "start"}));
}

// A session that fails its checks is deleted; its error reached the
// listeners before start returned, and the manager is idle again.
TEST_F(ExportManagerTest, ASessionThatFailsToStart)
{
    EXPECT_EQ(Start(ExportSessionNames::kFileExport, false), nullptr);
    EXPECT_FALSE(m_manager->isBusy());
    EXPECT_EQ(m_manager->getCurrentSession(), nullptr);
    EXPECT_EQ(m_manager->getCurrentSessionClass(), ExportManager::kNoSession);
    EXPECT_EQ(m_yes.notices, (std::vector<std::string>{"error Export_DiskFull disk"}));
}

// Notices sent from the session's own thread reach the listeners on the
// message thread, the session waiting for the answers (a warning goes on
// only when every listener agrees; a repeat happens when one asks for it);
// progress is posted, with its key as given, and arrives in its turn.
TEST_F(ExportManagerTest, RelaysFromTheSessionThreadToTheMessageThread)
{
    ScriptedSession* session = Start(ExportSessionNames::kFileExport);
    ASSERT_NE(session, nullptr);
    std::atomic<bool> done{false};
    bool ignore = true, repeat = false;
    std::thread worker(
        [&]
        {
            session->notifySongProcessStart();
            ignore = session->shouldIgnoreWarning("Export_Warning", {}, {});
            repeat = session->shouldRepeat();
            session->notifyProgress(50.0, nullptr, {});
            session->notifyEnd(false);
            done = true;
        });
    while (!done)
        juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
    worker.join();
    juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
    EXPECT_FALSE(ignore);
    EXPECT_TRUE(repeat);
    EXPECT_FALSE(m_manager->isBusy());
    EXPECT_FALSE(m_yes.offMessageThread);
    EXPECT_EQ(m_yes.notices,
              (std::vector<std::string>{"start", "songs", "warning", "repeat", "progress 50 null", "end"}));
    EXPECT_EQ(m_no.notices, m_yes.notices);
}

// A warning goes on only when every listener agrees (and with none); a repeat
// happens when one asks for it (never with none); every listener is asked.
TEST(ExportManagerAnswers, WarningsAreAndedAndRepeatsOred)
{
    juce::ScopedJuceInitialiser_GUI gui;
    struct Case
    {
        std::vector<bool> answers;
        bool ignore;
        bool repeat;
    };
    const Case cases[] = {{{}, true, false},
                          {{true, true}, true, true},
                          {{true, false}, false, true},
                          {{false, false}, false, false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.answers.size());
        ExportManager* manager = ExportManager::CreateInstance();
        std::vector<std::unique_ptr<RecordingListener>> listeners;
        for (const bool answer : c.answers)
        {
            listeners.push_back(std::make_unique<RecordingListener>(answer));
            manager->AddListener(listeners.back().get());
        }
        auto* raw = new ScriptedSession(ExportSessionNames::kFileExport, true);
        std::unique_ptr<ExportSession> session(raw);
        ASSERT_TRUE(manager->start(session));
        EXPECT_EQ(raw->shouldIgnoreWarning("Export_Warning", {}, {}), c.ignore);
        EXPECT_EQ(raw->shouldRepeat(), c.repeat);
        for (const auto& l : listeners)
            EXPECT_EQ(l->notices, (std::vector<std::string>{"start", "warning", "repeat"}));
        ExportManager::DestroyInstance();
    }
}

// Progress a session posts reaches the listeners also after its end, while
// the manager still holds the session; progress of a session deleted by the
// next start is dropped.
TEST_F(ExportManagerTest, ProgressOfTheHeldSessionOnly)
{
    ScriptedSession* first = Start(ExportSessionNames::kFileExport);
    ASSERT_NE(first, nullptr);
    std::thread([first] { first->notifyProgress(100.0, "Export_Title", {}); }).join();
    first->notifyEnd(false);
    uitest::Pump(20);
    EXPECT_EQ(m_yes.notices, (std::vector<std::string>{"start", "end", "progress 100 key"}));

    ScriptedSession* second = Start(ExportSessionNames::kFileExport);
    ASSERT_NE(second, nullptr);
    std::thread([second] { second->notifyProgress(50.0, nullptr, {}); }).join();
    second->notifyEnd(false);
    ASSERT_NE(Start(ExportSessionNames::kDiscErase), nullptr);
    uitest::Pump(20);
    EXPECT_EQ(m_yes.notices,
              (std::vector<std::string>{"start", "end", "progress 100 key", "start", "end", "start"}));
}

// Sessions working on their own threads are started one after another as
// soon as the last has ended, with their progress still on its way; every
// session's thread is joined before the session is deleted, and no notice
// reaches a listener with a session that is gone.
TEST_F(ExportManagerTest, StartAndEndTwoHundredTimes)
{
    m_manager->RemoveListener(&m_no);
    constexpr int kRuns = 200;
    for (int run = 0; run < kRuns; ++run)
    {
        std::unique_ptr<ExportSession> session = std::make_unique<ThreadedSession>();
        ASSERT_TRUE(m_manager->start(session)) << run;
        ASSERT_TRUE(uitest::PumpUntil([this] { return !m_manager->isBusy(); })) << run;
    }
    uitest::Pump(20);
    const auto count = [this](const std::string& notice)
    { return std::count(m_yes.notices.begin(), m_yes.notices.end(), notice); };
    EXPECT_EQ(count("start"), kRuns);
    EXPECT_EQ(count("end"), kRuns);
    EXPECT_GT(m_yes.progressNames.size(), 0u);
    for (const char* name : m_yes.progressNames)
        EXPECT_EQ(name, ExportSessionNames::kFileExport);
}

// Destroying the manager while a session's thread waits for the listeners
// releases the thread (every relay returns at once, a warning counts as
// refused), and the thread is joined before the session goes.
TEST(ExportManagerShutdown, ReleasesASessionWaitingForAnAnswer)
{
    juce::ScopedJuceInitialiser_GUI gui;
    ExportManager* manager = ExportManager::CreateInstance();
    RecordingListener listener(true);
    manager->AddListener(&listener);
    auto* raw = new ThreadedSession();
    std::unique_ptr<ExportSession> session(raw);
    ASSERT_TRUE(manager->start(session));
    while (!raw->running)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ExportManager::DestroyInstance();
    EXPECT_EQ(listener.notices, (std::vector<std::string>{"start"}));
}

// The burner's drives decide whether a disc can be burnt.
TEST_F(ExportManagerTest, CanBurnWithADriveThatWritesCDR)
{
    rifftest::TempFolder folder;
    uitest::ScopedEnvironment drive("VEXTAL_SIMULATED_DRIVE", juce::String((folder / "images").string()));
    EXPECT_EQ(m_manager->canBurnDisc(), Vextal::ExportManager::kBurnDriveFound);
    EXPECT_EQ(&m_manager->getDiscBurner(), &m_manager->getDiscBurner());
}

// While the drives are being scanned the answer is "not yet", given at once;
// the notice that they are known follows the scan's end.
TEST_F(ExportManagerTest, AnswersNotYetWhileTheDrivesAreScanned)
{
    rifftest::TempFolder folder;
    uitest::ScopedEnvironment drive("VEXTAL_SIMULATED_DRIVE", juce::String((folder / "images").string()));
    auto* simulated = dynamic_cast<CDiscBurnImpSimulated*>(&m_manager->getDiscBurner()->GetBackEnd());
    ASSERT_NE(simulated, nullptr);
    simulated->SetScanHeld(true);
    EXPECT_EQ(m_manager->canBurnDisc(), Vextal::ExportManager::kDrivesNotKnownYet);
    bool known = false;
    m_manager->whenDrivesKnown([&] { known = true; });
    uitest::Pump(50);
    EXPECT_FALSE(known) << "no notice while the scan runs";

    simulated->SetScanHeld(false);
    EXPECT_TRUE(uitest::PumpUntil([&] { return known; }));
    EXPECT_EQ(m_manager->canBurnDisc(), Vextal::ExportManager::kBurnDriveFound);
}
