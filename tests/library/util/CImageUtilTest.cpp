#include "library/util/CImageUtil.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CImageUtil, Signatures)
{
    struct Case
    {
        const char* what;
        std::vector<uint8_t> data;
        bool jpeg;
        bool png;
    };
    const Case cases[] = {
        {"JFIF", {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F'}, true, false},
        {"Exif", {0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f'}, true, false},
        {"quantization table first", {0xFF, 0xD8, 0xFF, 0xDB, 0, 0x43, 0, 0, 0, 0}, true, false},
        {"quantization table, 4 bytes", {0xFF, 0xD8, 0xFF, 0xDB}, true, false},
        {"3 bytes", {0xFF, 0xD8, 0xFF}, false, false},
        {"no marker after the start", {0xFF, 0xD8, 0xFF, 0x00, 0, 0, 0, 0}, false, false},
        {"not a start of image", {0xFF, 0xD9, 0xFF, 0xE0, 0, 0, 0, 0}, false, false},
        {"PNG", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, false, true},
        {"PNG, any first byte, 4 bytes", {0x00, 'P', 'N', 'G'}, false, true},
        {"PNG, 3 bytes", {0x89, 'P', 'N'}, false, false},
        {"lower-case png", {0x89, 'p', 'n', 'g'}, false, false},
        {"empty", {}, false, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const uint32_t size = static_cast<uint32_t>(c.data.size());
        EXPECT_EQ(CImageUtil::IsJPEG(c.data.data(), size), c.jpeg);
        EXPECT_EQ(CImageUtil::IsPNG(c.data.data(), size), c.png);
    }
    // Only the given size counts, not what lies behind it.
    const uint8_t png[] = {0x89, 'P', 'N', 'G'};
    EXPECT_FALSE(CImageUtil::IsPNG(png, 3));
}
