#pragma once

// What the fuzz targets of compressed files share: the input opened through
// the compressed-file reader, its audio, song information and picture read,
// and its window and position moved around, with the reader's promises
// checked on the way.
//
// Every seek starts a new decoder and decodes up to its target from a packet
// before it, so one input costs a whole decode per seek: a damaged stream
// whose decoder sets up many channel elements in a packet takes several
// seconds for ten seeks under the sanitizers, though milliseconds in a
// release build. An input is therefore read from the start once and seeks
// twice (near the end, and to a window it chooses); the limits of the
// position are checked without decoding.

#include "common/file/CQuickTimeFileRead.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace compressedfuzz
{
// Reads from the start past this many frames (six seconds at 44.1 kHz, far
// more than the audio an input of a few kilobytes holds) are cut short: a
// damaged header may declare hours of audio.
constexpr int64_t kMaxFramesRead = int64_t(1) << 18;

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
    // A seek near the end, read across it, then a window the input chooses.
    r.SetCurSamplePosition(n - 700);
    ReadFrames(r, 2000, true);
    r.ExtractData(fuzzsupport::Take(data, size, size / 3), fuzzsupport::Take(data, size, size / 2));
    if (r.GetNumSamples() < 0 || r.GetNumSamples() > n || r.GetCurSamplePosition() != 0)
        __builtin_trap();
    ReadFrames(r, std::min<int64_t>(r.GetNumSamples() + 10, 5000), true);
    // Positions outside the window are limited to it; at its end a read
    // delivers nothing.
    r.SetCurSamplePosition(r.GetNumSamples() + 5);
    if (r.GetCurSamplePosition() != r.GetNumSamples())
        __builtin_trap();
    ReadFrames(r, 10, false);
    r.SetCurSamplePosition(-5);
    if (r.GetCurSamplePosition() != 0)
        __builtin_trap();
    r.AudioDataReadErrorOccured();
    r.CloseFile();
}
} // namespace compressedfuzz
