#include "library/vextal_juce/CZJESingleton.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace
{
class CCountedZje : public CZJESingleton<CCountedZje>
{
public:
    static inline std::atomic<int> constructed{0};
    static inline std::atomic<int> destroyed{0};

private:
    friend class CZJESingleton<CCountedZje>;
    CCountedZje()
    {
        // A slow constructor widens the window in which a second creator could
        // slip in without the lock.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ++constructed;
    }
    ~CCountedZje() { ++destroyed; }
};

using S = CZJESingleton<CCountedZje>;
} // namespace

TEST(CZJESingleton, LivesUntilEveryCreateIsMatchedByADestroy)
{
    CCountedZje::constructed = 0;
    CCountedZje::destroyed = 0;

    S::DestroyInstance();
    EXPECT_EQ(S::sm_iRefCount, 0);
    EXPECT_EQ(CCountedZje::destroyed.load(), 0);

    CCountedZje* first = S::CreateInstance();
    EXPECT_EQ(S::CreateInstance(), first);
    S::DestroyInstance();
    EXPECT_EQ(S::GetInstance(), first);
    EXPECT_EQ(CCountedZje::destroyed.load(), 0);
    S::DestroyInstance();
    EXPECT_EQ(S::sm_pInstance, nullptr);
    EXPECT_EQ(S::sm_iRefCount, 0);
    EXPECT_EQ(CCountedZje::constructed.load(), 1);
    EXPECT_EQ(CCountedZje::destroyed.load(), 1);
}

TEST(CZJESingleton, ConcurrentCreatorsShareOneInstanceAndTheLastReleaseDeletesIt)
{
    CCountedZje::constructed = 0;
    CCountedZje::destroyed = 0;
    constexpr int kThreads = 8;

    std::atomic<bool> go{false};
    std::vector<CCountedZje*> seen(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back(
            [&, i]
            {
                while (!go.load())
                    std::this_thread::yield();
                seen[static_cast<size_t>(i)] = S::CreateInstance();
            });
    go = true;
    for (auto& t : threads)
        t.join();
    threads.clear();

    EXPECT_EQ(CCountedZje::constructed.load(), 1);
    ASSERT_NE(seen[0], nullptr);
    for (CCountedZje* p : seen)
        EXPECT_EQ(p, seen[0]);
    EXPECT_EQ(S::sm_iRefCount, kThreads);

    go = false;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back(
            [&]
            {
                while (!go.load())
                    std::this_thread::yield();
                S::DestroyInstance();
            });
    go = true;
    for (auto& t : threads)
        t.join();

    EXPECT_EQ(CCountedZje::destroyed.load(), 1);
    EXPECT_EQ(S::sm_pInstance, nullptr);
    EXPECT_EQ(S::sm_iRefCount, 0);
}
