// Fuzz target for the ".cda" track-pointer reader: the input is opened as a
// .cda file that lies beside a small BIN/CUE disc image (two audio tracks and
// a data track), so that a header which parses goes on to find its track on
// that disc, whose audio is then read.

#include "common/file/CCdaFileRead.h"
#include "fuzz/FuzzSupport.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr int kSectors = 30;
constexpr int kFramesPerSector = 588;

// Writes the disc image into the private folder once; false when it could not.
bool WriteDisc()
{
    fuzzsupport::TempFolder& folder = fuzzsupport::Folder();
    if (!folder.IsValid())
        return false;
    const std::string bin = folder.Add("disc.bin");
    const std::string cue = folder.Add("disc.cue");
    std::vector<uint8_t> audio(size_t(kSectors) * kFramesPerSector * 4);
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = static_cast<uint8_t>(i * 7);
    const char* sheet = "TITLE \"Disc\"\n"
                        "FILE \"disc.bin\" BINARY\n"
                        "  TRACK 01 AUDIO\n"
                        "    TITLE \"One\"\n"
                        "    INDEX 01 00:00:00\n"
                        "  TRACK 02 AUDIO\n"
                        "    INDEX 00 00:00:08\n"
                        "    INDEX 01 00:00:10\n"
                        "  TRACK 03 MODE1/2352\n"
                        "    INDEX 01 00:00:20\n";
    FILE* f = std::fopen(bin.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool binOk = std::fwrite(audio.data(), 1, audio.size(), f) == audio.size();
    std::fclose(f);
    f = std::fopen(cue.c_str(), "w");
    if (f == nullptr)
        return false;
    const bool cueOk = std::fputs(sheet, f) >= 0;
    std::fclose(f);
    return binOk && cueOk;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool disc = WriteDisc();
    const std::wstring* input = fuzzsupport::StoreInput("cda-fuzz", data, size);
    if (!disc || input == nullptr)
        return 0;
    static const std::wstring named = fuzzsupport::LinkToInput(*input, "Track01.cda");
    if (named.empty())
        return 0;

    CCdaFileRead r(true);
    const int result = r.OpenFile(named.c_str());
    if (result != 0)
    {
        if (result != 2 && result != 3 && result != 4)
            __builtin_trap();
        if (r.GetHeader().trackNumber != 0 || r.GetNumSamples() != 0)
            __builtin_trap();
        return 0;
    }
    // Only the two audio tracks can be opened.
    const int number = r.GetHeader().trackNumber;
    if ((number != 1 && number != 2) || r.GetNumSamples() <= 0 ||
        r.GetNumSamples() > int64_t(kSectors) * kFramesPerSector)
        __builtin_trap();
    CAudioMetaData* meta = r.GetMetaDataPtr();
    for (int i = 0; i < CAudioMetaData::kNumFields; ++i)
        meta->GetStringPtr(i)->GetReadPtrChar();
    fuzzsupport::ReadWindows(r, data, size);
    r.CloseFile();
    return 0;
}
