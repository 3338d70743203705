#include "src/jucer_components/CVXLayerList.h"

#include "tests/src/jucer_components/SongListTestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

using songlistpanel::SongListTest;
using Vextal::TrackInfo;

namespace
{
// The texts the panel shows for values.
TEST(CVXLayerListTexts, ValuesReadAsTheirTexts)
{
    struct Case
    {
        float value;
        const char* gain;
        const char* balance;
    };
    const Case cases[] = {{3.5f, "+3.5", "R350"}, {0.0f, "0.0", "C"},     {-12.0f, "-12.0", "L1200"},
                          {0.05f, "+0.1", "R5"},  {-0.3f, "-0.3", "L30"}, {1.0f, "+1.0", "R100"},
                          {-0.0f, "0.0", "C"},    {-0.04f, "0.0", "L4"},  {0.04f, "0.0", "R4"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(CVXLayerList::GainText(c.value), c.gain);
        EXPECT_EQ(CVXLayerList::BalanceText(c.value), c.balance);
    }
    EXPECT_EQ(CVXLayerList::TimeText(2.26f), "2.3");
    EXPECT_EQ(CVXLayerList::TimeText(10.0f), "10.0");
}

// Typed balances and decimals back to values; a text without a value gives
// none (and so changes no song).
TEST(CVXLayerListTexts, TypedTextsGiveValuesOrNone)
{
    const struct
    {
        const char* text;
        std::optional<float> value;
    } balances[] = {{"l25", -0.25f},          {"L25", -0.25f},      {"C", 0.0f},          {"c", 0.0f},
                    {"r100", 1.0f},           {"R5", 0.05f},        {"25", 0.25f},        {"-7", -0.07f},
                    {"", std::nullopt},       {"lr", std::nullopt}, {"C5", std::nullopt}, {"+", std::nullopt},
                    {"garbage", std::nullopt}};
    for (const auto& c : balances)
    {
        SCOPED_TRACE(c.text);
        const auto value = CVXLayerList::convertBalanceTextToFloat(c.text);
        ASSERT_EQ(value.has_value(), c.value.has_value());
        if (value)
        {
            EXPECT_FLOAT_EQ(*value, *c.value);
        }
    }
    const struct
    {
        const char* text;
        std::optional<float> value;
    } decimals[] = {{"3.5", 3.5f},       {"+1", 1.0f},         {"-.5", -0.5f},      {"12.", 12.0f},
                    {"7..1", 7.0f},      {"", std::nullopt},   {".", std::nullopt}, {"+-", std::nullopt},
                    {"-", std::nullopt}, {"abc", std::nullopt}};
    for (const auto& c : decimals)
    {
        SCOPED_TRACE(c.text);
        const auto value = CVXLayerList::convertDecimalTextToFloat(c.text);
        ASSERT_EQ(value.has_value(), c.value.has_value());
        if (value)
        {
            EXPECT_FLOAT_EQ(*value, *c.value);
        }
    }
}

class CVXLayerListTest : public SongListTest
{
protected:
    // Types text in a value label's editor and presses Return.
    void Type(int label, const juce::String& text)
    {
        auto& l = m_panel->GetLabel(label);
        l.showEditor();
        juce::TextEditor* editor = l.getCurrentTextEditor();
        ASSERT_NE(editor, nullptr);
        editor->setText(text, false);
        l.textEditorReturnKeyPressed(*editor);
    }
};

// Return in a value's editor sets every selected song as one undo step; a
// text that holds no value sets nothing (not 0 on every song).
TEST_F(CVXLayerListTest, TypedValuesApplyToTheSelectionAndGarbageIsIgnored)
{
    AddSongs(3);
    ShowPanel();
    m_host->GetSong(0)->setControl(TrackInfo::kGain, 1.0f, false);
    m_host->GetSong(1)->setControl(TrackInfo::kGain, 2.0f, false);
    m_host->SetSelectedSongs(0, 2, false);
    ASSERT_EQ(List().getNumSelectedRows(), 2);
    EXPECT_EQ(m_panel->GetLabel(CVXLayerList::kGainLabel).getText(), "");

    const struct
    {
        int label;
        const char* text;
    } garbage[] = {{CVXLayerList::kGainLabel, "+-"},
                   {CVXLayerList::kGainLabel, "."},
                   {CVXLayerList::kBalanceLabel, "lr"},
                   {CVXLayerList::kFadeInTimeLabel, ""}};
    for (const auto& c : garbage)
    {
        SCOPED_TRACE(c.text);
        Type(c.label, c.text);
        EXPECT_FLOAT_EQ(Control(0, TrackInfo::kGain), 1.0f);
        EXPECT_FLOAT_EQ(Control(1, TrackInfo::kGain), 2.0f);
        EXPECT_FLOAT_EQ(Control(0, TrackInfo::kBalance), 0.0f);
        EXPECT_FALSE(m_commands->canUndo());
    }

    Type(CVXLayerList::kBalanceLabel, "l25");
    EXPECT_FLOAT_EQ(Control(0, TrackInfo::kBalance), -0.25f);
    EXPECT_FLOAT_EQ(Control(1, TrackInfo::kBalance), -0.25f);
    EXPECT_FLOAT_EQ(Control(2, TrackInfo::kBalance), 0.0f);
    EXPECT_EQ(m_panel->GetLabel(CVXLayerList::kBalanceLabel).getText(), "L25");
    Type(CVXLayerList::kBalanceLabel, "r100");
    EXPECT_FLOAT_EQ(Control(1, TrackInfo::kBalance), 1.0f);
    Type(CVXLayerList::kGainLabel, "-3.5");
    EXPECT_FLOAT_EQ(Control(0, TrackInfo::kGain), -3.5f);
    EXPECT_FLOAT_EQ(Control(1, TrackInfo::kGain), -3.5f);
    EXPECT_EQ(m_panel->GetLabel(CVXLayerList::kGainLabel).getText(), "-3.5");

    ASSERT_TRUE(m_commands->undo());
    EXPECT_FLOAT_EQ(Control(0, TrackInfo::kGain), 1.0f);
    EXPECT_FLOAT_EQ(Control(1, TrackInfo::kGain), 2.0f);
    EXPECT_EQ(m_commands->getUndoDescription(), "Undo : Change Balance");
}

// A value's text, set flush right, ends before its unit's text begins,
// though the unit label starts inside the value label.
TEST_F(CVXLayerListTest, ValuesNeverRunIntoTheirUnits)
{
    ShowPanel();
    const std::pair<int, int> pairs[] = {{CVXLayerList::kGainLabel, CVXLayerList::kGainUnitLabel},
                                         {CVXLayerList::kFadeInTimeLabel, CVXLayerList::kFadeInUnitLabel},
                                         {CVXLayerList::kFadeOutTimeLabel, CVXLayerList::kFadeOutUnitLabel}};
    for (const auto& [value, unit] : pairs)
    {
        SCOPED_TRACE(value);
        auto& v = m_panel->GetLabel(value);
        auto& u = m_panel->GetLabel(unit);
        const int valueTextRight = v.getScreenX() + v.getWidth() - v.getBorderSize().getRight();
        const int unitTextLeft = u.getScreenX() + u.getBorderSize().getLeft();
        EXPECT_LT(valueTextRight, unitTextLeft);
    }
}

// The selection's values: empty when they differ, the balance disabled for
// a mono song, all disabled without a selection.
TEST_F(CVXLayerListTest, ShowsTheSelectionsCommonValues)
{
    AddSongs(2);
    AddSong(WriteSong("mono.wav", 2205, 1, 1));
    ShowPanel();
    for (int i = 0; i < 3; ++i)
    {
        m_host->GetSong(i)->setControl(TrackInfo::kFadeInTime, 1.5f, false);
        m_host->GetSong(i)->setControl(TrackInfo::kGain, i == 0 ? 1.0f : 2.0f, false);
    }
    m_host->SetSelectedSongs(0, 2, false);
    auto& panel = *m_panel;
    EXPECT_EQ(panel.GetLabel(CVXLayerList::kGainLabel).getText(), "");
    EXPECT_EQ(panel.GetLabel(CVXLayerList::kFadeInTimeLabel).getText(), "1.5");
    EXPECT_EQ(panel.GetLabel(CVXLayerList::kBalanceLabel).getText(), "C");
    EXPECT_TRUE(panel.GetLabel(CVXLayerList::kBalanceLabel).isEnabled());
    EXPECT_TRUE(panel.GetCommandButton(CVXLayerList::kRemoveButton).isEnabled());

    m_host->SetSelectedSongs(1, 2, false);
    EXPECT_EQ(panel.GetLabel(CVXLayerList::kGainLabel).getText(), "+2.0");
    EXPECT_FALSE(panel.GetLabel(CVXLayerList::kBalanceLabel).isEnabled());

    // During an export the normalized gain shows, in blue bold when the
    // song is normalized.
    for (int i : {1, 2})
        m_host->GetSong(i)->setNormalizeOffset(1.5f);
    m_host->SetMode(1);
    m_panel->UpdateTrackInfo();
    auto& gain = panel.GetLabel(CVXLayerList::kGainLabel);
    EXPECT_EQ(gain.getText(), "+2.0");
    EXPECT_EQ(gain.findColour(juce::Label::textColourId), juce::Colours::black);
    for (int i : {1, 2})
        m_host->GetSong(i)->setNormalize(true);
    m_panel->UpdateTrackInfo();
    EXPECT_EQ(gain.getText(), "+3.5");
    EXPECT_EQ(gain.findColour(juce::Label::textColourId), juce::Colour(CVXLayerList::kHighlightColour));
    EXPECT_TRUE(gain.getFont().isBold());
    EXPECT_FALSE(panel.GetCommandButton(CVXLayerList::kAddButton).isEnabled());
    m_host->SetMode(0);
    m_panel->UpdateTrackInfo();
    EXPECT_EQ(gain.getText(), "+2.0");
    EXPECT_FALSE(gain.getFont().isBold());
    EXPECT_TRUE(panel.GetCommandButton(CVXLayerList::kAddButton).isEnabled());

    m_host->SetSelectedSongs(juce::SparseSet<int>(), false);
    for (int i = 0; i < CVXLayerList::kNumValueLabels; ++i)
    {
        EXPECT_EQ(panel.GetLabel(i).getText(), "");
        EXPECT_FALSE(panel.GetLabel(i).isEnabled());
    }
    EXPECT_FALSE(panel.GetFadeToggle(CVXLayerList::kFadeInToggle).isEnabled());
    EXPECT_FALSE(panel.GetCommandButton(CVXLayerList::kRemoveButton).isEnabled());
    EXPECT_TRUE(panel.GetCommandButton(CVXLayerList::kAddButton).isEnabled());
}

// Mixed fade types show state 3; clicks then give none, linear, squared,
// each on every selected song.
TEST_F(CVXLayerListTest, TheMixedFadeToggleStepsToNoneThenLinearThenSquared)
{
    AddSongs(2);
    ShowPanel();
    m_host->GetSong(0)->setControl(TrackInfo::kFadeInType, 1, false);
    m_host->GetSong(1)->setControl(TrackInfo::kFadeInType, 2, false);
    m_host->SetSelectedSongs(0, 2, false);
    auto& toggle = m_panel->GetFadeToggle(CVXLayerList::kFadeInToggle);
    EXPECT_EQ(toggle.GetState(), CVXLayerList::kMixedFade);
    for (const int expected : {0, 1, 2, 0})
    {
        SCOPED_TRACE(expected);
        ClickAt(At(toggle));
        EXPECT_EQ(toggle.GetState(), expected);
        EXPECT_EQ(m_host->GetSong(0)->getControlInt(TrackInfo::kFadeInType), expected);
        EXPECT_EQ(m_host->GetSong(1)->getControlInt(TrackInfo::kFadeInType), expected);
    }
    EXPECT_EQ(m_panel->GetFadeToggle(CVXLayerList::kFadeOutToggle).GetState(), 0);
}

// Dragging the gain 25 pixels up from +1.0 dB gives +3.5 dB; the drag is one
// undo step, which also gives back the selection of its start.
TEST_F(CVXLayerListTest, ADragOfTheGainIsOneUndoStep)
{
    AddSongs(3);
    ShowPanel();
    m_host->GetSong(1)->setControl(TrackInfo::kGain, 1.0f, false);
    m_host->SetSelectedSongs(1, 1, false);
    auto& gain = m_panel->GetLabel(CVXLayerList::kGainLabel);
    ASSERT_EQ(gain.getText(), "+1.0");

    const juce::Point<int> start = At(gain);
    Press(start);
    for (const int dy : {-3, -10, -18, -25})
    {
        DragTo(start.translated(0, dy));
        EXPECT_TRUE(m_panel->IsDragging());
        EXPECT_FALSE(m_panel->currentSongCanBeChanged(m_host.get()));
    }
    Release(start.translated(0, -25));
    EXPECT_FALSE(m_panel->IsDragging());
    EXPECT_FLOAT_EQ(Control(1, TrackInfo::kGain), 3.5f);
    EXPECT_EQ(gain.getText(), "+3.5");

    m_host->SetSelectedSongs(0, 1, false);
    ASSERT_TRUE(m_commands->undo());
    EXPECT_FLOAT_EQ(Control(1, TrackInfo::kGain), 1.0f);
    EXPECT_EQ(hosttest::RangesOf(m_host->GetSelection()), "1");
    EXPECT_FALSE(m_commands->canUndo());
    ASSERT_TRUE(m_commands->redo());
    EXPECT_FLOAT_EQ(Control(1, TrackInfo::kGain), 3.5f);
}

// The panel as the main window shows it, with songs, a selection, the
// current song playing and one song's file missing; saved as
// SongListPanel_<language>.png.
class SongListPanelDrawing : public SongListTest, public testing::WithParamInterface<const char*>
{
protected:
    SongListPanelDrawing() : SongListTest(GetParam()) {}
};

TEST_P(SongListPanelDrawing, DrawsThePanel)
{
    const bool japanese = juce::String(GetParam()) == "ja";
    for (int i = 0; i < 12; ++i)
        AddSongOfSeconds("song" + std::to_string(i), 3.0 + i * 10.0);
    m_host->GetSong(1)->setText(
        TrackInfo::kSongName,
        japanese ? juce::String::fromUTF8("\xe5\xa4\x9c\xe6\x98\x8e\xe3\x81\x91\xe3\x81\xae\xe6\xad\x8c")
                 : juce::String("Morning Song"),
        true);
    MakeUnloadable(m_host->GetSong(4));
    m_host->GetSong(4)->reload(false);
    ShowPanel();
    for (int i : {2, 3})
    {
        m_host->GetSong(i)->setControl(TrackInfo::kGain, 3.5f, false);
        m_host->GetSong(i)->setControl(TrackInfo::kBalance, -0.3f, false);
        m_host->GetSong(i)->setControl(TrackInfo::kFadeInType, 1, false);
        m_host->GetSong(i)->setControl(TrackInfo::kFadeInTime, 2.0f, false);
    }
    ASSERT_TRUE(m_host->SetCurPlayTrack(1, true, false));
    m_host->SetSelectedSongs(2, 2, false);
    uitest::Pump(50);

    EXPECT_EQ(Row(0).GetLabel(CVXListItem::kNumberLabel).getText(), "1");
    EXPECT_EQ(Row(0).GetLabel(CVXListItem::kTimeLabel).getText(), "0:03");
    EXPECT_EQ(Row(0).GetLabel(CVXListItem::kRateLabel).getText(),
              m_host->GetSong(0)->getFormatID() + " (44.1kHz)");
    EXPECT_EQ(Row(2).GetLabel(CVXListItem::kTimeLabel).getText(), "0:23");
    EXPECT_EQ(Row(4).GetLabel(CVXListItem::kNameLabel).findColour(juce::Label::textColourId),
              juce::Colour(CVXListItem::kMissingColour));
    EXPECT_EQ(m_panel->GetLabel(CVXLayerList::kBalanceLabel).getText(), "L30");

    const juce::Image shot = uitest::Snapshot(*m_panel);
    EXPECT_TRUE(uitest::IsDrawn(shot));
    uitest::SavePng(shot, juce::String("SongListPanel_") + GetParam());
}

INSTANTIATE_TEST_SUITE_P(Languages, SongListPanelDrawing, testing::ValuesIn(uitest::kInterfaceLanguages));
} // namespace
