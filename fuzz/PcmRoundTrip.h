#pragma once

// What the write-then-read targets of the PCM writers share: a format and
// samples taken from the input, the samples written through the entry the
// input chooses, and the file read back and compared frame for frame.

#include "common/file/CPcmFileBase.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pcmroundtrip
{
using Planar = std::vector<std::vector<int32_t>>;

struct Format
{
    uint32_t rate = 44100;
    uint16_t bits = 16;
    uint16_t channels = 2;
    // Write through the float entry (else the integer entry).
    bool floatEntry = false;
};

inline Format ChooseFormat(fuzzsupport::InputReader& in, const std::vector<uint16_t>& bits)
{
    static const uint32_t kRates[] = {44100, 48000, 88200, 96000, 176400, 192000};
    const uint8_t b = in.Byte();
    Format f;
    f.rate = kRates[b % 6];
    f.bits = bits[(b >> 3) % bits.size()];
    f.channels = static_cast<uint16_t>(1 + ((b >> 5) & 1));
    f.floatEntry = (b & 0x80) != 0;
    return f;
}

// Left-justified samples from the bytes (repeated as needed), cut to the
// file's width; for 32 bits float bit patterns, whatever they are.
inline Planar MakeSamples(const Format& f, uint32_t frames, const std::vector<uint8_t>& bytes)
{
    const uint32_t mask = f.bits == 32 ? 0xFFFFFFFFu : ~((1u << (32 - f.bits)) - 1);
    Planar out(f.channels, std::vector<int32_t>(frames));
    size_t k = 0;
    for (uint32_t i = 0; i < frames; ++i)
        for (auto& channel : out)
        {
            uint32_t v = 0;
            for (int j = 0; j < 4 && !bytes.empty(); ++j, ++k)
                v = (v << 8) | bytes[k % bytes.size()];
            channel[i] = static_cast<int32_t>(v & mask);
        }
    return out;
}

// Writes the samples in blocks of uneven length; every block must be taken
// whole.
inline void WriteSamples(CPcmFileWriteBase& w, const Format& f, const Planar& samples)
{
    const uint32_t frames = samples.empty() ? 0 : static_cast<uint32_t>(samples[0].size());
    std::vector<std::vector<float>> floats(f.channels, std::vector<float>(frames));
    for (uint16_t c = 0; c < f.channels; ++c)
        for (uint32_t i = 0; i < frames; ++i)
        {
            // Integer files: a value the float entry converts exactly.
            if (f.bits == 32)
                std::memcpy(&floats[c][i], &samples[c][i], 4);
            else
                floats[c][i] = static_cast<float>(samples[c][i]) / 2147483648.0f;
        }
    uint32_t done = 0;
    for (uint32_t block = 0; done < frames; ++block)
    {
        const uint32_t n = std::min<uint32_t>(1 + (block * 389) % 700, frames - done);
        std::vector<int32_t*> ints;
        std::vector<float*> fl;
        for (uint16_t c = 0; c < f.channels; ++c)
        {
            ints.push_back(const_cast<int32_t*>(samples[c].data()) + done);
            fl.push_back(floats[c].data() + done);
        }
        const uint32_t taken =
            f.floatEntry ? w.WriteAudioData(fl.data(), n) : w.WriteAudioData(ints.data(), n);
        if (taken != n)
            __builtin_trap();
        done += n;
    }
    if (w.GetCurSamplePosition() != frames)
        __builtin_trap();
}

// The file holds the format and exactly the samples: read whole through the
// integer entry, then once more from the middle through the float entry.
inline void ExpectSamples(CPcmFileReadBase& r, const Format& f, const Planar& samples)
{
    const uint32_t frames = samples.empty() ? 0 : static_cast<uint32_t>(samples[0].size());
    if (r.GetSampleRate() != f.rate || r.GetBitsPerSample() != f.bits || r.GetNumChannels() != f.channels ||
        r.GetNumSamples() != frames)
        __builtin_trap();
    std::vector<std::vector<int32_t>> got(f.channels, std::vector<int32_t>(frames + 1));
    std::vector<int32_t*> ptrs;
    for (auto& c : got)
        ptrs.push_back(c.data());
    uint32_t done = 0;
    while (done < frames)
    {
        const uint32_t n = r.ReadAudioData(ptrs.data(), std::min<uint32_t>(1000, frames + 1 - done), done);
        if (n == 0)
            break;
        done += n;
    }
    if (done != frames || r.AudioDataReadErrorOccured())
        __builtin_trap();
    for (uint16_t c = 0; c < f.channels; ++c)
        if (!std::equal(samples[c].begin(), samples[c].end(), got[c].begin()))
            __builtin_trap();

    const uint32_t middle = frames / 2;
    r.SetCurSamplePosition(middle);
    std::vector<std::vector<float>> fl(f.channels, std::vector<float>(frames - middle + 1));
    std::vector<float*> fp;
    for (auto& c : fl)
        fp.push_back(c.data());
    if (r.ReadAudioData(fp.data(), frames - middle, 0) != frames - middle)
        __builtin_trap();
    for (uint16_t c = 0; c < f.channels; ++c)
        for (uint32_t i = middle; i < frames; ++i)
        {
            const float v = fl[c][i - middle];
            const bool same = f.bits == 32 ? std::memcmp(&v, &samples[c][i], 4) == 0
                                           : v == static_cast<float>(samples[c][i]) / 2147483648.0f;
            if (!same)
                __builtin_trap();
        }
}
} // namespace pcmroundtrip
