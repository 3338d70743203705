#include "library/vextal_juce/common/CZJEImageLoader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace
{
// Pictures larger than this are refused rather than allocated.
constexpr uint32_t kMaxSide = 16384;
constexpr uint64_t kMaxPixels = uint64_t(1) << 26;

bool SizeAllowed(uint32_t width, uint32_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           uint64_t(width) * height <= kMaxPixels;
}

bool StartsWith(const uint8_t* data, size_t size, const char* signature, size_t n)
{
    return size >= n && std::memcmp(data, signature, n) == 0;
}

// An ARGB image from rows of straight (not premultiplied) RGBA bytes.
juce::Image FromRgba(const std::vector<uint8_t>& pixels, int width, int height)
{
    juce::Image image(juce::Image::ARGB, width, height, false);
    {
        juce::Image::BitmapData bitmap(image, juce::Image::BitmapData::writeOnly);
        const uint8_t* p = pixels.data();
        for (int y = 0; y < height; ++y)
        {
            for (int x = 0; x < width; ++x, p += 4)
            {
                auto* pixel = reinterpret_cast<juce::PixelARGB*>(bitmap.getPixelPointer(x, y));
                pixel->setARGB(p[3], p[0], p[1], p[2]);
                pixel->premultiply();
            }
        }
    }
    return image;
}

// PNG through libpng's simplified interface, which keeps its error handling to
// itself (the framework's own PNG loader crashes on damaged files).
juce::Image DecodePng(const uint8_t* data, size_t size)
{
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&png, data, size) == 0)
        return {};
    if (!SizeAllowed(png.width, png.height))
    {
        png_image_free(&png);
        return {};
    }
    png.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(png));
    if (png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr) == 0)
        return {};
    return FromRgba(pixels, static_cast<int>(png.width), static_cast<int>(png.height));
}

// JPEG through libjpeg with an error handler that leaves the decoder (the
// framework's handler returns into libjpeg, which then crashes on damaged
// files). Only plain C objects live between setjmp and longjmp.
struct JpegError
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void OnJpegMessage(j_common_ptr) {}

