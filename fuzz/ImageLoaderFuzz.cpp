// Fuzz target for the picture decoder: the input is decoded as an image file
// (PNG, JPEG or GIF by its signature), and a picture it yields must keep to
// the size limits.

#include "library/vextal_juce/common/CZJEImageLoader.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const juce::Image image = CZJEImageLoader::Decode(data, size);
    if (!image.isValid())
        return 0;
    const int64_t width = image.getWidth();
    const int64_t height = image.getHeight();
    if (width < 1 || height < 1 || width > 16384 || height > 16384 || width * height > (int64_t(1) << 26))
        __builtin_trap();
    // Touch the corners, so that a picture short of its size shows.
    image.getPixelAt(0, 0);
    image.getPixelAt(static_cast<int>(width - 1), static_cast<int>(height - 1));
    return 0;
}
