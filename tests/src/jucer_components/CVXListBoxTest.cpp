#include "src/jucer_components/CVXListBox.h"

#include "tests/src/jucer_components/SongListTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

using songlistpanel::SongListTest;
using Vextal::TrackInfo;

namespace
{
using Insert = CVXListBox::InsertPosition;

// Where a drop inserts: below the last row at the end, in the list's bottom
// 10 pixels after the row under the pointer, else before it.
TEST(CVXListBoxInsertPosition, FollowsTheRowUnderThePointer)
{
    const struct
    {
        int rowAt, y, height, songs;
        Insert expected;
    } cases[] = {
        {-1, 300, 400, 5, {5, true}},  // below the last row
        {-1, 10, 400, 0, {0, true}},   // an empty list
        {2, 60, 400, 5, {2, false}},   // on a row
        {0, 0, 400, 5, {0, false}},    // the top edge
        {7, 390, 400, 20, {7, false}}, // 10 pixels from the bottom: not yet
        {7, 391, 400, 20, {8, true}},  // within the bottom 10 pixels
        {16, 399, 400, 20, {17, true}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "row " << c.rowAt << " y " << c.y);
        const Insert got = CVXListBox::ComputeInsertPosition(c.rowAt, c.y, c.height, c.songs);
        EXPECT_EQ(got.row, c.expected.row);
        EXPECT_EQ(got.after, c.expected.after);
    }
}

// The rows of a drag description, checked against the song count; a block
// dropped inside or at either end of itself stays where it is.
TEST(CVXListBoxDrop, RowsAreCheckedAndABlockOnItselfDoesNotMove)
{
    const struct
    {
        const char* description;
        int songs;
        const char* rows; // "" when refused
    } parses[] = {
        {"2 3 7 ", 8, "2-3,7"}, {"3 4 ", 5, "3-4"}, {"3 4 ", 4, ""},          {"0 ", 1, "0"}, {"", 5, ""},
        {"1 x ", 5, ""},        {"-1 ", 5, ""},     {"1 99999999999 ", 5, ""}};
    for (const auto& c : parses)
    {
        SCOPED_TRACE(c.description);
        const auto rows = CVXListBox::ParseRows(c.description, c.songs);
        EXPECT_EQ(rows ? hosttest::RangesOf(*rows) : std::string(), c.rows);
    }

    const auto block = hosttest::SetOf({3, 4});
    for (const int insert : {3, 4, 5})
        EXPECT_TRUE(CVXListBox::IsDropInPlace(block, insert)) << insert;
    for (const int insert : {0, 2, 6})
        EXPECT_FALSE(CVXListBox::IsDropInPlace(block, insert)) << insert;
    EXPECT_FALSE(CVXListBox::IsDropInPlace(hosttest::SetOf({1, 5}), 3));
    EXPECT_FALSE(CVXListBox::IsDropInPlace(hosttest::SetOf({1, 5}), 1));
}

class CVXListBoxTest : public SongListTest
{
protected:
    void Drop(const juce::String& description, juce::Component* source, int row, int dy = 0)
    {
        const juce::Point<int> at = List().getRowPosition(row, true).getCentre().translated(0, dy);
        List().itemDropped({description, source, at});
    }
};

// Rows 3 and 4 dropped on themselves push nothing; dropped at the top they
// move as one undo step. Drags from elsewhere and rows the list does not
// have drop nothing.
TEST_F(CVXListBoxTest, DroppedRowsMoveAsOneUndoStep)
{
    AddSongs(6);
    ShowPanel();
    const std::string order = Names();
    for (const int row : {3, 4})
        Drop("3 4 ", &List(), row);
    Drop("3 4 ", &List(), 5);
    EXPECT_EQ(Names(), order);
    EXPECT_FALSE(m_commands->canUndo());

    juce::Component stranger;
    Drop("3 4 ", &stranger, 0);
    Drop("3 9 ", &List(), 0);
    Drop("3 x ", &List(), 0);
    EXPECT_FALSE(List().isInterestedInDragSource({"3 ", &stranger, {}}));
    EXPECT_EQ(Names(), order);
    EXPECT_FALSE(m_commands->canUndo());

    Drop("3 4 ", &List(), 0);
    EXPECT_EQ(Names(), "s3 s4 s0 s1 s2 s5");
    EXPECT_EQ(hosttest::RangesOf(m_host->GetSelection()), "0-1");
    EXPECT_EQ(List().GetInsertPosition().row, -1);
    EXPECT_EQ(m_commands->getUndoDescription(), "Undo : Rearrange Songs");
    ASSERT_TRUE(m_commands->undo());
    EXPECT_EQ(Names(), order);

    // Rows 1 and 5 dropped between them, and rows dropped below the last.
    Drop("1 5 ", &List(), 3);
    EXPECT_EQ(Names(), "s0 s2 s1 s5 s3 s4");
    ASSERT_TRUE(m_commands->undo());
    Drop("0 ", &List(), 5, 24);
    EXPECT_EQ(Names(), "s1 s2 s3 s4 s5 s0");
}

// Files dropped on a list with songs are added at the marker; an empty list
// and a running export do not take them.
TEST_F(CVXListBoxTest, FileDropsNeedSongsAndNormalMode)
{
    ShowPanel();
    EXPECT_FALSE(List().isInterestedInFileDrag({"/x.wav"}));
    AddSongs(3);
    m_panel->OnVXHostNumTracksChanged(m_host.get(), 3);
    EXPECT_TRUE(List().isInterestedInFileDrag({"/x.wav"}));
    m_host->SetMode(1);
    EXPECT_FALSE(List().isInterestedInFileDrag({"/x.wav"}));
    const int current = m_host->GetCurPlayTrack(0);
    List().returnKeyPressed(1);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), current);
    m_host->SetMode(0);
}

