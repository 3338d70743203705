#include "src/jucer_components/DiscOpenSheet.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/CommandManager.h"
#include "tests/common/disc/CdTestImages.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"
#include "tests/src/SheetTestSupport.h"
#include "tests/support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace hosttest;
using Vextal::DiscOpenSheet;

namespace
{
// Records every height the sheet takes.
class HeightRecorder : public juce::ComponentListener
{
public:
    void componentMovedOrResized(juce::Component& c, bool, bool wasResized) override
    {
        if (wasResized)
            heights.push_back(c.getHeight());
    }
    std::vector<int> heights;
};

// A host with the undo stack, a volume broadcaster of its own and the sheet
// in a window; disc images stand in for the CDs.
class DiscOpenSheetTest : public HostTest
{
protected:
    void SetUp() override { SetUpIn("en"); }
    void SetUpIn(const char* language)
    {
        HostTest::SetUp();
        juce::OwnedArray<DiscOpenManager::DiscInfo> discs;
        DiscOpenManager().scan(discs);
        if (!discs.isEmpty())
            GTEST_SKIP() << "a drive of this machine holds an audio CD";
        m_ui.emplace(language);
        m_commands = std::make_unique<Vextal::CommandManager>(*m_host, [] {});
        m_sheet = std::make_unique<DiscOpenSheet>(*m_host, *m_commands, &m_broadcaster);
        uitest::ShowSheetWindow(m_window, *m_sheet, 560, 420);
    }
    void TearDown() override
    {
        if (m_sheet != nullptr)
        {
            m_sheet->removeComponentListener(&m_heights);
            uitest::HideSheetWindow(m_window, m_sheet.get());
            m_sheet.reset();
        }
        m_commands.reset();
        m_ui.reset();
        for (const juce::String& image : DiscOpenManager::getOpenedImages())
            DiscOpenManager::removeOpenedImage(image);
        HostTest::TearDown();
    }

    void Open() { uitest::OpenSheet(*m_sheet); }
    // Writes a disc image of the given number of one-second tracks.
    juce::String WriteDisc(const std::string& name, int tracks)
    {
        cdtest::Image image;
        for (int t = 0; t < tracks; ++t)
            image.tracks.emplace_back("AUDIO", 75 * t);
        image.sectors = 75 * tracks;
        image.title = name;
        return juce::String(cdtest::WriteImage(m_folder.Path(), name, image).string());
    }
    // The user opens an image (mounted) or closes it (unmounted).
    juce::String Insert(const std::string& name, int tracks = 2)
    {
        const juce::String cue = WriteDisc(name, tracks);
        DiscOpenManager::addOpenedImage(cue);
        m_broadcaster.broadcastMessageCallback(kDeviceChangeVolumeMounted, cue);
        return cue;
    }
    void Eject(const juce::String& cue)
    {
        DiscOpenManager::removeOpenedImage(cue);
        m_broadcaster.broadcastMessageCallback(kDeviceChangeVolumeUnmounted, cue);
    }
    // Waits until the table shows the titles, in order.
    bool Shows(const std::vector<std::string>& titles)
    {
        return uitest::PumpUntil([&] { return Titles() == titles; }, 10000);
    }
    std::vector<std::string> Titles()
    {
        std::vector<std::string> titles;
        for (int row = 0; row < m_sheet->getNumRows(); ++row)
            titles.push_back(m_sheet->getDisc(row)->title.toStdString());
        return titles;
    }
    std::vector<std::string> SelectedTitles()
    {
        std::vector<std::string> titles;
        for (int row = 0; row < m_sheet->getNumRows(); ++row)
            if (m_sheet->getTable().isRowSelected(row))
                titles.push_back(m_sheet->getDisc(row)->title.toStdString());
        return titles;
    }
    // Waits until the height animation has ended.
    bool Settles()
    {
        return uitest::PumpUntil([&] { return !m_sheet->isTimerRunning(); }) && (uitest::Pump(60), true);
    }

