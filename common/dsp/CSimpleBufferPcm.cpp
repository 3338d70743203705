#include "common/dsp/CSimpleBufferPcm.h"

#include <cstring>
#include <new>

CSimpleBufferPcm::CSimpleBufferPcm(uint32_t length, uint16_t channels)
    : m_channelPtrs{nullptr, nullptr}, m_channels(channels > kMaxChannels ? kMaxChannels : channels),
      m_length(length)
{
    const size_t total = size_t{m_length} * m_channels;
    if (total == 0)
        return;
    // Value-initialised, so every sample starts as silence.
    m_storage.reset(new (std::nothrow) float[total]());
    if (!m_storage)
    {
        m_channels = 0;
        return;
    }
    for (uint16_t c = 0; c < m_channels; ++c)
        m_channelPtrs[c] = m_storage.get() + size_t{c} * m_length;
}

CSimpleBufferPcm::~CSimpleBufferPcm() = default;

void CSimpleBufferPcm::Reset()
{
    for (uint16_t c = 0; c < m_channels; ++c)
        Reset(c);
}

void CSimpleBufferPcm::Reset(uint16_t channel)
{
    if (channel < m_channels && m_length > 0)
        std::memset(m_channelPtrs[channel], 0, size_t{m_length} * sizeof(float));
}
