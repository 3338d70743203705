// Fuzz target for the MP3 frame scanner and the compressed-file reader: the
// input is scanned frame by frame (every frame read back and checked against
// its header), then opened as an .mp3 file by the compressed-file reader,
// whose audio, song information and picture are read and whose window and
// position are moved around.

#include "common/file/CQuickTimeFileRead.h"
#include "common/file/linux/CMp3StreamScanner.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
// Reads from the start past this many frames are cut short: a damaged
// header may declare hours of audio.
constexpr int64_t kMaxFramesRead = int64_t(1) << 20;

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
    // A frame count is one the audio after the tag could hold.
    if (s.GetTagFrames() == 0 || s.GetTagFrames() > s.GetAudioEnd())
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

// Reads count frames (at most 1000 at a time) and checks that every read
// delivers what it asked for within the window.
void ReadFrames(CQuickTimeFileRead& r, int64_t count, bool asFloat)
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

void Decode(const std::wstring& path, const uint8_t* data, size_t size)
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
    Decode(named, data, size);
    return 0;
}
