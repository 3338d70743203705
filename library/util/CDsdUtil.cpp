#include "library/util/CDsdUtil.h"

#include <cstring>

uint32_t CDsdUtil::FillSilence(uint8_t** bufs, uint32_t n, uint16_t channels, uint32_t offset, bool pattern)
{
    if (!bufs)
        return 0;
    const uint8_t idle = pattern ? kSilencePattern : kSilencePatternInverted;
    for (uint16_t c = 0; c < channels; ++c)
    {
        if (bufs[c])
            std::memset(bufs[c] + offset, idle, n);
    }
    return n;
}

uint32_t CDsdUtil::Copy(uint8_t** src, uint8_t** dst, uint32_t n, uint16_t channels, uint32_t srcOffset,
                        uint32_t dstOffset)
{
    if (!src || !dst)
        return 0;
    for (uint16_t c = 0; c < channels; ++c)
    {
        if (src[c] && dst[c])
            std::memmove(dst[c] + dstOffset, src[c] + srcOffset, n);
    }
    return n;
}
