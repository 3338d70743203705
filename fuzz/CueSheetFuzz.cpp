// Fuzz target for BIN/CUE disc images: the input gives a cue sheet, the
// length of the ".bin" file beside it and a CD-Text file of raw packs that
// the sheet may name (CDTEXTFILE). The disc is opened, its table of contents
// checked, sectors read at and around every track, its CD-Text and CDDB
// identifier read, and it is read as a whole-disc stream, track by track and
// through its track paths.
//
// libcdio's cue sheet parser leaks what it has taken from some sheets it
// refuses; run with LSAN_OPTIONS=suppressions=fuzz/lsan-libcdio.supp, which
// leaves leaks of our own code reported.

#include "common/disc/CCdTextBlocks.h"
#include "common/disc/CCdTextInfoRead.h"
#include "common/disc/linux/CAudioCDPath.h"
#include "common/disc/linux/CCddbReadImpLinux.h"
#include "common/disc/linux/CCdioDisc.h"
#include "common/disc/linux/CDiscUtilLinux.h"
#include "common/file/CAudioCDRead.h"
#include "common/file/CAudioCDReadWorkAroundLinux.h"
#include "fuzz/FuzzSupport.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kMaxSectors = 40;

bool WriteFile(const std::string& path, const void* data, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// Writes the disc image's three files; false when that failed.
bool WriteImage(fuzzsupport::InputReader& in, const std::string& cue, const std::string& bin,
                const std::string& cdText)
{
    const std::string sheet = in.Text(3000);
    const uint32_t sectors = in.Number(2) % (kMaxSectors + 1);
    // A ".bin" that ends inside a sector now and then.
    const uint32_t extra = in.Byte() < 32 ? in.Number(2) % CCdioDisc::kBytesPerSector : 0;
    std::vector<uint8_t> audio(size_t(sectors) * CCdioDisc::kBytesPerSector + extra);
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = static_cast<uint8_t>(i * 7 + i / CCdioDisc::kBytesPerSector);
    const std::vector<uint8_t> packs = in.Rest();
    return WriteFile(cue, sheet.data(), sheet.size()) && WriteFile(bin, audio.data(), audio.size()) &&
           WriteFile(cdText, packs.data(), packs.size());
}

void CheckDisc(CCdioDisc& disc)
{
    const int first = disc.GetFirstTrackNumber();
    const int last = disc.GetLastTrackNumber();
    if (first < 1 || last < first || last > CAudioCDPath::kMaxTrackNumber)
        __builtin_trap();
    std::vector<uint8_t> sectors(3 * CCdioDisc::kBytesPerSector);
    for (int t = first; t <= last; ++t)
    {
        const int32_t start = disc.GetTrackStartLsn(t);
        const int32_t end = disc.GetTrackEndLsn(t);
        if (start < 0 || end <= start || end > disc.GetTrackStartLsn(t + 1))
            __builtin_trap();
        for (const int32_t lsn : {start, end - 1, end - 2, end})
        {
            const bool ok = disc.ReadAudioSectors(sectors.data(), lsn, 2);
            if (ok && lsn + 2 > disc.GetLeadOutLsn())
                __builtin_trap();
        }
    }
    if (disc.ReadAudioSectors(sectors.data(), -1, 1) ||
        disc.ReadAudioSectors(sectors.data(), disc.GetLeadOutLsn(), 1))
        __builtin_trap();
    CCdTextBlocks blocks;
    if (disc.ReadCdText(blocks) == blocks.IsEmpty())
        __builtin_trap();
}

void ReadTexts(const std::wstring& path)
{
    CCdTextInfoRead text(CCdTextInfoRead::kLanguageEnglish);
    if (text.OpenDrive(path.c_str()) == 0)
    {
        wchar_t buf[300];
        for (int entry = 0; entry <= 100; ++entry)
        {
            text.GetTitle(buf, 300, static_cast<uint8_t>(entry));
            text.GetPerformer(buf, 300, static_cast<uint8_t>(entry));
        }
        text.CloseDrive();
    }
    CCddbReadImpLinux cddb;
    if (cddb.OpenDrive(path.c_str()) == 0)
    {
        wchar_t buf[300];
        cddb.GetAlbumTitle(buf, 300);
        for (int t = -1; t <= cddb.GetNumTrackTitles(); ++t)
            cddb.GetTrackTitle(buf, 300, t);
    }
    CDiscUtilLinux::GetCDDBID(path.c_str());
}

void ReadStream(const std::wstring& path, const uint8_t* data, size_t size)
{
    CAudioCDRead whole(true);
    if (whole.OpenFile(path.c_str()) != 0)
        return;
    const int tracks = whole.GetNumTracks();
    if (tracks < 1 || whole.GetNumSamples() <= 0 ||
        whole.GetNumSamples() != whole.GetTrackStartPosition(tracks))
        __builtin_trap();
    for (int i = 0; i < tracks; ++i)
    {
        const int64_t start = whole.GetTrackStartPosition(i);
        if (start < 0 || start >= whole.GetTrackStartPosition(i + 1) || whole.GetTrackNumber(start) != i)
            __builtin_trap();
    }
    fuzzsupport::ReadEverything(whole);
    whole.ExtractData(fuzzsupport::Take(data, size, size / 3), fuzzsupport::Take(data, size, size / 2));
    fuzzsupport::ReadEverything(whole);
    // Each track alone, then the first as a reader of one track would.
    for (int i = 0; i < tracks && i < 4; ++i)
    {
        if (!whole.SelectTrack(i))
            __builtin_trap();
        if (i == 0)
            fuzzsupport::ReadEverything(whole);
        const std::wstring trackPath = CAudioCDPath::MakeTrackPath(path.c_str(), whole.GetDiscTrackNumber(i));
        CAudioCDRead track(false);
        if (track.OpenFile(trackPath.c_str()) == 0 && track.GetNumSamples() != whole.GetNumSamples())
            __builtin_trap();
    }
    CAudioCDReadWorkAroundLinux one;
    if (one.OpenTrack(path.c_str(), 0, 0) == 0)
    {
        one.ExtractData(0, -1);
        fuzzsupport::ReadEverything(one);
    }
    whole.CloseFile();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzzsupport::TempFolder& folder = fuzzsupport::Folder();
    static const std::string cue = folder.IsValid() ? folder.Add("disc.cue") : std::string();
    static const std::string bin = folder.IsValid() ? folder.Add("disc.bin") : std::string();
    static const std::string cdText = folder.IsValid() ? folder.Add("packs.cdt") : std::string();
    if (cue.empty())
        return 0;
    fuzzsupport::InputReader in(data, size);
    if (!WriteImage(in, cue, bin, cdText))
        return 0;
    const std::wstring path = fuzzsupport::Wide(cue);

    CCdioDisc disc;
    if (disc.Open(path.c_str()))
        CheckDisc(disc);
    disc.Close();
    ReadTexts(path);
    ReadStream(path, data, size);
    return 0;
}