// The relative luminance of a colour, as contrast ratios use it.
double Luminance(juce::Colour c)
{
    const auto linear = [](juce::uint8 v)
    {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.getRed()) + 0.7152 * linear(c.getGreen()) + 0.0722 * linear(c.getBlue());
}

// The colour most of an area is drawn in: a row's background under its
// texts.
juce::Colour MostCommonColour(const juce::Image& image, juce::Rectangle<int> area)
{
    std::map<juce::uint32, int> counts;
    const juce::Image::BitmapData data(image, juce::Image::BitmapData::readOnly);
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            ++counts[data.getPixelColour(x, y).getARGB()];
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return juce::Colour(most->first);
}

// A selected row stands out from the list: the contrast of its background
// with an unselected row's is at least 1.5 (it was 1.08, white over the
// list's light grey), and the texts keep their contrast on it.
TEST_F(CVXListBoxTest, TheSelectedRowIsPlainlyVisible)
{
    AddSongs(6);
    ShowPanel();
    m_host->SetSelectedSongs(2, 1, false);
    ASSERT_TRUE(uitest::PumpUntil([&] { return List().isRowSelected(2); }));
    const juce::Image shot = uitest::Snapshot(*m_panel);
    uitest::SavePng(shot, "SongListSelection");
    const auto rowArea = [&](int row)
    {
        return m_panel->getLocalArea(&List(), List().getRowPosition(row, true))
            .withWidth(CVXListBox::kRowWidth)
            .reduced(0, 3);
    };
    const juce::Colour selected = MostCommonColour(shot, rowArea(2));
    const juce::Colour plain = MostCommonColour(shot, rowArea(4));
    const double ratio = (Luminance(plain) + 0.05) / (Luminance(selected) + 0.05);
    EXPECT_GE(ratio, 1.5) << selected.toString() << " on " << plain.toString();
    EXPECT_GE((Luminance(selected) + 0.05) / 0.05, 7.0) << "black text on the selection";
}

// The name editor of a row holds the whole height of its font: the text's
// descenders ("gjpqy") end above the editor's bottom edge instead of being
// cut by it.
TEST_F(CVXListBoxTest, TheNameEditorHoldsTheDescenders)
{
    AddSongs(3);
    ShowPanel();
    m_host->SetSelectedSongs(1, 1, false);
    m_panel->editSongName();
    auto& name = Row(1).GetLabel(CVXListItem::kNameLabel);
    juce::TextEditor* editor = name.getCurrentTextEditor();
    ASSERT_NE(editor, nullptr);
    editor->setText("gjpqy Song", false);
    const juce::BorderSize<int> border = editor->getBorder();
    const float textBottom =
        static_cast<float>(border.getTop() + editor->getTopIndent()) + name.getFont().getHeight();
    EXPECT_LE(textBottom, static_cast<float>(editor->getHeight() - border.getBottom() - 1));

    const juce::Image shot = uitest::Snapshot(*editor);
    uitest::SavePng(shot, "SongNameEditor");
    int lowestInk = -1;
    for (int y = 0; y < shot.getHeight(); ++y)
        for (int x = border.getLeft(); x < shot.getWidth() - border.getRight(); ++x)
            if (shot.getPixelAt(x, y).getBrightness() < 0.5f)
                lowestInk = y;
    ASSERT_GE(lowestInk, 0) << "no text drawn";
    EXPECT_LT(lowestInk, shot.getHeight() - border.getBottom() - 1) << "descenders reach the bottom edge";
    editor->setText({}, false);
    name.hideEditor(true);
}

// Selecting every song, and the name editor of the last selected row.
TEST_F(CVXListBoxTest, SelectAllAndEditSongName)
{
    AddSongs(30);
    ShowPanel();
    m_panel->selectAllSongs();
    EXPECT_EQ(hosttest::RangesOf(m_host->GetSelection()), "0-29");
    EXPECT_EQ(m_panel->GetLabel(CVXLayerList::kGainLabel).getText(), "0.0");

    m_host->SetSelectedSongs(25, 1, true);
    m_panel->editSongName();
    juce::Component::SafePointer<LabelWithInlineEditor> name(&Row(25).GetLabel(CVXListItem::kNameLabel));
    EXPECT_TRUE(name->isBeingEdited());
    // A refresh of the rows closes the editor without a rename.
    name->getCurrentTextEditor()->setText("typed", false);
    List().updateContent();
    EXPECT_TRUE(name == nullptr || !name->isBeingEdited());
    EXPECT_EQ(m_host->GetSong(25)->getText(TrackInfo::kSongName), "s25");
    EXPECT_FALSE(m_commands->canUndo());
}
} // namespace
