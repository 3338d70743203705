#pragma once

#include "common/file/CAudioFileReadBase.h"

// The base of the readers of uncompressed PCM files: each must deliver
// left-justified 32-bit integer samples.
class CPcmFileReadBase : public CAudioFileReadBase
{
public:
    using CAudioFileReadBase::ReadAudioData;
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override = 0;
};

// The base of the writers that take float samples (PCM and encoded formats).
class CPcmFileWriteBase : public CAudioFileWriteBase
{
public:
    using CAudioFileWriteBase::WriteAudioData;
    uint32_t WriteAudioData(float** bufs, uint32_t n) override = 0;
};
