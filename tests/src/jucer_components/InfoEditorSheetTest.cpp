#include "src/jucer_components/InfoEditorSheet.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/Action/CVXActionRename.h"
#include "src/songlist/Action/ChangePictureAction.h"
#include "src/songlist/Action/SelectionRetriever.h"
#include "src/songlist/CommandManager.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/PictureTestSupport.h"
#include "tests/src/ScopedInterface.h"
#include "tests/src/SheetTestSupport.h"
#include "tests/support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace hosttest;
using Vextal::InfoEditorSheet;
using Vextal::TrackInfo;

namespace
{
// A host with songs, the undo stack and the sheet in a window, in the
// interface language given.
class InfoEditorSheetTest : public HostTest
{
protected:
    void SetUp() override { SetUpIn("en"); }
    void SetUpIn(const char* language)
    {
        HostTest::SetUp();
        m_ui.emplace(language);
        m_commands = std::make_unique<Vextal::CommandManager>(*m_host, [] {});
        m_sheet = std::make_unique<InfoEditorSheet>(*m_host, *m_commands);
        uitest::ShowSheetWindow(m_window, *m_sheet, 560, 420);
    }
    void TearDown() override
    {
        uitest::HideSheetWindow(m_window, m_sheet.get());
        m_sheet.reset();
        m_commands.reset();
        m_ui.reset();
        HostTest::TearDown();
    }

    void Open() { uitest::OpenSheet(*m_sheet); }
    // A click on a control of the open sheet, as the mouse makes it.
    void Click(juce::Component& control) { uitest::ClickControl(m_window, control); }
    void Ok()
    {
        Click(m_sheet->getOkButton());
        ASSERT_TRUE(uitest::PumpUntil([&] { return m_sheet->GetState() == CZfcSheet::kClosed; }));
    }
    // The user's edit of a field: its text committed.
    void Edit(juce::Label& editor, const juce::String& text)
    {
        editor.setText(text, juce::sendNotificationSync);
    }
    juce::String Field(int textId) { return m_sheet->getEditor(textId).getText(); }
    juce::String Name(int index) const { return m_host->GetSong(index)->getText(TrackInfo::kSongName); }
    void SetDate(int index, const char* y, const char* m, const char* d)
    {
        m_host->GetSong(index)->setText(TrackInfo::kRecYear, y, false);
        m_host->GetSong(index)->setText(TrackInfo::kRecMonth, m, false);
        m_host->GetSong(index)->setText(TrackInfo::kRecDay, d, false);
    }
    juce::String Date(int index) const
    {
        const TrackInfo* s = m_host->GetSong(index);
        return s->getText(TrackInfo::kRecYear) + "-" + s->getText(TrackInfo::kRecMonth) + "-" +
               s->getText(TrackInfo::kRecDay);
    }
    // The actions of the last transaction, by kind: "sel", "text<id>",
    // "pic" (a rename names its text id through its kind only: "rename").
    juce::StringArray LastTransaction() const
    {
        juce::Array<const juce::UndoableAction*> actions;
        m_commands->getActionsInCurrentTransaction(actions);
        juce::StringArray kinds;
        for (const auto* a : actions)
        {
            if (dynamic_cast<const Vextal::SelectionRetriever*>(a) != nullptr)
                kinds.add("sel");
            else if (dynamic_cast<const CVXActionRename*>(a) != nullptr)
                kinds.add("rename");
            else if (dynamic_cast<const Vextal::ChangePictureAction*>(a) != nullptr)
                kinds.add("pic");
        }
        return kinds;
    }

    std::optional<uitest::ScopedInterface> m_ui;
    std::unique_ptr<Vextal::CommandManager> m_commands;
    std::unique_ptr<InfoEditorSheet> m_sheet;
    juce::Component m_window;
};

using InfoEditorSheetDrawing = uitest::InEachLanguage<InfoEditorSheetTest>;
} // namespace

