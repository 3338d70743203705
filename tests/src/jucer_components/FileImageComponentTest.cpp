#include "src/jucer_components/FileImageComponent.h"

#include "library/vextal_juce/CZJEText.h"
#include "src/songlist/DialogManager.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/PictureTestSupport.h"
#include "tests/src/ScopedInterface.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using CZJEText::Text;
using Vextal::FileImageComponent;

class PathRecorder : public Vextal::FileImageComponentListener
{
public:
    void fileImageComponentChanged(FileImageComponent* well) override { paths.add(well->getFilePath()); }
    juce::StringArray paths;
};

// A 160 x 120 well, as the song-information editor has it, in a window.
class FileImageComponentTest : public testing::Test
{
protected:
    FileImageComponentTest() : ui("en")
    {
        well.setBounds(0, 0, 160, 120);
        well.AddListener(&recorder);
        window.setBounds(60, 60, 200, 160);
        window.addAndMakeVisible(well);
        window.addToDesktop(juce::ComponentPeer::windowIsTemporary);
        window.setVisible(true);
    }
    ~FileImageComponentTest() override { window.removeFromDesktop(); }

    juce::File File(const char* name) const { return juce::File(folder.Path().string()).getChildFile(name); }
    juce::String Message() const { return well.getMessageLabel().getText(); }
    bool MessageShown() const { return well.getMessageLabel().isVisible(); }

    juce::ScopedJuceInitialiser_GUI gui;
    uitest::ScopedInterface ui;
    vxtest::TempFolder folder;
    juce::Component window;
    FileImageComponent well;
    PathRecorder recorder;
};
} // namespace

// The delete button sits at the top-right corner of the picture as drawn:
// level with the top of a wide picture at the well's right edge, at the top
// edge beside a tall picture's right side.
TEST(FileImageComponent, DeleteButtonSitsAtTheDrawnPicturesTopRightCorner)
{
    struct Case
    {
        int w, h, wellW, wellH;
        juce::Point<int> corner;
    };
    const Case cases[] = {
        {200, 100, 160, 160, {160, 40}}, // wide in a square well
        {100, 200, 160, 160, {119, 0}},  // tall in a square well
        {100, 100, 160, 120, {139, 0}},  // square in a wide well is relatively taller
        {400, 100, 160, 120, {160, 40}}, // very wide
        {160, 120, 160, 120, {160, 0}},  // exactly the well's shape
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(juce::String(c.w) + "x" + juce::String(c.h) + " in " + juce::String(c.wellW) + "x" +
                     juce::String(c.wellH));
        EXPECT_EQ(FileImageComponent::deleteButtonCorner(c.w, c.h, c.wellW, c.wellH), c.corner);
    }
}

// A path loads on the loading thread and shows; the same path again is not
// loaded anew; an unreadable file and the empty path say so.
TEST_F(FileImageComponentTest, LoadsShowsAndReportsPictures)
{
    const juce::File png = uitest::WritePicture(File("wide.png"), juce::PNGImageFormat(), 200, 100);
    const juce::File broken = File("broken.png");
    ASSERT_TRUE(broken.replaceWithText("not a picture"));

    EXPECT_EQ(Message(), Text("Other_NoPicture"));
    well.setFilePath(png.getFullPathName(), false);
    EXPECT_EQ(Message(), Text("Other_LoadingPicture"));
    EXPECT_FALSE(well.isShowingPicture());
    ASSERT_TRUE(uitest::PumpUntil([&] { return well.isShowingPicture(); }));
    EXPECT_FALSE(MessageShown());
    EXPECT_FALSE(well.getPlaceholderButton().isVisible());
    EXPECT_EQ(well.getDeleteButton().getBounds().getTopRight(), juce::Point<int>(160, 20));
    const juce::Image drawn = uitest::Snapshot(well);
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    uitest::SavePng(drawn, "FileImageComponent_picture");

    // The same path again: nothing to load, the picture stays.
    well.setFilePath(png.getFullPathName(), false);
    EXPECT_TRUE(well.isShowingPicture());
    EXPECT_FALSE(MessageShown());

    well.setFilePath(broken.getFullPathName(), false);
    EXPECT_FALSE(well.isShowingPicture());
    ASSERT_TRUE(uitest::PumpUntil([&] { return Message() == Text("Other_InvalidPicture"); }));
    EXPECT_TRUE(MessageShown());
    EXPECT_TRUE(well.getPlaceholderButton().isVisible());

    well.setFilePath({}, false);
    EXPECT_EQ(Message(), Text("Other_NoPicture"));
    well.setFilePath({}, true);
    EXPECT_EQ(recorder.paths, juce::StringArray(""));
    uitest::SavePng(uitest::Snapshot(well), "FileImageComponent_empty");
}

// A load that ends after the path changed again is not shown: the well ends
// with the last path's picture, never a stale one.
TEST_F(FileImageComponentTest, ShowsOnlyThePictureOfTheLastPath)
{
    const juce::File first = uitest::WritePicture(File("first.png"), juce::PNGImageFormat(), 64, 64);
    well.setFilePath(first.getFullPathName(), false);
    ASSERT_TRUE(uitest::PumpUntil([&] { return well.isShowingPicture(); }));
    well.setFilePath(File("missing.jpg").getFullPathName(), false);
    well.setFilePath(first.getFullPathName(), false);
    well.setFilePath(File("missing.jpg").getFullPathName(), false);
    ASSERT_TRUE(uitest::PumpUntil([&] { return Message() == Text("Other_InvalidPicture"); }));
    uitest::Pump(300);
    EXPECT_FALSE(well.isShowingPicture());
    EXPECT_EQ(Message(), Text("Other_InvalidPicture"));
}

