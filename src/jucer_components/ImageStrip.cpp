#include "src/jucer_components/ImageStrip.h"

#include <algorithm>

namespace Vextal
{
int ImageStrip::frameHeight(const juce::Image& image, int count)
{
    return image.isValid() ? image.getHeight() / std::max(1, count) : 0;
}

int ImageStrip::frameWidth(const juce::Image& image, int count)
{
    return image.isValid() ? image.getWidth() / std::max(1, count) : 0;
}

void ImageStrip::drawCell(juce::Graphics& g, const juce::Image& image, int sourceX, int sourceY, int width,
                          int height, float opacity)
{
    if (!image.isValid() || width <= 0 || height <= 0)
        return;
    g.setOpacity(opacity);
    g.drawImage(image, 0, 0, width, height, sourceX, sourceY, width, height);
}
} // namespace Vextal
