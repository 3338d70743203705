#include "common/file/VextalFileUtil.h"

#include "common/disc/linux/CAudioCDPath.h"
#include "common/file/CAiffFileRead.h"
#include "common/file/CAiffFileWrite.h"
#include "common/file/CAudioCDRead.h"
#include "common/file/CAudioFileAttachedPictureRead.h"
#include "common/file/CCdaFileRead.h"
#include "common/file/CCoreAudioFileWriteAac.h"
#include "common/file/CID3v2Read.h"
#include "common/file/CJpegFileRead.h"
#include "common/file/CPngFileRead.h"
#include "common/file/CQuickTimeFileRead.h"
#include "common/file/CWavFileRead.h"
#include "common/file/CWavFileWrite.h"
#include "library/util/CFileUtil.h"
#include "library/util/CRegularFile.h"
#include "library/util/CTextUtil.h"

#include <juce_core/juce_core.h>

#include <cwchar>
#include <initializer_list>
#include <memory>

namespace
{
// The format id in lower case (ids are ASCII; other bytes stay as they are).
std::string LowerId(const char* formatId)
{
    std::string id = formatId != nullptr ? formatId : "";
    for (char& c : id)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return id;
}

// The lower-cased text after the last "." of the path's file name.
std::wstring LowerExtension(const wchar_t* path)
{
    std::vector<wchar_t> buf(std::wcslen(path) + 1);
    CFileUtil::FilePathToExtension(path, buf.data(), static_cast<uint32_t>(buf.size()));
    CTextUtil::ToLower(buf.data(), buf.data());
    return buf.data();
}

bool IsOneOf(const std::wstring& ext, std::initializer_list<const wchar_t*> list)
{
    for (const wchar_t* e : list)
        if (ext == e)
            return true;
    return false;
}

bool IsOneOf(const std::string& id, std::initializer_list<const char*> list)
{
    for (const char* e : list)
        if (id == e)
            return true;
    return false;
}

bool IsCompressedExtension(const std::wstring& ext)
{
    return IsOneOf(ext, {L"mp3", L"m4a", L"wma", L"wmv", L"mp4", L"aac", L""});
}

bool IsAiffExtension(const std::wstring& ext)
{
    return IsOneOf(ext, {L"aif", L"aiff", L""});
}

// The reader when it opens the file; null (and the reader destroyed)
// otherwise.
template <class Reader>
CAudioFileReadBase* TryOpen(std::unique_ptr<Reader> reader, const wchar_t* path)
{
    if (reader->OpenFile(path) != kAudioFileOpened)
        return nullptr;
    return reader.release();
}

template <class Writer>
CAudioFileWriteBase* TryCreate(const wchar_t* path, uint32_t rate, uint16_t bits, uint16_t channels,
                               int quality)
{
    auto writer = std::make_unique<Writer>();
    if (writer->OpenFile(path, rate, bits, channels, quality) != kAudioFileOpened)
        return nullptr;
    return writer.release();
}

template <class Image>
CImageFileReadBase* TryOpenImage(const wchar_t* path)
{
    auto reader = std::make_unique<Image>();
    if (reader->OpenFile(path) != 0)
        return nullptr;
    return reader.release();
}

enum class EWriter
{
    kNone,
    kWav,
    kAiff,
    kAac
};

EWriter WriterOf(const char* formatId)
{
    const std::string id = LowerId(formatId);
    if (id == "wav" || id == "wave")
        return EWriter::kWav;
    if (id == "aiff" || id == "aif")
        return EWriter::kAiff;
    if (id == "aac")
        return EWriter::kAac;
    return EWriter::kNone;
}

bool IsEmptyPath(const wchar_t* path)
{
    return path == nullptr || path[0] == 0;
}

// Whether a path names a regular file (links followed). Files are opened only
// after this test: a FIFO or a device behind a song's or a picture's name is
// refused like a missing file before any reader opens it.
bool IsRegularFile(const wchar_t* path)
{
    return CRegularFile::IsRegular(juce::String(path).toStdString());
}
} // namespace

