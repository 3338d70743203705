#include "common/disc/linux/CLibburnJobWatch.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace burn;

namespace
{
// One answer of burn_drive_get_status: the state, the track and its sector
// and sectors.
struct Step
{
    burn_drive_status status;
    int track;
    int sector;
    int sectors;
};

// A drive that plays a scripted job: each look at its status with progress
// takes the next step; after the script it is idle. A cancel skips to the
// end, as libburn stops a job it cancels.
class ScriptedDrive : public CLibburnJobWatch::Drive
{
public:
    ScriptedDrive(std::vector<Step> script, bool wroteWell)
        : m_script(std::move(script)), m_wroteWell(wroteWell)
    {
    }

    burn_drive_status GetStatus(burn_progress* progress) override
    {
        if (progress == nullptr)
            return m_spawning-- > 0 ? BURN_DRIVE_SPAWNING : Current().status;
        const Step step = Current();
        progress->track = step.track;
        progress->sector = step.sector;
        progress->sectors = step.sectors;
        ++m_next;
        return step.status;
    }
    void Cancel() override
    {
        ++m_cancels;
        m_next = m_script.size();
        m_wroteWell = false;
    }
    bool WroteWell() override { return m_wroteWell; }

    int m_spawning = 2;
    int m_cancels = 0;

private:
    Step Current() const
    {
        return m_next < m_script.size() ? m_script[m_next] : Step{BURN_DRIVE_IDLE, 0, 0, 0};
    }

    std::vector<Step> m_script;
    size_t m_next = 0;
    bool m_wroteWell;
};

struct Seen
{
    eBurnStatus phase;
    float percent;
};

// Tracks of 300, 100 and 600 sectors: 1000 in all.
const std::vector<int64_t> kTracks = {300, 100, 600};

const std::vector<Step> kWholeBurn = {
    {BURN_DRIVE_WRITING_LEADIN, 0, 0, 0},  {BURN_DRIVE_WRITING, 0, 150, 300},
    {BURN_DRIVE_WRITING, 0, 300, 300},     {BURN_DRIVE_WRITING, 1, 0, 100},
    {BURN_DRIVE_WRITING, 1, 50, 100},      {BURN_DRIVE_WRITING, 2, 300, 600},
    {BURN_DRIVE_WRITING_LEADOUT, 2, 0, 0}, {BURN_DRIVE_CLOSING_SESSION, 3, 0, 0},
};

std::vector<Seen> Watch(ScriptedDrive& drive, bool cancelAtThirdLook, CLibburnJobWatch::Result* result)
{
    std::vector<Seen> seen;
    CLibburnJobWatch watch(drive, kTracks, 0);
    *result = watch.Watch([&] { return cancelAtThirdLook && seen.size() >= 3; },
                          [&](eBurnStatus phase, float percent) {
                              seen.push_back({phase, percent});
                          });
    return seen;
}
} // namespace

// libburn counts sectors per track; the watch reports the whole disc: the
// finished tracks' sectors and the current track's sector over all of them,
// never starting again at a new track, with libburn's phases.
TEST(CLibburnJobWatch, AWholeBurnReportsItsPhasesAndProgressOverTheDisc)
{
    ScriptedDrive drive(kWholeBurn, true);
    CLibburnJobWatch::Result result;
    const std::vector<Seen> seen = Watch(drive, false, &result);
    EXPECT_TRUE(result.ok);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(drive.m_cancels, 0);
    const std::vector<std::pair<eBurnStatus, float>> want = {
        {kBurnStatusPreparing, 0.0f}, {kBurnStatusWriting, 15.0f}, {kBurnStatusWriting, 30.0f},
        {kBurnStatusWriting, 30.0f},  {kBurnStatusWriting, 35.0f}, {kBurnStatusWriting, 70.0f},
        {kBurnStatusClosing, 100.0f}, {kBurnStatusClosing, 100.0f}};
    ASSERT_EQ(seen.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].phase, want[i].first);
        EXPECT_FLOAT_EQ(seen[i].percent, want[i].second);
    }
}

// A job that ends unwell fails; one cancelled is told to the drive once and
// ends as cancelled; a cancel that comes when the burn ended well changes
// nothing.
TEST(CLibburnJobWatch, AFailedAndACancelledBurnEndAsSuch)
{
    {
        SCOPED_TRACE("failed");
        ScriptedDrive drive(kWholeBurn, false);
        CLibburnJobWatch::Result result;
        Watch(drive, false, &result);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.cancelled);
    }
    {
        SCOPED_TRACE("cancelled");
        ScriptedDrive drive(kWholeBurn, true);
        CLibburnJobWatch::Result result;
        const std::vector<Seen> seen = Watch(drive, true, &result);
        EXPECT_EQ(drive.m_cancels, 1);
        EXPECT_EQ(seen.size(), 3u);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.cancelled);
    }
}

// The whole-disc share at the edges: past the last track, a sector beyond
// its track, a negative track, no tracks.
TEST(CLibburnJobWatch, TheDiscShareStaysWithinItsBounds)
{
    struct Case
    {
        int track;
        int sector;
        float want;
    };
    for (const Case& c : {Case{0, 0, 0.0f}, Case{0, 400, 30.0f}, Case{1, -5, 30.0f}, Case{2, 600, 100.0f},
                          Case{3, 0, 100.0f}, Case{-1, 10, 1.0f}})
    {
        SCOPED_TRACE(testing::Message() << c.track << "/" << c.sector);
        burn_progress p = {};
        p.track = c.track;
        p.sector = c.sector;
        EXPECT_FLOAT_EQ(CLibburnJobWatch::DiscPercent(p, kTracks), c.want);
    }
    burn_progress p = {};
    EXPECT_FLOAT_EQ(CLibburnJobWatch::DiscPercent(p, {}), 0.0f);
}

// An erase reports libburn's own steps and no burn phase.
TEST(CLibburnJobWatch, AnEraseReportsLibburnsSteps)
{
    ScriptedDrive drive({{BURN_DRIVE_ERASING, 0, 0x4000, 0x10000}, {BURN_DRIVE_ERASING, 0, 0x8000, 0x10000}},
                        true);
    std::vector<Seen> seen;
    CLibburnJobWatch watch(drive, {}, 0);
    const CLibburnJobWatch::Result result = watch.Watch(nullptr,
                                                        [&](eBurnStatus phase, float percent) {
                                                            seen.push_back({phase, percent});
                                                        });
    EXPECT_TRUE(result.ok);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].phase, kBurnStatusIdle);
    EXPECT_FLOAT_EQ(seen[0].percent, 25.0f);
    EXPECT_FLOAT_EQ(seen[1].percent, 50.0f);
}
