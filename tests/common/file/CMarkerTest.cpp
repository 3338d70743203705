#include "common/file/CMarker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

namespace
{
std::vector<double> Times(const CMarker& m)
{
    std::vector<double> out;
    for (int i = 0; i < m.GetNumMarkers(); ++i)
        out.push_back(m.GetMarkerTimeSecond(i));
    return out;
}
} // namespace

TEST(CMarker, AddKeepsOrderAndRefusesTheSameMillisecond)
{
    struct Case
    {
        const char* name;
        std::vector<double> adds;
        std::vector<bool> accepted;
        std::vector<double> list;
    };
    const Case cases[] = {
        {"same ms refused, next ms after", {1.0, 1.0004, 1.0006}, {true, false, true}, {1.0, 1.0006}},
        {"inserted in order", {3.0, 1.0, 2.0}, {true, true, true}, {1.0, 2.0, 3.0}},
        {"exact duplicate", {2.0, 2.0}, {true, false}, {2.0}},
        {"rounds half up across a ms", {0.9995, 1.0}, {true, false}, {0.9995}},
        {"not finite", {std::nan(""), std::numeric_limits<double>::infinity()}, {false, false}, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CMarker m;
        for (size_t i = 0; i < c.adds.size(); ++i)
            EXPECT_EQ(m.Add(c.adds[i]), c.accepted[i]) << "add #" << i;
        EXPECT_EQ(Times(m), c.list);
    }
}

TEST(CMarker, AddAlignedCutsToWholeMillisecondsWithoutLosingOne)
{
    struct Case
    {
        double in;
        double stored;
    };
    const Case cases[] = {
        {1.2349, 1.234}, {1.001, 1.001}, {2.0, 2.0},        {0.0005, 0.0},
        {0.0, 0.0},      {4.123, 4.123}, {-1.2349, -1.234},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.in);
        CMarker m;
        ASSERT_TRUE(m.AddAligned(c.in));
        ASSERT_EQ(m.GetNumMarkers(), 1);
        EXPECT_EQ(m.GetMarkerTimeSecond(0), c.stored);
    }
}

TEST(CMarker, IndexLookupsAndAlignedTimes)
{
    CMarker m;
    ASSERT_TRUE(m.Add(1.0));
    ASSERT_TRUE(m.Add(2.0));

    struct Case
    {
        double t;
        int index;
    };
    for (const Case c : {Case{1.5, 0}, Case{0.5, -1}, Case{9.0, 1}, Case{1.0, 0}, Case{2.0, 1}})
        EXPECT_EQ(m.TimeToMarkerIndex(c.t), c.index) << "t=" << c.t;
    EXPECT_EQ(CMarker().TimeToMarkerIndex(5.0), -1);

    EXPECT_DOUBLE_EQ(m.GetMarkerTimeSecondAligned(1), 2.0005);
    EXPECT_EQ(m.GetMarkerTimeSecondAligned(2), 0.0);
    EXPECT_EQ(m.GetMarkerTimeSecondAligned(-1), 0.0);
    EXPECT_EQ(m.GetMarkerTimeSecond(2), 0.0);

    CMarker atZero;
    ASSERT_TRUE(atZero.Add(0.0));
    EXPECT_EQ(atZero.GetMarkerTimeSecondAligned(0), 0.0);
}

TEST(CMarker, DivideMarkerListSplitsAndShiftsTheLaterPart)
{
    CMarker m;
    for (double t : {1.0, 2.0, 3.5})
        ASSERT_TRUE(m.Add(t));

    CMarker before, after;
    ASSERT_TRUE(before.Add(7.0)); // emptied first
    m.DivideMarkerList(&before, &after, 2.0);
    EXPECT_EQ(Times(before), (std::vector<double>{1.0}));
    EXPECT_EQ(Times(after), (std::vector<double>{0.0, 1.5}));
    EXPECT_EQ(Times(m), (std::vector<double>{1.0, 2.0, 3.5}));

    // Dividing into itself must not lose the times it reads from.
    m.DivideMarkerList(&m, nullptr, 2.0);
    EXPECT_EQ(Times(m), (std::vector<double>{1.0}));
}

TEST(CMarker, CopyAllIsIndependentOfItsSource)
{
    auto source = std::make_unique<CMarker>();
    for (double t : {0.5, 1.25})
        ASSERT_TRUE(source->Add(t));

    CMarker copy;
    ASSERT_TRUE(copy.Add(9.0)); // replaced
    copy.CopyAll(source.get());
    source.reset();
    EXPECT_EQ(Times(copy), (std::vector<double>{0.5, 1.25}));

    copy.CopyAll(&copy);
    EXPECT_EQ(copy.GetNumMarkers(), 2);
    copy.CopyAll(nullptr);
    EXPECT_EQ(copy.GetNumMarkers(), 0);
}

// AddAll keeps what Add in turn keeps: the present times stay, and of the
// times of one millisecond the first given wins, whatever the order.
TEST(CMarker, AddAllKeepsWhatAddInTurnKeeps)
{
    const std::vector<double> present = {2.0, 5.0};
    const std::vector<double> given = {9.0,    1.0004, 1.0,  5.0003, 2.5, std::nan(""), 0.9995,
                                       7.0001, 7.0,    -1.0, 2.5,    3.0, 1.5,          0.0};
    CMarker inTurn, allAtOnce;
    for (const double t : present)
    {
        inTurn.Add(t);
        allAtOnce.Add(t);
    }
    for (const double t : given)
        inTurn.Add(t);
    allAtOnce.AddAll(given);
    EXPECT_EQ(Times(allAtOnce), Times(inTurn));
    EXPECT_EQ(Times(allAtOnce),
              (std::vector<double>{-1.0, 0.0, 1.0004, 1.5, 2.0, 2.5, 3.0, 5.0, 7.0001, 9.0}));
}

// A song of a hundred thousand markers and more goes in without work that
// grows with the square of the count: in ascending order through Add (as a
// file lists them), in any order through AddAll. The bound is generous; the
// quadratic insert took minutes here.
TEST(CMarker, ManyMarkersGoInWithoutQuadraticWork)
{
    constexpr int kCount = 200000;
    const auto start = std::chrono::steady_clock::now();
    CMarker ascending;
    for (int i = 0; i < kCount; ++i)
        ASSERT_TRUE(ascending.Add(i * 0.01));

    std::vector<double> shuffled;
    for (int i = 0; i < kCount; ++i)
        shuffled.push_back(((i * 7919) % kCount) * 0.01);
    CMarker any;
    any.AddAll(shuffled);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(Times(any), Times(ascending));
    EXPECT_EQ(any.GetNumMarkers(), kCount);
    EXPECT_LT(seconds, 10.0);
}
