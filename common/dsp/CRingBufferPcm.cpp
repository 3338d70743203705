#include "common/dsp/CRingBufferPcm.h"

#include <algorithm>
#include <cstring>

uint32_t CRingBufferPcm::RingLength(uint32_t length)
{
    constexpr uint32_t kMin = 4;
    constexpr uint32_t kMax = 0x80000000u;
    if (length <= kMin)
        return kMin;
    if (length >= kMax)
        return kMax;
    uint32_t l = kMin;
    while (l < length)
        l <<= 1;
    return l;
}

CRingBufferPcm::CRingBufferPcm(uint32_t length, uint16_t channels)
    : CSimpleBufferPcm(RingLength(length), channels), m_readIndex(0), m_writeIndex(1), m_mask(m_length - 1)
{
}

CRingBufferPcm::~CRingBufferPcm() = default;

void CRingBufferPcm::Reset()
{
    CSimpleBufferPcm::Reset();
    m_readIndex.store(0, std::memory_order_release);
    m_writeIndex.store(1, std::memory_order_release);
}

void CRingBufferPcm::QuickReset()
{
    const uint32_t w = m_writeIndex.load(std::memory_order_acquire);
    m_readIndex.store((w - 1) & m_mask, std::memory_order_release);
}

uint32_t CRingBufferPcm::GetBufferFilledSamples() const
{
    const uint32_t r = m_readIndex.load(std::memory_order_acquire);
    const uint32_t w = m_writeIndex.load(std::memory_order_acquire);
    return (w - r - 1) & m_mask;
}

uint32_t CRingBufferPcm::GetBufferWriteReadySamples() const
{
    const uint32_t r = m_readIndex.load(std::memory_order_acquire);
    const uint32_t w = m_writeIndex.load(std::memory_order_acquire);
    return (r - w - 1) & m_mask;
}

bool CRingBufferPcm::BufferWriteReady(uint32_t n) const
{
    return GetBufferWriteReadySamples() > n;
}

double CRingBufferPcm::GetBufferFilledPercent() const
{
    const double percent = 100.0 * GetBufferFilledSamples() / m_length;
    return std::min(std::max(percent, 0.0), 100.0);
}

uint32_t CRingBufferPcm::WriteToBuffer(const float* const* in, uint32_t n)
{
    if (in == nullptr || n == 0)
        return 0;
    const uint32_t w = m_writeIndex.load(std::memory_order_relaxed);
    const uint32_t r = m_readIndex.load(std::memory_order_acquire);
    const uint32_t k = std::min(n, (r - w - 1) & m_mask);
    if (k == 0)
        return 0;

    // The k slots from w, in at most two runs: up to the end of the storage,
    // then from its start.
    const uint32_t first = std::min(k, m_length - w);
    const uint32_t second = k - first;
    for (uint16_t c = 0; c < m_channels; ++c)
    {
        float* ring = m_channelPtrs[c];
        if (in[c] != nullptr)
        {
            std::memcpy(ring + w, in[c], size_t{first} * sizeof(float));
            std::memcpy(ring, in[c] + first, size_t{second} * sizeof(float));
        }
        else
        {
            std::memset(ring + w, 0, size_t{first} * sizeof(float));
            std::memset(ring, 0, size_t{second} * sizeof(float));
        }
    }
    m_writeIndex.store((w + k) & m_mask, std::memory_order_release);
    return k;
}

uint32_t CRingBufferPcm::ReadFromBuffer(float* const* out, uint32_t n)
{
    if (out == nullptr || n == 0)
        return 0;
    const uint32_t r = m_readIndex.load(std::memory_order_relaxed);
    const uint32_t w = m_writeIndex.load(std::memory_order_acquire);
    const uint32_t k = std::min(n, (w - r - 1) & m_mask);

    // The k slots after r, in at most two runs.
    const uint32_t start = (r + 1) & m_mask;
    const uint32_t first = std::min(k, m_length - start);
    const uint32_t second = k - first;
    for (uint16_t c = 0; c < m_channels; ++c)
    {
        float* dst = out[c];
        if (dst == nullptr)
            continue;
        const float* ring = m_channelPtrs[c];
        std::memcpy(dst, ring + start, size_t{first} * sizeof(float));
        std::memcpy(dst + first, ring, size_t{second} * sizeof(float));
        std::memset(dst + k, 0, size_t{n - k} * sizeof(float));
    }
    if (k > 0)
        m_readIndex.store((r + k) & m_mask, std::memory_order_release);
    return k;
}
