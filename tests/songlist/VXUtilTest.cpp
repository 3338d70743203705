#include "src/songlist/VXUtil.h"

#include "library/vextal_juce/CZJEResource.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace
{
// The English texts of the interface for the life of the fixture.
class VXUtilTest : public testing::Test
{
protected:
    VXUtilTest() { CZJEResource::CreateInstance(); }
    ~VXUtilTest() override { CZJEResource::DestroyInstance(); }

    uitest::ScopedLanguage m_english{"en"};
};
} // namespace

// One decimal, cut and never rounded, with the unit stepping at 1000 and
// 1,000,000; the space before the unit is optional.
TEST_F(VXUtilTest, SampleRatesShowOneDecimalCut)
{
    struct Case
    {
        double rate;
        bool space;
        const char* text;
    };
    const Case cases[] = {
        {999.0, true, "999.0 Hz"},    {999.99, true, "999.9 Hz"},
        {1000.0, true, "1.0 kHz"},    {44100.0, true, "44.1 kHz"},
        {48000.0, true, "48.0 kHz"},  {88200.0, true, "88.2 kHz"},
        {22050.0, false, "22.0kHz"},  {96000.0, false, "96.0kHz"},
        {1000000.0, true, "1.0 MHz"}, {2822400.0, true, "2.8 MHz"},
        {0.0, true, "0.0 Hz"},        {std::numeric_limits<double>::quiet_NaN(), true, "0.0 Hz"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.rate);
        EXPECT_EQ(Vextal::convertSampleRateToString(c.rate, c.space), c.text);
    }
}

// "1 byte", then the plural unit below one step (negative sizes included),
// then KB, MB and GB at whole-number thresholds with the decimals asked for.
TEST_F(VXUtilTest, SizesStepByTheUnitOfTheirKind)
{
    struct Case
    {
        juce::int64 bytes;
        bool thousands;
        int decimals;
        const char* text;
    };
    const Case cases[] = {
        {0, false, 1, "0 bytes"},
        {1, false, 1, "1 byte"},
        {-5, false, 1, "-5 bytes"},
        {1023, false, 1, "1023 bytes"},
        {1024, false, 1, "1.0 KB"},
        {1024, false, 0, "1 KB"},
        {1536, false, 2, "1.50 KB"},
        {999, true, 1, "999 bytes"},
        {1000, true, 1, "1.0 KB"},
        {1048575, false, 1, "1024.0 KB"},
        {1048576, false, 1, "1.0 MB"},
        {1000000, true, 3, "1.000 MB"},
        {1073741824, false, 1, "1.0 GB"},
        {juce::int64(1) << 32, false, 1, "4.0 GB"},
        {juce::int64(1) << 32, true, 2, "4.29 GB"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Vextal::descriptionOfSizeInBytes(c.bytes, c.thousands, c.decimals), c.text);
    }
}

// Times are rounded to the millisecond before they are split, so a value a
// hair below a minute reads as the minute; style 1 shows hours only when
// there are any, other styles always show them with milliseconds.
TEST_F(VXUtilTest, TimesRoundToTheMillisecondFirst)
{
    struct Case
    {
        int hours;
        int minutes;
        float seconds;
        int style;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, 59.9996f, 1, "1:00"},
        {0, 0, 59.9996f, 0, "00:01:00.000"},
        {1, 2, 5.5f, 1, "1:02:05"},
        {1, 2, 5.5f, 0, "01:02:05.500"},
        {0, 0, 0.0f, 1, "0:00"},
        {0, 0, 0.0f, 0, "00:00:00.000"},
        {0, 59, 59.123f, 0, "00:59:59.123"},
        {0, 75, 0.0f, 1, "1:15:00"},
        {12, 0, 0.001f, 2, "12:00:00.001"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Vextal::convertTimeToString(c.hours, c.minutes, c.seconds, c.style), c.text);
    }
    EXPECT_EQ(Vextal::convertTimeToString(3725.5, 0), "01:02:05.500");
    EXPECT_EQ(Vextal::convertTimeToString(3725.5, 1), "1:02:05");
    EXPECT_EQ(Vextal::convertTimeToString(-3.0, 1), "0:00");
}

// The texts edited are the framework's own key descriptions: those of its key
// presses and those its menus build ("shortcut: 'A'" for a plain character,
// keys joined by ", ").
TEST_F(VXUtilTest, ShortcutKeyTextsFromTheFrameworksDescriptions)
{
    using juce::KeyPress;
    using juce::ModifierKeys;
    const juce::String space = CZJEResource::GetText("Menu_Key_Space");
    const juce::String left = CZJEResource::GetText("Symbol_Left");
    const juce::String right = CZJEResource::GetText("Symbol_Right");
    ASSERT_TRUE(space.isNotEmpty() && left.isNotEmpty() && right.isNotEmpty());

    const KeyPress ctrlShiftO('o', ModifierKeys::ctrlModifier | ModifierKeys::shiftModifier, 0);
    const KeyPress spaceKey(KeyPress::spaceKey);
    const KeyPress leftKey(KeyPress::leftKey);
    const KeyPress ctrlRight(KeyPress::rightKey, ModifierKeys::ctrlModifier, 0);
    const KeyPress backspace(KeyPress::backspaceKey);
    ASSERT_EQ(ctrlShiftO.getTextDescription(), "ctrl + shift + O");
    ASSERT_EQ(spaceKey.getTextDescription(), "spacebar");
    ASSERT_EQ(leftKey.getTextDescription(), "cursor left");
    ASSERT_EQ(backspace.getTextDescription(), "backspace");

    struct Case
    {
        juce::String description;
        juce::String shown;
    };
    const Case cases[] = {
        {ctrlShiftO.getTextDescription(), "ctrl + shift + O"},
        {spaceKey.getTextDescription(), space},
        {leftKey.getTextDescription(), left},
        {ctrlRight.getTextDescription(), "ctrl + " + right},
        // A command with Delete and Backspace shows its first key only.
        {KeyPress(KeyPress::deleteKey).getTextDescription() + ", " + backspace.getTextDescription(),
         "delete"},
        // The menu's form of a plain character key.
        {"shortcut: 'A'", " A"},
        {"ctrl + '", "ctrl + "},
        // Matches are case-sensitive.
        {"Spacebar", "Spacebar"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(Vextal::fixShortcutKeyText(c.description), c.shown);
    }
}
