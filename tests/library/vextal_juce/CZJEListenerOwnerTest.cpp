#include "library/vextal_juce/CZJEListenerOwner.h"

#include "tests/library/zfc/ListenerOwnerCases.h"

#include <atomic>
#include <random>
#include <thread>

using ListenerOwnerCases::CProbe;
using ListenerOwnerCases::INotice;

TEST(CZJEListenerOwner, ListChangesDuringANoticeNeitherSkipNorRepeatListeners)
{
    ListenerOwnerCases::RunChangesDuringNotice<CZJEListenerOwner<INotice>>();
}

TEST(CZJEListenerOwner, AddingTwiceMakesTwoEntriesAndRemoveTakesTheFirst)
{
    ListenerOwnerCases::RunDuplicateEntries<CZJEListenerOwner<INotice>>();
}

namespace
{
struct CAtomicProbe : INotice
{
    std::atomic<int> notices{0};
    void OnNotice() override { ++notices; }
};

// Removes itself and adds itself again during every notice.
struct CRejoiningProbe : INotice
{
    CZJEListenerOwner<INotice>* owner = nullptr;
    int notices = 0;
    void OnNotice() override
    {
        ++notices;
        owner->RemoveListener(this);
        owner->AddListener(this);
    }
};
} // namespace

// One thread notifies over and over while another keeps adding and removing
// listeners around the ones that stay: those that stay are notified exactly
// once per pass, the others at most once.
TEST(CZJEListenerOwner, ChangesFromAnotherThreadDuringNotificationKeepEveryPassExact)
{
    CZJEListenerOwner<INotice> owner;
    constexpr int kPasses = 3000;
    constexpr int kPool = 12;

    std::vector<CAtomicProbe> pool(kPool);
    std::vector<CAtomicProbe> staying(3);
    CRejoiningProbe rejoining;
    rejoining.owner = &owner;
    // Pool entries sit before and between the staying ones so that removals
    // shift the entries a pass has yet to reach.
    for (int i = 0; i < 3; ++i)
    {
        owner.AddListener(&pool[static_cast<size_t>(2 * i)]);
        owner.AddListener(&staying[static_cast<size_t>(i)]);
        owner.AddListener(&pool[static_cast<size_t>(2 * i + 1)]);
    }
    owner.AddListener(&rejoining);

    std::atomic<bool> done{false};
    std::thread churn(
        [&]
        {
            std::mt19937 random(12345);
            while (!done.load())
            {
                CAtomicProbe* p = &pool[random() % kPool];
                if (owner.IsListener(p))
                    owner.RemoveListener(p);
                else
                    owner.AddListener(p);
            }
        });

    for (int pass = 0; pass < kPasses; ++pass)
        ListenerOwnerCases::Notify(owner);
    done = true;
    churn.join();

    for (const CAtomicProbe& p : staying)
        EXPECT_EQ(p.notices.load(), kPasses);
    EXPECT_EQ(rejoining.notices, kPasses);
    for (const CAtomicProbe& p : pool)
        EXPECT_LE(p.notices.load(), kPasses);
}

namespace
{
class COwnLockOwner : public CZJEListenerOwner<INotice>
{
public:
    juce::CriticalSection& ObtainCriticalSection() override { return m_ownLock; }

private:
    juce::CriticalSection m_ownLock;
};
} // namespace

TEST(CZJEListenerOwner, LockedNotificationHoldsTheOwnersLock)
{
    COwnLockOwner owner;
    CProbe probe;
    bool lockedElsewhere = false;
    probe.firstNoticeAction = [&]
    {
        std::thread other(
            [&]
            {
                juce::CriticalSection& lock = owner.ObtainCriticalSection();
                lockedElsewhere = !lock.tryEnter();
                if (!lockedElsewhere)
                    lock.exit();
            });
        other.join();
    };
    owner.AddListener(&probe);
    owner.CallListenersLocked([](INotice& l) { l.OnNotice(); });
    EXPECT_EQ(probe.notices, 1);
    EXPECT_TRUE(lockedElsewhere);
}
