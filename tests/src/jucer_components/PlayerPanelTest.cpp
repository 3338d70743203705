#include "src/jucer_components/BackGroundComponent.h"
#include "src/jucer_components/ExportAndBurnCD.h"
#include "src/jucer_components/LevelMeter.h"
#include "src/jucer_components/TransportComponent.h"

#include "tests/src/jucer_components/PlayerPanelTestSupport.h"

#include <gtest/gtest.h>

namespace
{
// The export and burn commands, each active or not.
class OutputCommands : public juce::ApplicationCommandTarget
{
public:
    juce::ApplicationCommandTarget* getNextCommandTarget() override { return nullptr; }
    void getAllCommands(juce::Array<juce::CommandID>& commands) override
    {
        commands.addArray({ExportAndBurnCD::kExportCommand, ExportAndBurnCD::kBurnCDCommand});
    }
    void getCommandInfo(juce::CommandID id, juce::ApplicationCommandInfo& info) override
    {
        info.setInfo("Command " + juce::String(id), {}, "File", 0);
        info.setActive(id == ExportAndBurnCD::kExportCommand ? exportActive : burnActive);
    }
    bool perform(const InvocationInfo& info) override
    {
        performed.push_back(info.commandID);
        return true;
    }

    std::vector<int> performed;
    bool exportActive = true;
    bool burnActive = true;
};

// Export and Burn CD invoke their commands through the command manager and
// are enabled exactly when their commands are.
TEST(ExportAndBurnCD, TheButtonsInvokeTheirCommandsAndFollowTheirEnablement)
{
    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui("en");
    juce::ApplicationCommandManager commands;
    OutputCommands target;
    commands.registerAllCommandsForTarget(&target);
    commands.setFirstCommandTarget(&target);
    ExportAndBurnCD buttons(&commands);
    EXPECT_EQ(buttons.getExportButton().getBounds(), juce::Rectangle<int>(0, 0, 80, 22));
    EXPECT_EQ(buttons.getBurnCDButton().getBounds(), juce::Rectangle<int>(0, 22, 80, 22));

    buttons.getExportButton().triggerClick();
    ASSERT_TRUE(uitest::PumpUntil([&] { return target.performed.size() == 1; }));
    buttons.getBurnCDButton().triggerClick();
    ASSERT_TRUE(uitest::PumpUntil([&] { return target.performed.size() == 2; }));
    EXPECT_EQ(target.performed, (std::vector<int>{32, 33}));

    target.burnActive = false;
    commands.commandStatusChanged();
    EXPECT_TRUE(uitest::PumpUntil([&] { return !buttons.getBurnCDButton().isEnabled(); }));
    EXPECT_TRUE(buttons.getExportButton().isEnabled());
    target.burnActive = true;
    target.exportActive = false;
    commands.commandStatusChanged();
    EXPECT_TRUE(uitest::PumpUntil(
        [&] { return !buttons.getExportButton().isEnabled() && buttons.getBurnCDButton().isEnabled(); }));
}

// The player panel as the main window lays it out, drawn in a window in
// each interface language with a current song paused part-way, levels on the
// meter and the clip light on; saved as PlayerPanel_<language>.png.
class PlayerPanelDrawing : public paneltest::PanelTest, public testing::WithParamInterface<const char*>
{
protected:
    PlayerPanelDrawing() : PanelTest(GetParam()) {}
};

TEST_P(PlayerPanelDrawing, DrawsThePanelInAWindow)
{
    const bool japanese = juce::String(GetParam()) == "ja";
    Vextal::TrackInfo* song = AddSongOfSeconds("song", 75.0);
    song->setText(Vextal::TrackInfo::kSongName,
                  japanese
                      ? juce::String::fromUTF8("\xe5\xa4\x9c\xe6\x98\x8e\xe3\x81\x91\xe3\x81\xae\xe6\xad\x8c")
                      : juce::String("Morning Song"),
                  true);
    ASSERT_TRUE(m_host->SetCurPlayTrack(0, true, false));
    m_host->SetPlayerStatus(CVXHost::kStatusPaused);
    Player()->SetCurTimeSecond(73.25);

    juce::ApplicationCommandManager commands;
    juce::Component content;
    BackGroundComponent background;
    TransportComponent transport(*m_host, &commands);
    LevelMeter meter(*m_host, &commands);
    ExportAndBurnCD output(&commands);
    content.addAndMakeVisible(background);
    content.addAndMakeVisible(output);
    content.addAndMakeVisible(meter);
    content.addAndMakeVisible(transport);
    background.setTopLeftPosition(0, 0);
    output.setTopLeftPosition(604, 337);
    meter.setTopLeftPosition(590, 108);
    transport.setTopLeftPosition(0, 0);
    content.setBounds(100, 100, 699, 390);
    content.addToDesktop(juce::ComponentPeer::windowIsTemporary);
    content.setVisible(true);

    for (int tick = 0; tick < 3; ++tick)
    {
        m_host->timerCallback();
        meter.OnVXHostMeterLevelChanged(m_host.get(), 0, -4.0);
        meter.OnVXHostMeterLevelChanged(m_host.get(), 1, -13.0);
    }
    meter.OnVXHostMeterClipChanged(m_host.get(), 1);
    EXPECT_EQ(transport.getInformationViewer().getTimeCounter().getLabel().getText(), "00:01:13.250");
    EXPECT_EQ(transport.getInformationViewer().getTotalTimeViewer().getLabel().getText(), "00:01:15.000");
    uitest::Pump(100);

    const juce::Image shot = uitest::Snapshot(content);
    EXPECT_TRUE(uitest::IsDrawn(shot));
    EXPECT_GE(uitest::CountColours(shot, 64), 64);
    uitest::SavePng(shot, juce::String("PlayerPanel_") + GetParam());
    // The name area holds the song's name: light text on the dark area.
    const juce::Image name = shot.getClippedImage({126, 26, 220, 30});
    EXPECT_GE(uitest::CountColours(name, 8), 8);
    content.removeFromDesktop();
}

INSTANTIATE_TEST_SUITE_P(Languages, PlayerPanelDrawing, testing::ValuesIn(uitest::kInterfaceLanguages));
} // namespace
