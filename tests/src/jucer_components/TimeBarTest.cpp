#include "src/jucer_components/TimeBar.h"

#include "tests/src/jucer_components/PlayerPanelTestSupport.h"

#include <gtest/gtest.h>

namespace
{
using paneltest::kLeft;
using paneltest::kRight;
using paneltest::MouseEventAt;

// A ten-second song, current and stopped, under a bar of the panel's size.
class TimeBarTest : public paneltest::PanelTest
{
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        AddSongOfSeconds("ten", 10.0);
        ASSERT_TRUE(m_host->SetCurPlayTrack(0, true, false));
        m_bar = std::make_unique<TimeBar>(*m_host);
        m_bar->setBounds(25, 71, 644, 30);
    }
    void TearDown() override
    {
        m_bar.reset();
        PanelTest::TearDown();
    }

    // The player at percent of the song, shown by the bar after a tick.
    void ShowAt(double percent)
    {
        Player()->SetCurPositionPercent(percent);
        m_bar->OnVXHostTimerCallback(m_host.get());
    }
    double PlayerPercent() const { return Player()->GetCurPositionPercent(); }

    std::unique_ptr<TimeBar> m_bar;
};

struct ClickCase
{
    int x;
    bool seeks;
    double percent; // where the player is afterwards
};

// From the middle of the song (pointer at 0.5, x 315.5): a click within 1 %
// of the bar length leaves the pointer and the player where they are; a
// click further away seeks to x / 631, with x limited to 0 .. 631.
TEST_F(TimeBarTest, AClickSeeksOnlyWhenItMovesThePointerMoreThanOnePercent)
{
    const ClickCase cases[] = {
        {318, false, 50.0},
        {312, false, 50.0},
        {322, true, 322.0 / 631.0 * 100.0},
        {309, true, 309.0 / 631.0 * 100.0},
        {-40, true, 0.0},
        {0, true, 0.0},
        {900, true, 100.0},
        {631, true, 100.0},
    };
    for (const ClickCase& c : cases)
    {
        SCOPED_TRACE(c.x);
        ShowAt(50.0);
        m_bar->mouseDown(MouseEventAt(*m_bar, {c.x, 10}, kLeft));
        EXPECT_TRUE(m_bar->isDragging());
        m_bar->mouseUp(MouseEventAt(*m_bar, {c.x, 10}, kLeft));
        EXPECT_FALSE(m_bar->isDragging());
        EXPECT_NEAR(PlayerPercent(), c.percent, 0.01);
        EXPECT_NEAR(m_bar->getPosition(), c.seeks ? c.percent / 100.0 : 0.5, 0.0001);
        EXPECT_EQ(m_host->GetDragKind(), 0);
    }
}

// A drag puts the host in its time-bar dragging state with the drag
// position, which the time display reads; the pointer follows the mouse, not
// the host's ticks; the player seeks once, at the release, and the dragging
// state ends.
TEST_F(TimeBarTest, ADragSeeksOnceAtTheRelease)
{
    ShowAt(10.0);
    m_bar->mouseDown(MouseEventAt(*m_bar, {100, 10}, kLeft));
    for (int x : {200, 400, -30, 300})
    {
        m_bar->mouseDrag(MouseEventAt(*m_bar, {x, 10}, kLeft, juce::Point<int>(100, 10)));
        const float p = static_cast<float>(juce::jlimit(0, TimeBar::BarLength, x)) / TimeBar::BarLength;
        EXPECT_EQ(m_host->GetDragKind(), 2);
        EXPECT_NEAR(m_host->GetCurTimeBarPosition(), p, 1e-6);
        EXPECT_NEAR(m_bar->getPosition(), p, 1e-6);
        EXPECT_NEAR(PlayerPercent(), 10.0, 0.01) << "no seek while dragging";
    }
    int h = -1, m = -1;
    float s = -1.0f;
    m_host->GetCurTime(&h, &m, &s);
    EXPECT_NEAR(s, 10.0 * 300.0 / 631.0, 0.001);

    Player()->SetCurPositionPercent(80.0);
    m_host->timerCallback();
    EXPECT_NEAR(m_bar->getPosition(), 300.0f / 631.0f, 1e-6) << "the ticks do not move a dragged pointer";

    m_bar->mouseUp(MouseEventAt(*m_bar, {300, 10}, kLeft, juce::Point<int>(100, 10)));
    EXPECT_NEAR(PlayerPercent(), 300.0 / 631.0 * 100.0, 0.01);
    EXPECT_EQ(m_host->GetDragKind(), 0);
    m_host->timerCallback();
    EXPECT_NEAR(m_bar->getPosition(), 300.0f / 631.0f, 1e-4) << "the ticks move it again";
}

