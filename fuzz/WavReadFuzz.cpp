// Fuzz target for the WAV reader and the RIFF chunk search: the input is
// opened as a WAV file, all of its audio, cue points and INFO texts are read,
// and the window is moved around.

#include "common/file/CBinaryFile64.h"
#include "common/file/CWavFileRead.h"
#include "fuzz/FuzzSupport.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring* input = fuzzsupport::StoreInput("wav-fuzz", data, size);
    if (input == nullptr)
        return 0;
    const std::wstring& path = *input;

    CWavFileRead r;
    if (r.OpenFile(path.c_str()) == 0)
    {
        CuePointData cue;
        const int cues = r.GetNumCuePoints();
        for (int i : {0, 1, cues / 2, cues - 1, cues})
            r.ReadCuePointData(&cue, i);
        char text[600];
        for (const char* id : {"INAM", "IART", "ICRD", "ISFT"})
            r.ReadListInfoChunkData(text, sizeof(text), id);
        r.ReadListInfoChunkData(text, 1, "INAM");
        fuzzsupport::ReadWindows(r, data, size);
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
            f.FindChunk8WithType("LIST", "INFO", fuzzsupport::Take(data, size, 4) & 0xFFFF);
            f.Seek(start, SEEK_SET);
            f.FindChunk8("cue ", fuzzsupport::Take(data, size, 8));
        }
        f.Close();
    }
    return 0;
}
