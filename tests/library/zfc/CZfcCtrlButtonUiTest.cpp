#include "library/zfc/CZfcCtrlButton.h"

#include "tests/src/ModalDriver.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{
constexpr int kFrameWidth = 20;
constexpr int kFrameHeight = 10;
constexpr int kMaxFrames = 8;

// A distinct opaque colour per frame.
juce::Colour FrameColour(int frame)
{
    return juce::Colour::fromHSV(static_cast<float>(frame) / kMaxFrames, 0.9f, 0.9f, 1.0f);
}

// A strip of frames stacked vertically, each in its own colour.
juce::Image Strip(int frames)
{
    juce::Image image(juce::Image::ARGB, kFrameWidth, frames * kFrameHeight, true);
    juce::Graphics g(image);
    for (int f = 0; f < frames; ++f)
    {
        g.setColour(FrameColour(f));
        g.fillRect(0, f * kFrameHeight, kFrameWidth, kFrameHeight);
    }
    return image;
}

// The frame whose colour the image shows at its centre, and the opacity; -1
// when no frame's colour is there.
struct Drawn
{
    int frame = -1;
    float opacity = 0.0f;
};

bool SameColour(juce::Colour a, juce::Colour b)
{
    return std::abs(a.getRed() - b.getRed()) <= 3 && std::abs(a.getGreen() - b.getGreen()) <= 3 &&
           std::abs(a.getBlue() - b.getBlue()) <= 3;
}

Drawn DrawnAtCentre(const juce::Image& image)
{
    const juce::Colour pixel = image.getPixelAt(image.getWidth() / 2, image.getHeight() / 2);
    Drawn drawn{-1, pixel.getFloatAlpha()};
    for (int f = 0; f < kMaxFrames && pixel.getAlpha() > 0; ++f)
    {
        if (SameColour(pixel, FrameColour(f)))
            drawn.frame = f;
    }
    return drawn;
}

// Records the button's notices as "begin", "end" and "action"; consumes the
// mouse events it is told to.
class Recorder : public CZfcComponentListener
{
public:
    void OnZfcComponentBeginEdit(CZfcComponent*) override { notices.push_back("begin"); }
    void OnZfcComponentEndEdit(CZfcComponent*) override { notices.push_back("end"); }
    void OnZfcComponentButtonAction(CZfcComponent*) override { notices.push_back("action"); }
    bool OnZfcComponentMouseDown(CZfcComponent*, const juce::MouseEvent&) override { return consumeDown; }
    bool OnZfcComponentMouseUp(CZfcComponent*, const juce::MouseEvent&) override { return consumeUp; }

    std::vector<std::string> notices;
    bool consumeDown = false;
    bool consumeUp = false;
};

const juce::ModifierKeys kLeft(juce::ModifierKeys::leftButtonModifier);
const juce::ModifierKeys kRight(juce::ModifierKeys::rightButtonModifier);
const juce::ModifierKeys kNone;

// A 4-state button with pressed rows, twice the frame size, in a window,
// reporting to a recorder.
class CZfcCtrlButtonTest : public testing::Test
{
protected:
    CZfcCtrlButtonTest() : strip(Strip(8))
    {
        window.setBounds(100, 100, 200, 100);
        button.SetImage(&strip, 4, true, false, 0, 0);
        button.setBounds(kButton);
        button.SetListener(&recorder);
        window.addAndMakeVisible(button);
        window.addToDesktop(juce::ComponentPeer::windowIsTemporary);
        window.setVisible(true);
    }
    ~CZfcCtrlButtonTest() override
    {
        uitest::MouseAt(window, kOutside, kNone);
        window.removeFromDesktop();
    }

    void Mouse(juce::Point<int> at, juce::ModifierKeys mods) { uitest::MouseAt(window, at, mods); }

    const juce::Rectangle<int> kButton{10, 10, 40, 20};
    const juce::Point<int> kInside{30, 20};
    const juce::Point<int> kOutside{120, 60};

    juce::ScopedJuceInitialiser_GUI gui;
    juce::Image strip;
    juce::Component window;
    CZfcCtrlButton button{"Button"};
    Recorder recorder;
};
} // namespace

