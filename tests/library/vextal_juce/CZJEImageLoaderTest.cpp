#include "library/vextal_juce/common/CZJEImageLoader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes Encode(juce::ImageFileFormat& format, const juce::Image& image)
{
    juce::MemoryOutputStream out;
    EXPECT_TRUE(format.writeImageToStream(image, out));
    const auto* data = static_cast<const uint8_t*>(out.getData());
    return Bytes(data, data + out.getDataSize());
}

// A four-colour GIF of the given palette indices (row by row), written without
// compression: every code is a literal, with a clear code after every second
// one so that the code size stays at 3 bits.
Bytes EncodeGif(int width, int height, const std::vector<uint8_t>& indices, bool interlaced, int transparent)
{
    const uint8_t palette[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&gif](int v)
    {
        gif.push_back(static_cast<uint8_t>(v & 0xFF));
        gif.push_back(static_cast<uint8_t>(v >> 8));
    };
    put16(width);
    put16(height);
    gif.insert(gif.end(), {0x81, 0, 0}); // a global table of 4 colours
    for (const auto& c : palette)
        gif.insert(gif.end(), c, c + 3);
    if (transparent >= 0)
        gif.insert(gif.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(transparent), 0});
    gif.push_back(0x2C);
    put16(0);
    put16(0);
    put16(width);
    put16(height);
    gif.push_back(interlaced ? 0x40 : 0);
    gif.push_back(2); // minimum code size

    // The stored row order of an interlaced image.
    std::vector<int> rows;
    if (interlaced)
    {
        for (int start : {0, 4, 2, 1})
            for (int y = start; y < height; y += start == 0 ? 8 : (start == 4 ? 8 : (start == 2 ? 4 : 2)))
                rows.push_back(y);
    }
    else
    {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
    }

    Bytes packed;
    uint32_t bits = 0;
    int bitCount = 0;
    auto emit = [&](int code)
    {
        bits |= static_cast<uint32_t>(code) << bitCount;
        bitCount += 3;
        while (bitCount >= 8)
        {
            packed.push_back(static_cast<uint8_t>(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    int sinceClear = 2;
    for (int y : rows)
    {
        for (int x = 0; x < width; ++x)
        {
            if (sinceClear == 2)
            {
                emit(4);
                sinceClear = 0;
            }
            emit(indices[static_cast<size_t>(y * width + x)]);
            ++sinceClear;
        }
    }
    emit(5);
    if (bitCount > 0)
        packed.push_back(static_cast<uint8_t>(bits & 0xFF));
    for (size_t at = 0; at < packed.size(); at += 255)
    {
        const size_t n = std::min<size_t>(255, packed.size() - at);
        gif.push_back(static_cast<uint8_t>(n));
        gif.insert(gif.end(), packed.begin() + static_cast<long>(at),
                   packed.begin() + static_cast<long>(at + n));
    }
    gif.insert(gif.end(), {0, 0x3B});
    return gif;
}

juce::Image Decode(const Bytes& bytes)
{
    return CZJEImageLoader::Decode(bytes.data(), bytes.size());
}

// Pixels are set one by one: drawing through a graphics context would leave
// the framework's font cache behind at exit.
void Fill(juce::Image& image, juce::Rectangle<int> area, juce::Colour colour)
{
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            image.setPixelAt(x, y, colour);
}

juce::Image TestPicture(juce::Image::PixelFormat format)
{
    juce::Image image(format, 24, 16, true);
    Fill(image, image.getBounds(), juce::Colours::blue);
    Fill(image, {0, 0, 12, 8}, juce::Colours::yellow);
    return image;
}
} // namespace

TEST(CZJEImageLoader, DecodesPngJpegAndGif)
{
    juce::PNGImageFormat png;
    juce::Image translucent(juce::Image::ARGB, 3, 2, true);
    translucent.setPixelAt(1, 1, juce::Colour::fromRGBA(200, 100, 50, 128));
    const juce::Image fromPng = Decode(Encode(png, translucent));
    ASSERT_TRUE(fromPng.isValid());
    EXPECT_EQ(fromPng.getBounds(), translucent.getBounds());
    EXPECT_EQ(fromPng.getPixelAt(0, 0).getAlpha(), 0);
    const juce::Colour seen = fromPng.getPixelAt(1, 1);
    EXPECT_EQ(seen.getAlpha(), 128);
    EXPECT_NEAR(seen.getRed(), 200, 4);
    EXPECT_NEAR(seen.getGreen(), 100, 4);
    EXPECT_NEAR(seen.getBlue(), 50, 4);

    juce::JPEGImageFormat jpeg;
    jpeg.setQuality(1.0f);
    const juce::Image fromJpeg = Decode(Encode(jpeg, TestPicture(juce::Image::RGB)));
    ASSERT_TRUE(fromJpeg.isValid());
    EXPECT_EQ(fromJpeg.getWidth(), 24);
    EXPECT_EQ(fromJpeg.getHeight(), 16);
    EXPECT_GT(fromJpeg.getPixelAt(2, 2).getRed(), 200);
    EXPECT_LT(fromJpeg.getPixelAt(20, 12).getRed(), 50);
    EXPECT_GT(fromJpeg.getPixelAt(20, 12).getBlue(), 200);

    // Rows of distinct colours, plain and interlaced, with colour 3 transparent.
    const int w = 3;
    const int h = 11;
    std::vector<uint8_t> indices;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            indices.push_back(static_cast<uint8_t>((y + x) % 4));
    for (bool interlaced : {false, true})
    {
        const juce::Image fromGif = Decode(EncodeGif(w, h, indices, interlaced, 3));
        ASSERT_TRUE(fromGif.isValid()) << interlaced;
        ASSERT_EQ(fromGif.getBounds(), juce::Rectangle<int>(0, 0, w, h));
        const juce::Colour expected[4] = {juce::Colour(255, 0, 0), juce::Colour(0, 255, 0),
                                          juce::Colour(0, 0, 255), juce::Colours::transparentBlack};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_EQ(fromGif.getPixelAt(x, y), expected[(y + x) % 4])
                    << interlaced << " " << x << "," << y;
    }
}

TEST(CZJEImageLoader, RefusesOtherData)
{
    const Bytes cases[] = {
        {}, {'B', 'M', 0, 0, 0, 0}, {0x89, 'P', 'N', 'G'}, {0xFF, 0xD8, 0xFF}, {'G', 'I', 'F', '8', '9', 'a'},
    };
    for (const auto& bytes : cases)
        EXPECT_FALSE(Decode(bytes).isValid()) << bytes.size();
    EXPECT_FALSE(CZJEImageLoader::Decode(nullptr, 10).isValid());

    // A GIF that claims a screen far beyond the size limit is refused before
    // anything is allocated for it.
    Bytes huge = EncodeGif(1, 1, {0}, false, -1);
    huge[6] = huge[7] = huge[8] = huge[9] = 0xFF;
    EXPECT_FALSE(Decode(huge).isValid());
}

// Damaged files give an empty image or some image, never a crash or a read
// out of bounds (the sanitizers watch the test).
TEST(CZJEImageLoader, DamagedFilesNeverCrash)
{
    juce::PNGImageFormat png;
    juce::JPEGImageFormat jpeg;
    std::vector<uint8_t> indices(15 * 9);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<uint8_t>(i % 3);
    const Bytes originals[] = {
        Encode(png, TestPicture(juce::Image::ARGB)),
        Encode(jpeg, TestPicture(juce::Image::RGB)),
        EncodeGif(15, 9, indices, false, -1),
    };
    juce::Random random(20240601);
    for (const Bytes& original : originals)
    {
        ASSERT_TRUE(Decode(original).isValid());
        for (int trial = 0; trial < 400; ++trial)
        {
            Bytes damaged = original;
            const int changes = 1 + random.nextInt(8);
            for (int c = 0; c < changes; ++c)
            {
                const size_t at =
                    3 + static_cast<size_t>(random.nextInt(static_cast<int>(damaged.size()) - 3));
                damaged[at] = static_cast<uint8_t>(random.nextInt(256));
            }
            if (random.nextInt(4) == 0)
                damaged.resize(3 + static_cast<size_t>(random.nextInt(static_cast<int>(damaged.size()) - 3)));
            const juce::Image image = Decode(damaged);
            EXPECT_TRUE(!image.isValid() || image.getWidth() * image.getHeight() > 0);
        }
    }
}
