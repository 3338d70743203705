// Fuzz target for the MP3 frame scanner and the compressed-file reader: the
// input is scanned frame by frame (every frame read back and checked against
// its header), then opened as an .mp3 file by the compressed-file reader,
// whose audio, song information and picture are read and whose window and
// position are moved around.

#include "common/file/linux/CMp3StreamScanner.h"
#include "fuzz/CompressedReadFuzz.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
bool IsLayer3Rate(uint32_t rate)
{
    for (const uint32_t r : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u})
        if (rate == r)
            return true;
    return false;
}

void Scan(const std::string& path, size_t fileSize)
{
    CMp3StreamScanner s;
    if (!s.Open(path.c_str()))
        return;
    if (!IsLayer3Rate(s.GetSampleRate()) || (s.GetNumChannels() != 1 && s.GetNumChannels() != 2) ||
        (s.GetSamplesPerFrame() != 576 && s.GetSamplesPerFrame() != 1152))
        __builtin_trap();
    if (s.GetAudioStart() < 0 || s.GetAudioStart() >= s.GetAudioEnd() ||
        s.GetAudioEnd() > static_cast<int64_t>(fileSize))
        __builtin_trap();
    // A frame count is one the audio after the tag could hold, or, in a file
    // cut short, one the tag's byte count could.
    if (s.GetTagFrames() == 0 || (s.GetTagFrames() > s.GetAudioEnd() && s.GetTagFrames() > s.GetTagBytes()))
        __builtin_trap();
    if (!s.HasInfoTag() && (s.HasEncoderDelay() || s.GetEncoderDelay() != 0 || s.GetEncoderPadding() != 0))
        __builtin_trap();
    if (s.GetEncoderDelay() > 4095 || s.GetEncoderPadding() > 4095)
        __builtin_trap();

    // The frames follow one another inside the audio, each a whole frame of
    // the stream's rate.
    std::vector<CMp3StreamScanner::Frame> frames;
    CMp3StreamScanner::Frame f;
    int64_t end = s.GetAudioStart();
    uint8_t bytes[CMp3StreamScanner::kMaxFrameSize];
    while (s.GetFrame(static_cast<int64_t>(frames.size()), &f))
    {
        if (f.pos < end || (frames.empty() && f.pos != s.GetAudioStart()) || f.size == 0 ||
            f.size > CMp3StreamScanner::kMaxFrameSize || f.pos + f.size > s.GetAudioEnd())
            __builtin_trap();
        if (!s.ReadFrame(f, bytes))
            __builtin_trap();
        const uint32_t word =
            (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
        CMp3StreamScanner::Header h;
        if (!CMp3StreamScanner::ParseHeader(word, &h) || h.frameSize != f.size || h.bitRate != f.bitRate ||
            h.sampleRate != s.GetSampleRate())
            __builtin_trap();
        end = f.pos + f.size;
        frames.push_back(f);
    }
    if (frames.empty() || s.CountFrames() != static_cast<int64_t>(frames.size()))
        __builtin_trap();
    const size_t middle = frames.size() / 2;
    if (!s.GetFrame(static_cast<int64_t>(middle), &f) || f.pos != frames[middle].pos ||
        s.GetFrame(static_cast<int64_t>(frames.size()), &f) || s.GetFrame(-1, &f))
        __builtin_trap();
    if (s.ReadErrorOccurred())
        __builtin_trap();
    s.Close();
    if (s.GetFrame(0, &f))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring* input = fuzzsupport::StoreInput("mp3-fuzz", data, size);
    if (input == nullptr)
        return 0;
    static const std::wstring named = fuzzsupport::LinkToInput(*input, "input.mp3");
    if (named.empty())
        return 0;
    Scan(std::string(named.begin(), named.end()), size);
    compressedfuzz::Decode(named, data, size);
    return 0;
}
