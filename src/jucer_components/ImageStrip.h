#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace Vextal
{
// The geometry of the image strips and grids the image buttons draw from: an
// image of equal cells, `columns` side by side and `rows` stacked vertically.
struct ImageStrip
{
    // The height of one of count frames stacked in image (integer division;
    // 0 for an invalid image; count below 1 counts as 1).
    static int frameHeight(const juce::Image& image, int count);
    // The width of one of count columns of image.
    static int frameWidth(const juce::Image& image, int count);

    // Draws the cell of image at (sourceX, sourceY), width x height, unscaled
    // at the top left of g, at opacity.
    static void drawCell(juce::Graphics& g, const juce::Image& image, int sourceX, int sourceY, int width,
                         int height, float opacity);
};
} // namespace Vextal
