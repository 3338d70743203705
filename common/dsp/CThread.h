#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

// Base of the library's long-running workers. A subclass implements Run(), which
// polls ThreadShouldExit() and returns when asked; the owner starts the worker
// with StartThread() and ends it with StopThread().
//
// A worker is never killed: stopping asks it to end and waits until it has
// returned from Run(), however long that takes, so whatever it holds (locks,
// files, buffers) is released by its own code. Every worker that was started is
// joined exactly once.
//
// Lifetime: Run() belongs to the subclass, so a subclass must stop its worker in
// its own destructor (StopThread(-1) or with a budget) before its members die.
// The destructor of this class stops and joins a worker that is still running,
// but by then the subclass part of the object is already gone.
//
// StartThread, StopThread and the destructor may be called from any thread
// other than the worker itself; they are serialised with each other. A worker
// must not destroy its own object.
class CThread
{
public:
    CThread();
    virtual ~CThread();

    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Ends a running worker (asks it to end and joins it), then starts a new one.
    // priority > 0 asks for real-time round-robin scheduling at
    // SchedulingPriorityFor(priority) where the process is allowed to; otherwise
    // the worker keeps the default policy. Returns false, and the object stays
    // idle, when the thread could not be created or when called from the
    // object's own worker.
    virtual bool StartThread(int priority);

    // Asks the worker to end and waits for it. ms >= 0 is the time the worker is
    // expected to need; a worker still running after it is reported on stderr and
    // waited for all the same. ms < 0 waits without a budget. When this returns
    // the worker has ended and has been joined. Called from the worker itself it
    // only sets the request. An idle object returns at once.
    void StopThread(int ms);

    // True once the worker has been asked to end; cleared by StartThread.
    bool ThreadShouldExit() const { return m_exit.load(std::memory_order_acquire); }

    // True from StartThread until Run() has returned.
    bool IsThreadRunning() const { return m_running.load(std::memory_order_acquire); }

    // Puts the calling thread to sleep for ms milliseconds (nothing for ms <= 0).
    static void Sleep(int ms);

    // The scheduling priority used for a requested priority: 10 x priority,
    // limited to 1..99.
    static int SchedulingPriorityFor(int priority);

protected:
    // The body of the worker.
    virtual void Run() = 0;

private:
    static void* Callback(void* self);

    // Joins the worker if one was started; waits up to budgetMs for its end
    // before reporting a worker that is slow to end. The caller holds
    // m_control.
    void JoinWorker(int budgetMs);

    bool IsCallerWorker() const;

    std::atomic<bool> m_exit{false};
    std::atomic<bool> m_running{false};

    // Signalled by the worker once Run() has returned, so that a stop wakes at
    // the worker's end instead of looking at it now and then.
    std::mutex m_endLock;
    std::condition_variable m_ended;

    // Guarded by m_control: the worker's handle and whether it still needs a join.
    std::mutex m_control;
    pthread_t m_thread{};
    bool m_joinable = false;
};
