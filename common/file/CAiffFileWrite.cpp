#include "common/file/CAiffFileWrite.h"

#include "common/file/CID3v2_3Create.h"
#include "common/file/CImageFileReadBase.h"
#include "common/file/VextalFileUtil.h"
#include "library/util/CDataUtil.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unistd.h>

// Eight text frames of at most 511 UTF-16 characters (header, encoding, mark,
// text and terminator), the date and time frames, and the picture frame with
// its MIME type around the largest picture.
static_assert(8 * (10 + 1 + 2 + 2 * CID3v2_3Create::kMaxTextLength + 2) + 3 * 20 + 10 + 64 +
                      CID3v2_3Create::kMaxPictureSize <=
                  16ull * 1024 * 1024 + 65536,
              "the largest tag must fit in the room kept for it");

CAiffFileWrite::CAiffFileWrite() : CPcmFileWriteBase(kMaxDataBytes) {}

// A file not closed with CloseFile is discarded, never committed.
CAiffFileWrite::~CAiffFileWrite()
{
    if (IsFileOpen())
        RemoveFile();
}

void CAiffFileWrite::ResetState()
{
    Initialize();
    ResetPcmData();
}

int CAiffFileWrite::OpenFile(const wchar_t* path, uint32_t rate, uint16_t bits, uint16_t channels, int)
{
    // An output that was not closed is dropped, never committed.
    if (IsFileOpen())
        RemoveFile();
    // Only what the header can describe exactly and the readers take.
    if ((bits != 16 && bits != 24) || (channels != 1 && channels != 2) || !IsSupportedSampleRate(rate))
        return kAudioFileUnsupportedFormat;

    Initialize();
    SetSampleRate(rate);
    m_bitsPerSample = bits;
    m_channels = channels;
    PcmSampleLayout layout;
    layout.channels = channels;
    layout.bits = bits;
    layout.bigEndian = true;
    const int result = OpenPcmFile(path, layout, kHeaderSize, [this] { return WriteHeader(); });
    if (result != kAudioFileOpened)
        ResetState();
    return result;
}

bool CAiffFileWrite::WriteHeader()
{
    const uint16_t align = GetBlockAlign();
    const int64_t dataBytes = GetPcmDataBytes();
    const int64_t fileSize = std::max<int64_t>(GetFileSize(), kHeaderSize);
    if (align == 0 || fileSize - 8 > static_cast<int64_t>(UINT32_MAX) ||
        dataBytes + 8 > static_cast<int64_t>(UINT32_MAX))
        return false;
    m_formSize = static_cast<uint32_t>(fileSize - 8);
    m_commSize = kCommBodySize;
    m_sampleFrames = static_cast<uint32_t>(dataBytes / align);
    m_ssndSize = static_cast<uint32_t>(dataBytes + 8);
    m_ssndOffset = 0;
    m_ssndBlockSize = 0;

    uint8_t h[kHeaderSize];
    std::memcpy(h, m_formID, 4);
    CDataUtil::BigEndian(h + 4, m_formSize, 4);
    std::memcpy(h + 8, m_formType, 4);
    std::memcpy(h + 12, m_commID, 4);
    CDataUtil::BigEndian(h + 16, m_commSize, 4);
    CDataUtil::BigEndian(h + 20, m_channels, 2);
    CDataUtil::BigEndian(h + 22, m_sampleFrames, 4);
    CDataUtil::BigEndian(h + 26, m_bitsPerSample, 2);
    std::memcpy(h + 28, m_sampleRate, kRateBytes);
    std::memcpy(h + 38, m_ssndID, 4);
    CDataUtil::BigEndian(h + 42, m_ssndSize, 4);
    CDataUtil::BigEndian(h + 46, m_ssndOffset, 4);
    CDataUtil::BigEndian(h + 50, m_ssndBlockSize, 4);
    if (Seek(0, SEEK_SET) != 0)
        return false;
    return Write(h, kHeaderSize) == static_cast<int>(kHeaderSize);
}

std::vector<uint8_t> CAiffFileWrite::LoadFrontCover()
{
    const wchar_t* path = GetMetaDataPtr()->GetAttachedPictureFilePath();
    if (path == nullptr || path[0] == 0)
        return {};

    // The picture is read as the song's picture is shown: a JPEG or PNG file
    // byte for byte, or the picture embedded in an AIFF, MP3 or M4A file.
    std::unique_ptr<CImageFileReadBase> reader(VextalFileUtil::CreateImageFileReadObject(path));
    if (reader == nullptr)
        return {};
    const uint32_t size = reader->GetImageSize();
    if (size == 0 || size > CID3v2_3Create::kMaxPictureSize || reader->LoadImage() != size)
        return {};
    const uint8_t* bytes = reader->GetImagePtr();
    return std::vector<uint8_t>(bytes, bytes + size);
}

bool CAiffFileWrite::WriteID3v2Chunk()
{
    CAudioMetaData* meta = GetMetaDataPtr();
    auto text = [meta](int field) { return meta->GetStringPtr(field)->GetReadPtrWChar(); };
    CID3v2_3Create tag;
    tag.SetAlbum(text(CAudioMetaData::kAlbum));
    tag.SetTitle(text(CAudioMetaData::kTitle));
    tag.SetAlbumArtist(text(CAudioMetaData::kAlbumArtist));
    tag.SetArtist(text(CAudioMetaData::kArtist));
    tag.SetGenre(text(CAudioMetaData::kGenre));
    tag.SetRecDateFormatted(text(CAudioMetaData::kRecDate));
    tag.SetRecTimeFormatted(text(CAudioMetaData::kRecTime));
    tag.SetEncodingDevice(text(CAudioMetaData::kEncodingSoftware));
    const std::vector<uint8_t> cover = LoadFrontCover();
    if (!cover.empty())
        tag.SetImageFrontCover(cover.data(), static_cast<uint32_t>(cover.size()));

    const uint32_t size = tag.GetBufFilledSize();
    if (size == 0)
        return true;
    uint8_t header[8];
    std::memcpy(header, "ID3 ", 4);
    CDataUtil::BigEndian(header + 4, size, 4);
    if (Seek(0, SEEK_END) < 0 || Write(header, sizeof(header)) != static_cast<int>(sizeof(header)) ||
        Write(tag.GetBufferPtr(), size) != static_cast<int>(size))
        return false;
    // IFF pads an odd-sized chunk body to an even length.
    const uint8_t pad = 0;
    return (size & 1) == 0 || Write(&pad, 1) == 1;
}

bool CAiffFileWrite::CloseFile()
{
    const bool ok = ClosePcmFile([this] { return WriteID3v2Chunk() && WriteHeader(); });
    ResetState();
    return ok;
}

void CAiffFileWrite::RemoveFile()
{
    CPcmFileWriteBase::RemoveFile();
    ResetState();
}

std::vector<uint16_t> CAiffFileWrite::GetPossibleBitsPerSamples()
{
    return {16, 24};
}

std::vector<uint16_t> CAiffFileWrite::GetPossibleNumChannels()
{
    return {1, 2};
}

std::vector<uint32_t> CAiffFileWrite::GetPossibleSampleRates()
{
    return {44100, 48000, 88200, 96000, 176400, 192000};
}

std::vector<int> CAiffFileWrite::GetPossibleQualityOptions()
{
    return {};
}
