#include "common/dsp/CCriticalSection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(CCriticalSection, HolderMayReenterAndOthersWaitUntilFullyReleased)
{
    CCriticalSection cs;
    cs.Enter();
    cs.Enter();

    std::atomic<bool> entered{false};
    std::thread other(
        [&]
        {
            cs.Enter();
            entered = true;
            cs.Exit();
        });

    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(entered);
    cs.Exit();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(entered) << "one Exit must not release a lock entered twice";
    cs.Exit();
    other.join();
    EXPECT_TRUE(entered);
}