CAudioFileReadBase* VextalFileUtil::CreateAudioFileReadObjectNoLimit(const wchar_t* path, bool noCdText)
{
    // Only regular files are read; a CD path names a drive's device or a
    // track inside a disc image, which the CD reader checks itself.
    if (IsEmptyPath(path) || (!CAudioCDPath::IsCDPath(path) && !IsRegularFile(path)))
        return nullptr;
    const std::wstring ext = LowerExtension(path);
    CAudioFileReadBase* reader = nullptr;

    // The volume of a disc image is its cue sheet, whose name has an
    // extension; the empty extension covers drives and track paths.
    if (ext.empty() || CAudioCDPath::IsCDPath(path))
        reader = TryOpen(std::make_unique<CAudioCDRead>(!noCdText), path);
    if (reader == nullptr && IsOneOf(ext, {L"wav", L""}))
        reader = TryOpen(std::make_unique<CWavFileRead>(), path);
    if (reader == nullptr && IsAiffExtension(ext))
        reader = TryOpen(std::make_unique<CAiffFileRead>(), path);
    if (reader == nullptr && IsAiffExtension(ext))
        reader = TryOpen(std::make_unique<CAifcSowtFileRead>(), path);
    if (reader == nullptr && IsCompressedExtension(ext) && CQuickTimeFileRead::IsQuickTimeInstalled())
        reader = TryOpen(std::make_unique<CQuickTimeFileRead>(), path);
    if (reader == nullptr && IsOneOf(ext, {L"cda", L""}))
        reader = TryOpen(std::make_unique<CCdaFileRead>(true), path);
    return reader;
}

CAudioFileReadBase* VextalFileUtil::CreateAudioFileReadObject(const wchar_t* path, bool noCdText)
{
    std::unique_ptr<CAudioFileReadBase> reader(CreateAudioFileReadObjectNoLimit(path, noCdText));
    if (reader == nullptr)
        return nullptr;
    if (reader->GetSampleRate() > 96000)
        return nullptr;
    if (reader->IsCompressed() && reader->IsLossless())
        return nullptr;
    return reader.release();
}

CAudioFileReadBase* VextalFileUtil::CreateAudioFileWithAttachedPictureReadObject(const wchar_t* path)
{
    if (IsEmptyPath(path) || !IsRegularFile(path))
        return nullptr;
    const std::wstring ext = LowerExtension(path);
    CAudioFileReadBase* reader = nullptr;
    if (IsAiffExtension(ext))
        reader = TryOpen(std::make_unique<CAiffFileRead>(), path);
    if (reader == nullptr && IsAiffExtension(ext))
        reader = TryOpen(std::make_unique<CAifcSowtFileRead>(), path);
    if (reader == nullptr && IsCompressedExtension(ext) && CQuickTimeFileRead::IsQuickTimeInstalled())
        reader = TryOpen(std::make_unique<CQuickTimeFileRead>(), path);
    return reader;
}

CAudioFileWriteBase* VextalFileUtil::CreateAudioFileWriteObject(const wchar_t* path, const char* formatId,
                                                                uint32_t sampleRate, uint16_t bitsPerSample,
                                                                uint16_t numChannels, int quality)
{
    if (IsEmptyPath(path))
        return nullptr;
    switch (WriterOf(formatId))
    {
    case EWriter::kWav:
        return TryCreate<CWavFileWrite>(path, sampleRate, bitsPerSample, numChannels, quality);
    case EWriter::kAiff:
        return TryCreate<CAiffFileWrite>(path, sampleRate, bitsPerSample, numChannels, quality);
    case EWriter::kAac:
        return TryCreate<CCoreAudioFileWriteAac>(path, sampleRate, bitsPerSample, numChannels, quality);
    case EWriter::kNone:
        break;
    }
    return nullptr;
}

CID3v2Read* VextalFileUtil::CreateID3v2ReadObject(const wchar_t* path, int64_t offset)
{
    if (IsEmptyPath(path))
        return nullptr;
    return CID3v2Read::CreateReaderForTag(path, offset);
}

