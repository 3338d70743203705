#include "src/jucer_components/LevelMeter.h"

#include "src/Resource/VXImageTable.h"
#include "tests/src/jucer_components/PlayerPanelTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using paneltest::kLeft;
using paneltest::kRight;
using paneltest::MouseEventAt;

constexpr int kTick = 50;
constexpr double kFloor = -100.0; // the host's level at silence

// The meter panel over the host, on the test's clock.
class LevelMeterTest : public paneltest::PanelTest
{
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        m_meter = std::make_unique<LevelMeter>(*m_host, nullptr, m_clock.clock());
    }
    void TearDown() override
    {
        m_meter.reset();
        PanelTest::TearDown();
    }

    // One tick's level on the left bar, the clock moved by a tick first.
    void Level(double db)
    {
        m_clock.advance(kTick);
        m_meter->OnVXHostMeterLevelChanged(m_host.get(), 0, db);
    }
    // A clip state at a time (milliseconds from the first).
    void Clip(int64_t at, int clip)
    {
        m_clock.now = kStart + at;
        m_meter->OnVXHostMeterClipChanged(m_host.get(), clip);
    }
    bool Light() { return m_meter->getClipButton().getToggleState(); }
    const CVXCtrlLevelMeter& Left() const { return m_meter->getBar(0); }

    const int64_t kStart = m_clock.now;
    std::unique_ptr<LevelMeter> m_meter;
};

// A higher level shows at once; a lower one is approached by one fall step
// per tick, chosen from the level shown: 1.5 dB down to -6 dB, then 3 dB, 6
// dB below -12 dB and 12 dB below -24 dB; below -50 dB nothing is shown.
TEST_F(LevelMeterTest, TheShownLevelFallsInSteps)
{
    Level(0.0);
    std::vector<double> shown{Left().GetShownLevel()};
    while (Left().GetShownLevel() > CVXCtrlLevelMeter::kSilenceDb)
    {
        Level(kFloor);
        shown.push_back(Left().GetShownLevel());
    }
    const std::vector<double> expected{0.0,   -1.5,  -3.0,  -4.5,  -6.0,  -7.5,  -10.5,
                                       -13.5, -19.5, -25.5, -37.5, -49.5, -200.0};
    EXPECT_EQ(shown, expected);

    Level(-30.0);
    EXPECT_EQ(Left().GetShownLevel(), -30.0);
    Level(-20.0);
    EXPECT_EQ(Left().GetShownLevel(), -20.0);
    Level(-21.0);
    EXPECT_EQ(Left().GetShownLevel(), -21.0) << "a fall smaller than the step";
}

// A segment lights when the level exceeds its threshold: -1.0 dB lights the
// top segment (its top edge 189 pixels above the bottom); -1.5 dB does not,
// and the top lit edge is then the second segment's, 179.
TEST_F(LevelMeterTest, TheTopSegmentNeedsMoreThanMinusOnePointFive)
{
    struct Case
    {
        double db;
        int segment;
        int litHeight;
    };
    for (const Case& c : {Case{-1.0, 0, 189}, Case{-1.5, 1, 179}, Case{-1.51, 1, 179}, Case{-50.9, 20, 0},
                          Case{-51.0, 21, 0}})
    {
        SCOPED_TRACE(c.db);
        CVXCtrlLevelMeter bar(m_clock.clock());
        bar.SetSegments(LevelMeter::sm_amMeterParam[0].pixels, LevelMeter::sm_amMeterParam[0].thresholds,
                        LevelMeter::sm_amMeterParam[0].segmentCount);
        bar.SetValue(c.db);
        EXPECT_EQ(bar.SegmentOf(c.db), c.segment);
        EXPECT_EQ(bar.GetPeakSegment(), c.segment);
        EXPECT_EQ(bar.GetLitHeight(), c.db > -50.0 ? c.litHeight : 0);
    }
}