// The right button neither moves the pointer nor seeks nor drags.
TEST_F(TimeBarTest, TheRightButtonIsIgnored)
{
    ShowAt(50.0);
    m_bar->mouseDown(MouseEventAt(*m_bar, {50, 10}, kRight));
    m_bar->mouseDrag(MouseEventAt(*m_bar, {500, 10}, kRight, juce::Point<int>(50, 10)));
    EXPECT_EQ(m_host->GetDragKind(), 0);
    m_bar->mouseUp(MouseEventAt(*m_bar, {500, 10}, kRight, juce::Point<int>(50, 10)));
    EXPECT_NEAR(PlayerPercent(), 50.0, 0.01);
    EXPECT_NEAR(m_bar->getPosition(), 0.5f, 1e-4);
    EXPECT_FALSE(m_bar->isDragging());
}

// Only the shown song's reload tells whether the bar has a song to show: a
// reload of another song whose file has gone leaves the bar as it was. A
// change of the current song takes the new song's presence; no current song
// disables the bar, and the ticks then leave the pointer alone.
TEST_F(TimeBarTest, OnlyTheShownSongDecidesWhetherTheBarIsEnabled)
{
    ASSERT_TRUE(m_bar->isSongPresent());
    Vextal::TrackInfo* other = AddSongOfSeconds("other", 1.0);
    MakeUnloadable(other);
    EXPECT_FALSE(other->reload(true));
    EXPECT_TRUE(m_bar->isSongPresent()) << "another song's reload";

    EXPECT_FALSE(m_host->SetCurPlayTrack(1, true, false));
    EXPECT_FALSE(m_bar->isSongPresent()) << "a current song whose file has gone";
    EXPECT_TRUE(m_host->SetCurPlayTrack(0, true, false));
    EXPECT_TRUE(m_bar->isSongPresent());

    MakeUnloadable(m_host->GetSong(0));
    EXPECT_FALSE(m_host->GetSong(0)->reload(true));
    EXPECT_FALSE(m_bar->isSongPresent()) << "the current song's reload";

    m_host->SetCurPlayTrack(-1, true, false);
    EXPECT_FALSE(m_bar->isSongPresent());
    ShowAt(50.0);
    EXPECT_EQ(m_bar->getPosition(), 0.0f);
}

// The disabled look differs from the enabled one, and the pointer moves
// with the position; both looks are saved.
TEST_F(TimeBarTest, DrawsItsEnabledAndDisabledLooks)
{
    ShowAt(40.0);
    const juce::Image enabled = uitest::Snapshot(*m_bar);
    ShowAt(70.0);
    const juce::Image later = uitest::Snapshot(*m_bar);
    m_host->SetCurPlayTrack(-1, true, false);
    const juce::Image disabled = uitest::Snapshot(*m_bar);
    EXPECT_TRUE(uitest::IsDrawn(enabled));
    EXPECT_TRUE(uitest::IsDrawn(disabled));
    uitest::SavePng(enabled, "TimeBar_enabled");
    uitest::SavePng(disabled, "TimeBar_disabled");

    // The pointer's column: at 0.4 the pointer lies near x 0.4 x 634.
    const int x40 = static_cast<int>(0.4 * 634.0);
    EXPECT_NE(enabled.getPixelAt(x40, 5), later.getPixelAt(x40, 5));
    EXPECT_NE(enabled.getPixelAt(x40, 5), disabled.getPixelAt(x40, 5));
}
} // namespace
