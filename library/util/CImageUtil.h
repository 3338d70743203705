#pragma once

#include <cstdint>

// Recognises picture data by its first bytes.
class CImageUtil
{
public:
    // At least 4 bytes beginning FF D8 FF and a marker byte (a JPEG start of
    // image followed by its first segment, whatever kind it is).
    static bool IsJPEG(const uint8_t* data, uint32_t size);
    // At least 4 bytes whose bytes 1..3 are "PNG" (byte 0 is not tested).
    static bool IsPNG(const uint8_t* data, uint32_t size);
};