// Drawn from a black off image and a green on image: at -1.0 dB the top
// segment's rows are lit; at -1.5 dB they are dark, while the peak (the
// second segment) and everything below it is lit.
TEST_F(LevelMeterTest, DrawsTheLitPartAndThePeak)
{
    juce::Image off(juce::Image::ARGB, 22, 190, true), on(juce::Image::ARGB, 22, 190, true);
    off.clear(off.getBounds(), juce::Colours::black);
    on.clear(on.getBounds(), juce::Colours::lime);
    for (const double db : {-1.0, -1.5})
    {
        SCOPED_TRACE(db);
        CVXCtrlLevelMeter bar(m_clock.clock());
        bar.SetImage(off, on, true);
        bar.SetSegments(LevelMeter::sm_amMeterParam[0].pixels, LevelMeter::sm_amMeterParam[0].thresholds,
                        LevelMeter::sm_amMeterParam[0].segmentCount);
        bar.SetValue(db);
        const juce::Image drawn = uitest::Snapshot(bar);
        const juce::Colour top = db > -1.5 ? juce::Colours::lime : juce::Colours::black;
        EXPECT_EQ(drawn.getPixelAt(10, 190 - 189).getARGB(), top.getARGB());
        EXPECT_EQ(drawn.getPixelAt(10, 190 - 180).getARGB(), top.getARGB());
        EXPECT_EQ(drawn.getPixelAt(10, 190 - 179).getARGB(), juce::Colours::lime.getARGB());
        EXPECT_EQ(drawn.getPixelAt(10, 189).getARGB(), juce::Colours::lime.getARGB());
        EXPECT_EQ(drawn.getPixelAt(10, 0).getARGB(), juce::Colours::black.getARGB());
    }

    // A held peak above a lower level: the peak's segment and the level's
    // part are lit, the rows between them dark.
    CVXCtrlLevelMeter bar(m_clock.clock());
    bar.SetImage(off, on, true);
    bar.SetSegments(LevelMeter::sm_amMeterParam[0].pixels, LevelMeter::sm_amMeterParam[0].thresholds,
                    LevelMeter::sm_amMeterParam[0].segmentCount);
    bar.SetPeakHoldTime(-1);
    bar.SetValue(-2.0); // peak: segment 1, rows 11 .. 20
    for (int i = 0; i < 20; ++i)
        bar.SetValue(-40.0); // lit from segment 17 down, 19 pixels
    const juce::Image drawn = uitest::Snapshot(bar);
    EXPECT_EQ(drawn.getPixelAt(10, 15).getARGB(), juce::Colours::lime.getARGB());
    EXPECT_EQ(drawn.getPixelAt(10, 100).getARGB(), juce::Colours::black.getARGB());
    EXPECT_EQ(drawn.getPixelAt(10, 190 - 18).getARGB(), juce::Colours::lime.getARGB());
    EXPECT_EQ(drawn.getPixelAt(10, 190 - 20).getARGB(), juce::Colours::black.getARGB());
}

// The peak stays for the host's peak-hold time after the level last reached
// it, then drops at once to the level's segment: with 0 it follows the
// level, with 1000 ms it drops after a second, with -1 it stays until reset.
TEST_F(LevelMeterTest, ThePeakHoldsForTheHostsTime)
{
    struct Case
    {
        int holdMs;
        int ticksHeld; // ticks after the peak during which it stays
    };
    for (const Case& c : {Case{0, 0}, Case{1000, 19}, Case{-1, 100}})
    {
        SCOPED_TRACE(c.holdMs);
        m_host->SetPeakHoldLevelMs(c.holdMs);
        m_meter->mouseDown(MouseEventAt(*m_meter, {5, 5}, kLeft));
        Level(-2.0);
        ASSERT_EQ(Left().GetPeakSegment(), 1);
        int held = 0;
        for (; held < 100; ++held)
        {
            Level(-20.0);
            if (Left().GetPeakSegment() != 1)
                break;
        }
        EXPECT_EQ(held, c.ticksHeld);
        if (c.holdMs >= 0)
        {
            EXPECT_EQ(Left().GetPeakSegment(), 10);
        }
    }

    // Reaching the peak again renews the hold; a click resets it.
    m_host->SetPeakHoldLevelMs(1000);
    Level(-2.0);
    for (int i = 0; i < 15; ++i)
        Level(-20.0);
    Level(-2.5);
    for (int i = 0; i < 15; ++i)
        Level(-20.0);
    EXPECT_EQ(Left().GetPeakSegment(), 1);
    m_meter->mouseDown(MouseEventAt(*m_meter, {5, 5}, kLeft));
    EXPECT_EQ(Left().GetPeakSegment(), Left().GetSegmentCount());
    Level(-20.0);
    EXPECT_EQ(Left().GetPeakSegment(), 10);
}