// Reads the size (out == nullptr) or decodes RGB rows into out, which holds
// width x height x 3 bytes. False on any decoding error.
bool RunJpeg(const uint8_t* data, size_t size, uint8_t* out, uint32_t* width, uint32_t* height)
{
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnJpegError;
    error.manager.output_message = OnJpegMessage;
    if (setjmp(error.jump) != 0)
    {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
    {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    if (out == nullptr)
    {
        *width = info.image_width;
        *height = info.image_height;
        jpeg_destroy_decompress(&info);
        return true;
    }
    jpeg_start_decompress(&info);
    if (info.output_width != *width || info.output_height != *height || info.output_components != 3)
    {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height)
    {
        JSAMPROW row = out + size_t(info.output_scanline) * info.output_width * 3;
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
        {
            jpeg_destroy_decompress(&info);
            return false;
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

juce::Image DecodeJpeg(const uint8_t* data, size_t size)
{
    uint32_t width = 0;
    uint32_t height = 0;
    if (!RunJpeg(data, size, nullptr, &width, &height) || !SizeAllowed(width, height))
        return {};
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    if (!RunJpeg(data, size, rgb.data(), &width, &height))
        return {};
    juce::Image image(juce::Image::RGB, static_cast<int>(width), static_cast<int>(height), false);
    {
        juce::Image::BitmapData bitmap(image, juce::Image::BitmapData::writeOnly);
        const uint8_t* p = rgb.data();
        for (int y = 0; y < static_cast<int>(height); ++y)
        {
            for (int x = 0; x < static_cast<int>(width); ++x, p += 3)
                bitmap.setPixelColour(x, y, juce::Colour(p[0], p[1], p[2]));
        }
    }
    return image;
}

// GIF: the first image of the file on a canvas of the logical screen size,
// with the transparent colour of its graphic control extension. Every read is
// checked against the data (the framework's GIF loader reads out of bounds on
// damaged files).
class GifReader
{
public:
    GifReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    juce::Image Decode()
    {
        uint8_t screen[7];
        if (!Skip(6) || !Read(screen, 7))
            return {};
        const uint32_t width = uint32_t(screen[0]) | (uint32_t(screen[1]) << 8);
        const uint32_t height = uint32_t(screen[2]) | (uint32_t(screen[3]) << 8);
        if (!SizeAllowed(width, height))
            return {};
        std::vector<uint8_t> globalTable;
        if ((screen[4] & 0x80) != 0 && !ReadTable(screen[4], globalTable))
            return {};

        int transparent = -1;
        for (;;)
        {
            uint8_t introducer = 0;
            if (!Read(&introducer, 1))
                return {};
            if (introducer == 0x21) // extension
            {
                uint8_t label = 0;
                if (!Read(&label, 1))
                    return {};
                std::vector<uint8_t> block;
                if (!ReadSubBlocks(block))
                    return {};
                if (label == 0xF9 && block.size() >= 4)
                    transparent = (block[0] & 1) != 0 ? block[3] : -1;
            }
            else if (introducer == 0x2C) // image
            {
                return DecodeImage(width, height, globalTable, transparent);
            }
            else
            {
                return {}; // the trailer or anything else before an image
            }
        }
    }

private:
    bool Read(uint8_t* dst, size_t n)
    {
        if (n > m_size - m_pos)
            return false;
        std::memcpy(dst, m_data + m_pos, n);
        m_pos += n;
        return true;
    }

    bool Skip(size_t n)
    {
        if (n > m_size - m_pos)
            return false;
        m_pos += n;
        return true;
    }

    bool ReadTable(uint8_t packed, std::vector<uint8_t>& table)
    {
        table.resize(size_t(3) << ((packed & 7) + 1));
        return Read(table.data(), table.size());
    }

    bool ReadSubBlocks(std::vector<uint8_t>& out)
    {
        for (;;)
        {
            uint8_t n = 0;
            if (!Read(&n, 1))
                return false;
            if (n == 0)
                return true;
            const size_t at = out.size();
            out.resize(at + n);
            if (!Read(out.data() + at, n))
                return false;
        }
    }

    juce::Image DecodeImage(uint32_t width, uint32_t height, const std::vector<uint8_t>& globalTable,
                            int transparent)
    {
        uint8_t descriptor[9];
        if (!Read(descriptor, 9))
            return {};
        const uint32_t left = uint32_t(descriptor[0]) | (uint32_t(descriptor[1]) << 8);
        const uint32_t top = uint32_t(descriptor[2]) | (uint32_t(descriptor[3]) << 8);
        const uint32_t frameWidth = uint32_t(descriptor[4]) | (uint32_t(descriptor[5]) << 8);
        const uint32_t frameHeight = uint32_t(descriptor[6]) | (uint32_t(descriptor[7]) << 8);
        const bool interlaced = (descriptor[8] & 0x40) != 0;
        std::vector<uint8_t> localTable;
        if ((descriptor[8] & 0x80) != 0 && !ReadTable(descriptor[8], localTable))
            return {};
        const std::vector<uint8_t>& table = localTable.empty() ? globalTable : localTable;
        if (table.empty() || !SizeAllowed(frameWidth, frameHeight))
            return {};

        uint8_t minimumCodeSize = 0;
        std::vector<uint8_t> compressed;
        if (!Read(&minimumCodeSize, 1) || minimumCodeSize < 2 || minimumCodeSize > 11 ||
            !ReadSubBlocks(compressed))
            return {};
        std::vector<uint8_t> indices(size_t(frameWidth) * frameHeight, 0);
        if (!Lzw(compressed, minimumCodeSize, indices))
            return {};

        std::vector<uint8_t> rgba(size_t(width) * height * 4, 0); // transparent where nothing is drawn
        const size_t colours = table.size() / 3;
        for (uint32_t row = 0; row < frameHeight; ++row)
        {
            const uint32_t y = top + (interlaced ? InterlacedRow(row, frameHeight) : row);
            if (y >= height)
                continue;
            for (uint32_t x = 0; x < frameWidth && left + x < width; ++x)
            {
                const uint8_t index = indices[size_t(row) * frameWidth + x];
                if (index == transparent || index >= colours)
                    continue;
                const uint8_t* c = &table[size_t(index) * 3];
                uint8_t* p = &rgba[(size_t(y) * width + left + x) * 4];
                p[0] = c[0];
                p[1] = c[1];
                p[2] = c[2];
                p[3] = 255;
            }
        }
        return FromRgba(rgba, static_cast<int>(width), static_cast<int>(height));
    }

    // The image row that the n-th stored row of an interlaced image fills.
    static uint32_t InterlacedRow(uint32_t n, uint32_t height)
    {
        const uint32_t pass1 = (height + 7) / 8;
        const uint32_t pass2 = (height + 3) / 8;
        const uint32_t pass3 = (height + 1) / 4;
        if (n < pass1)
            return n * 8;
        n -= pass1;
        if (n < pass2)
            return 4 + n * 8;
        n -= pass2;
        if (n < pass3)
            return 2 + n * 4;
        n -= pass3;
        return 1 + n * 2;
    }

    // Decodes the LZW stream into out; pixels the stream does not reach stay 0.
    static bool Lzw(const std::vector<uint8_t>& in, int minimumCodeSize, std::vector<uint8_t>& out)
    {
        const int clear = 1 << minimumCodeSize;
        const int end = clear + 1;
        std::vector<uint16_t> prefix(4096);
        std::vector<uint8_t> suffix(4096);
        std::vector<uint8_t> stack(4097);
        for (int i = 0; i < clear; ++i)
            suffix[size_t(i)] = static_cast<uint8_t>(i);

        int codeSize = minimumCodeSize + 1;
        int next = end + 1;
        int previous = -1;
        uint8_t first = 0;
        size_t bitPos = 0;
        size_t written = 0;
        const size_t totalBits = in.size() * 8;
        while (written < out.size() && bitPos + size_t(codeSize) <= totalBits)
        {
            int code = 0;
            for (int b = 0; b < codeSize; ++b, ++bitPos)
                code |= ((in[bitPos >> 3] >> (bitPos & 7)) & 1) << b;
            if (code == clear)
            {
                codeSize = minimumCodeSize + 1;
                next = end + 1;
                previous = -1;
                continue;
            }
            if (code == end)
                break;
            if (previous < 0)
            {
                if (code >= clear)
                    return false;
                first = static_cast<uint8_t>(code);
                out[written++] = first;
                previous = code;
                continue;
            }
            int current = code;
            size_t depth = 0;
            if (code > next || code >= 4096)
                return false;
            if (code == next)
            {
                stack[depth++] = first;
                current = previous;
            }
            while (current >= clear)
            {
                if (depth >= stack.size() - 1)
                    return false;
                stack[depth++] = suffix[size_t(current)];
                current = prefix[size_t(current)];
            }
            first = static_cast<uint8_t>(current);
            stack[depth++] = first;
            while (depth > 0 && written < out.size())
                out[written++] = stack[--depth];
            if (next < 4096)
            {
                prefix[size_t(next)] = static_cast<uint16_t>(previous);
                suffix[size_t(next)] = first;
                ++next;
                if (next == (1 << codeSize) && codeSize < 12)
                    ++codeSize;
            }
            previous = code;
        }
        return written > 0;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
} // namespace

juce::Image CZJEImageLoader::Decode(const void* data, size_t size)
{
    if (data == nullptr || size == 0)
        return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (StartsWith(bytes, size, "\x89PNG\r\n\x1a\n", 8))
        return DecodePng(bytes, size);
    if (StartsWith(bytes, size, "\xFF\xD8\xFF", 3))
        return DecodeJpeg(bytes, size);
    if (StartsWith(bytes, size, "GIF87a", 6) || StartsWith(bytes, size, "GIF89a", 6))
        return GifReader(bytes, size).Decode();
    return {};
}
