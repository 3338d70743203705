// Write-then-read fuzz target for the AIFF writer: the input gives the
// format, the samples, song information texts of arbitrary bytes and a front
// cover. The file written must open, hold exactly the samples, and give back
// through its ID3 chunk every text the tag carries, the date and time as far
// as their digits go, and the cover byte for byte.

#include "common/file/CAiffFileRead.h"
#include "common/file/CAiffFileWrite.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/PcmRoundTrip.h"
#include "library/util/CImageUtil.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace
{
// A "YYYY-MM-DD" date comes back with blanks for the parts that are not all
// digits; nothing comes back when no part is.
std::wstring DateBack(const std::wstring& text)
{
    std::wstring back = L"    -  -  ";
    const bool year = fuzzsupport::AreDigits(text, {0, 1, 2, 3});
    const bool monthDay = fuzzsupport::AreDigits(text, {5, 6, 8, 9});
    if (year)
        back.replace(0, 4, text.substr(0, 4));
    if (monthDay)
    {
        back.replace(5, 2, text.substr(5, 2));
        back.replace(8, 2, text.substr(8, 2));
    }
    return year || monthDay ? back : std::wstring();
}

// A "hh:mm:ss" time comes back to the minute when hours and minutes are
// digits.
std::wstring TimeBack(const std::wstring& text)
{
    if (!fuzzsupport::AreDigits(text, {0, 1, 3, 4}))
        return {};
    return text.substr(0, 2) + L":" + text.substr(3, 2) + L":00";
}

std::wstring Expected(int field, const std::wstring& text)
{
    switch (field)
    {
    case CAudioMetaData::kLocation:
        return {};
    case CAudioMetaData::kRecDate:
        return DateBack(text);
    case CAudioMetaData::kRecTime:
        return TimeBack(text);
    default:
        return text;
    }
}

void ExpectTexts(CAudioMetaData* meta, const std::vector<std::wstring>& written)
{
    for (int field = 0; field < CAudioMetaData::kNumFields; ++field)
    {
        const std::wstring got = meta->GetStringPtr(field)->GetReadPtrWChar();
        const std::wstring& text = written[static_cast<size_t>(field)];
        const std::wstring expected = Expected(field, text);
        // A genre that begins with "(" may name a genre by its number; a
        // file without a date gives its time stamp as date and time.
        const bool dated = !DateBack(written[CAudioMetaData::kRecDate]).empty();
        if ((field == CAudioMetaData::kGenre && !text.empty() && text[0] == L'(') ||
            ((field == CAudioMetaData::kRecDate || field == CAudioMetaData::kRecTime) && !dated))
            continue;
        if (got != expected)
        {
            std::fprintf(stderr, "text %d written \"%ls\" read \"%ls\"\n", field, text.c_str(), got.c_str());
            __builtin_trap();
        }
    }
}

// Writes a picture file from the input: none, a JPEG, a PNG or bytes that
// are neither. Returns its bytes (empty for none).
std::vector<uint8_t> WritePicture(fuzzsupport::InputReader& in, const std::string& path)
{
    static const std::vector<uint8_t> kHeads[] = {
        {}, {0xFF, 0xD8, 0xFF, 0xE0}, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, {'G', 'I', 'F', '8'}};
    const uint8_t kind = in.Byte() % 4;
    if (kind == 0)
        return {};
    std::vector<uint8_t> bytes = kHeads[kind];
    const std::string body = in.Text(3000);
    bytes.insert(bytes.end(), body.begin(), body.end());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return {};
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    return ok ? bytes : std::vector<uint8_t>();
}

void ExpectPicture(CAiffFileRead& r, const std::vector<uint8_t>& picture)
{
    const uint32_t head = static_cast<uint32_t>(std::min<size_t>(picture.size(), 16));
    const bool embedded = CImageUtil::IsJPEG(picture.data(), head) || CImageUtil::IsPNG(picture.data(), head);
    const uint32_t size = r.GetAttachedPictureSize();
    if (size != (embedded ? picture.size() : 0))
        __builtin_trap();
    if (size == 0)
        return;
    std::vector<uint8_t> back(size + 1);
    if (r.ReadAttachedPicture(back.data(), size + 1) != size ||
        !std::equal(picture.begin(), picture.end(), back.begin()))
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzzsupport::TempFolder& folder = fuzzsupport::Folder();
    static const std::string path = folder.IsValid() ? folder.Add("roundtrip.aif") : std::string();
    static const std::string picturePath = folder.IsValid() ? folder.Add("cover.img") : std::string();
    if (path.empty() || picturePath.empty())
        return 0;
    const std::wstring widePath = fuzzsupport::Wide(path);

    fuzzsupport::InputReader in(data, size);
    const pcmroundtrip::Format format = pcmroundtrip::ChooseFormat(in, {16, 24});
    const uint32_t frames = in.Number(2) % 5000;
    CAiffFileWrite w;
    if (w.OpenFile(widePath.c_str(), format.rate, format.bits, format.channels, 0) != 0)
        __builtin_trap();
    std::vector<std::wstring> texts;
    for (int field = 0; field < CAudioMetaData::kNumFields; ++field)
    {
        CMultiString* text = w.GetMetaDataPtr()->GetStringPtr(field);
        const std::string bytes = in.Text(600);
        text->SetString(bytes.c_str(), static_cast<int>(bytes.size()), false);
        // What the song information made of the bytes is what is written.
        texts.push_back(text->GetReadPtrWChar());
    }
    const std::vector<uint8_t> picture = WritePicture(in, picturePath);
    if (!picture.empty())
        w.GetMetaDataPtr()->SetAttachedPicture(fuzzsupport::Wide(picturePath).c_str());
    const pcmroundtrip::Planar samples = pcmroundtrip::MakeSamples(format, frames, in.Rest());
    pcmroundtrip::WriteSamples(w, format, samples);
    if (!w.CloseFile())
        __builtin_trap();

    CAiffFileRead r;
    if (r.OpenFile(widePath.c_str()) != 0)
        __builtin_trap();
    ExpectTexts(r.GetMetaDataPtr(), texts);
    ExpectPicture(r, picture);
    pcmroundtrip::ExpectSamples(r, format, samples);
    r.CloseFile();
    return 0;
}