// Removing a number takes the digits, and the separator when the rest
// begins with it; a name is never emptied. Numbers are padded to the width
// of the song count.
TEST(InfoEditorSheetNumbering, RemovesAndInsertsNumbers)
{
    struct RemoveCase
    {
        const char* name;
        const char* separator;
        const char* result;
    };
    const RemoveCase removals[] = {
        {"07 Song", "", " Song"},    {"07 Song", " ", "Song"},
        {"07-Song", " ", "07-Song"}, {"3 - Song", " - ", "Song"},
        {"Song 1", "", "Song 1"},    {"0123", "", "0123"},
        {"12 ", " ", "12 "},         {"", "", ""},
    };
    for (const RemoveCase& c : removals)
    {
        SCOPED_TRACE(juce::String("\"") + c.name + "\" with \"" + c.separator + "\"");
        EXPECT_EQ(InfoEditorSheet::removeNumbering(c.name, c.separator), c.result);
    }
    struct InsertCase
    {
        int position, count;
        const char* result;
    };
    const InsertCase insertions[] = {{0, 12, "01. x"}, {11, 12, "12. x"},  {8, 9, "9. x"},
                                     {0, 1, "1. x"},   {0, 100, "001. x"}, {99, 100, "100. x"}};
    for (const InsertCase& c : insertions)
    {
        SCOPED_TRACE(juce::String(c.position) + " of " + juce::String(c.count));
        EXPECT_EQ(InfoEditorSheet::insertNumbering("x", ". ", c.position, c.count), c.result);
    }
}

// With nothing selected the sheet selects every song. A field shows a text
// only when all selected songs share it; a date shows only whole; differing
// pictures show the "several pictures" message and lock the picture box.
TEST_F(InfoEditorSheetTest, ShowsWhatTheSelectedSongsShare)
{
    AddSongs(3);
    for (int i = 0; i < 3; ++i)
    {
        m_host->GetSong(i)->setText(TrackInfo::kTitle, "Same", false);
        m_host->GetSong(i)->setText(TrackInfo::kArtist, "Artist " + juce::String(i), false);
        m_host->GetSong(i)->setText(TrackInfo::kRecHour, "10", false);
        SetDate(i, "2020", "5", juce::String(i + 1).toRawUTF8());
        m_host->GetSong(i)->setAttachedPictureFilePath("/pictures/" + juce::String(i) + ".png", false);
    }
    m_host->SetSelectedSongs(juce::SparseSet<int>(), false);
    Open();
    EXPECT_EQ(RangesOf(m_host->GetSelection()), "0-2");
    EXPECT_EQ(Field(TrackInfo::kTitle), "Same");
    EXPECT_EQ(Field(TrackInfo::kArtist), "");
    EXPECT_EQ(Field(TrackInfo::kRecYear), "");
    EXPECT_EQ(Field(TrackInfo::kRecMonth), "");
    EXPECT_EQ(Field(TrackInfo::kRecDay), "");
    EXPECT_EQ(Field(TrackInfo::kRecHour), m_host->GetSong(0)->getText(TrackInfo::kRecHour));
    EXPECT_FALSE(m_sheet->getCheckBox(TrackInfo::kTitle).getToggleState());
    EXPECT_FALSE(m_sheet->getPictureCheckBox().isEnabled());
    EXPECT_EQ(m_sheet->getPictureWell().getMessageLabel().getText(),
              CZJEResource::GetText("Other_MultiplePicture"));

    // Choosing a picture unlocks and ticks the box.
    m_sheet->getPictureWell().setFilePath("/pictures/new.png", true);
    EXPECT_TRUE(m_sheet->getPictureCheckBox().isEnabled());
    EXPECT_TRUE(m_sheet->getPictureCheckBox().getToggleState());
}

