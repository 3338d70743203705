#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The preview beside the picture file chooser: a thumbnail of the picture of
// the selected file (a JPEG or PNG file, or the picture embedded in an audio
// file) with its format, size in pixels and size in bytes below it. The file
// is read 100 ms after the selection last changed, so that moving quickly
// through the list reads only the file the user stops at. A file without a
// picture clears the preview.
//
// Message thread only.
class EmbeddedImagePreviewComponent : public juce::FilePreviewComponent, private juce::Timer
{
public:
    EmbeddedImagePreviewComponent();
    ~EmbeddedImagePreviewComponent() override;

    void selectedFileChanged(const juce::File& newSelectedFile) override;
    void paint(juce::Graphics& g) override;

    // The thumbnail shown now (invalid when none) and the text below it.
    const juce::Image& getThumbnail() const { return m_thumbnail; }
    const juce::String& getInformationText() const { return m_text; }

    // The thumbnail size of a w x h picture in a preview of this size.
    static juce::Rectangle<int> thumbnailSize(int w, int h, int previewWidth, int previewHeight);

private:
    void timerCallback() override;
    void load();

    juce::File m_file;
    juce::Image m_thumbnail;
    juce::String m_text;
};
