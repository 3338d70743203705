#include "tests/src/ModalDriver.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <memory>

namespace
{
using uitest::ModalDriver;

// A window whose modal loop nothing but the driver ends.
class Window : public juce::Component
{
public:
    Window()
    {
        setBounds(100, 100, 200, 100);
        addToDesktop(juce::ComponentPeer::windowIsTemporary);
    }
};
} // namespace

// A drive whose step waits for something that never comes, or whose last
// input goes unanswered, fails the test at its deadline and ends the modal
// loop with 0 instead of hanging; a loop opened after the failure ends at
// once.
TEST(ModalDriver, FailsAndEndsTheModalLoopAtTheDeadline)
{
    juce::ScopedJuceInitialiser_GUI gui;
    Window window;
    struct Case
    {
        const char* what;
        std::vector<ModalDriver::Step> steps;
        const char* failure;
        int failedStep;
    };
    const Case cases[] = {
        {"a step waits for ever", {[] { return true; }, [] { return false; }}, "step 1 (of 2", 1},
        {"the last input is lost", {[] { return true; }}, "all 1 steps ran", 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::unique_ptr<ModalDriver> driver;
        int result = -1;
        EXPECT_NONFATAL_FAILURE(
            {
                driver = std::make_unique<ModalDriver>(c.steps, 300);
                result = window.runModalLoop();
            },
            c.failure);
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(driver->succeeded());
        EXPECT_EQ(driver->failedStep(), c.failedStep);
        EXPECT_EQ(juce::Component::getCurrentlyModalComponent(), nullptr);
    }

    ModalDriver failed({[] { return false; }}, 100);
    EXPECT_NONFATAL_FAILURE(window.runModalLoop(), "step 0 (of 1");
    EXPECT_EQ(window.runModalLoop(), 0);
    EXPECT_EQ(failed.failedStep(), 0);
}