// Numbering twelve songs gives 01 to 12 in one transaction, which undo takes
// back whole, selection included.
TEST_F(InfoEditorSheetTest, NumbersTwelveSongsAsOneUndoStep)
{
    AddSongs(12);
    m_host->SetSelectedSongs(0, 12, false);
    m_sheet->getSeparator().setText(" - ", juce::dontSendNotification);
    Open();
    Click(m_sheet->getInsert());
    ASSERT_TRUE(m_sheet->getInsert().getToggleState());
    Ok();
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(Name(i), juce::String(i + 1).paddedLeft('0', 2) + " - s" + juce::String(i));
    EXPECT_EQ(m_commands->getUndoDescriptions(), juce::StringArray(CZJEResource::GetText("Action_EditInfo")));
    EXPECT_EQ(LastTransaction().size(), 13);

    m_host->SetSelectedSongs(3, 1, false);
    ASSERT_TRUE(m_commands->undo());
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(Name(i), "s" + juce::String(i));
    EXPECT_EQ(RangesOf(m_host->GetSelection()), "0-11");

    // Removing the numbers again, with the separator, after a redo.
    ASSERT_TRUE(m_commands->redo());
    Open();
    EXPECT_FALSE(m_sheet->getInsert().getToggleState());
    Click(m_sheet->getInsert());
    Click(m_sheet->getRemove());
    EXPECT_FALSE(m_sheet->getInsert().getToggleState());
    EXPECT_TRUE(m_sheet->getRemove().getToggleState());
    Ok();
    EXPECT_EQ(Name(0), "s0");
    EXPECT_EQ(Name(11), "s11");
}

// Ticked texts are written to every selected song; OK with nothing ticked
// still makes the transaction, holding only the selection.
TEST_F(InfoEditorSheetTest, WritesOnlyTickedFields)
{
    AddSongs(3);
    m_host->SetSelectedSongs(hosttest::SetOf({0, 2}), false);
    m_host->GetSong(1)->setText(TrackInfo::kAlbum, "Keep", false);
    Open();
    Ok();
    EXPECT_EQ(LastTransaction(), juce::StringArray("sel"));

    Open();
    Edit(m_sheet->getEditor(TrackInfo::kAlbum), "Album");
    EXPECT_TRUE(m_sheet->getCheckBox(TrackInfo::kAlbum).getToggleState());
    Edit(m_sheet->getEditor(TrackInfo::kGenre), "Rock");
    Click(m_sheet->getCheckBox(TrackInfo::kGenre)); // untick again: not written
    Ok();
    EXPECT_EQ(LastTransaction(), juce::StringArray({"sel", "rename", "rename"}));
    EXPECT_EQ(m_host->GetSong(0)->getText(TrackInfo::kAlbum), "Album");
    EXPECT_EQ(m_host->GetSong(1)->getText(TrackInfo::kAlbum), "Keep");
    EXPECT_EQ(m_host->GetSong(2)->getText(TrackInfo::kAlbum), "Album");
    EXPECT_EQ(m_host->GetSong(2)->getText(TrackInfo::kGenre), "");
}

