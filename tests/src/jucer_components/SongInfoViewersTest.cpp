#include "src/jucer_components/InformationViewer.h"

#include "src/CVXLookAndFeel.h"
#include "tests/src/jucer_components/PlayerPanelTestSupport.h"

#include <gtest/gtest.h>

namespace
{
class SongInfoViewersTest : public paneltest::PanelTest
{
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        m_info = std::make_unique<InformationViewer>(*m_host);
    }
    void TearDown() override
    {
        m_info.reset();
        PanelTest::TearDown();
    }

    juce::String Name() const { return m_info->getNameViewer().getLabel().getText(); }
    juce::String Time() const { return m_info->getTimeCounter().getLabel().getText(); }
    juce::String Total() const { return m_info->getTotalTimeViewer().getLabel().getText(); }
    // The extra kerning of the two time viewers' fonts (0.15 for the widely
    // spaced font id 4, 0 for id 3).
    float TimeKerning() const
    {
        return m_info->getTimeCounter().getLabel().getFont().getExtraKerningFactor();
    }
    float TotalKerning() const
    {
        return m_info->getTotalTimeViewer().getLabel().getFont().getExtraKerningFactor();
    }

    std::unique_ptr<InformationViewer> m_info;
};

// An empty songlist shows no name and no times, in the widely spaced font;
// the first song switches the time fonts to the plain one, and choosing it
// shows its name and times.
TEST_F(SongInfoViewersTest, TheFirstSongSwitchesTheFontsAndTheTexts)
{
    EXPECT_EQ(Name(), "");
    EXPECT_EQ(Time(), "--:--:--.---");
    EXPECT_EQ(Total(), "--:--:--.---");
    EXPECT_FLOAT_EQ(TimeKerning(), 0.15f);
    EXPECT_FLOAT_EQ(TotalKerning(), 0.15f);

    AddSongOfSeconds("First Song", 2.5);
    EXPECT_FLOAT_EQ(TimeKerning(), 0.0f);
    EXPECT_FLOAT_EQ(TotalKerning(), 0.0f);
    EXPECT_EQ(Time(), "--:--:--.---") << "no current song yet";

    m_host->SetCurPlayTrack(0, true, false);
    EXPECT_EQ(Name(), "First Song");
    EXPECT_EQ(Time(), "00:00:00.000");
    EXPECT_EQ(Total(), "00:00:02.500");

    m_host->RemoveTrack(0, true, true);
    EXPECT_EQ(Name(), "");
    EXPECT_EQ(Time(), "--:--:--.---");
    EXPECT_EQ(Total(), "--:--:--.---");
    EXPECT_FLOAT_EQ(TimeKerning(), 0.15f);
}

// Renaming the current song shows at once; renaming another song does not
// touch the name.
TEST_F(SongInfoViewersTest, RenamingTheCurrentSongShowsAtOnce)
{
    AddSongOfSeconds("one", 1.0);
    AddSongOfSeconds("two", 1.0);
    m_host->SetCurPlayTrack(0, true, false);
    m_host->GetSong(1)->setText(Vextal::TrackInfo::kSongName, "deux", true);
    EXPECT_EQ(Name(), "one");
    m_host->GetSong(0)->setText(Vextal::TrackInfo::kSongName, "eins", true);
    EXPECT_EQ(Name(), "eins");
}

// The elapsed time changes only on the host's tick: the player's time, or
// the drag position while the time bar is dragged.
TEST_F(SongInfoViewersTest, TheElapsedTimeFollowsTheTicksAndTheDrag)
{
    AddSongOfSeconds("song", 4.0);
    m_host->SetCurPlayTrack(0, true, false);
    Player()->SetCurTimeSecond(1.25);
    EXPECT_EQ(Time(), "00:00:00.000") << "no tick yet";
    m_host->timerCallback();
    EXPECT_EQ(Time(), "00:00:01.250");

    m_host->SetDragKind(2);
    m_host->SetDraggingValue(0.75, 2);
    m_host->timerCallback();
    EXPECT_EQ(Time(), "00:00:03.000");
    m_host->SetDragKind(0);
    m_host->timerCallback();
    EXPECT_EQ(Time(), "00:00:01.250");
    EXPECT_EQ(Total(), "00:00:04.000");
}
} // namespace
