// Decodes a compressed file through the compressed-file reader and writes
// its audio to standard output as interleaved 32-bit little-endian PCM, the
// bytes `ffmpeg -i <file> -f s32le -` writes: the decode benchmark times this
// command against that one, each as a whole command.
// Usage: vextal_decode_pcm <file>   Exit status: 0 done, 1 cannot open,
// 2 read error.

#include "common/file/CQuickTimeFileRead.h"

#include <juce_core/juce_core.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace
{
constexpr uint32_t kBlock = 4096;

// Interleaves n frames of the channel buffers into out, little-endian.
void Interleave(const std::vector<std::vector<int32_t>>& channels, uint32_t n, std::vector<uint8_t>& out)
{
    const size_t count = channels.size();
    out.resize(static_cast<size_t>(n) * count * 4);
    uint8_t* p = out.data();
    for (uint32_t i = 0; i < n; ++i)
    {
        for (size_t c = 0; c < count; ++c)
        {
            const uint32_t v = static_cast<uint32_t>(channels[c][i]);
            *p++ = static_cast<uint8_t>(v);
            *p++ = static_cast<uint8_t>(v >> 8);
            *p++ = static_cast<uint8_t>(v >> 16);
            *p++ = static_cast<uint8_t>(v >> 24);
        }
    }
}

int Decode(CQuickTimeFileRead& reader)
{
    std::vector<std::vector<int32_t>> channels(reader.GetNumChannels(), std::vector<int32_t>(kBlock));
    std::vector<int32_t*> pointers;
    for (auto& channel : channels)
        pointers.push_back(channel.data());
    std::vector<uint8_t> bytes;
    uint32_t got = 0;
    while ((got = reader.ReadAudioData(pointers.data(), kBlock, 0)) > 0)
    {
        Interleave(channels, got, bytes);
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
            return 2;
    }
    return reader.AudioDataReadErrorOccured() || std::fflush(stdout) != 0 ? 2 : 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <file>\n", argv[0]);
        return 1;
    }
    CQuickTimeFileRead reader;
    if (reader.OpenFile(juce::String::fromUTF8(argv[1]).toWideCharPointer()) != 0)
    {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    return Decode(reader);
}
