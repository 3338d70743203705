#include "src/jucer_components/FourStateImageButton.h"
#include "src/jucer_components/MatrixImageButton.h"
#include "src/jucer_components/SimpleImageButton.h"

#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
constexpr int kCell = 8;

// A distinct opaque colour per cell.
juce::Colour CellColour(int column, int row)
{
    return juce::Colour::fromHSV(static_cast<float>(row * 5 + column) / 25.0f, 0.9f, 0.9f, 1.0f);
}

// An image of columns x rows cells of kCell pixels, each in its own colour.
juce::Image Grid(int columns, int rows)
{
    juce::Image image(juce::Image::ARGB, columns * kCell, rows * kCell, true);
    juce::Graphics g(image);
    for (int r = 0; r < rows; ++r)
    {
        for (int c = 0; c < columns; ++c)
        {
            g.setColour(CellColour(c, r));
            g.fillRect(c * kCell, r * kCell, kCell, kCell);
        }
    }
    return image;
}

// The colour the button draws at its centre.
juce::Colour Drawn(juce::Button& button)
{
    const juce::Image snapshot = button.createComponentSnapshot(button.getLocalBounds());
    return snapshot.getPixelAt(button.getWidth() / 2, button.getHeight() / 2);
}

struct ButtonState
{
    bool enabled;
    bool toggled;
    juce::Button::ButtonState mouse;
};

void Apply(juce::Button& button, const ButtonState& state)
{
    button.setEnabled(state.enabled);
    button.setToggleState(state.toggled, juce::dontSendNotification);
    button.setState(state.mouse);
}

// The drawn colour is the cell's colour at the expected opacity.
void ExpectCell(juce::Button& button, int column, int row, float opacity)
{
    const juce::Colour drawn = Drawn(button);
    const juce::Colour expected = CellColour(column, row);
    EXPECT_NEAR(drawn.getFloatAlpha(), opacity, 0.01f);
    EXPECT_NEAR(drawn.getFloatRed(), expected.getFloatRed(), 0.02f);
    EXPECT_NEAR(drawn.getFloatGreen(), expected.getFloatGreen(), 0.02f);
    EXPECT_NEAR(drawn.getFloatBlue(), expected.getFloatBlue(), 0.02f);
}

const auto kNormal = juce::Button::buttonNormal;
const auto kOver = juce::Button::buttonOver;
const auto kDown = juce::Button::buttonDown;
} // namespace

// Frames: 0 normal, 1 over, 2 pressed, 3 disabled, 4 on; disabled at half
// opacity. A disabled button that is on shows its on frame faded.
TEST(SimpleImageButton, ChoosesItsFrameByState)
{
    juce::ScopedJuceInitialiser_GUI gui;
    juce::SimpleImageButton button("simple", Grid(1, 5), 5, 1, 2, 3, 4, 0.5f);
    EXPECT_EQ(button.getWidth(), kCell);
    EXPECT_EQ(button.getHeight(), kCell);
    EXPECT_FALSE(button.getWantsKeyboardFocus());
    struct Case
    {
        ButtonState state;
        int frame;
        float opacity;
    };
    const Case cases[] = {
        {{true, false, kNormal}, 0, 1.0f},  {{true, false, kOver}, 1, 1.0f},
        {{true, false, kDown}, 2, 1.0f},    {{true, true, kNormal}, 4, 1.0f},
        {{true, true, kOver}, 4, 1.0f},     {{true, true, kDown}, 2, 1.0f},
        {{false, false, kNormal}, 3, 0.5f}, {{false, true, kNormal}, 4, 0.5f},
        {{false, false, kDown}, 3, 0.5f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "enabled " << c.state.enabled << " on " << c.state.toggled
                                        << " mouse " << c.state.mouse);
        Apply(button, c.state);
        ExpectCell(button, 0, c.frame, c.opacity);
    }
}

// Frames as the transport buttons have them: 0 off, 1 on, 2 off pressed,
// 3 on pressed, 4 disabled. The mouse passing over changes nothing.
TEST(FourStateImageButton, ChoosesItsFrameByState)
{
    juce::ScopedJuceInitialiser_GUI gui;
    juce::FourStateImageButton button("four");
    button.initialize(Grid(1, 5), 5, 1, 0, 2, 3, 4, 0.4f);
    EXPECT_EQ(button.getHeight(), kCell);
    struct Case
    {
        ButtonState state;
        int frame;
        float opacity;
    };
    const Case cases[] = {
        {{true, false, kNormal}, 0, 1.0f}, {{true, false, kOver}, 0, 1.0f},  {{true, false, kDown}, 2, 1.0f},
        {{true, true, kNormal}, 1, 1.0f},  {{true, true, kOver}, 1, 1.0f},   {{true, true, kDown}, 3, 1.0f},
        {{false, true, kNormal}, 4, 0.4f}, {{false, false, kDown}, 4, 0.4f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "enabled " << c.state.enabled << " on " << c.state.toggled
                                        << " mouse " << c.state.mouse);
        Apply(button, c.state);
        ExpectCell(button, 0, c.frame, c.opacity);
    }
}

// Three states in the columns; rows: 0 normal, 1 pressed, 2 disabled.
TEST(MatrixImageButton, DrawsTheStateColumnInTheRowOfItsLook)
{
    juce::ScopedJuceInitialiser_GUI gui;
    MatrixImageButton button("matrix", Grid(3, 3), 3, 3, 1, 2);
    EXPECT_EQ(button.getWidth(), kCell);
    EXPECT_EQ(button.getNumStates(), 3);

    button.setStateIndex(7);
    EXPECT_EQ(button.getStateIndex(), 2);
    button.toggleState();
    EXPECT_EQ(button.getStateIndex(), 0);
    button.setStateIndex(-1);
    EXPECT_EQ(button.getStateIndex(), 0);

    button.setStateIndex(1);
    struct Case
    {
        ButtonState state;
        int row;
    };
    for (const Case& c : {Case{{true, false, kNormal}, 0}, Case{{true, false, kOver}, 0},
                          Case{{true, false, kDown}, 1}, Case{{false, false, kNormal}, 2}})
    {
        SCOPED_TRACE(testing::Message() << "enabled " << c.state.enabled << " mouse " << c.state.mouse);
        Apply(button, c.state);
        ExpectCell(button, 1, c.row, 1.0f);
    }
}

// A worker thread may set the state while the message thread runs.
TEST(MatrixImageButton, TakesItsStateFromAnotherThread)
{
    juce::ScopedJuceInitialiser_GUI gui;
    MatrixImageButton button("matrix", Grid(3, 1), 3, 1, 0, 0);
    std::atomic<bool> done{false};
    std::thread worker(
        [&]
        {
            button.setStateIndex(2);
            done = true;
        });
    EXPECT_TRUE(uitest::PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(button.getStateIndex(), 2);
}
