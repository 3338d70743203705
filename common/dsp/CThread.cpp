#include "common/dsp/CThread.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sched.h>

namespace
{
// The CThread whose worker runs on the calling thread, if any.
thread_local const CThread* t_currentWorker = nullptr;

// The budget used when a running worker is ended by a restart or the destructor.
constexpr int kDefaultStopBudgetMs = 5000;
} // namespace

CThread::CThread() = default;

CThread::~CThread()
{
    m_exit.store(true, std::memory_order_release);
    std::lock_guard<std::mutex> lock(m_control);
    JoinWorker(kDefaultStopBudgetMs);
}

bool CThread::StartThread(int priority)
{
    if (IsCallerWorker())
        return false;

    std::lock_guard<std::mutex> lock(m_control);
    m_exit.store(true, std::memory_order_release);
    JoinWorker(kDefaultStopBudgetMs);
    m_exit.store(false, std::memory_order_release);

    m_running.store(true, std::memory_order_release);
    pthread_t thread;
    if (pthread_create(&thread, nullptr, &CThread::Callback, this) != 0)
    {
        m_running.store(false, std::memory_order_release);
        return false;
    }
    m_thread = thread;
    m_joinable = true;

    if (priority > 0)
    {
        // Real-time scheduling needs a privilege or an RLIMIT_RTPRIO allowance;
        // without it the call fails and the worker keeps the default policy.
        sched_param param{};
        param.sched_priority = SchedulingPriorityFor(priority);
        pthread_setschedparam(thread, SCHED_RR, &param);
    }
    return true;
}

void CThread::StopThread(int ms)
{
    m_exit.store(true, std::memory_order_release);
    if (IsCallerWorker())
        return;
    std::lock_guard<std::mutex> lock(m_control);
    JoinWorker(ms);
}

void CThread::JoinWorker(int budgetMs)
{
    if (!m_joinable)
        return;
    if (budgetMs >= 0)
    {
        std::unique_lock<std::mutex> lock(m_endLock);
        if (!m_ended.wait_for(lock, std::chrono::milliseconds(budgetMs),
                              [this] { return !IsThreadRunning(); }))
            std::fprintf(stderr, "CThread: worker still running after %d ms, waiting for it to end\n",
                         budgetMs);
    }
    pthread_join(m_thread, nullptr);
    m_joinable = false;
    m_running.store(false, std::memory_order_release);
}

bool CThread::IsCallerWorker() const
{
    return t_currentWorker == this;
}

void CThread::Sleep(int ms)
{
    if (ms <= 0)
        return;
    timespec request{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    timespec remaining{};
    while (nanosleep(&request, &remaining) != 0 && errno == EINTR)
        request = remaining;
}

int CThread::SchedulingPriorityFor(int priority)
{
    if (priority <= 0)
        return 1;
    if (priority >= 10)
        return 99;
    return priority * 10;
}

void* CThread::Callback(void* self)
{
    CThread* thread = static_cast<CThread*>(self);
    t_currentWorker = thread;
    thread->Run();
    t_currentWorker = nullptr;
    {
        // Under the lock, so that a stop cannot miss the signal between its
        // look at the flag and its wait. The object outlives this: whoever
        // ends it joins this thread first.
        std::lock_guard<std::mutex> lock(thread->m_endLock);
        thread->m_running.store(false, std::memory_order_release);
    }
    thread->m_ended.notify_all();
    return nullptr;
}
