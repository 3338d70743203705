#include "common/dsp/CThread.h"

#include "common/dsp/CCriticalSection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>

namespace
{
using Clock = std::chrono::steady_clock;

// A worker whose body is given by the test.
class TestThread : public CThread
{
public:
    explicit TestThread(std::function<void(TestThread&)> body) : m_body(std::move(body)) {}
    ~TestThread() override { StopThread(-1); }

protected:
    void Run() override { m_body(*this); }

private:
    std::function<void(TestThread&)> m_body;
};

// Waits up to 5 s for a condition set by a worker.
bool WaitFor(const std::function<bool()>& condition)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!condition())
    {
        if (Clock::now() > deadline)
            return false;
        CThread::Sleep(1);
    }
    return true;
}

// Body of a worker that polls its exit request.
void PollUntilAsked(TestThread& self)
{
    while (!self.ThreadShouldExit())
        CThread::Sleep(1);
}
} // namespace

TEST(CThread, StopOnIdleObjectReturnsAtOnceAndSetsTheRequest)
{
    TestThread thread(PollUntilAsked);
    const auto start = Clock::now();
    thread.StopThread(5000);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(thread.ThreadShouldExit());
    EXPECT_FALSE(thread.IsThreadRunning());
}

TEST(CThread, PollingWorkerEndsWhenAskedAndIsNoLongerRunning)
{
    std::atomic<bool> entered{false};
    TestThread thread(
        [&](TestThread& self)
        {
            entered = true;
            PollUntilAsked(self);
        });
    ASSERT_TRUE(thread.StartThread(0));
    EXPECT_TRUE(thread.IsThreadRunning());
    EXPECT_FALSE(thread.ThreadShouldExit());
    ASSERT_TRUE(WaitFor([&] { return entered.load(); }));

    thread.StopThread(5000);
    EXPECT_FALSE(thread.IsThreadRunning());
}

TEST(CThread, RunningStateEndsAsSoonAsRunReturns)
{
    std::atomic<bool> release{false};
    TestThread thread(
        [&](TestThread&)
        {
            while (!release)
                CThread::Sleep(1);
        });
    ASSERT_TRUE(thread.StartThread(0));
    EXPECT_TRUE(thread.IsThreadRunning());
    release = true;
    EXPECT_TRUE(WaitFor([&] { return !thread.IsThreadRunning(); }));
}

// Whatever the budget, StopThread returns only after a worker that ignores the
// request has ended by itself: it is never killed or left running.
TEST(CThread, StopWaitsForWorkerThatEndsAfterTheBudget)
{
    for (int budget : {0, 20, -1})
    {
        SCOPED_TRACE(budget);
        std::atomic<bool> finished{false};
        TestThread thread(
            [&](TestThread&)
            {
                CThread::Sleep(budget < 0 ? 300 : 50 + budget);
                finished = true;
            });
        ASSERT_TRUE(thread.StartThread(0));
        thread.StopThread(budget);
        EXPECT_TRUE(finished);
        EXPECT_FALSE(thread.IsThreadRunning());
    }
}

TEST(CThread, StartOnRunningObjectEndsTheOldWorkerBeforeTheNewOneRuns)
{
    std::atomic<int> runs{0};
    std::atomic<int> active{0};
    std::atomic<int> maxActive{0};
    TestThread thread(
        [&](TestThread& self)
        {
            const int now = ++active;
            if (now > maxActive)
                maxActive = now;
            ++runs;
            PollUntilAsked(self);
            --active;
        });
    ASSERT_TRUE(thread.StartThread(0));
    ASSERT_TRUE(WaitFor([&] { return runs == 1; }));
    ASSERT_TRUE(thread.StartThread(0));
    EXPECT_FALSE(thread.ThreadShouldExit()) << "the new worker must start with a clear request";
    ASSERT_TRUE(WaitFor([&] { return runs == 2; }));
    EXPECT_TRUE(thread.IsThreadRunning());
    thread.StopThread(5000);
    EXPECT_EQ(maxActive, 1);
    EXPECT_EQ(active, 0);
}

TEST(CThread, SchedulingPriorityIsTenTimesTheRequestLimitedTo1To99)
{
    const struct
    {
        int requested;
        int expected;
    } cases[] = {{3, 30}, {1, 10}, {9, 90}, {10, 99}, {12, 99}, {0, 1}, {-1, 1}, {-1000, 1}, {1000000, 99}};
    for (const auto& c : cases)
        EXPECT_EQ(CThread::SchedulingPriorityFor(c.requested), c.expected) << c.requested;
}

// A real-time priority may be refused to an unprivileged process; the worker
// must start all the same.
TEST(CThread, WorkerStartsWhetherOrNotRealTimePriorityIsAllowed)
{
    std::atomic<bool> entered{false};
    TestThread thread(
        [&](TestThread& self)
        {
            entered = true;
            PollUntilAsked(self);
        });
    ASSERT_TRUE(thread.StartThread(3));
    EXPECT_TRUE(WaitFor([&] { return entered.load(); }));
    thread.StopThread(5000);
}

// A worker stopped while holding a lock leaves it through its own code; a
// killed worker would leave it held for ever.
TEST(CThread, WorkerHoldingALockReleasesItWhenStopped)
{
    CCriticalSection cs;
    std::atomic<bool> holding{false};
    std::atomic<bool> released{false};
    TestThread thread(
        [&](TestThread& self)
        {
            {
                CScopedCriticalSection lock(cs);
                holding = true;
                while (!self.ThreadShouldExit())
                    CThread::Sleep(5);
                CThread::Sleep(30); // still busy after the stop budget has run out
            }
            released = true;
        });
    ASSERT_TRUE(thread.StartThread(0));
    ASSERT_TRUE(WaitFor([&] { return holding.load(); }));
    thread.StopThread(0);
    ASSERT_TRUE(released);
    cs.Enter();
    cs.Exit();
}

// The base destructor still waits for a worker the subclass left running. The
// worker here reads its members only before it reports that it has started,
// so it does not outlive them.
TEST(CThread, DestructorJoinsAWorkerTheSubclassLeftRunning)
{
    struct Worker : CThread
    {
        std::atomic<bool>* entered;
        std::atomic<bool>* finished;
        void Run() override
        {
            std::atomic<bool>* done = finished;
            entered->store(true);
            while (!ThreadShouldExit())
                CThread::Sleep(1);
            CThread::Sleep(30);
            done->store(true);
        }
    };
    std::atomic<bool> entered{false};
    std::atomic<bool> finished{false};
    {
        Worker worker;
        worker.entered = &entered;
        worker.finished = &finished;
        ASSERT_TRUE(worker.StartThread(0));
        ASSERT_TRUE(WaitFor([&] { return entered.load(); }));
    }
    EXPECT_TRUE(finished);
}
