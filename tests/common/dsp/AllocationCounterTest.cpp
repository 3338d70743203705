#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <memory>

// The no-allocation tests of the audio path rely on the counter seeing
// allocations; a counter that never counts would let them pass vacuously.
TEST(ThreadAllocationCounter, CountsOnlyWhileRunning)
{
    using TestSupport::ThreadAllocationCounter;
    if (!ThreadAllocationCounter::Available())
        GTEST_SKIP() << "needs the sanitizer's allocation hooks";
    ThreadAllocationCounter::Start();
    auto counted = std::make_unique<int>(1);
    ThreadAllocationCounter::Pause();
    auto ignored = std::make_unique<int>(2);
    EXPECT_EQ(ThreadAllocationCounter::Stop(), 1);
}
