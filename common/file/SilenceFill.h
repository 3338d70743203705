#pragma once

#include "library/util/CDsdUtil.h"
#include "library/util/CPcmUtil.h"

#include <cstdint>

// Silence written into planar buffers of any of the three kinds of samples a
// reader delivers, chosen by the buffers' type, for reads written once over
// all three.
namespace silencefill
{
inline void FillSilence(float** bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    CPcmUtil::FillSilence(bufs, n, channels, offset);
}

inline void FillSilence(int32_t** bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    CPcmUtil::FillSilence(bufs, n, channels, offset);
}

// 1-bit buffers: n and offset count samples, eight to a byte.
inline void FillSilence(uint8_t** bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    CDsdUtil::FillSilence(bufs, n / 8, channels, offset / 8, false);
}
} // namespace silencefill
