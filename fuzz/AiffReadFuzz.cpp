// Fuzz target for the AIFF and AIFC readers and the IFF chunk search: the
// input is opened with both readers, all of its audio, song information and
// front cover are read, and the window is moved around.

#include "common/file/CAiffFileRead.h"
#include "common/file/CAiffFormat.h"
#include "common/file/CBinaryFile64.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
void Exercise(CAiffFileRead& r, const std::wstring& path, const uint8_t* data, size_t size)
{
    if (r.OpenFile(path.c_str()) != 0)
        return;
    if (r.GetSampleRate() == 0 || r.GetNumChannels() == 0 || r.GetNumChannels() > 2)
        __builtin_trap();
    CAudioMetaData* meta = r.GetMetaDataPtr();
    for (int i = 0; i < CAudioMetaData::kNumFields; ++i)
        meta->GetStringPtr(i)->GetReadPtrChar();

    const uint32_t picture = r.GetAttachedPictureSize();
    std::vector<uint8_t> bytes(std::min<uint32_t>(picture, 1u << 20) + 1);
    if (picture > 0 && picture <= (1u << 20) &&
        r.ReadAttachedPicture(bytes.data(), static_cast<uint32_t>(bytes.size())) != picture)
        __builtin_trap();
    r.ReadAttachedPicture(bytes.data(), 1);

    fuzzsupport::ReadWindows(r, data, size);
    r.CloseFile();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring* input = fuzzsupport::StoreInput("aiff-fuzz", data, size);
    if (input == nullptr)
        return 0;
    const std::wstring& path = *input;

    CAiffFileRead aiff;
    Exercise(aiff, path, data, size);
    CAifcSowtFileRead aifc;
    Exercise(aifc, path, data, size);

    // The rate conversion on any ten bytes of the input.
    if (size >= 10)
    {
        const uint32_t rate = CAiffFormat::ExtendedToRate(data + size - 10);
        if (rate >= (1u << 30))
            __builtin_trap();
    }

    CBinaryFile64 f(false);
    if (f.Open(path.c_str()) != -1)
    {
        f.Seek(12, SEEK_SET);
        const uint32_t n = f.FindChunk8("SSND", fuzzsupport::Take(data, size, 8));
        if (n != 0 && f.Tell() + n > f.GetFileSize())
            __builtin_trap();
        f.Close();
    }
    return 0;
}