// The clip light: a higher clip state restarts the clip hold, so a clip of 2
// after a clip of 1 keeps the light a full hold from the 2; a lower state
// shows once the hold has passed. With hold -1 only a click clears it.
TEST_F(LevelMeterTest, TheClipLightHoldsFromTheLastHigherClip)
{
    m_host->SetPeakHoldClipMs(1000);
    Clip(0, 1);
    EXPECT_TRUE(Light());
    Clip(500, 2);
    EXPECT_EQ(m_meter->getClipState(), 2);
    Clip(1200, 0);
    EXPECT_EQ(m_meter->getClipState(), 2) << "held from the 2 at 500 ms";
    EXPECT_TRUE(Light());
    Clip(1499, 1);
    EXPECT_EQ(m_meter->getClipState(), 2);
    Clip(1500, 0);
    EXPECT_EQ(m_meter->getClipState(), 0);
    EXPECT_FALSE(Light());

    m_host->SetPeakHoldClipMs(0);
    Clip(2000, 2);
    Clip(2000, 0);
    EXPECT_FALSE(Light()) << "hold 0";

    m_host->SetPeakHoldClipMs(-1);
    Clip(3000, 1);
    Clip(100000, 0);
    EXPECT_TRUE(Light()) << "hold -1";
    m_meter->getClipButton().triggerClick();
    EXPECT_TRUE(uitest::PumpUntil([this] { return !Light(); }));
    EXPECT_EQ(m_meter->getClipState(), 0);
}

// A click on the panel, on a bar or on the light clears the light and both
// peaks; a right click does not (it opens the hold-time menu).
TEST_F(LevelMeterTest, AClickClearsTheLightAndThePeaks)
{
    m_host->SetPeakHoldLevelMs(-1);
    m_host->SetPeakHoldClipMs(-1);
    const auto clipAndPeak = [this]
    {
        Level(-2.0);
        Clip(0, 1);
        ASSERT_TRUE(Light());
    };
    auto& bar = const_cast<CVXCtrlLevelMeter&>(m_meter->getBar(1));
    clipAndPeak();
    m_meter->mouseDown(MouseEventAt(*m_meter, {5, 5}, kRight));
    EXPECT_TRUE(Light());
    juce::PopupMenu::dismissAllActiveMenus();

    for (juce::Component* target :
         {static_cast<juce::Component*>(m_meter.get()), static_cast<juce::Component*>(&bar),
          static_cast<juce::Component*>(&m_meter->getClipButton())})
    {
        clipAndPeak();
        target->mouseDown(MouseEventAt(*target, {3, 3}, kLeft));
        EXPECT_FALSE(Light());
        EXPECT_EQ(m_meter->getClipState(), 0);
        EXPECT_EQ(Left().GetPeakSegment(), Left().GetSegmentCount());
    }
}

// The levels of channel 0 go to the left bar, of channel 1 to the right.
TEST_F(LevelMeterTest, EachChannelHasItsBar)
{
    m_meter->OnVXHostMeterLevelChanged(m_host.get(), 1, -10.0);
    EXPECT_EQ(m_meter->getBar(1).GetShownLevel(), -10.0);
    EXPECT_EQ(m_meter->getBar(0).GetShownLevel(), CVXCtrlLevelMeter::kSilenceDb);
    m_meter->OnVXHostMeterLevelChanged(m_host.get(), 0, -20.0);
    EXPECT_EQ(m_meter->getBar(0).GetShownLevel(), -20.0);
}

