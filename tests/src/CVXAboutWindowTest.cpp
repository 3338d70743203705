#include "src/CVXAboutWindow.h"

#include "src/jucer_components/ComponentDresser.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"

#include <gtest/gtest.h>

namespace
{
class CVXAboutWindowTest : public testing::TestWithParam<const char*>
{
protected:
    CVXAboutWindowTest() : ui(GetParam())
    {
        parent.setBounds(100, 100, 640, 480);
        parent.addToDesktop(juce::ComponentPeer::windowIsTemporary);
        parent.setVisible(true);
        other.setBounds(0, 0, 40, 40);
        parent.addAndMakeVisible(other);
    }
    ~CVXAboutWindowTest() override { parent.removeFromDesktop(); }

    // Opens the window and waits until its fade-in has ended.
    CVXAboutWindow* Open()
    {
        auto* window = CVXAboutWindow::show(&parent, [this] { ++closed; });
        EXPECT_NE(window, nullptr);
        EXPECT_TRUE(uitest::PumpUntil(
            [&] {
                return window->isVisible() && !window->getProperties()[ComponentDresser::isCurrentlyFadingIn];
            }));
        return window;
    }

    bool IsOpen() const
    {
        return uitest::FindComponent<CVXAboutWindow>(const_cast<juce::Component*>(&parent)) != nullptr;
    }

    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui;
    juce::Component parent;
    juce::Component other;
    int closed = 0;
};
} // namespace

// The window shows the picture, the name, the version, the build note and
// the notice, centred over its parent.
TEST_P(CVXAboutWindowTest, ShowsItsTextsOverThePicture)
{
    auto* window = Open();
    EXPECT_EQ(window->getBounds().getCentre(), parent.getLocalBounds().getCentre());
    EXPECT_EQ(window->getWidth(), 410);
    EXPECT_EQ(window->getHeight(), 300);
    EXPECT_TRUE(window->isCurrentlyModal());
    EXPECT_FALSE(CVXAboutWindow::buildNote().isEmpty());
    const juce::Image shot = uitest::Snapshot(*window);
    EXPECT_TRUE(uitest::IsDrawn(shot));
    uitest::SavePng(shot, juce::String("AboutWindow_") + GetParam());
    window->close();
    EXPECT_TRUE(uitest::PumpUntil(
        [&] { return !IsOpen() && juce::Component::getCurrentlyModalComponent() == nullptr; }));
}

// The first key press or click, inside or outside, closes it and tells the
// owner, who refreshes its command states.
TEST_P(CVXAboutWindowTest, AnyKeyOrClickClosesIt)
{
    for (const char* how : {"key", "click inside", "click outside"})
    {
        SCOPED_TRACE(how);
        closed = 0;
        auto* window = Open();
        const juce::String h(how);
        if (h == "key")
            uitest::PressKey(parent, juce::KeyPress('x', 0, 'x'));
        else
            uitest::ClickAt(parent,
                            h == "click inside" ? window->getBounds().getCentre() : juce::Point<int>(20, 20));
        EXPECT_TRUE(uitest::PumpUntil([&] { return closed == 1 && !IsOpen(); }));
        EXPECT_EQ(juce::Component::getCurrentlyModalComponent(), nullptr);
        uitest::Pump(50);
        EXPECT_EQ(closed, 1);
    }
    EXPECT_EQ(CVXAboutWindow::show(nullptr), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Languages, CVXAboutWindowTest, testing::ValuesIn(uitest::kInterfaceLanguages));
