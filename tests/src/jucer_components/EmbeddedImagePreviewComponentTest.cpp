#include "src/jucer_components/EmbeddedImagePreviewComponent.h"

#include "tests/common/file/RiffTestFiles.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

namespace
{
juce::File WritePicture(const juce::File& file, juce::ImageFileFormat&& format, int w, int h)
{
    juce::Image image(juce::Image::RGB, w, h, true);
    juce::Graphics g(image);
    g.fillAll(juce::Colours::darkcyan);
    g.setColour(juce::Colours::yellow);
    g.fillEllipse(image.getBounds().toFloat().reduced(w / 6.0f));
    file.deleteFile();
    juce::FileOutputStream out(file);
    format.writeImageToStream(image, out);
    return file;
}
} // namespace

TEST(EmbeddedImagePreviewComponent, ThumbnailsFitTheWidthAndLeaveRoomForTheText)
{
    using P = EmbeddedImagePreviewComponent;
    EXPECT_EQ(P::thumbnailSize(100, 50, 160, 120), juce::Rectangle<int>(100, 50));
    EXPECT_EQ(P::thumbnailSize(640, 480, 160, 120), juce::Rectangle<int>(91, 68));
    EXPECT_EQ(P::thumbnailSize(1000, 100, 160, 120), juce::Rectangle<int>(155, 16));
}

// The preview reads the file the selection stops at, 100 ms later; a file
// without a picture clears it.
TEST(EmbeddedImagePreviewComponent, ShowsThePictureOfTheSelectedFileAndClearsForOthers)
{
    juce::ScopedJuceInitialiser_GUI gui;
    rifftest::TempFolder folder;
    const juce::File root(folder.Path().string());
    const juce::File png = WritePicture(root.getChildFile("cover.png"), juce::PNGImageFormat(), 320, 240);
    const juce::File jpeg = WritePicture(root.getChildFile("photo.jpg"), juce::JPEGImageFormat(), 200, 400);
    const juce::File text = root.getChildFile("notes.txt");
    ASSERT_TRUE(text.replaceWithText("not a picture"));

    EmbeddedImagePreviewComponent preview;
    preview.setSize(160, 120);
    preview.selectedFileChanged(png);
    EXPECT_FALSE(preview.getThumbnail().isValid());
    ASSERT_TRUE(uitest::PumpUntil([&] { return preview.getThumbnail().isValid(); }));
    EXPECT_EQ(preview.getThumbnail().getBounds(), juce::Rectangle<int>(91, 68));
    EXPECT_TRUE(preview.getInformationText().startsWith("PNG\n320 x 240 pixels\n"));
    const juce::Image drawn = preview.createComponentSnapshot(preview.getLocalBounds());
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    uitest::SavePng(drawn, "EmbeddedImagePreview_png");

    // Quick moves read only the last file.
    preview.selectedFileChanged(text);
    preview.selectedFileChanged(jpeg);
    ASSERT_TRUE(uitest::PumpUntil([&] { return preview.getInformationText().startsWith("JPEG"); }));
    EXPECT_TRUE(preview.getInformationText().startsWith("JPEG\n200 x 400 pixels\n"));

    preview.selectedFileChanged(text);
    EXPECT_TRUE(uitest::PumpUntil([&] { return !preview.getThumbnail().isValid(); }));
    EXPECT_EQ(preview.getInformationText(), "");
    EXPECT_FALSE(uitest::IsDrawn(preview.createComponentSnapshot(preview.getLocalBounds())));
}
