#include "src/songlist/Output/ExportManager.h"

#include "library/util/CCheckUtil.h"

#include <condition_variable>
#include <mutex>

namespace Vextal
{
// Lets a relay wait for the message thread, and lets the manager's
// destruction release every relay still waiting.
struct ExportManager::RelayGate
{
    // One relay on its way to the message thread.
    struct Call
    {
        bool done = false;
        bool abandoned = false;
    };

    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;

    void Close()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            open = false;
        }
        changed.notify_all();
    }
};

namespace
{
// A progress notice on its way to the message thread.
class ProgressMessage : public juce::Message
{
public:
    ProgressMessage(uint64_t serial, ExportSession* s, double p, const char* k, const juce::StringArray& a)
        : sessionSerial(serial), session(s), percent(p), key(k), args(a)
    {
    }

    const uint64_t sessionSerial;
    ExportSession* const session;
    const double percent;
    const char* const key;
    const juce::StringArray args;
};
} // namespace

ExportManager::ExportManager() : m_gate(std::make_shared<RelayGate>()) {}

ExportManager::~ExportManager()
{
    m_gate->Close();
    if (m_session != nullptr)
        m_session->cancel();
    DeleteSession();
}

bool ExportManager::start(std::unique_ptr<ExportSession>& session)
{
    VX_ASSERT_MESSAGE_THREAD();
    if ((m_session != nullptr && isBusy()) || session == nullptr)
        return false;
    m_busy.store(true, std::memory_order_release);
    DeleteSession();
    m_session = std::move(session);
    m_sessionSerial.fetch_add(1, std::memory_order_acq_rel);
    m_session->AddListener(this); // under the list's own lock
    if (m_session->start())
        return true;
    DeleteSession();
    m_busy.store(false, std::memory_order_release);
    return false;
}

void ExportManager::DeleteSession()
{
    if (m_session == nullptr)
        return;
    m_session->waitForWorkToEnd();
    m_session.reset();
}

void ExportManager::cancel()
{
    VX_ASSERT_MESSAGE_THREAD();
    if (m_session != nullptr)
        m_session->cancel();
}

int ExportManager::getCurrentSessionClass() const
{
    if (!isBusy() || m_session == nullptr)
        return kNoSession;
    const char* key = m_session->getSessionNameKey();
    if (key == ExportSessionNames::kFileExport)
        return kFileExport;
    if (key == ExportSessionNames::kDiscBurn)
        return kDiscBurn;
    if (key == ExportSessionNames::kDiscErase)
        return kDiscErase;
    return kNoSession;
}

ExportManager::BurnDriveAnswer ExportManager::canBurnDisc()
{
    if (!m_discBurner->AreDrivesKnown())
        return kDrivesNotKnownYet;
    for (const CDDrive& drive : m_discBurner->GetAvailableCDDrives())
        if (drive.canWriteCDR)
            return kBurnDriveFound;
    return kNoBurnDrive;
}

void ExportManager::whenDrivesKnown(std::function<void()> done)
{
    m_discBurner->WhenDrivesKnown(std::move(done));
}

bool ExportManager::RunOnMessageThread(const std::function<void()>& f)
{
    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        f();
        return true;
    }
    const std::shared_ptr<RelayGate> gate = m_gate;
    const auto call = std::make_shared<RelayGate::Call>();
    const bool posted = juce::MessageManager::callAsync(
        [gate, call, &f]
        {
            {
                const std::lock_guard<std::mutex> lock(gate->mutex);
                if (call->abandoned || !gate->open)
                    return;
            }
            // The waiting thread keeps f alive: it stops waiting only when
            // the call is done or the gate closes, which happens on this
            // thread and so not while f runs.
            f();
            {
                const std::lock_guard<std::mutex> lock(gate->mutex);
                call->done = true;
            }
            gate->changed.notify_all();
        });
    std::unique_lock<std::mutex> lock(gate->mutex);
    if (posted)
        gate->changed.wait(lock, [&] { return call->done || !gate->open; });
    call->abandoned = !call->done;
    return call->done;
}

void ExportManager::exportAboutToStart(ExportSession* session)
{
    RunOnMessageThread([&]
                       { CallListeners([&](ExportSessionListener& l) { l.exportAboutToStart(session); }); });
}

void ExportManager::exportSongProcessAboutToStart(ExportSession* session)
{
    RunOnMessageThread(
        [&] { CallListeners([&](ExportSessionListener& l) { l.exportSongProcessAboutToStart(session); }); });
}

void ExportManager::exportEnded(ExportSession* session, bool aborted)
{
    RunOnMessageThread(
        [&] { CallListeners([&](ExportSessionListener& l) { l.exportEnded(session, aborted); }); });
    if (session != nullptr)
        session->RemoveListener(this); // under the list's own lock
    m_busy.store(false, std::memory_order_release);
}

void ExportManager::exportErrorOccured(ExportSession* session, const char* key,
                                       const juce::SparseSet<int>& songs, const juce::StringArray& args)
{
    RunOnMessageThread(
        [&] {
            CallListeners([&](ExportSessionListener& l) { l.exportErrorOccured(session, key, songs, args); });
        });
}

bool ExportManager::exportShouldIgnoreWarning(ExportSession* session, const char* key,
                                              const juce::SparseSet<int>& songs,
                                              const juce::StringArray& args)
{
    bool ignore = true;
    const bool relayed = RunOnMessageThread(
        [&]
        {
            CallListeners([&](ExportSessionListener& l)
                          { ignore = l.exportShouldIgnoreWarning(session, key, songs, args) && ignore; });
        });
    return relayed && ignore;
}

void ExportManager::exportProgressUpdated(ExportSession* session, double percent, const char* key,
                                          const juce::StringArray& args)
{
    postMessage(
        new ProgressMessage(m_sessionSerial.load(std::memory_order_acquire), session, percent, key, args));
}

bool ExportManager::exportShouldRepeat(ExportSession* session)
{
    bool repeat = false;
    RunOnMessageThread(
        [&] {
            CallListeners([&](ExportSessionListener& l)
                          { repeat = l.exportShouldRepeat(session) || repeat; });
        });
    return repeat;
}

void ExportManager::handleMessage(const juce::Message& message)
{
    const auto* progress = dynamic_cast<const ProgressMessage*>(&message);
    if (progress == nullptr || progress->session != m_session.get() ||
        progress->sessionSerial != m_sessionSerial.load(std::memory_order_acquire))
        return;
    CallListeners(
        [progress](ExportSessionListener& l)
        { l.exportProgressUpdated(progress->session, progress->percent, progress->key, progress->args); });
}
} // namespace Vextal
