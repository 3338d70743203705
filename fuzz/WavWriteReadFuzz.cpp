// Write-then-read fuzz target for the WAV writer: the input gives the format,
// the samples, markers and song information texts of arbitrary bytes. The
// file written must open, hold exactly the samples, give back every marker
// inside the audio (to the millisecond) and every text that a LIST/INFO
// chunk can carry (printable ASCII), and no other.

#include "common/file/CWavFileRead.h"
#include "common/file/CWavFileWrite.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/PcmRoundTrip.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace
{
// The texts a LIST/INFO chunk carries.
const int kInfoFields[] = {CAudioMetaData::kTitle,   CAudioMetaData::kArtist,
                           CAudioMetaData::kGenre,   CAudioMetaData::kLocation,
                           CAudioMetaData::kRecDate, CAudioMetaData::kEncodingSoftware};

bool IsInfoField(int field)
{
    for (const int f : kInfoFields)
        if (f == field)
            return true;
    return false;
}

bool IsPrintableAscii(const std::string& text)
{
    for (const char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

// Markers at whole milliseconds from the input, some past the audio's end.
std::set<uint32_t> AddMarkers(CMarker* markers, fuzzsupport::InputReader& in)
{
    std::set<uint32_t> added;
    const int count = in.Byte() % 48;
    for (int i = 0; i < count; ++i)
    {
        const uint32_t ms = in.Number(2);
        if (markers->Add(ms / 1000.0))
            added.insert(ms);
    }
    return added;
}

// The markers that come back: the first cue points the writer keeps, those
// whose frame (half a millisecond into their millisecond, 0 for a marker at
// 0) lies in the audio.
std::set<uint32_t> MarkersInside(const std::set<uint32_t>& added, uint32_t rate, uint32_t frames)
{
    std::set<uint32_t> inside;
    int written = 0;
    for (const uint32_t ms : added)
    {
        if (written++ == CWavFileWrite::kMaxCuePoints)
            break;
        const double frame = ms == 0 ? 0.0 : std::floor((ms / 1000.0 + 0.0005) * rate);
        if (frame < frames)
            inside.insert(ms);
    }
    return inside;
}

void ExpectMarkers(CMarker* markers, const std::set<uint32_t>& expected)
{
    bool same = markers->GetNumMarkers() == static_cast<int>(expected.size());
    int i = 0;
    for (auto ms = expected.begin(); same && ms != expected.end(); ++ms)
        same = std::lround(markers->GetMarkerTimeSecond(i++) * 1000.0) == *ms;
    if (same)
        return;
    std::fprintf(stderr, "markers written:");
    for (const uint32_t ms : expected)
        std::fprintf(stderr, " %u", ms);
    std::fprintf(stderr, "\nmarkers read:");
    for (int k = 0; k < markers->GetNumMarkers(); ++k)
        std::fprintf(stderr, " %.6f", markers->GetMarkerTimeSecond(k));
    std::fprintf(stderr, "\n");
    __builtin_trap();
}

void ExpectTexts(CAudioMetaData* meta, const std::vector<std::string>& written)
{
    for (int field = 0; field < CAudioMetaData::kNumFields; ++field)
    {
        const std::string got = meta->GetStringPtr(field)->GetReadPtrChar();
        const std::string& text = written[static_cast<size_t>(field)];
        const bool carried = IsInfoField(field) && IsPrintableAscii(text);
        // Without a date of its own a file gives its time stamp as date and
        // time.
        const bool dated =
            IsPrintableAscii(written[CAudioMetaData::kRecDate]) && !written[CAudioMetaData::kRecDate].empty();
        if ((field == CAudioMetaData::kRecDate || field == CAudioMetaData::kRecTime) && !dated)
            continue;
        if (got != (carried ? text : std::string()))
        {
            std::fprintf(stderr, "text %d written \"%s\" read \"%s\"\n", field, text.c_str(), got.c_str());
            __builtin_trap();
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzzsupport::TempFolder& folder = fuzzsupport::Folder();
    static const std::string path = folder.IsValid() ? folder.Add("roundtrip.wav") : std::string();
    if (path.empty())
        return 0;
    const std::wstring widePath = fuzzsupport::Wide(path);

    fuzzsupport::InputReader in(data, size);
    const pcmroundtrip::Format format = pcmroundtrip::ChooseFormat(in, {16, 24, 32});
    // A "data" chunk of size 0 is refused when read.
    const uint32_t frames = 1 + in.Number(2) % 5000;
    CWavFileWrite w;
    if (w.OpenFile(widePath.c_str(), format.rate, format.bits, format.channels, 0) != 0)
        __builtin_trap();
    const std::set<uint32_t> markers = AddMarkers(w.GetMarkerPtr(), in);
    std::vector<std::string> texts;
    for (int field = 0; field < CAudioMetaData::kNumFields; ++field)
    {
        CMultiString* text = w.GetMetaDataPtr()->GetStringPtr(field);
        const std::string bytes = in.Text(300);
        text->SetString(bytes.c_str(), static_cast<int>(bytes.size()), false);
        // What the song information made of the bytes is what is written.
        texts.push_back(text->GetReadPtrChar());
    }
    const pcmroundtrip::Planar samples = pcmroundtrip::MakeSamples(format, frames, in.Rest());
    pcmroundtrip::WriteSamples(w, format, samples);
    if (!w.CloseFile())
        __builtin_trap();

    CWavFileRead r;
    if (r.OpenFile(widePath.c_str()) != 0)
        __builtin_trap();
    if (r.IsFloatingPoint() != (format.bits == 32))
        __builtin_trap();
    ExpectMarkers(r.GetMarkerPtr(), MarkersInside(markers, format.rate, frames));
    ExpectTexts(r.GetMetaDataPtr(), texts);
    pcmroundtrip::ExpectSamples(r, format, samples);
    r.CloseFile();
    return 0;
}