    std::optional<uitest::ScopedInterface> m_ui;
    std::unique_ptr<Vextal::CommandManager> m_commands;
    std::unique_ptr<DiscOpenSheet> m_sheet;
    juce::Component m_window;
    HeightRecorder m_heights;
};

using DiscOpenSheetDrawing = uitest::InEachLanguage<DiscOpenSheetTest>;
} // namespace

// 138 pixels and 24 a disc, at most 360; an animation moves a tenth of the
// difference a step, at least a pixel towards the target.
TEST(DiscOpenSheetHeight, FitsTheDiscsAndStepsByATenth)
{
    const std::pair<int, int> heights[] = {{0, 138}, {1, 162}, {2, 186}, {9, 354}, {10, 360}, {40, 360}};
    for (const auto& [discs, height] : heights)
        EXPECT_EQ(DiscOpenSheet::heightForDiscs(discs), height) << discs << " discs";
    struct Step
    {
        int from, to, step;
    };
    const Step steps[] = {{138, 162, 2},  {138, 360, 22}, {162, 138, -2}, {138, 145, 1},
                          {145, 138, -1}, {161, 162, 1},  {150, 150, 0}};
    for (const Step& s : steps)
        EXPECT_EQ(DiscOpenSheet::heightStep(s.from, s.to), s.step) << s.from << " to " << s.to;
}

// Without a CD the sheet says so at 138 pixels; an inserted CD grows it to
// 162 in steps of 2 pixels before its row shows, selected; ejecting it
// shrinks the sheet back and shows the text again.
TEST_F(DiscOpenSheetTest, GrowsAndShrinksWithTheDiscs)
{
    Open();
    EXPECT_EQ(m_sheet->getHeight(), 138);
    EXPECT_TRUE(m_sheet->getNoDiscLabel().isVisible());
    EXPECT_FALSE(m_sheet->getTable().isVisible());
    EXPECT_FALSE(m_sheet->getOpenButton().isEnabled());
    uitest::Pump(100);

    m_sheet->addComponentListener(&m_heights);
    const juce::String cue = Insert("Album");
    ASSERT_TRUE(Shows({"Album"}));
    EXPECT_EQ(m_sheet->getHeight(), 162);
    std::vector<int> expected;
    for (int h = 140; h <= 162; h += 2)
        expected.push_back(h);
    EXPECT_EQ(m_heights.heights, expected);
    EXPECT_TRUE(m_sheet->getTable().isVisible());
    EXPECT_FALSE(m_sheet->getNoDiscLabel().isVisible());
    EXPECT_EQ(SelectedTitles(), std::vector<std::string>{"Album"});
    EXPECT_TRUE(m_sheet->getOpenButton().isEnabled());
    EXPECT_EQ(m_sheet->getOpenButton().getY(), 162 - 40);

    m_heights.heights.clear();
    Eject(cue);
    ASSERT_TRUE(Shows({}));
    EXPECT_EQ(m_sheet->getHeight(), 138);
    ASSERT_FALSE(m_heights.heights.empty());
    EXPECT_EQ(m_heights.heights.front(), 160);
    EXPECT_TRUE(m_sheet->getNoDiscLabel().isVisible());
    EXPECT_FALSE(m_sheet->getTable().isVisible());
    EXPECT_FALSE(m_sheet->getOpenButton().isEnabled());
}

// Ten discs would need 378 pixels: the sheet stops at 360.
TEST_F(DiscOpenSheetTest, TenDiscsStopAtTheMostHeight)
{
    std::vector<std::string> titles;
    for (int i = 0; i < 10; ++i)
    {
        titles.push_back("Disc " + std::to_string(i));
        DiscOpenManager::addOpenedImage(WriteDisc(titles.back(), 1));
    }
    Open();
    ASSERT_TRUE(Shows(titles));
    ASSERT_TRUE(Settles());
    EXPECT_EQ(m_sheet->getHeight(), 360);
    EXPECT_EQ(m_sheet->getTable().getHeight(), 360 - 112);
}

