#include "src/jucer_components/ComponentDresser.h"

#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

namespace
{
// A component that counts the fade-in end messages it receives.
class Target : public juce::Component
{
public:
    void paint(juce::Graphics& g) override { g.fillAll(juce::Colours::orange); }
    void handleCommandMessage(int id) override
    {
        if (id == ComponentDresser::FadeInEndMessage)
            ++fadeInEnds;
    }
    int fadeInEnds = 0;
};

bool IsFading(juce::Component& c)
{
    return static_cast<bool>(c.getProperties()[ComponentDresser::isCurrentlyFadingIn]);
}

class ComponentDresserTest : public testing::Test
{
protected:
    ComponentDresserTest()
    {
        parent.setBounds(0, 0, 400, 300);
        target.setBounds(50, 100, 200, 80);
        parent.addChildComponent(target);
    }

    juce::ScopedJuceInitialiser_GUI gui;
    juce::Component parent;
    Target target;
};
} // namespace

// A fade without movement only fades: the picture stays where the component
// is, the component is transparent meanwhile (still visible, so that a modal
// component stays modal), and a second fade-in is ignored. At the end the
// component is opaque and told.
TEST_F(ComponentDresserTest, AFadeInShowsTheComponentAtItsEndAndIgnoresASecondOne)
{
    EXPECT_EQ(ComponentDresser::fadeInInterval(0, 0), 33);
    ComponentDresser::fadeIn(&target, 200, 0, 0, 1.0f);
    ASSERT_EQ(parent.getNumChildComponents(), 2);
    juce::Component* proxy = parent.getChildComponent(1);
    EXPECT_TRUE(IsFading(target));
    EXPECT_TRUE(target.isVisible());
    EXPECT_EQ(target.getAlpha(), 0.0f);
    EXPECT_EQ(proxy->getBounds(), target.getBounds());

    ComponentDresser::fadeIn(&target, 200, 0, 0, 1.0f);
    EXPECT_EQ(parent.getNumChildComponents(), 2);

    uitest::Pump(100);
    ASSERT_EQ(parent.getNumChildComponents(), 2);
    EXPECT_EQ(parent.getChildComponent(1)->getBounds(), target.getBounds());
    EXPECT_EQ(target.getAlpha(), 0.0f);

    EXPECT_TRUE(uitest::PumpUntil([&] { return target.fadeInEnds == 1; }));
    EXPECT_TRUE(target.isVisible());
    EXPECT_EQ(target.getAlpha(), 1.0f);
    EXPECT_FALSE(IsFading(target));
    EXPECT_EQ(parent.getNumChildComponents(), 1);

    // A fade-in that has ended can be started again.
    target.setVisible(false);
    ComponentDresser::fadeIn(&target, 50, 0, 0, 1.0f);
    EXPECT_TRUE(uitest::PumpUntil([&] { return target.fadeInEnds == 2; }));
    EXPECT_TRUE(target.isVisible());
}

// As a sheet opens: from one height above its place, sliding down while it
// fades in, on 20 ms ticks.
TEST_F(ComponentDresserTest, AFadeInWithAnOffsetSlidesIntoPlace)
{
    EXPECT_EQ(ComponentDresser::fadeInInterval(0, 80), 20);
    ComponentDresser::fadeIn(&target, 300, 0, 80, 1.0f);
    ASSERT_EQ(parent.getNumChildComponents(), 2);
    juce::Component* proxy = parent.getChildComponent(1);
    EXPECT_EQ(proxy->getBounds(), target.getBounds().translated(0, -80));

    int lastY = proxy->getY();
    bool moved = false;
    const auto end = juce::Time::getMillisecondCounter() + 3000;
    while (target.fadeInEnds == 0 && juce::Time::getMillisecondCounter() < end)
    {
        uitest::Pump(15);
        if (parent.getNumChildComponents() < 2)
            continue;
        const int y = parent.getChildComponent(1)->getY();
        EXPECT_GE(y, lastY);
        EXPECT_LE(y, target.getY());
        moved = moved || y > lastY;
        lastY = y;
    }
    EXPECT_TRUE(uitest::PumpUntil([&] { return target.fadeInEnds == 1; }));
    EXPECT_TRUE(moved);
    EXPECT_TRUE(target.isVisible());
    EXPECT_EQ(target.getBounds(), juce::Rectangle<int>(50, 100, 200, 80));
}

// A modal component that fades in (the about window, a sheet) stays modal
// through its fade.
TEST_F(ComponentDresserTest, AModalComponentStaysModalWhileItFadesIn)
{
    parent.addToDesktop(juce::ComponentPeer::windowIsTemporary);
    parent.setVisible(true);
    target.enterModalState(false);
    ComponentDresser::fadeIn(&target, 150, 0, 40, 1.0f);
    bool alwaysModal = true;
    while (target.fadeInEnds == 0 && uitest::PumpUntil([&] { return target.fadeInEnds > 0; }, 20) == false)
        alwaysModal = alwaysModal && target.isCurrentlyModal();
    EXPECT_TRUE(uitest::PumpUntil([&] { return target.fadeInEnds == 1; }));
    EXPECT_TRUE(alwaysModal);
    EXPECT_TRUE(target.isCurrentlyModal());
    target.exitModalState(0);
    uitest::Pump(20);
    parent.removeFromDesktop();
}

// A component without a parent has nowhere to put the picture: it is shown at
// once, with the same end.
TEST_F(ComponentDresserTest, AComponentWithoutParentIsShownAtOnce)
{
    Target alone;
    alone.setSize(100, 50);
    ComponentDresser::fadeIn(&alone, 200, 0, 10, 0.5f);
    EXPECT_TRUE(alone.isVisible());
    EXPECT_FALSE(IsFading(alone));
    EXPECT_TRUE(uitest::PumpUntil([&] { return alone.fadeInEnds == 1; }));
    ComponentDresser::fadeIn(nullptr, 200, 0, 0, 1.0f);
}

// A flash leaves only the framework's fading picture on the control, which
// goes when it has faded; a control that is not showing is not flashed.
TEST_F(ComponentDresserTest, AFlashLeavesNothingBehind)
{
    target.setVisible(true);
    ComponentDresser::flash(&target, 500, juce::Colour(0x600000FFu));
    EXPECT_EQ(target.getNumChildComponents(), 0);

    parent.addToDesktop(0);
    parent.setVisible(true);
    ComponentDresser::flash(&target, 100, juce::Colour(0x600000FFu));
    for (auto* child : target.getChildren())
        EXPECT_EQ(dynamic_cast<juce::Label*>(child), nullptr) << "the overlay stayed";
    EXPECT_TRUE(uitest::PumpUntil([&] { return target.getNumChildComponents() == 0; }));
    parent.removeFromDesktop();
    ComponentDresser::flash(nullptr, 100, juce::Colours::red);
}