// The commands of the hold-time menu's items.
class HoldCommands : public juce::ApplicationCommandTarget
{
public:
    juce::ApplicationCommandTarget* getNextCommandTarget() override { return nullptr; }
    void getAllCommands(juce::Array<juce::CommandID>& commands) override
    {
        for (int i = 0; i < LevelMeter::kNumHoldCommands; ++i)
            commands.addArray({LevelMeter::kFirstPeakHoldCommand + i, LevelMeter::kFirstClipHoldCommand + i});
    }
    void getCommandInfo(juce::CommandID id, juce::ApplicationCommandInfo& info) override
    {
        info.setInfo("Hold " + juce::String(id), {}, "View", 0);
    }
    bool perform(const InvocationInfo&) override { return true; }
};

// The menu: a peak-hold submenu of commands 512 to 519, a clip-hold submenu
// of 768 to 775, a separator and Cancel.
TEST_F(LevelMeterTest, TheHoldTimeMenuOffersTheHoldCommands)
{
    juce::ApplicationCommandManager commands;
    HoldCommands target;
    commands.registerAllCommandsForTarget(&target);
    LevelMeter meter(*m_host, &commands);
    const juce::PopupMenu menu = meter.createHoldTimeMenu();

    std::vector<juce::String> items;
    std::vector<std::vector<int>> submenus;
    for (juce::PopupMenu::MenuItemIterator it(menu); it.next();)
    {
        const juce::PopupMenu::Item& item = it.getItem();
        items.push_back(item.isSeparator ? juce::String("-") : item.text);
        if (item.subMenu != nullptr)
        {
            submenus.emplace_back();
            for (juce::PopupMenu::MenuItemIterator sub(*item.subMenu); sub.next();)
                submenus.back().push_back(sub.getItem().itemID);
        }
    }
    EXPECT_EQ(items, (std::vector<juce::String>{"Peak Hold", "Clip Hold", "-", "Cancel"}));
    ASSERT_EQ(submenus.size(), 2u);
    EXPECT_EQ(submenus[0], (std::vector<int>{512, 513, 514, 515, 516, 517, 518, 519}));
    EXPECT_EQ(submenus[1], (std::vector<int>{768, 769, 770, 771, 772, 773, 774, 775}));
}

// A bar that paints only when something changed: at silence (the host's
// floor level) a settled bar is not painted again.
class CountingBar : public CVXCtrlLevelMeter
{
public:
    void paint(juce::Graphics& g) override
    {
        ++paints;
        CVXCtrlLevelMeter::paint(g);
    }
    int paints = 0;
};

TEST_F(LevelMeterTest, ASilentBarStopsRepainting)
{
    CountingBar bar;
    bar.SetImage(juce::Image(juce::Image::ARGB, 22, 190, true), juce::Image(juce::Image::ARGB, 22, 190, true),
                 true);
    bar.SetSegments(LevelMeter::sm_amMeterParam[0].pixels, LevelMeter::sm_amMeterParam[0].thresholds,
                    LevelMeter::sm_amMeterParam[0].segmentCount);
    bar.setOpaque(true);
    // Far from where the other tests' windows open, whose coming and going
    // would make it paint.
    bar.setTopLeftPosition(1200, 820);
    bar.addToDesktop(juce::ComponentPeer::windowIsTemporary);
    bar.setVisible(true);
    bar.SetValue(-3.0);
    for (int i = 0; i < 20; ++i)
    {
        bar.SetValue(kFloor);
        uitest::Pump(20);
    }
    ASSERT_EQ(bar.GetShownLevel(), CVXCtrlLevelMeter::kSilenceDb);
    uitest::Pump(100);
    const int settled = bar.paints;
    for (int i = 0; i < 10; ++i)
    {
        bar.SetValue(kFloor);
        uitest::Pump(20);
    }
    EXPECT_EQ(bar.paints, settled);
    bar.SetValue(-3.0);
    EXPECT_TRUE(uitest::PumpUntil([&] { return bar.paints > settled; }));
    bar.removeFromDesktop();
}
} // namespace
