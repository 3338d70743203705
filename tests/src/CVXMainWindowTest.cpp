#include "src/CVXMainWindow.h"

#include <gtest/gtest.h>

TEST(CVXMainWindow, OpensWithTheApplicationNameAndCloses)
{
    juce::ScopedJuceInitialiser_GUI gui;
    auto window = std::make_unique<CVXMainWindow>("Vextal");
    window->setVisible(true);
    EXPECT_EQ(window->getName(), "Vextal");
    EXPECT_TRUE(window->isVisible());
    EXPECT_GT(window->getWidth(), 0);
    window.reset();
}
