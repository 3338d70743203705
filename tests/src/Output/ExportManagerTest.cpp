#include "src/Output/ExportManager.h"

#include <gtest/gtest.h>

#include <atomic>
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
    void exportProgressUpdated(ExportSession*, double percent, const char* key,
                               const juce::StringArray&) override
    {
        Add("progress " + std::to_string(static_cast<int>(percent)) + (key == nullptr ? " null" : " key"));
    }
    bool exportShouldRepeat(ExportSession*) override
    {
        Add("repeat");
        return m_answer;
    }

    std::vector<std::string> notices;
    std::atomic<bool> offMessageThread{false};

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
