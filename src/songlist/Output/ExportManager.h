#pragma once

#include "common/disc/CAudioDiscBurnProxy.h"
#include "library/vextal_juce/CZJEListenerOwner.h"
#include "library/vextal_juce/CZJESingleton.h"
#include "src/songlist/Output/ExportSession.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace Vextal
{
// The single runner of export sessions: it accepts one session at a time,
// owns it, starts it and relays every notice of the session to its own
// listeners on the message thread, so that they never deal with the
// session's threads.
//
// It also owns the application's single disc burner, which disc-burn and
// disc-erase sessions borrow.
//
// A session is deleted only after its own thread has ended
// (ExportSession::waitForWorkToEnd): when the next session starts, and when
// the manager is destroyed (after cancelling it). Progress posted by a
// session reaches the listeners while that session is held, also after its
// end; progress of a session already deleted is dropped.
//
// Threads. start, cancel and the queries run on the message thread. The
// session calls the manager's listener operations from its own thread; every
// relay except progress runs the listeners on the message thread and waits
// for them (a call made on the message thread runs at once); progress is
// posted and returns at once. When the manager is destroyed, relays still
// waiting return at once without reaching the listeners (a warning then
// stops the session), so that the session's thread can end and be joined.
// Locks. The manager's listener list is changed under
// ObtainCriticalSection(); the relays hold no lock while listeners run. The
// busy flag is atomic.
class ExportManager : public CZJESingleton<ExportManager>,
                      public CZJEListenerOwner<ExportSessionListener>,
                      public ExportSessionListener,
                      public juce::MessageListener
{
public:
    // The classes getCurrentSessionClass tells apart.
    enum SessionClass
    {
        kNoSession = 0,
        kFileExport = 1,
        kDiscBurn = 2,
        kDiscErase = 3
    };

    juce::CriticalSection& ObtainCriticalSection() override { return m_lock; }

    // Takes the session over (session is left empty) and starts it. False
    // when a session is busy or none is given (session is then left as it
    // was, with the caller), and when the session's start() fails (the
    // session is then deleted; its error notices have reached the
    // listeners). A finished session held from before is deleted first.
    bool start(std::unique_ptr<ExportSession>& session);
    // Cancels the session held, running or not.
    void cancel();
    // The running session's class; kNoSession when none runs.
    int getCurrentSessionClass() const;
    // What canBurnDisc answers.
    enum BurnDriveAnswer
    {
        kNoBurnDrive = 0,
        kBurnDriveFound = 1,
        // The drives are still being scanned: ask again when
        // whenDrivesKnown's notice comes.
        kDrivesNotKnownYet = 2
    };
    // Whether a drive of the burner can write CD-R discs; answers at once,
    // never waiting for the scan of the drives.
    BurnDriveAnswer canBurnDisc();
    // Calls done on the message thread once the drives are known.
    void whenDrivesKnown(std::function<void()> done);
    // The single burner, made on first use.
    CAudioDiscBurnProxy& getDiscBurner() { return m_discBurner; }
    // From a successful start until the session's end has been relayed.
    bool isBusy() const { return m_busy.load(std::memory_order_acquire); }
    // The running or last session; null before the first start.
    ExportSession* getCurrentSession() const { return m_session.get(); }

    // The relays of the session's notices.
    void exportAboutToStart(ExportSession* session) override;
    void exportSongProcessAboutToStart(ExportSession* session) override;
    void exportEnded(ExportSession* session, bool aborted) override;
    void exportErrorOccured(ExportSession* session, const char* key, const juce::SparseSet<int>& songs,
                            const juce::StringArray& args) override;
    bool exportShouldIgnoreWarning(ExportSession* session, const char* key, const juce::SparseSet<int>& songs,
                                   const juce::StringArray& args) override;
    void exportProgressUpdated(ExportSession* session, double percent, const char* key,
                               const juce::StringArray& args) override;
    bool exportShouldRepeat(ExportSession* session) override;

    // Relays a posted progress notice.
    void handleMessage(const juce::Message& message) override;

private:
    friend class CZJESingleton<ExportManager>;

    struct RelayGate;

    ExportManager();
    ~ExportManager() override;

    // Runs f on the message thread and waits until it has returned (at once
    // on the message thread). False, with f not run, when the manager is
    // being destroyed or the message thread cannot be reached.
    bool RunOnMessageThread(const std::function<void()>& f);
    // Deletes the session held once its thread has ended.
    void DeleteSession();

    CAudioDiscBurnProxy m_discBurner{CAudioDiscBurnProxy::kClassAudioCD};
    std::unique_ptr<ExportSession> m_session;
    // Counts the sessions started; progress carries the count of its session.
    std::atomic<uint64_t> m_sessionSerial{0};
    std::atomic<bool> m_busy{false};
    std::shared_ptr<RelayGate> m_gate;
    juce::CriticalSection m_lock;
};
} // namespace Vextal