// The frame row: with pressed rows the state's own row, or the row after it
// while pressed with the pointer inside; without, the state's row; always
// within the strip.
TEST(CZfcCtrlButtonFrameRow, ChoosesTheStateOrItsPressedRow)
{
    struct Case
    {
        int state;
        bool pressed;
        bool inside;
        bool pressedRows;
        int rows;
        int row;
    };
    const Case cases[] = {
        {2, true, true, true, 8, 5},    {2, true, false, true, 8, 4}, {2, false, true, true, 8, 4},
        {0, false, false, true, 8, 0},  {3, true, true, true, 8, 7},  {2, true, true, false, 4, 2},
        {5, false, false, false, 4, 3}, {3, true, true, true, 6, 5},  {0, false, false, false, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << "state " << c.state << " pressed " << c.pressed << " inside " << c.inside
                     << " pressedRows " << c.pressedRows << " rows " << c.rows);
        EXPECT_EQ(CZfcCtrlButton::FrameRow(c.state, c.pressed, c.inside, c.pressedRows, c.rows), c.row);
    }
}

// What the button draws for each state, pressed inside or dragged out, and
// disabled (half opacity), scaled to fill the button. The drawings are saved
// side by side.
TEST_F(CZfcCtrlButtonTest, DrawsTheFrameOfItsStateAndPress)
{
    struct Case
    {
        const char* what;
        int state;
        bool press;
        bool dragOut;
        bool enabled;
        int frame;
        float opacity;
    };
    const Case cases[] = {
        {"state 0", 0, false, false, true, 0, 1.0f},
        {"state 1", 1, false, false, true, 2, 1.0f},
        {"state 2 pressed inside", 2, true, false, true, 5, 1.0f},
        {"state 2 pressed, dragged out", 2, true, true, true, 4, 1.0f},
        {"state 3 pressed inside", 3, true, false, true, 7, 1.0f},
        {"state 3 disabled", 3, false, false, false, 6, 0.5f},
    };
    juce::Image sheet(juce::Image::ARGB, (kButton.getWidth() + 4) * static_cast<int>(std::size(cases)),
                      kButton.getHeight(), true);
    juce::Graphics g(sheet);
    int x = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        button.setEnabled(c.enabled);
        button.SetState(c.state, false, false);
        if (c.press)
            Mouse(kInside, kLeft);
        if (c.dragOut)
            Mouse(kOutside, kLeft);
        const juce::Image drawn = uitest::Snapshot(button);
        const Drawn seen = DrawnAtCentre(drawn);
        EXPECT_EQ(seen.frame, c.frame);
        EXPECT_NEAR(seen.opacity, c.opacity, 0.01f);
        EXPECT_EQ(drawn.getPixelAt(1, 1), drawn.getPixelAt(kButton.getWidth() - 2, kButton.getHeight() - 2))
            << "one frame fills the button";
        g.drawImageAt(drawn, x, 0);
        x += kButton.getWidth() + 4;
        Mouse(kOutside, kNone);
    }
    uitest::SavePng(sheet, "CZfcCtrlButton_frames");
}

// The state stays within the count; a new state is drawn again, the same one
// is not.
TEST_F(CZfcCtrlButtonTest, SetStateClampsAndRepaintsOnlyOnAChange)
{
    button.SetState(7, false, false);
    EXPECT_EQ(button.GetState(), 3);
    button.SetState(-1, false, false);
    EXPECT_EQ(button.GetState(), 0);

    uitest::Snapshot(button);
    EXPECT_TRUE(button.IsPainted());
    button.SetState(0, false, false);
    EXPECT_TRUE(button.IsPainted());
    button.SetState(1, false, false);
    EXPECT_FALSE(button.IsPainted());
    EXPECT_TRUE(uitest::PumpUntil([&] { return button.IsPainted(); }));
}