// The selection follows the discs by their first path: a selected disc whose
// row moves stays selected, a new disc is not selected, and the discs
// selected last are selected again at the next opening.
TEST_F(DiscOpenSheetTest, TheSelectionFollowsTheDiscs)
{
    const juce::String first = Insert("A");
    const juce::String second = Insert("B");
    Open();
    ASSERT_TRUE(Shows({"A", "B"}));
    ASSERT_TRUE(Settles());
    m_sheet->getTable().selectRow(1);
    EXPECT_EQ(m_sheet->getRememberedSelection(), juce::StringArray(m_sheet->getDisc(1)->paths[0]));

    Eject(first);
    ASSERT_TRUE(Shows({"B"}));
    EXPECT_EQ(SelectedTitles(), std::vector<std::string>{"B"});
    Insert("C");
    ASSERT_TRUE(Shows({"B", "C"}));
    EXPECT_EQ(SelectedTitles(), std::vector<std::string>{"B"});

    m_sheet->getTable().selectRow(1);
    ASSERT_TRUE(m_sheet->Close());
    uitest::Pump(50);
    Open();
    ASSERT_TRUE(Shows({"B", "C"}));
    EXPECT_EQ(SelectedTitles(), std::vector<std::string>{"C"});

    // A remembered disc that is gone leaves the first row selected.
    ASSERT_TRUE(m_sheet->Close());
    Eject(m_sheet->getDisc(1)->path);
    uitest::Pump(50);
    Open();
    ASSERT_TRUE(Shows({"B"}));
    EXPECT_EQ(SelectedTitles(), std::vector<std::string>{"B"});
    juce::ignoreUnused(second);
}

// Open adds every track of the selected discs, in row order, as one step
// that undo takes back; Return with nothing selected does nothing.
TEST_F(DiscOpenSheetTest, OpeningAddsTheTracksAsOneUndoableStep)
{
    Insert("Three", 3);
    Insert("Two", 2);
    Open();
    ASSERT_TRUE(Shows({"Three", "Two"}));
    ASSERT_TRUE(Settles());

    m_sheet->getTable().deselectAllRows();
    EXPECT_FALSE(m_sheet->getOpenButton().isEnabled());
    m_sheet->returnKeyPressed(0);
    EXPECT_EQ(m_sheet->GetState(), CZfcSheet::kOpen);
    EXPECT_EQ(m_host->GetNumSongs(), 0);

    m_sheet->getTable().selectRow(1);
    m_sheet->getTable().selectRow(0, true, false);
    m_sheet->getOpenButton().triggerClick();
    ASSERT_TRUE(uitest::PumpUntil([&] { return m_sheet->GetState() == CZfcSheet::kClosed; }));
    EXPECT_EQ(m_host->GetNumSongs(), 5);
    EXPECT_TRUE(m_commands->getUndoDescription().endsWith(CZJEResource::GetText("Action_OpenDisc")));
    ASSERT_TRUE(m_commands->undo());
    EXPECT_EQ(m_host->GetNumSongs(), 0);
    EXPECT_FALSE(m_commands->canUndo());
}

// The sheet drawn open over two discs, in each language.
TEST_P(DiscOpenSheetDrawing, DrawsTheSheet)
{
    Insert("Album One", 3);
    Insert("Live Set", 12);
    Open();
    ASSERT_TRUE(Shows({"Album One", "Live Set"}));
    ASSERT_TRUE(Settles());
    const juce::Image drawn = uitest::Snapshot(*m_sheet);
    EXPECT_EQ(drawn.getHeight(), 186);
    // Every column shows: the table never scrolls sideways.
    EXPECT_LE(m_sheet->getTable().getHeader().getTotalWidth(), m_sheet->getTable().getVisibleRowWidth());
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    uitest::SavePng(drawn, juce::String("DiscOpenSheet_") + GetParam());
}

INSTANTIATE_TEST_SUITE_P(Languages, DiscOpenSheetDrawing, testing::ValuesIn(uitest::kInterfaceLanguages));