CImageFileReadBase* VextalFileUtil::CreateImageFileReadObject(const wchar_t* path)
{
    if (IsEmptyPath(path) || !IsRegularFile(path))
        return nullptr;
    if (CImageFileReadBase* reader = TryOpenImage<CAudioFileAttachedPictureRead>(path))
        return reader;
    const std::wstring ext = LowerExtension(path);
    if (IsOneOf(ext, {L"jpg", L"jpeg", L""}))
        if (CImageFileReadBase* reader = TryOpenImage<CJpegFileRead>(path))
            return reader;
    if (IsOneOf(ext, {L"png", L""}))
        if (CImageFileReadBase* reader = TryOpenImage<CPngFileRead>(path))
            return reader;
    return nullptr;
}

wchar_t* VextalFileUtil::FormatUniqueIDToFileExtension(const char* formatId, wchar_t* out, uint32_t outSize)
{
    if (out == nullptr || outSize == 0)
        return out;
    const std::wstring ext = FormatUniqueIDToFileExtension(formatId);
    const size_t n = ext.size() < outSize - 1 ? ext.size() : outSize - 1;
    ext.copy(out, n);
    out[n] = 0;
    return out;
}

std::wstring VextalFileUtil::FormatUniqueIDToFileExtension(const char* formatId)
{
    const std::string id = LowerId(formatId);
    if (IsOneOf(id, {"bwf", "wav", "wave"}))
        return L".wav";
    if (IsOneOf(id, {"aiff", "aif"}))
        return L".aif";
    if (IsOneOf(id, {"dsdiff", "dff"}))
        return L".dff";
    if (id == "dsf")
        return L".dsf";
    if (id == "wsd")
        return L".wsd";
    if (id == "flac")
        return L".flac";
    if (IsOneOf(id, {"wma", "wma-l", "wma-p"}))
        return L".wma";
    if (id == "mp3")
        return L".mp3";
    if (IsOneOf(id, {"aac", "alac"}))
        return L".m4a";
    return {};
}

bool VextalFileUtil::CanEmbedPicture(const char* formatId)
{
    return WriterOf(formatId) == EWriter::kAiff;
}

std::vector<uint16_t> VextalFileUtil::GetPossibleNumChannels(const char* formatId)
{
    switch (WriterOf(formatId))
    {
    case EWriter::kWav:
        return CWavFileWrite::GetPossibleNumChannels();
    case EWriter::kAiff:
        return CAiffFileWrite::GetPossibleNumChannels();
    case EWriter::kAac:
        return CCoreAudioFileWriteAac::GetPossibleNumChannels();
    case EWriter::kNone:
        break;
    }
    return {};
}

std::vector<uint16_t> VextalFileUtil::GetPossibleBitsPerSamples(const char* formatId, uint16_t, uint32_t)
{
    switch (WriterOf(formatId))
    {
    case EWriter::kWav:
        return CWavFileWrite::GetPossibleBitsPerSamples();
    case EWriter::kAiff:
        return CAiffFileWrite::GetPossibleBitsPerSamples();
    case EWriter::kAac:
        return CCoreAudioFileWriteAac::GetPossibleBitsPerSamples();
    case EWriter::kNone:
        break;
    }
    return {};
}

std::vector<uint32_t> VextalFileUtil::GetPossibleSampleRates(const char* formatId, uint16_t)
{
    switch (WriterOf(formatId))
    {
    case EWriter::kWav:
        return CWavFileWrite::GetPossibleSampleRates();
    case EWriter::kAiff:
        return CAiffFileWrite::GetPossibleSampleRates();
    case EWriter::kAac:
        return CCoreAudioFileWriteAac::GetPossibleSampleRates();
    case EWriter::kNone:
        break;
    }
    return {};
}

std::vector<int> VextalFileUtil::GetPossibleQualityOptions(const char* formatId, uint16_t numChannels,
                                                           uint32_t, uint16_t)
{
    switch (WriterOf(formatId))
    {
    case EWriter::kWav:
        return CWavFileWrite::GetPossibleQualityOptions();
    case EWriter::kAiff:
        return CAiffFileWrite::GetPossibleQualityOptions();
    case EWriter::kAac:
        return CCoreAudioFileWriteAac::GetPossibleQualityOptions(numChannels);
    case EWriter::kNone:
        break;
    }
    return {};
}

void VextalFileUtil::InitializeLibraries()
{
    CQuickTimeFileRead::Initialize();
}

void VextalFileUtil::UninitializeLibraries() {}
