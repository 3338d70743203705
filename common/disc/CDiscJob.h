#pragma once

#include "common/disc/CDiscBurnImp.h"
#include "common/dsp/CThread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// The one burn or erase job of a drive back end: its state, its progress and
// the result of the last job.
//
// A start goes through TryBegin (refused while a job runs), then either
// Refuse (the start failed: idle, result 1 with its text) or Launch (the
// job's body runs on a worker thread of its own). When the body returns its
// outcome, the worker posts the end-of-job notice to the message thread,
// where EndJob sets the idle state and the result together. IsProcessing and
// TryBegin end a finished job the same way when they find one, so a caller
// that polls sees the end without a message loop; either way the state
// never reads idle while the result is still the previous job's.
//
// Threads. Any thread may start, cancel, join and query; the body runs on
// the worker and reports through Control. A join on one thread (a drive
// being closed) may meet a start on another: the join holds the worker it
// waits for, so the start may replace it meanwhile. Locks. m_lock guards the
// state, the result and the pending outcome; it is never held while the body
// runs or while the worker is joined. m_workerLock guards which worker is
// the job's, and is held only to take or replace it. The notice reaches the
// job through a token the destructor clears under the token's own lock, so a
// notice delivered after the job is gone does nothing.
class CDiscJob
{
public:
    enum State
    {
        kIdle = 0,
        kStarting = 1,
        kBurning = 2,
        kErasing = 3
    };

    // How a job ended.
    struct Outcome
    {
        bool ok = false;
        std::wstring message;
    };

    // What the body of a job sees of it.
    class Control
    {
    public:
        explicit Control(CDiscJob& job) : m_job(job) {}
        void SetProgress(eBurnStatus phase, float percent) { m_job.SetProgress(phase, percent); }
        bool IsCancelRequested() const { return m_job.m_cancel.load(std::memory_order_acquire); }

    private:
        CDiscJob& m_job;
    };

    using Body = std::function<Outcome(Control&)>;

    // The longest message kept, in characters.
    static constexpr size_t kMaxMessage = 1024;

    CDiscJob();
    ~CDiscJob();

    CDiscJob(const CDiscJob&) = delete;
    CDiscJob& operator=(const CDiscJob&) = delete;

    // Begins a start: false, with result 1 and the busy text, while a job
    // runs (the running job is not disturbed); else the state is starting
    // and the result is reset to 0 with an empty message.
    bool TryBegin();
    // Ends a begun start that failed: idle, result 1, the message.
    void Refuse(const std::wstring& message);
    // Runs a begun start's body on the worker; the state becomes kind. False
    // (and refused) when the worker cannot be started.
    bool Launch(State kind, Body body);
    // Ends a begun start: Refuse when refusal is not empty, else Launch. 0
    // when the job runs, else 1.
    int LaunchUnlessRefused(const std::wstring& refusal, State kind, Body body);

    // Asks the running body to stop (it decides how and when).
    void RequestCancel();
    // Waits until the worker of the job as it stands now has ended (the
    // job's end may still be pending); a worker a start launches meanwhile
    // is not waited for.
    void Join();

    State GetState();
    bool IsProcessing();
    int GetLastErrorCode();
    const wchar_t* GetLastErrorMessage();
    eBurnStatus GetBurnStatus();
    float GetBurnProgressPercent();
    float GetEraseProgressPercent();

    // Runs on the job's worker once each job's outcome is in (IsProcessing
    // answers false from then on), before the end is posted to the message
    // thread; the back end's notices of a change go out from here. Set it
    // before the first job starts.
    void SetEndNotice(std::function<void()> notice) { m_endNotice = std::move(notice); }
    // Runs in Join between taking the worker and waiting for it, so a test
    // can start a job on another thread just there. Set it before any join.
    void SetJoinPause(std::function<void()> pause) { m_joinPause = std::move(pause); }

    // Sets the result of a job that never ran on a worker (for back ends that
    // answer without a drive); the state is left alone.
    void SetResult(bool ok, const std::wstring& message);

    // The localized text of a message key; the key itself when no string
    // table has it, so a failure always carries a text.
    static std::wstring Text(const char* key);
    // A failure text followed by ":\n" and a detail, when the detail is not
    // empty (the form in which drive errors are shown).
    static std::wstring WithDetail(const std::wstring& text, const std::wstring& detail);
    // The text of a key whose "%1" stands for a size, given in bytes.
    static std::wstring TextWithSize(const char* key, int64_t bytes);

private:
    class Worker;
    struct Token;

    void SetProgress(eBurnStatus phase, float percent);
    // The worker's end: keeps the outcome and posts the notice.
    void Complete(uint64_t id, Outcome outcome);
    // The one end-of-job path: state and result together, once per job.
    void EndJob(uint64_t id);
    // Ends the current job when its outcome has arrived. Caller holds m_lock.
    void EndFinishedJobLocked();
    void StoreResultLocked(bool ok, const std::wstring& message);

    std::mutex m_lock;
    State m_state = kIdle;
    uint64_t m_jobId = 0;
    int m_lastErrorCode = 0;
    wchar_t m_lastErrorMessage[kMaxMessage + 1] = {};
    bool m_outcomeArrived = false;
    Outcome m_outcome;
    eBurnStatus m_phase = kBurnStatusIdle;
    float m_percent = 0.0f;

    std::function<void()> m_endNotice;
    std::function<void()> m_joinPause;
    std::atomic<bool> m_cancel{false};
    std::mutex m_workerLock;
    // Shared with the joins waiting for it: a start may replace it while
    // another thread joins it.
    std::shared_ptr<Worker> m_worker;
    std::shared_ptr<Token> m_token;
};
