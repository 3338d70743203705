#pragma once

// What the fuzz targets of compressed files share: the input opened through
// the compressed-file reader, its audio, song information and picture read,
// and its window and position moved around, with the reader's promises
// checked on the way.

#include "common/file/CQuickTimeFileRead.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace compressedfuzz
{
// Reads from the start past this many frames are cut short: a damaged
// header may declare hours of audio.
constexpr int64_t kMaxFramesRead = int64_t(1) << 20;

// Reads count frames (at most 1000 at a time) and checks that every read
// delivers what it asked for within the window.
inline void ReadFrames(CQuickTimeFileRead& r, int64_t count, bool asFloat)
{
    const uint16_t channels = r.GetNumChannels();
    std::vector<int32_t> ints(2 * 1008);
    std::vector<float> floats(2 * 1008);
    int32_t* ip[2] = {ints.data(), ints.data() + 1008};
    float* fp[2] = {floats.data(), floats.data() + 1008};
    while (count > 0)
    {
        const int64_t left = std::max<int64_t>(0, r.GetNumSamples() - r.GetCurSamplePosition());
        const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(count, 1000));
        const uint32_t got = asFloat ? r.ReadAudioData(fp, n, 7) : r.ReadAudioData(ip, n, 7);
        if (got > n || got != std::min<int64_t>(n, left) || channels == 0)
            __builtin_trap();
        if (got < n)
            break;
        count -= got;
    }
}

inline void Decode(const std::wstring& path, const uint8_t* data, size_t size)
{
    CQuickTimeFileRead r;
    if (r.OpenFile(path.c_str()) != 0)
        return;
    if ((r.GetNumChannels() != 1 && r.GetNumChannels() != 2) || r.GetSampleRate() < 44100 ||
        r.GetSampleRate() > 192000 || r.GetNumSamples() < 0)
        __builtin_trap();
    r.GetFormatUniqueID();
    r.GetBitRate();
    r.GetBitsPerSample();
    r.IsVBR();
    CAudioMetaData* meta = r.GetMetaDataPtr();
    for (int i = 0; i < CAudioMetaData::kNumFields; ++i)
        meta->GetStringPtr(i)->GetReadPtrChar();
    const uint32_t picture = r.GetAttachedPictureSize();
    if (picture > CFfmpegAudioDecoder::kMaxPictureSize)
        __builtin_trap();
    std::vector<uint8_t> bytes(picture + 1);
    if (r.ReadAttachedPicture(nullptr, 0) != picture ||
        (picture > 0 && r.ReadAttachedPicture(bytes.data(), picture + 1) != picture))
        __builtin_trap();
    r.ReadAttachedPicture(bytes.data(), picture > 0 ? picture - 1 : 0);

    const int64_t n = r.GetNumSamples();
    ReadFrames(r, std::min(n + 1000, kMaxFramesRead), false);
    // The end, the middle, a window the input chooses, and back to the start.
    r.SetCurSamplePosition(n - 700);
    ReadFrames(r, 2000, true);
    r.SetCurSamplePosition(n / 2);
    ReadFrames(r, 3000, false);
    r.ExtractData(fuzzsupport::Take(data, size, size / 3), fuzzsupport::Take(data, size, size / 2));
    if (r.GetNumSamples() < 0 || r.GetNumSamples() > n || r.GetCurSamplePosition() != 0)
        __builtin_trap();
    ReadFrames(r, std::min<int64_t>(r.GetNumSamples() + 10, 5000), true);
    r.SetCurSamplePosition(-5);
    r.SetCurSamplePosition(r.GetNumSamples() + 5);
    ReadFrames(r, 10, false);
    r.ExtractData(0, -1);
    ReadFrames(r, 1500, false);
    r.AudioDataReadErrorOccured();
    r.CloseFile();
}
} // namespace compressedfuzz
