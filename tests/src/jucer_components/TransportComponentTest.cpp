#include "src/jucer_components/TransportComponent.h"

#include "tests/src/jucer_components/PlayerPanelTestSupport.h"

#include <gtest/gtest.h>

namespace
{
using paneltest::kLeft;
using paneltest::MouseEventAt;

// Records the commands it is asked to perform.
class RecordingTarget : public juce::ApplicationCommandTarget
{
public:
    explicit RecordingTarget(std::vector<int> ids) : m_ids(std::move(ids)) {}

    juce::ApplicationCommandTarget* getNextCommandTarget() override { return nullptr; }
    void getAllCommands(juce::Array<juce::CommandID>& commands) override
    {
        for (int id : m_ids)
            commands.add(id);
    }
    void getCommandInfo(juce::CommandID id, juce::ApplicationCommandInfo& info) override
    {
        info.setInfo("Command " + juce::String(id), {}, "Test", 0);
        info.setActive(active);
    }
    bool perform(const InvocationInfo& info) override
    {
        performed.push_back(info.commandID);
        return true;
    }

    std::vector<int> performed;
    bool active = true;

private:
    std::vector<int> m_ids;
};

// Three songs of two seconds, the second one current, under a transport
// panel on the test's clock whose play button goes to a recording target.
class TransportComponentTest : public paneltest::PanelTest
{
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        for (const char* name : {"a", "b", "c"})
            AddSongOfSeconds(name, 2.0);
        ASSERT_TRUE(m_host->SetCurPlayTrack(1, true, false));
        m_commands.registerAllCommandsForTarget(&m_target);
        m_commands.setFirstCommandTarget(&m_target);
        m_panel = std::make_unique<TransportComponent>(*m_host, &m_commands, m_clock.clock());
        // Buttons take presses only while they are showing.
        m_panel->addToDesktop(juce::ComponentPeer::windowIsTemporary);
        m_panel->setVisible(true);
    }
    void TearDown() override
    {
        m_panel.reset();
        PanelTest::TearDown();
    }

    // The mouse goes down on a cue button; while it is held the framework
    // clicks it every 300 ms; then it goes up.
    void Press(TransportComponent::CueButton& button)
    {
        button.mouseDown(MouseEventAt(button, {13, 13}, kLeft));
    }
    void Hold(TransportComponent::CueButton& button, int ms)
    {
        for (int held = 300; held <= ms; held += 300)
        {
            m_clock.advance(300);
            m_panel->buttonClicked(&button);
        }
    }
    void Release(TransportComponent::CueButton& button)
    {
        button.mouseUp(MouseEventAt(button, {13, 13}, kLeft));
    }
    void Click(TransportComponent::CueButton& button, int ms)
    {
        Press(button);
        m_clock.advance(ms);
        Release(button);
    }
    void Pause(double seconds)
    {
        m_host->SetPlayerStatus(CVXHost::kStatusPaused);
        ASSERT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPaused);
        Player()->SetCurTimeSecond(seconds);
    }
    int Current() const { return m_host->GetCurPlayTrack(0); }

    juce::ApplicationCommandManager m_commands;
    RecordingTarget m_target{{TransportComponent::kPlayCommand}};
    std::unique_ptr<TransportComponent> m_panel;
};

// A click on rewind shorter than the cue delay restarts a song that is
// playing or paused at 0.8 s or later; before 0.8 s, or stopped, it goes to
// the previous song.
TEST_F(TransportComponentTest, AShortRewindClickRestartsOrGoesBack)
{
    struct Case
    {
        const char* name;
        int status;
        double seconds;
        int current;
        double after;
    };
    const Case cases[] = {
        {"paused at 1.0 s", CVXHost::kStatusPaused, 1.0, 1, 0.0},
        {"paused at 0.8 s", CVXHost::kStatusPaused, 0.8, 1, 0.0},
        {"paused at 0.5 s", CVXHost::kStatusPaused, 0.5, 0, 0.0},
        {"stopped", CVXHost::kStatusStopped, 0.0, 0, 0.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_host->SetCurPlayTrack(1, true, false));
        if (c.status == CVXHost::kStatusPaused)
            Pause(c.seconds);
        Click(m_panel->getRewindButton(), 299);
        EXPECT_EQ(Current(), c.current);
        EXPECT_NEAR(Player()->GetCurTimeSecond(), c.after, 0.001);
        EXPECT_EQ(m_host->GetPlayerStatus(), c.status) << "the status is kept";
        EXPECT_FALSE(m_panel->isCueingBack());
    }
}

