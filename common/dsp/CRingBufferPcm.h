#pragma once

#include "common/dsp/CSimpleBufferPcm.h"

#include <atomic>
#include <cstdint>

// A single-producer single-consumer ring of planar float frames.
//
// One thread writes (WriteToBuffer) and owns the write index, one thread reads
// (ReadFromBuffer) and owns the read index. Each side publishes its index with
// release ordering after it has moved the samples and reads the other side's
// index with acquire ordering before it touches any slot, so the samples
// handed over are always complete. No lock is taken and nothing allocates.
//
// The length is a power of two so that wrapping is a mask. The read index is
// the slot last read and the write index the next slot to write; the ring is
// empty when write = read + 1, so it holds at most length - 2 frames.
class CRingBufferPcm : public CSimpleBufferPcm
{
public:
    // A length that is not a power of two is rounded up to the next one, at
    // least 4 and at most 2^31 frames. Channels as CSimpleBufferPcm.
    CRingBufferPcm(uint32_t length, uint16_t channels);
    ~CRingBufferPcm() override;

    // Silence everywhere and an empty ring. Neither side may be inside a call.
    void Reset() override;
    using CSimpleBufferPcm::Reset;

    // Empties the ring from the consumer's side without touching the samples.
    // Only the consumer, or a caller that keeps the consumer out, may call it.
    void QuickReset();

    uint32_t GetBufferFilledSamples() const;
    uint32_t GetBufferWriteReadySamples() const;
    // True when more than n frames are free.
    bool BufferWriteReady(uint32_t n) const;
    // Filled frames as a percentage of the length, 0 .. 100.
    double GetBufferFilledPercent() const;

    // Producer side: writes up to n frames of every channel (a null channel
    // pointer writes silence) and returns the frames written, which is less
    // than n when the free space is smaller.
    uint32_t WriteToBuffer(const float* const* in, uint32_t n);

    // Consumer side: reads up to n frames into every channel whose pointer is
    // not null and returns the frames read; the frames from the result up to
    // n are silence, so the output block is always complete.
    uint32_t ReadFromBuffer(float* const* out, uint32_t n);

private:
    static uint32_t RingLength(uint32_t length);

    std::atomic<uint32_t> m_readIndex;
    std::atomic<uint32_t> m_writeIndex;
    uint32_t m_mask;
};
