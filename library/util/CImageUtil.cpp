#include "library/util/CImageUtil.h"

bool CImageUtil::IsJPEG(const uint8_t* data, uint32_t size)
{
    // Marker codes are C0..FE; FF is a fill byte that may precede a marker.
    return data != nullptr && size >= 4 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF &&
           data[3] >= 0xC0;
}

bool CImageUtil::IsPNG(const uint8_t* data, uint32_t size)
{
    return data != nullptr && size >= 4 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G';
}
