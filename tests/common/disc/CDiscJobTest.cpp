#include "common/disc/CDiscJob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
CDiscJob::Body Done(std::atomic<int>& runs)
{
    return [&runs](CDiscJob::Control&)
    {
        ++runs;
        return CDiscJob::Outcome{true, {}};
    };
}
} // namespace

// A drive closed on one thread joins the job's worker while a start on
// another replaces it: the start is let in between the join taking the
// worker and waiting for it. The join still waits for the worker it took
// (a join through the job's own pointer would use the worker the start has
// just freed, which the sanitizer build reports), and the new job runs to
// its end.
TEST(CDiscJobTest, AJoinKeepsItsWorkerWhileAStartOnAnotherThreadReplacesIt)
{
    CDiscJob job;
    std::atomic<int> runs{0};
    ASSERT_TRUE(job.TryBegin());
    ASSERT_TRUE(job.Launch(CDiscJob::kErasing, Done(runs)));
    job.Join();
    ASSERT_EQ(runs.load(), 1);

    std::atomic<bool> first{true};
    bool started = false;
    job.SetJoinPause(
        [&]
        {
            // Only the closing join; the start joins as well.
            if (!first.exchange(false))
                return;
            std::thread start([&]
                              { started = job.TryBegin() && job.Launch(CDiscJob::kErasing, Done(runs)); });
            start.join();
        });
    job.RequestCancel();
    job.Join();
    EXPECT_TRUE(started);

    job.Join();
    EXPECT_EQ(runs.load(), 2);
    EXPECT_FALSE(job.IsProcessing());
    EXPECT_EQ(job.GetLastErrorCode(), 0);
}
