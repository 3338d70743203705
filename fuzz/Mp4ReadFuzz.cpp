// Fuzz target for the MP4 track-timing reader and the compressed-file reader
// on MP4-family files: the input's timing is read for the first track IDs
// and checked against the reader's bounds, then the input is opened as an
// .m4a file by the compressed-file reader, whose audio, song information and
// picture are read and whose window and position are moved around.

#include "common/file/linux/CMp4TrackTiming.h"
#include "fuzz/CompressedReadFuzz.h"
#include "fuzz/FuzzSupport.h"

#include <cstdint>
#include <string>

namespace
{
void ReadTiming(const std::string& path)
{
    for (uint32_t id = 0; id <= 3; ++id)
    {
        CMp4TrackTiming::Timing t;
        if (!CMp4TrackTiming::Read(path.c_str(), id, &t))
            continue;
        if (t.movieTimeScale == 0 || t.mediaTimeScale == 0 || t.sampleTableTicks < 0 ||
            t.sampleTableTicks > CMp4TrackTiming::kMaxTicks)
            __builtin_trap();
        if (t.singleEdit && !t.hasEdit)
            __builtin_trap();
        if (t.hasEdit && (t.editMediaTime < 0 || t.editMediaTime > CMp4TrackTiming::kMaxTicks ||
                          t.editDuration < 0 || t.editDuration > CMp4TrackTiming::kMaxTicks))
            __builtin_trap();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring* input = fuzzsupport::StoreInput("mp4-fuzz", data, size);
    if (input == nullptr)
        return 0;
    static const std::wstring named = fuzzsupport::LinkToInput(*input, "input.m4a");
    if (named.empty())
        return 0;
    ReadTiming(std::string(named.begin(), named.end()));
    compressedfuzz::Decode(named, data, size);
    return 0;
}
