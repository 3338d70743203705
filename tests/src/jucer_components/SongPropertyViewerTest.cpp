#include "src/jucer_components/SongPropertyViewer.h"

#include "common/file/CPlaylistSong.h"
#include "library/vextal_juce/CZJEResource.h"
#include "tests/common/file/SongStreamTestFiles.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"
#include "tests/support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <optional>

using namespace hosttest;
using Vextal::SongPropertyViewer;
using Vextal::SongTreeViewItem;
using Vextal::TrackInfo;

namespace
{
// "text" for a line, its sub-lines indented by two blanks each; a missing
// file's line ends in " (missing)".
std::string Outline(juce::TreeViewItem& item, int depth = 0)
{
    auto& line = dynamic_cast<SongTreeViewItem&>(item);
    std::string s = std::string(static_cast<size_t>(depth) * 2, ' ') + line.getText().toStdString() +
                    (line.isMissing() ? " (missing)" : "") + "\n";
    for (int i = 0; i < item.getNumSubItems(); ++i)
        s += Outline(*item.getSubItem(i), depth + 1);
    return s;
}

class SongPropertyViewerTest : public HostTest
{
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        m_ui.emplace("en");
    }
    void TearDown() override
    {
        m_ui.reset();
        HostTest::TearDown();
    }

    std::string Tree(const TrackInfo& song)
    {
        return Outline(*SongPropertyViewer::createTreeFromTrackInfo(song, m_font));
    }
    std::string PathOf(const std::filesystem::path& p) const { return p.string(); }

    std::optional<uitest::ScopedInterface> m_ui;
    juce::Font m_font{13.0f};
};

class SongPropertyViewerDrawing : public SongPropertyViewerTest,
                                  public testing::WithParamInterface<const char*>
{
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        m_ui.emplace(GetParam());
    }
};
} // namespace

// A song of one stereo file shows one section line and the file; a section
// of two tracks shows "L" and "R" with their files; sections follow each
// other in time; the picture's path shows under its caption.
TEST_F(SongPropertyViewerTest, ShowsSectionsTracksFilesAndPicture)
{
    const auto stereo = WriteSong("stereo.wav", 44100);
    const auto left = WriteSong("left.wav", 22050, 1, 1);
    const auto right = WriteSong("right.wav", 33075, 1, 1);
    TrackInfo* plain = AddSong(stereo);
    EXPECT_EQ(Tree(*plain), "stereo\n  00:00:00.000 - 00:00:01.000\n    " + PathOf(stereo) + "\n");

    auto linked = songlisttest::SongOfParts(
        {{{{stereo.wstring(), 0, 44100}}}, {{{left.wstring(), 0, 22050}}, {{right.wstring(), 0, 33075}}}});
    linked->setText(TrackInfo::kSongName, "linked", false);
    linked->setAttachedPictureFilePath((m_folder / "gone.png").string(), false);
    EXPECT_EQ(Tree(*linked), "linked\n"
                             "  00:00:00.000 - 00:00:01.000\n"
                             "    " +
                                 PathOf(stereo) +
                                 "\n"
                                 "  00:00:01.000 - 00:00:01.750\n"
                                 "    L\n"
                                 "      " +
                                 PathOf(left) +
                                 "\n"
                                 "    R\n"
                                 "      " +
                                 PathOf(right) +
                                 "\n"
                                 "  " +
                                 CZJEResource::GetText("SongTree_Picture").toStdString() +
                                 "\n"
                                 "    " +
                                 PathOf(m_folder / "gone.png") + " (missing)\n");

    // A moved file shows as missing.
    MakeUnloadable(plain);
    EXPECT_NE(Tree(*plain).find("gone.wav (missing)"), std::string::npos);
}

// A file whose end is not known is measured, but the song's own model stays
// as it was; a song without a sample rate shows its times as 0.
TEST_F(SongPropertyViewerTest, MeasuresIntoACopyAndSurvivesAMissingRate)
{
    const auto wav = WriteSong("open.wav", 88200);
    TrackInfo* song = AddSong(wav);
    CPlaylistFile* file = song->getSong()->GetSectionPtr(0)->GetTrackPtr(0)->GetFilePtr(0);
    file->SetFile(file->GetFilePath(), 44100, -1, 0);
    EXPECT_NE(Tree(*song).find("00:00:00.000 - 00:00:01.000\n"), std::string::npos);
    EXPECT_EQ(file->GetAbsStopSample(), -1);

    TrackInfo unread;
    songtest::FillSong(unread.getSong(), {{{{wav.wstring(), 0, 88200}}}});
    unread.setText(TrackInfo::kSongName, "unread", false);
    ASSERT_EQ(unread.getSampleRate(), 0.0f);
    EXPECT_EQ(Tree(unread), "unread\n  00:00:00.000 - 00:00:00.000\n    " + PathOf(wav) + "\n");
}

