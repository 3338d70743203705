#pragma once

#include "common/file/CAudioMetaData.h"
#include "common/file/CMarker.h"

#include <cstdint>

// The audio source every reader and song stream implements. Positions and
// lengths count sample frames; buffers are planar, one per channel.
//
// Every ReadAudioData form reads up to n frames from the current position
// into each channel buffer from index dstOffset, advances the position by the
// frames read, fills the rest of the n frames with silence and returns the
// number of frames read (fewer than n only at the end of the stream or after a
// read error).
class CAudioPlayerInput
{
public:
    CAudioPlayerInput();
    virtual ~CAudioPlayerInput();

    CAudioPlayerInput(const CAudioPlayerInput&) = delete;
    CAudioPlayerInput& operator=(const CAudioPlayerInput&) = delete;

    virtual uint32_t GetSampleRate() = 0;
    virtual uint16_t GetBitsPerSample() = 0;
    virtual uint16_t GetNumChannels() = 0;
    virtual uint32_t GetBitRate();
    virtual bool IsLossless() { return true; }
    virtual bool IsCompressed() { return false; }
    virtual bool IsVBR() { return false; }
    virtual bool IsFloatingPoint() { return false; }
    virtual int64_t GetNumSamples() = 0;
    virtual int64_t GetNumSamplesLeft();
    virtual int64_t GetCurSamplePosition() = 0;
    virtual void SetCurSamplePosition(int64_t frame) = 0;
    virtual double GetTotalTimeSecond();
    virtual void GetTotalTime(int* hours, int* minutes, float* seconds);
    virtual double GetCurPositionPercent();
    virtual double GetCurTimeSecond();
    virtual void GetCurTime(int* hours, int* minutes, float* seconds);
    virtual double SetCurPositionPercent(double percent);
    virtual double SetCurTimeSecond(double seconds);
    virtual uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset);
    virtual uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset);
    // 1-bit audio: n and dstOffset count 1-bit samples (eight per byte).
    virtual uint32_t ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset);
    virtual CMarker* GetMarkerPtr() { return &m_markers; }
    virtual CAudioMetaData* GetMetaDataPtr() { return &m_metaData; }
    virtual bool AudioDataReadErrorOccured() { return false; }
    // For sources that prepare their audio in the background.
    virtual bool IsProcessingInternally() { return false; }
    virtual void GiveInternalProcessPriority() {}
    virtual double GetInternalProcessPercent() { return 0.0; }

protected:
    CMarker m_markers;
    CAudioMetaData m_metaData;
};