// A new strip: fewer states move the state down, frame sizes follow the strip
// unless given, and the button may take one frame's size.
TEST_F(CZfcCtrlButtonTest, SetImageFitsTheStateAndFrameToTheStrip)
{
    button.SetState(3, false, false);
    button.SetImage(&strip, 2, false, true, 0, 0);
    EXPECT_EQ(button.GetState(), 1);
    EXPECT_EQ(button.GetRows(), 2);
    EXPECT_EQ(button.GetFrameWidth(), kFrameWidth);
    EXPECT_EQ(button.GetFrameHeight(), strip.getHeight() / 2);
    EXPECT_EQ(button.getBounds(), kButton.withSize(kFrameWidth, strip.getHeight() / 2));
    EXPECT_EQ(button.GetHitArea(), button.getLocalBounds());

    button.SetImage(&strip, 0, true, true, 12, 6);
    EXPECT_EQ(button.GetStateCount(), 1);
    EXPECT_EQ(button.GetState(), 0);
    EXPECT_EQ(button.GetRows(), 2);
    EXPECT_EQ(button.getBounds(), kButton.withSize(12, 6));

    button.SetImage(nullptr, 4, true, false, 0, 0);
    EXPECT_EQ(uitest::CountColours(uitest::Snapshot(button)), 1) << "no strip draws nothing";
}

// Mouse gestures through the window, as the mouse makes them: every press the
// button takes ends in an end-edit, the action fires at its timing, and only
// from an enabled button released inside.
TEST_F(CZfcCtrlButtonTest, MouseGesturesSendPairedEditsAndTheActionAtItsTiming)
{
    enum Step
    {
        kPressIn,
        kPressOut,
        kPressRight,
        kDragOut,
        kDragIn,
        kReleaseIn,
        kReleaseOut,
        kReleaseRight,
        kDisable
    };
    struct Case
    {
        const char* what;
        int timing;
        bool enabled;
        bool consumeDown;
        bool consumeUp;
        std::vector<Step> steps;
        std::vector<std::string> notices;
    };
    const Case cases[] = {
        {"a click", 0, true, false, false, {kPressIn, kReleaseIn}, {"begin", "end", "action"}},
        {"released outside", 0, true, false, false, {kPressIn, kDragOut, kReleaseOut}, {"begin", "end"}},
        {"dragged out and back",
         0,
         true,
         false,
         false,
         {kPressIn, kDragOut, kDragIn, kReleaseIn},
         {"begin", "end", "action"}},
        {"action on press", 1, true, false, false, {kPressIn, kReleaseIn}, {"begin", "action", "end"}},
        {"action on press, released outside",
         1,
         true,
         false,
         false,
         {kPressIn, kDragOut, kReleaseOut},
         {"begin", "action", "end"}},
        {"pressed outside the hit area", 0, true, false, false, {kPressOut, kReleaseOut}, {}},
        {"right button", 0, true, false, false, {kPressRight, kReleaseRight}, {}},
        {"disabled", 0, false, false, false, {kPressIn, kReleaseIn}, {}},
        {"disabled while pressed", 0, true, false, false, {kPressIn, kDisable, kReleaseIn}, {"begin", "end"}},
        {"press consumed by the listener", 0, true, true, false, {kPressIn, kReleaseIn}, {}},
        {"release consumed by the listener", 0, true, false, true, {kPressIn, kReleaseIn}, {"begin", "end"}},
    };
    // The hit area is the button's left half: its right half is "outside".
    button.SetHitArea({0, 0, kButton.getWidth() / 2, kButton.getHeight()});
    const juce::Point<int> in{15, 20};
    const juce::Point<int> out{40, 20};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        button.SetActionTiming(c.timing);
        button.setEnabled(c.enabled);
        recorder.consumeDown = c.consumeDown;
        recorder.consumeUp = c.consumeUp;
        recorder.notices.clear();
        for (Step step : c.steps)
        {
            switch (step)
            {
            case kPressIn:
                Mouse(in, kLeft);
                break;
            case kPressOut:
                Mouse(out, kLeft);
                break;
            case kPressRight:
                Mouse(in, kRight);
                break;
            case kDragOut:
                Mouse(out, kLeft);
                break;
            case kDragIn:
                Mouse(in, kLeft);
                break;
            case kReleaseIn:
                Mouse(in, kNone);
                break;
            case kReleaseOut:
                Mouse(out, kNone);
                break;
            case kReleaseRight:
                Mouse(in, kNone);
                break;
            case kDisable:
                button.setEnabled(false);
                break;
            }
        }
        EXPECT_EQ(recorder.notices, c.notices);
        EXPECT_FALSE(button.IsPressed());
        Mouse(kOutside, kNone);
    }
}