// Each selected song is a top-level line, opened; a popup click on a path
// opens the menu, other clicks do not; the menu's first item copies the path.
TEST_F(SongPropertyViewerTest, ListsTheSelectionAndOffersAMenuOnPaths)
{
    AddSongs(3);
    m_host->SetSelectedSongs(hosttest::SetOf({0, 2}), false);
    SongPropertyViewer viewer(*m_host);
    juce::TreeViewItem* root = viewer.getTreeView().getRootItem();
    ASSERT_EQ(root->getNumSubItems(), 2);
    EXPECT_EQ(dynamic_cast<SongTreeViewItem*>(root->getSubItem(1))->getText(), "s2");
    EXPECT_TRUE(root->getSubItem(0)->isOpen());
    EXPECT_EQ(viewer.getTreeView().getNumRowsInTree(), 6);

    viewer.setTopLeftPosition(80, 80);
    viewer.addToDesktop(juce::ComponentPeer::windowIsTemporary);
    viewer.setVisible(true);
    uitest::Pump(50);
    auto& modals = *juce::ModalComponentManager::getInstance();
    const auto clickRow = [&](int row, juce::ModifierKeys mods)
    {
        const auto at = viewer.getLocalPoint(&viewer.getTreeView(), viewer.getTreeView()
                                                                        .getItemOnRow(row)
                                                                        ->getItemPosition(true)
                                                                        .withHeight(SongTreeViewItem::kHeight)
                                                                        .getCentre());
        uitest::MouseAt(viewer, at, mods);
        uitest::MouseAt(viewer, at, juce::ModifierKeys());
        uitest::Pump(50);
    };
    const int before = modals.getNumModalComponents();
    clickRow(2, juce::ModifierKeys::leftButtonModifier);
    EXPECT_EQ(modals.getNumModalComponents(), before);
    clickRow(1, juce::ModifierKeys::rightButtonModifier); // a section
    EXPECT_EQ(modals.getNumModalComponents(), before);
    clickRow(2, juce::ModifierKeys::rightButtonModifier); // a file
    EXPECT_EQ(modals.getNumModalComponents(), before + 1);
    juce::PopupMenu::dismissAllActiveMenus();
    uitest::Pump(50);
    // The control key held makes a left click a popup click.
    juce::ModifierKeys::currentModifiers = juce::ModifierKeys(juce::ModifierKeys::ctrlModifier);
    clickRow(2, juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::ctrlModifier);
    juce::ModifierKeys::currentModifiers = juce::ModifierKeys();
    EXPECT_EQ(modals.getNumModalComponents(), before + 1);
    juce::PopupMenu::dismissAllActiveMenus();
    uitest::Pump(50);
    viewer.removeFromDesktop();

    SongTreeViewItem::performMenuItem(SongTreeViewItem::kCopyFilePath, "/music/a.wav");
    EXPECT_EQ(juce::SystemClipboard::getTextFromClipboard(), "/music/a.wav");
    SongTreeViewItem::performMenuItem(SongTreeViewItem::kCancel, "/music/b.wav");
    EXPECT_EQ(juce::SystemClipboard::getTextFromClipboard(), "/music/a.wav");
    juce::SystemClipboard::copyTextToClipboard({});
}

// The viewer drawn over two songs, one of them moved and selected (its row
// filled dark red), in each language.
TEST_P(SongPropertyViewerDrawing, DrawsTheTree)
{
    AddSongs(2);
    MakeUnloadable(m_host->GetSong(1));
    m_host->GetSong(0)->setAttachedPictureFilePath((m_folder / "s0.wav").string(), false);
    m_host->SetSelectedSongs(0, 2, false);
    SongPropertyViewer viewer(*m_host);
    juce::TreeViewItem* missing = viewer.getTreeView().getItemOnRow(7);
    ASSERT_NE(missing, nullptr);
    ASSERT_TRUE(dynamic_cast<SongTreeViewItem*>(missing)->isMissing());
    missing->setSelected(true, true);
    uitest::Pump(50);
    const juce::Image drawn = uitest::Snapshot(viewer);
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    const auto row = viewer.getLocalArea(&viewer.getTreeView(), missing->getItemPosition(true));
    const juce::Colour fill = drawn.getPixelAt(row.getRight() - 3, row.getCentreY());
    EXPECT_GT(fill.getRed(), fill.getBlue() + 40);
    uitest::SavePng(drawn, juce::String("SongPropertyViewer_") + GetParam());
}

INSTANTIATE_TEST_SUITE_P(Languages, SongPropertyViewerDrawing,
                         testing::ValuesIn(uitest::kInterfaceLanguages));