// Typing, Tab, typing and Return, as the keyboard sends them: Tab goes from
// field to field (never to a check box, which Return would tick), both texts
// are kept and both are written. Shift-Tab goes back, and Tab from the last
// field comes round to the first.
TEST_F(InfoEditorSheetTest, TabGoesFromFieldToFieldAndKeepsWhatIsTyped)
{
    AddSongs(2);
    m_host->GetSong(0)->setText(TrackInfo::kLocation, "Hall", false);
    m_host->SetSelectedSongs(0, 2, false);
    Open();
    auto& genre = m_sheet->getEditor(TrackInfo::kGenre);
    auto& location = m_sheet->getEditor(TrackInfo::kLocation);
    Click(genre);
    ASSERT_TRUE(uitest::PumpUntil([&] { return genre.getCurrentTextEditor() != nullptr; }));
    uitest::TypeText(*m_sheet, "Rock");
    uitest::PressKey(*m_sheet, juce::KeyPress(juce::KeyPress::tabKey));
    ASSERT_TRUE(uitest::PumpUntil([&] { return location.getCurrentTextEditor() != nullptr; }));
    EXPECT_EQ(Field(TrackInfo::kGenre), "Rock");
    uitest::TypeText(*m_sheet, "Studio");
    uitest::PressKey(*m_sheet, juce::KeyPress(juce::KeyPress::returnKey));
    // The editor tells of Return through a posted message.
    ASSERT_TRUE(uitest::PumpUntil([&] { return location.getCurrentTextEditor() == nullptr; }));
    EXPECT_EQ(Field(TrackInfo::kLocation), "Studio");
    EXPECT_TRUE(m_sheet->getCheckBox(TrackInfo::kLocation).getToggleState());
    EXPECT_FALSE(m_sheet->getCheckBox(TrackInfo::kLocation).hasKeyboardFocus(true));

    const auto traverser = m_sheet->createKeyboardFocusTraverser();
    EXPECT_EQ(traverser->getNextComponent(&genre), &location);
    EXPECT_EQ(traverser->getPreviousComponent(&location), &genre);
    EXPECT_EQ(traverser->getNextComponent(&m_sheet->getEditor(TrackInfo::kRecSecond)),
              &m_sheet->getSeparator());
    EXPECT_EQ(traverser->getNextComponent(&m_sheet->getCheckBox(TrackInfo::kLocation)), &location);
    for (auto* c : traverser->getAllComponents(m_sheet.get()))
        EXPECT_NE(dynamic_cast<juce::Label*>(c), nullptr);

    Ok();
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_EQ(m_host->GetSong(i)->getText(TrackInfo::kGenre), "Rock");
        EXPECT_EQ(m_host->GetSong(i)->getText(TrackInfo::kLocation), "Studio");
    }
}

// OK from its shortcut while a field is still being typed in writes what
// was typed.
TEST_F(InfoEditorSheetTest, OkWritesTheFieldStillBeingTyped)
{
    AddSongs(1);
    Open();
    auto& album = m_sheet->getEditor(TrackInfo::kAlbum);
    album.showEditor();
    ASSERT_NE(album.getCurrentTextEditor(), nullptr);
    album.getCurrentTextEditor()->setText("Typed", false);
    m_sheet->getOkButton().triggerClick();
    ASSERT_TRUE(uitest::PumpUntil([&] { return m_sheet->GetState() == CZfcSheet::kClosed; }));
    EXPECT_EQ(m_host->GetSong(0)->getText(TrackInfo::kAlbum), "Typed");
}

// Songs whose days differ show an empty date; typing only the year writes
// only the year, each song keeping its month and day.
TEST_F(InfoEditorSheetTest, EditingPartOfAMixedDateWritesOnlyThatPart)
{
    AddSongs(2);
    SetDate(0, "2020", "5", "1");
    SetDate(1, "2020", "5", "2");
    const juce::String before1 = Date(1);
    m_host->SetSelectedSongs(0, 2, false);
    Open();
    EXPECT_EQ(Field(TrackInfo::kRecYear), "");
    Edit(m_sheet->getEditor(TrackInfo::kRecYear), "1999");
    EXPECT_TRUE(m_sheet->getCheckBox(TrackInfo::kRecDay).getToggleState());
    Ok();
    EXPECT_EQ(m_host->GetSong(0)->getText(TrackInfo::kRecYear), "1999");
    EXPECT_EQ(m_host->GetSong(1)->getText(TrackInfo::kRecYear), "1999");
    EXPECT_EQ(Date(1).fromFirstOccurrenceOf("-", false, false),
              before1.fromFirstOccurrenceOf("-", false, false));
    EXPECT_NE(m_host->GetSong(0)->getText(TrackInfo::kRecDay),
              m_host->GetSong(1)->getText(TrackInfo::kRecDay));
}

