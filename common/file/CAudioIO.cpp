#include "common/file/CAudioPlayerInput.h"
#include "common/file/CAudioRecorderOutput.h"

#include "common/file/SilenceFill.h"
#include "library/util/CDataUtil.h"

#include <cmath>

CAudioPlayerInput::CAudioPlayerInput() = default;
CAudioPlayerInput::~CAudioPlayerInput() = default;

uint32_t CAudioPlayerInput::GetBitRate()
{
    const uint64_t rate = static_cast<uint64_t>(GetSampleRate()) * GetBitsPerSample() * GetNumChannels();
    return rate > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(rate);
}

int64_t CAudioPlayerInput::GetNumSamplesLeft()
{
    const int64_t left = GetNumSamples() - GetCurSamplePosition();
    return left < 0 ? 0 : left;
}

double CAudioPlayerInput::GetTotalTimeSecond()
{
    const uint32_t rate = GetSampleRate();
    return rate == 0 ? 0.0 : static_cast<double>(GetNumSamples()) / rate;
}

void CAudioPlayerInput::GetTotalTime(int* hours, int* minutes, float* seconds)
{
    CDataUtil::SecondToTime(GetTotalTimeSecond(), hours, minutes, seconds);
}

double CAudioPlayerInput::GetCurPositionPercent()
{
    const double total = GetTotalTimeSecond();
    return total > 0.0 ? 100.0 * GetCurTimeSecond() / total : 0.0;
}

double CAudioPlayerInput::GetCurTimeSecond()
{
    const uint32_t rate = GetSampleRate();
    return rate == 0 ? 0.0 : static_cast<double>(GetCurSamplePosition()) / rate;
}

void CAudioPlayerInput::GetCurTime(int* hours, int* minutes, float* seconds)
{
    CDataUtil::SecondToTime(GetCurTimeSecond(), hours, minutes, seconds);
}

double CAudioPlayerInput::SetCurPositionPercent(double percent)
{
    const double frame = percent * static_cast<double>(GetNumSamples()) * 0.01;
    if (std::isfinite(frame))
        SetCurSamplePosition(static_cast<int64_t>(frame));
    return GetCurPositionPercent();
}

double CAudioPlayerInput::SetCurTimeSecond(double seconds)
{
    const double frame = seconds * GetSampleRate();
    if (std::isfinite(frame))
        SetCurSamplePosition(static_cast<int64_t>(frame));
    return GetCurTimeSecond();
}

uint32_t CAudioPlayerInput::ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset)
{
    silencefill::FillSilence(bufs, n, GetNumChannels(), dstOffset);
    return 0;
}

uint32_t CAudioPlayerInput::ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset)
{
    silencefill::FillSilence(bufs, n, GetNumChannels(), dstOffset);
    return 0;
}

uint32_t CAudioPlayerInput::ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset)
{
    silencefill::FillSilence(bufs, n, GetNumChannels(), dstOffset);
    return 0;
}

CAudioRecorderOutput::CAudioRecorderOutput() = default;
CAudioRecorderOutput::~CAudioRecorderOutput() = default;

uint32_t CAudioRecorderOutput::WriteAudioData(float**, uint32_t)
{
    return 0;
}

uint32_t CAudioRecorderOutput::WriteAudioData(int32_t**, uint32_t)
{
    return 0;
}

uint32_t CAudioRecorderOutput::WriteAudioData(uint8_t**, uint32_t)
{
    return 0;
}
