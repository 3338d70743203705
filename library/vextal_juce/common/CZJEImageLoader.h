#pragma once

#include <juce_graphics/juce_graphics.h>

#include <cstddef>

// Decodes images from the bytes of an image file: the interface images and the
// pictures of songs.
//
// Use it in place of juce::ImageFileFormat: the framework's PNG and JPEG
// loaders, built over the system's libpng and libjpeg, crash on damaged files
// (their error handlers return into the libraries), and its GIF loader reads
// out of bounds. Here PNG goes through libpng's simplified interface, JPEG
// through libjpeg with an error handler that leaves the decoder, and GIF
// through a bounds-checked reader of the file's first image.
class CZJEImageLoader
{
public:
    // The image encoded in data (PNG, JPEG or GIF, told by its signature); an
    // invalid image when there are no bytes, the format is another, the data
    // is damaged, or the picture is larger than 16384 pixels on a side or 2^26
    // pixels in all.
    static juce::Image Decode(const void* data, size_t size);
};
