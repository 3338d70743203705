#pragma once

#include <cstdint>
#include <memory>

// A fixed block of planar float samples for one or two channels, used as a
// scratch buffer by the engine. The storage is allocated and silenced once by
// the constructor; nothing allocates afterwards.
class CSimpleBufferPcm
{
public:
    static constexpr uint16_t kMaxChannels = 2;

    // length frames per channel; channels above 2 are taken as 2, and 0
    // channels allocate nothing. Should the allocation fail, the buffer has
    // no channel (every channel pointer is null).
    CSimpleBufferPcm(uint32_t length, uint16_t channels);
    virtual ~CSimpleBufferPcm();

    CSimpleBufferPcm(const CSimpleBufferPcm&) = delete;
    CSimpleBufferPcm& operator=(const CSimpleBufferPcm&) = delete;

    // Silence in every channel over the whole length.
    virtual void Reset();
    // Silence in one channel; a channel at or above the count is ignored.
    void Reset(uint16_t channel);

    uint16_t GetNumChannels() const { return m_channels; }
    uint32_t GetBufferLength() const { return m_length; }

    // The two channel pointers, ready for any planar function; pointers past
    // the channel count are null. The array itself must not be changed.
    float** GetBufferPointer() { return m_channelPtrs; }
    float* const* GetBufferPointer() const { return m_channelPtrs; }

protected:
    float* m_channelPtrs[kMaxChannels];
    uint16_t m_channels;
    uint32_t m_length;

private:
    std::unique_ptr<float[]> m_storage;
};