// The owner's message stands over the placeholder in place of a picture.
TEST_F(FileImageComponentTest, MessageCanReplaceThePicture)
{
    const juce::File png = uitest::WritePicture(File("p.png"), juce::PNGImageFormat(), 100, 100);
    well.setFilePath(png.getFullPathName(), false);
    ASSERT_TRUE(uitest::PumpUntil([&] { return well.isShowingPicture() && !MessageShown(); }));
    well.setMessage(Text("Other_MultiplePicture"), true);
    ASSERT_TRUE(uitest::PumpUntil([&] { return MessageShown(); }));
    EXPECT_EQ(Message(), Text("Other_MultiplePicture"));
    uitest::SavePng(uitest::Snapshot(well), "FileImageComponent_message");
}

// The delete button shows while the mouse is over the picture and clears
// the path with a notice; a click on the well chooses a picture file.
TEST_F(FileImageComponentTest, DeleteButtonClearsAndClickBrowses)
{
    const juce::File png = uitest::WritePicture(File("tall.png"), juce::PNGImageFormat(), 60, 120);
    const juce::File other = uitest::WritePicture(File("other.jpg"), juce::JPEGImageFormat(), 80, 80);
    well.setFilePath(png.getFullPathName(), false);
    ASSERT_TRUE(uitest::PumpUntil([&] { return well.isShowingPicture(); }));

    auto& button = well.getDeleteButton();
    EXPECT_FALSE(button.isVisible());
    uitest::MouseAt(window, {80, 60}, {});
    uitest::Pump(20);
    EXPECT_TRUE(button.isVisible());
    uitest::MouseAt(window, button.getScreenBounds().getCentre() - window.getScreenPosition(), {});
    uitest::Pump(20);
    EXPECT_TRUE(button.isVisible());
    uitest::MouseAt(window, {190, 150}, {});
    uitest::Pump(20);
    EXPECT_FALSE(button.isVisible());

    uitest::MouseAt(window, {80, 60}, {});
    uitest::Pump(20);
    uitest::ClickAt(window, button.getScreenBounds().getCentre() - window.getScreenPosition());
    ASSERT_TRUE(uitest::PumpUntil([&] { return recorder.paths.size() == 1; }));
    EXPECT_EQ(recorder.paths[0], "");
    EXPECT_EQ(well.getFilePath(), "");
    EXPECT_FALSE(well.isShowingPicture());

    Vextal::ScopedScriptedDialogs dialogs;
    dialogs->chooseNext({other});
    uitest::ClickAt(window, {80, 60});
    ASSERT_TRUE(uitest::PumpUntil([&] { return recorder.paths.size() == 2; }));
    EXPECT_EQ(recorder.paths[1], other.getFullPathName());
    ASSERT_EQ(dialogs->getShownChoosers().size(), 1u);
    ASSERT_TRUE(uitest::PumpUntil([&] { return well.isShowingPicture(); }));

    // A cancelled chooser changes nothing.
    dialogs->cancelNextChooser();
    uitest::ClickAt(window, {80, 60});
    uitest::Pump(50);
    EXPECT_EQ(recorder.paths.size(), 2);
    EXPECT_EQ(well.getFilePath(), other.getFullPathName());
}

// One existing picture or picture-carrying audio file is taken; anything
// else is refused, and a disabled well takes nothing.
TEST_F(FileImageComponentTest, TakesOneExistingPictureOrAudioFileDropped)
{
    const juce::File png = uitest::WritePicture(File("a.png"), juce::PNGImageFormat(), 10, 10);
    const juce::File jpeg = uitest::WritePicture(File("b.JPG"), juce::JPEGImageFormat(), 10, 10);
    const juce::File aiff = File("c.aiff");
    const juce::File wav = File("d.wav");
    const juce::File text = File("e.txt");
    for (const juce::File& f : {aiff, wav, text})
        ASSERT_TRUE(f.replaceWithText("x"));
    const juce::File folderWithExtension = File("f.png");
    ASSERT_TRUE(folderWithExtension.createDirectory());

    struct Case
    {
        const char* what;
        juce::StringArray files;
        bool taken;
    };
    const Case cases[] = {
        {"png", {png.getFullPathName()}, true},
        {"upper-case jpg", {jpeg.getFullPathName()}, true},
        {"aiff", {aiff.getFullPathName()}, true},
        {"wav carries no picture", {wav.getFullPathName()}, false},
        {"text", {text.getFullPathName()}, false},
        {"two files", {png.getFullPathName(), jpeg.getFullPathName()}, false},
        {"folder", {folderWithExtension.getFullPathName()}, false},
        {"missing", {File("g.png").getFullPathName()}, false},
        {"nothing", {}, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(well.isInterestedInFileDrag(c.files), c.taken);
    }
    well.setEnabled(false);
    EXPECT_FALSE(well.isInterestedInFileDrag({png.getFullPathName()}));
    well.setEnabled(true);

    // Dragging over highlights the well; the drop takes the file.
    const juce::Colour edge = uitest::Snapshot(well).getPixelAt(1, 1);
    well.fileDragEnter({png.getFullPathName()}, 10, 10);
    EXPECT_NE(uitest::Snapshot(well).getPixelAt(1, 1), edge);
    well.fileDragExit({png.getFullPathName()});
    EXPECT_EQ(uitest::Snapshot(well).getPixelAt(1, 1), edge);
    well.fileDragEnter({png.getFullPathName()}, 10, 10);
    well.filesDropped({png.getFullPathName()}, 10, 10);
    EXPECT_EQ(uitest::Snapshot(well).getPixelAt(1, 1), edge);
    EXPECT_EQ(recorder.paths, juce::StringArray(png.getFullPathName()));
    EXPECT_EQ(well.getFilePath(), png.getFullPathName());
}
