#pragma once

// Picture files for the tests of the views that show songs' pictures.

#include <juce_gui_basics/juce_gui_basics.h>

namespace uitest
{
// Writes a w x h picture (a yellow disc on dark cyan) to file in the given
// format; returns the file.
inline juce::File WritePicture(const juce::File& file, juce::ImageFileFormat&& format, int w, int h)
{
    juce::Image image(juce::Image::RGB, w, h, true);
    {
        juce::Graphics g(image);
        g.fillAll(juce::Colours::darkcyan);
        g.setColour(juce::Colours::yellow);
        g.fillEllipse(image.getBounds().toFloat().reduced(static_cast<float>(w) / 6.0f));
    }
    file.deleteFile();
    juce::FileOutputStream out(file);
    format.writeImageToStream(image, out);
    return file;
}
} // namespace uitest