// Fields show what the record would store: date parts through its digit
// rules, limited to digits by the editor; the separator loses its digits.
TEST_F(InfoEditorSheetTest, NormalisesWhatIsTyped)
{
    AddSongs(1);
    Open();
    auto& year = m_sheet->getEditor(TrackInfo::kRecYear);
    EXPECT_EQ(year.getMaxLength(), 4);
    EXPECT_EQ(year.getAllowedCharacters(), "0123456789");
    EXPECT_EQ(m_sheet->getEditor(TrackInfo::kRecMonth).getMaxLength(), 2);
    EXPECT_EQ(m_sheet->getEditor(TrackInfo::kTitle).getAllowedCharacters(), "");
    Edit(m_sheet->getEditor(TrackInfo::kRecMonth), "13");
    TrackInfo scratch;
    scratch.setText(TrackInfo::kRecMonth, "13", false);
    EXPECT_EQ(Field(TrackInfo::kRecMonth), scratch.getText(TrackInfo::kRecMonth));
    Edit(m_sheet->getSeparator(), "a1 - 2b");
    EXPECT_EQ(m_sheet->getSeparator().getText(), "a - b");
}

// Clearing the picture ticks its box; OK clears every selected song's
// picture. Cancel changes nothing.
TEST_F(InfoEditorSheetTest, ClearsThePictureOfEverySelectedSong)
{
    AddSongs(2);
    for (int i = 0; i < 2; ++i)
        m_host->GetSong(i)->setAttachedPictureFilePath("/pictures/cover.png", false);
    m_host->SetSelectedSongs(0, 2, false);
    Open();
    EXPECT_TRUE(m_sheet->getPictureCheckBox().isEnabled());
    EXPECT_EQ(m_sheet->getPictureWell().getFilePath(), "/pictures/cover.png");
    m_sheet->getPictureWell().setFilePath({}, true);
    EXPECT_TRUE(m_sheet->getPictureCheckBox().getToggleState());
    Click(m_sheet->getCancelButton());
    ASSERT_TRUE(uitest::PumpUntil([&] { return m_sheet->GetState() == CZfcSheet::kClosed; }));
    EXPECT_EQ(m_host->GetSong(0)->getAttachedPictureFilePath(), "/pictures/cover.png");
    EXPECT_FALSE(m_commands->canUndo());

    Open();
    EXPECT_FALSE(m_sheet->getPictureCheckBox().getToggleState());
    m_sheet->getPictureWell().setFilePath({}, true);
    Ok();
    EXPECT_EQ(LastTransaction(), juce::StringArray({"sel", "pic", "pic"}));
    EXPECT_EQ(m_host->GetSong(0)->getAttachedPictureFilePath(), "");
    EXPECT_EQ(m_host->GetSong(1)->getAttachedPictureFilePath(), "");
}

// The sheet drawn open over two songs with a picture, in each language.
TEST_P(InfoEditorSheetDrawing, DrawsTheSheet)
{
    AddSongs(2);
    const juce::File picture =
        uitest::WritePicture(juce::File((m_folder / "cover.png").string()), juce::PNGImageFormat(), 300, 200);
    for (int i = 0; i < 2; ++i)
    {
        m_host->GetSong(i)->setText(TrackInfo::kTitle, juce::CharPointer_UTF8("Title \xe6\x9b\xb2"), false);
        m_host->GetSong(i)->setAttachedPictureFilePath(picture.getFullPathName(), false);
        SetDate(i, "2024", "12", "24");
    }
    m_host->SetSelectedSongs(0, 2, false);
    Open();
    ASSERT_TRUE(uitest::PumpUntil([&] { return m_sheet->getPictureWell().isShowingPicture(); }));
    const juce::Image drawn = uitest::Snapshot(*m_sheet);
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    uitest::SavePng(drawn, juce::String("InfoEditorSheet_") + GetParam());
}

INSTANTIATE_TEST_SUITE_P(Languages, InfoEditorSheetDrawing, testing::ValuesIn(uitest::kInterfaceLanguages));
