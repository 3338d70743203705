// Fuzz target for the WAV reader and the RIFF chunk search: the input is
// opened as a WAV file, all of its audio, cue points and INFO texts are read,
// and the window is moved around.

#include "common/file/CBinaryFile64.h"
#include "common/file/CWavFileRead.h"

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
    static const int fd = ::memfd_create("wav-fuzz", MFD_CLOEXEC);
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

void ReadEverything(CWavFileRead& r)
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
    if (total > r.GetNumSamples())
        __builtin_trap();
    r.SetCurSamplePosition(r.GetNumSamples() / 2);
    r.ReadAudioData(fp, 1017, 3);
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

    CWavFileRead r;
    if (r.OpenFile(path.c_str()) == 0)
    {
        ReadEverything(r);
        CuePointData cue;
        const int cues = r.GetNumCuePoints();
        for (int i : {0, 1, cues / 2, cues - 1, cues})
            r.ReadCuePointData(&cue, i);
        char text[600];
        for (const char* id : {"INAM", "IART", "ICRD", "ISFT"})
            r.ReadListInfoChunkData(text, sizeof(text), id);
        r.ReadListInfoChunkData(text, 1, "INAM");

        r.ExtractData(Take(data, size, size / 3), Take(data, size, size / 2));
        ReadEverything(r);
        r.ExtractData(1, -1);
        ReadEverything(r);
        r.SetCurTimeSecond(0.001);
        r.CloseFile();
    }

    CBinaryFile64 f(false);
    if (f.Open(path.c_str()) != -1)
    {
        for (int64_t start : {int64_t(0), int64_t(12)})
        {
            f.Seek(start, SEEK_SET);
            const uint32_t n = f.FindChunk8("data", -1);
            if (n != 0 && f.Tell() + n > f.GetFileSize())
                __builtin_trap();
            f.Seek(start, SEEK_SET);
            f.FindChunk8WithType("LIST", "INFO", Take(data, size, 4) & 0xFFFF);
            f.Seek(start, SEEK_SET);
            f.FindChunk8("cue ", Take(data, size, 8));
        }
        f.Close();
    }
    return 0;
}
