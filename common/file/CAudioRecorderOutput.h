#pragma once

#include "common/file/CAudioMetaData.h"
#include "common/file/CMarker.h"

#include <cstdint>

// The audio sink every writer implements. WriteAudioData writes n frames from
// the start of each channel buffer and returns the frames written; fewer than
// n means the sink failed (a full disk, a write error).
class CAudioRecorderOutput
{
public:
    CAudioRecorderOutput();
    virtual ~CAudioRecorderOutput();

    CAudioRecorderOutput(const CAudioRecorderOutput&) = delete;
    CAudioRecorderOutput& operator=(const CAudioRecorderOutput&) = delete;

    // Discards what was written (file sinks close and delete their file).
    virtual void RemoveFile() = 0;
    virtual uint32_t GetSampleRate() = 0;
    virtual uint16_t GetNumChannels() = 0;
    virtual uint16_t GetBitsPerSample() = 0;
    virtual bool IsFloatingPoint() { return false; }
    virtual bool CanDoGapless() { return true; }
    virtual uint32_t WriteAudioData(float** bufs, uint32_t n);
    virtual uint32_t WriteAudioData(int32_t** bufs, uint32_t n);
    virtual uint32_t WriteAudioData(uint8_t** bufs, uint32_t n);
    virtual CMarker* GetMarkerPtr() { return &m_markers; }
    virtual CAudioMetaData* GetMetaDataPtr() { return &m_metaData; }
    // The markers and song information are complete.
    virtual void SetMetaDataFixed() {}

protected:
    CMarker m_markers;
    CAudioMetaData m_metaData;
};
