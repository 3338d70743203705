#pragma once

#include <cstdint>

// Silence and copies for planar 1-bit audio: one buffer per channel, each byte
// holding eight consecutive samples; counts and offsets are bytes per channel.
class CDsdUtil
{
public:
    // The two idle patterns of 1-bit audio.
    static constexpr uint8_t kSilencePattern = 0x69;
    static constexpr uint8_t kSilencePatternInverted = 0x96;

    // Writes n idle bytes per channel from offset: 0x69 when pattern is true,
    // 0x96 when false. Null channel pointers are skipped. Returns n (0 when bufs
    // itself is null).
    static uint32_t FillSilence(uint8_t** bufs, uint32_t n, uint16_t channels, uint32_t offset, bool pattern);

    // Copies n bytes per channel from src[c] + srcOffset to dst[c] + dstOffset;
    // source and destination may overlap. Channels whose source or destination
    // pointer is null are skipped. Returns n (0 when src or dst itself is null).
    static uint32_t Copy(uint8_t** src, uint8_t** dst, uint32_t n, uint16_t channels, uint32_t srcOffset,
                         uint32_t dstOffset);
};
