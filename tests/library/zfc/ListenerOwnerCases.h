#pragma once

// Cases shared by the tests of both listener-owner templates: listeners that
// change the list while they are being notified.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace ListenerOwnerCases
{
struct INotice
{
    virtual ~INotice() = default;
    virtual void OnNotice() = 0;
};

// A listener that counts its notices and runs an action during its first one.
struct CProbe : INotice
{
    int notices = 0;
    std::function<void()> firstNoticeAction;

    void OnNotice() override
    {
        ++notices;
        if (notices == 1 && firstNoticeAction)
            firstNoticeAction();
    }
};

template <typename Owner>
void Notify(Owner& owner)
{
    owner.CallListeners([](INotice& listener) { listener.OnNotice(); });
}

// Probes 0..4 are A..E; the list starts as A B C D.
template <typename Owner>
struct Case
{
    std::string name;
    int actor; // the probe whose first notice runs the action
    std::function<void(Owner&, std::vector<CProbe>&)> action;
    std::vector<int> noticesInFirstPass; // per probe A..E
    std::vector<int> listAfter;          // probe indices
};

template <typename Owner>
std::vector<Case<Owner>> MakeCases()
{
    using P = std::vector<CProbe>;
    return {
        {"removes itself", 1, [](Owner& o, P& p) { o.RemoveListener(&p[1]); }, {1, 1, 1, 1, 0}, {0, 2, 3}},
        {"removes the next one",
         1,
         [](Owner& o, P& p) { o.RemoveListener(&p[2]); },
         {1, 1, 0, 1, 0},
         {0, 1, 3}},
        {"removes the previous one",
         2,
         [](Owner& o, P& p) { o.RemoveListener(&p[0]); },
         {1, 1, 1, 1, 0},
         {1, 2, 3}},
        {"removes itself and an earlier one",
         2,
         [](Owner& o, P& p)
         {
             o.RemoveListener(&p[0]);
             o.RemoveListener(&p[2]);
         },
         {1, 1, 1, 1, 0},
         {1, 3}},
        {"removes the last one",
         1,
         [](Owner& o, P& p) { o.RemoveListener(&p[3]); },
         {1, 1, 1, 0, 0},
         {0, 1, 2}},
        {"adds a new one", 1, [](Owner& o, P& p) { o.AddListener(&p[4]); }, {1, 1, 1, 1, 0}, {0, 1, 2, 3, 4}},
        {"removes and re-adds itself",
         1,
         [](Owner& o, P& p)
         {
             o.RemoveListener(&p[1]);
             o.AddListener(&p[1]);
         },
         {1, 1, 1, 1, 0},
         {0, 2, 3, 1}},
        {"removes everyone", 1, [](Owner& o, P&) { o.RemoveAllListeners(); }, {1, 1, 0, 0, 0}, {}},
        {"notifies again inside its notice",
         1,
         [](Owner& o, P&) { Notify(o); },
         {2, 2, 2, 2, 0},
         {0, 1, 2, 3}},
    };
}

// Runs every case: the first pass gives the expected notices, the list ends as
// expected, and a second pass notifies every remaining listener exactly once.
template <typename Owner>
void RunChangesDuringNotice()
{
    for (const Case<Owner>& c : MakeCases<Owner>())
    {
        SCOPED_TRACE(c.name);
        Owner owner;
        std::vector<CProbe> probes(5);
        for (int i = 0; i < 4; ++i)
            owner.AddListener(&probes[static_cast<size_t>(i)]);
        probes[static_cast<size_t>(c.actor)].firstNoticeAction = [&] { c.action(owner, probes); };

        Notify(owner);
        std::vector<int> notices;
        for (const CProbe& p : probes)
            notices.push_back(p.notices);
        EXPECT_EQ(notices, c.noticesInFirstPass);

        std::vector<INotice*> expectedList;
        for (int i : c.listAfter)
            expectedList.push_back(&probes[static_cast<size_t>(i)]);
        EXPECT_EQ(owner.GetListeners(), expectedList);

        Notify(owner);
        for (size_t i = 0; i < probes.size(); ++i)
        {
            const bool listed =
                std::find(c.listAfter.begin(), c.listAfter.end(), int(i)) != c.listAfter.end();
            EXPECT_EQ(probes[i].notices - notices[i], listed ? 1 : 0) << "probe " << i;
        }
    }
}

template <typename Owner>
void RunDuplicateEntries()
{
    Owner owner;
    CProbe a;
    CProbe b;
    owner.AddListener(&a);
    owner.AddListener(&b);
    owner.AddListener(&a);
    owner.AddListener(nullptr); // ignored
    EXPECT_EQ(owner.GetNumListeners(), 3);
    Notify(owner);
    EXPECT_EQ(a.notices, 2);

    owner.RemoveListener(&a);
    EXPECT_EQ(owner.GetNumListeners(), 2);
    EXPECT_TRUE(owner.IsListener(&a));
    EXPECT_EQ(owner.GetListeners(), (std::vector<INotice*>{&b, &a})); // the first entry went

    CProbe absent;
    owner.RemoveListener(&absent);
    EXPECT_EQ(owner.GetNumListeners(), 2);

    Notify(owner);
    EXPECT_EQ(a.notices, 3);
    EXPECT_EQ(b.notices, 2);
}
} // namespace ListenerOwnerCases
