// Fuzz target for the AIFF and AIFC readers and the IFF chunk search: the
// input is opened with both readers, all of its audio, song information and
// front cover are read, and the window is moved around.

#include "common/file/CAiffFileRead.h"
#include "common/file/CAiffFormat.h"
#include "common/file/CBinaryFile64.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace
{
// The input lives in an anonymous in-memory file, reopened through its
// /proc path like any file on disk.
int InputFile()
{
    static const int fd = ::memfd_create("aiff-fuzz", MFD_CLOEXEC);
    return fd;
}

std::wstring InputPath()
{
    const std::string p = "/proc/self/fd/" + std::to_string(InputFile());
    return std::wstring(p.begin(), p.end());
}

int64_t Take(const uint8_t* data, size_t size, size_t at)
{
    int64_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v = (v << 8) | (at + i < size ? data[at + i] : 0);
    return static_cast<int32_t>(v);
}

void ReadEverything(CAiffFileRead& r)
{
    const uint16_t channels = r.GetNumChannels();
    std::vector<int32_t> ints(2 * 1024 + 16);
    std::vector<float> floats(2 * 1024 + 16);
    int32_t* ip[2] = {ints.data(), ints.data() + 1024 + 8};
    float* fp[2] = {floats.data(), floats.data() + 1024 + 8};
    int64_t total = 0;
    for (;;)
    {
        const uint32_t got = r.ReadAudioData(ip, 1000, 7);
        total += got;
        if (got < 1000 || channels == 0)
            break;
    }
    // A reader never delivers more than it declares, and without a read
    // error it delivers all of it (the input does not change while read).
    if (total > r.GetNumSamples() || (!r.AudioDataReadErrorOccured() && total != r.GetNumSamples()))
        __builtin_trap();
    r.SetCurSamplePosition(r.GetNumSamples() / 2);
    r.ReadAudioData(fp, 1017, 3);
}

void Exercise(CAiffFileRead& r, const std::wstring& path, const uint8_t* data, size_t size)
{
    if (r.OpenFile(path.c_str()) != 0)
        return;
    if (r.GetSampleRate() == 0 || r.GetNumChannels() == 0 || r.GetNumChannels() > 2)
        __builtin_trap();
    ReadEverything(r);
    CAudioMetaData* meta = r.GetMetaDataPtr();
    for (int i = 0; i < CAudioMetaData::kNumFields; ++i)
        meta->GetStringPtr(i)->GetReadPtrChar();

    const uint32_t picture = r.GetAttachedPictureSize();
    std::vector<uint8_t> bytes(std::min<uint32_t>(picture, 1u << 20) + 1);
    if (picture > 0 && picture <= (1u << 20) &&
        r.ReadAttachedPicture(bytes.data(), static_cast<uint32_t>(bytes.size())) != picture)
        __builtin_trap();
    r.ReadAttachedPicture(bytes.data(), 1);

    r.ExtractData(Take(data, size, size / 3), Take(data, size, size / 2));
    ReadEverything(r);
    r.ExtractData(1, -1);
    ReadEverything(r);
    r.SetCurTimeSecond(0.001);
    r.CloseFile();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int fd = InputFile();
    if (fd < 0 || ::ftruncate(fd, 0) != 0)
        return 0;
    if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;
    const std::wstring path = InputPath();

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
        const uint32_t n = f.FindChunk8("SSND", Take(data, size, 8));
        if (n != 0 && f.Tell() + n > f.GetFileSize())
            __builtin_trap();
        f.Close();
    }
    return 0;
}