// Holding rewind for 300 ms while stopped pauses the player and cues back,
// with the button lit; the release ends the cue and does not skip.
TEST_F(TransportComponentTest, HoldingRewindCuesBackAndTheReleaseDoesNotSkip)
{
    auto& rewind = m_panel->getRewindButton();
    Press(rewind);
    m_clock.advance(299);
    m_panel->buttonClicked(&rewind);
    EXPECT_FALSE(m_panel->isCueingBack()) << "a repeat before 300 ms";
    Hold(rewind, 600);
    EXPECT_TRUE(m_panel->isCueingBack());
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPaused);
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 2);
    EXPECT_TRUE(rewind.getToggleState());

    Release(rewind);
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 0);
    EXPECT_FALSE(rewind.getToggleState());
    EXPECT_FALSE(m_panel->isCueingBack());
    EXPECT_EQ(Current(), 1);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPaused);
}

// Fast-forward: a click goes to the next song; a hold cues forward and its
// release does not skip.
TEST_F(TransportComponentTest, FastForwardSkipsOnAClickAndCuesOnAHold)
{
    auto& forward = m_panel->getFastForwardButton();
    Click(forward, 100);
    EXPECT_EQ(Current(), 2);

    ASSERT_TRUE(m_host->SetCurPlayTrack(1, true, false));
    Press(forward);
    Hold(forward, 900);
    EXPECT_TRUE(m_panel->isCueingForward());
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 1);
    EXPECT_TRUE(forward.getToggleState());
    m_host->timerCallback();
    EXPECT_NEAR(Player()->GetCurTimeSecond(), 1.0, 0.001) << "cueing while paused";
    Release(forward);
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 0);
    EXPECT_EQ(Current(), 1);
    EXPECT_FALSE(forward.getToggleState());
}

// A cue whose button was released outside it (no release click) does not
// swallow the next click.
TEST_F(TransportComponentTest, ACueEndedOutsideTheButtonLeavesTheNextClickWorking)
{
    auto& forward = m_panel->getFastForwardButton();
    Press(forward);
    Hold(forward, 300);
    ASSERT_TRUE(m_panel->isCueingForward());
    // The pointer leaves the button and the button is let go out there.
    forward.setState(juce::Button::buttonNormal);
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 0);
    Release(forward);
    EXPECT_EQ(Current(), 1);
    Click(forward, 100);
    EXPECT_EQ(Current(), 2);
}

// Play invokes the play-or-pause command; the buttons show the player's
// state and are disabled while an export runs or the songlist is empty.
TEST_F(TransportComponentTest, ThePlayButtonInvokesItsCommandAndTheButtonsFollowTheHost)
{
    auto& play = m_panel->getPlayButton();
    paneltest::Click(play, {15, 15});
    EXPECT_EQ(m_target.performed, std::vector<int>{TransportComponent::kPlayCommand});

    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    EXPECT_TRUE(play.getToggleState());
    m_host->SetPlayerStatus(CVXHost::kStatusPaused);
    EXPECT_FALSE(play.getToggleState());
    m_host->SetPlayerSpeedStatus(2);
    EXPECT_TRUE(m_panel->getRewindButton().getToggleState());
    m_host->SetPlayerSpeedStatus(0);
    EXPECT_FALSE(m_panel->getRewindButton().getToggleState());

    EXPECT_TRUE(play.isEnabled());
    m_host->SetMode(1);
    EXPECT_FALSE(play.isEnabled());
    EXPECT_FALSE(m_panel->getRewindButton().isEnabled());
    m_host->SetMode(0);
    EXPECT_TRUE(m_panel->getFastForwardButton().isEnabled());
    while (m_host->GetNumSongs() > 0)
        m_host->RemoveTrack(0, true, true);
    EXPECT_FALSE(play.isEnabled());
    EXPECT_FALSE(m_panel->getFastForwardButton().isEnabled());
}

// Presses in the spots beside the bar go to the bar: the left one as a press
// at its start, the right one as a press at its end (631).
TEST_F(TransportComponentTest, TheSpotsBesideTheBarSeekToItsEnds)
{
    Player()->SetCurPositionPercent(50.0);
    m_host->timerCallback();
    m_panel->mouseDown(MouseEventAt(*m_panel, {675, 75}, kLeft));
    m_panel->mouseUp(MouseEventAt(*m_panel, {690, 90}, kLeft, juce::Point<int>(675, 75)));
    EXPECT_NEAR(Player()->GetCurPositionPercent(), 100.0, 0.01);
    EXPECT_FLOAT_EQ(m_panel->getTimeBar().getPosition(), 1.0f);

    Player()->SetCurPositionPercent(50.0);
    m_host->timerCallback();
    m_panel->mouseDown(MouseEventAt(*m_panel, {16, 71}, kLeft));
    m_panel->mouseUp(MouseEventAt(*m_panel, {16, 71}, kLeft));
    EXPECT_NEAR(Player()->GetCurPositionPercent(), 0.0, 0.01);

    // Elsewhere on the panel nothing happens.
    Player()->SetCurPositionPercent(50.0);
    m_host->timerCallback();
    m_panel->mouseDown(MouseEventAt(*m_panel, {300, 5}, kLeft));
    m_panel->mouseUp(MouseEventAt(*m_panel, {300, 5}, kLeft));
    EXPECT_NEAR(Player()->GetCurPositionPercent(), 50.0, 0.01);
}
} // namespace
