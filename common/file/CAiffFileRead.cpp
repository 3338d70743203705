#include "common/file/CAiffFileRead.h"

#include "common/file/CID3v2Read.h"
#include "library/util/CDataUtil.h"
#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace
{
uint32_t Be32(const uint8_t* p)
{
    return static_cast<uint32_t>(CDataUtil::BigEndian(p, 4));
}

uint16_t Be16(const uint8_t* p)
{
    return static_cast<uint16_t>(CDataUtil::BigEndian(p, 2));
}

bool IsID(const uint8_t* p, const char* id)
{
    return CTextUtil::CompID(reinterpret_cast<const char*>(p), id);
}

// Whether a formatted date or time holds anything beyond its blank template.
bool HasDigit(const wchar_t* text)
{
    for (; *text != 0; ++text)
        if (*text >= L'0' && *text <= L'9')
            return true;
    return false;
}

// COMM body: channels (2), sample frames (4), bits (2), rate (10); AIFC adds
// the compression type (4) and its name.
constexpr uint32_t kCommBody = 18;
constexpr uint32_t kAifcCommBody = 22;
} // namespace

CAiffFileRead::CAiffFileRead() = default;

CAiffFileRead::~CAiffFileRead()
{
    CloseFile();
}

void CAiffFileRead::ResetState()
{
    Initialize();
    m_headerEnd = 0;
    m_pictureSize = 0;
    m_bLittleEndianSamples = false;
}

void CAiffFileRead::CloseFile()
{
    ClosePcmFile();
    ResetState();
}

int CAiffFileRead::OpenFile(const wchar_t* path)
{
    CloseFile();
    if (path == nullptr || Open(path) == -1)
        return kAudioFileCannotOpen;

    if (!ReadFormHeader())
    {
        CloseFile();
        return kAudioFileNotThisFormat;
    }
    m_headerEnd = 12;

    if (!ReadCommonChunk())
    {
        CloseFile();
        return kAudioFileUnsupportedFormat;
    }

    // SSND: size, offset and block size, then the samples from offset on.
    const int64_t fileSize = CBinaryFile64::GetFileSize();
    Seek(m_headerEnd, SEEK_SET);
    uint8_t ssnd[16];
    if (FindChunk8("SSND", -1) < sizeof(ssnd))
    {
        CloseFile();
        return kAudioFileNotThisFormat;
    }
    const int64_t chunk = Tell();
    if (Read(ssnd, sizeof(ssnd)) != static_cast<int>(sizeof(ssnd)))
    {
        CloseFile();
        return kAudioFileNotThisFormat;
    }
    std::memcpy(m_ssndID, ssnd, 4);
    m_ssndSize = Be32(ssnd + 4);
    m_ssndOffset = Be32(ssnd + 8);
    m_ssndBlockSize = Be32(ssnd + 12);

    // The samples end with the frames COMM states, the SSND chunk or the
    // file, whichever comes first, in whole frames.
    const int64_t align = GetBlockAlign();
    const int64_t bodyEnd = std::min<int64_t>(chunk + 8 + static_cast<int64_t>(m_ssndSize), fileSize);
    const int64_t dataStart = std::min<int64_t>(chunk + 16 + static_cast<int64_t>(m_ssndOffset), bodyEnd);
    const int64_t available = (bodyEnd - dataStart) / align * align;
    const int64_t stated = static_cast<int64_t>(m_sampleFrames) * align;
    PcmSampleLayout layout;
    layout.channels = CAiffFormat::GetNumChannels();
    layout.bits = CAiffFormat::GetBitsPerSample();
    layout.bigEndian = !m_bLittleEndianSamples;
    SetPcmData(dataStart, dataStart + std::min(stated, available), layout);

    SetupMetaData();
    // A date the tag gives counts even without a year.
    if (GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kRecDate)->IsEmpty())
        UseFileTimeStampAsRecDate();
    ResumePcmRead();
    return kAudioFileOpened;
}

bool CAiffFileRead::ReadFormHeader()
{
    return ReadFormHeaderOfType("AIFF");
}

bool CAiffFileRead::ReadFormHeaderOfType(const char* formType)
{
    uint8_t header[12];
    Seek(0, SEEK_SET);
    if (Read(header, sizeof(header)) != static_cast<int>(sizeof(header)) || !IsID(header, "FORM") ||
        !IsID(header + 8, formType))
        return false;
    std::memcpy(m_formID, header, 4);
    m_formSize = Be32(header + 4);
    std::memcpy(m_formType, header + 8, 4);
    return true;
}

bool CAiffFileRead::ReadCommonChunk()
{
    uint8_t body[kCommBody];
    return ReadCommonChunkBody(body, sizeof(body));
}

bool CAiffFileRead::ReadCommonChunkBody(uint8_t* body, uint32_t bodySize)
{
    Seek(m_headerEnd, SEEK_SET);
    if (bodySize < kCommBody || FindChunk8("COMM", -1) < 8 + bodySize)
        return false;
    uint8_t header[8];
    if (Read(header, sizeof(header)) != static_cast<int>(sizeof(header)) ||
        Read(body, bodySize) != static_cast<int>(bodySize))
        return false;
    std::memcpy(m_commID, header, 4);
    m_commSize = Be32(header + 4);
    m_channels = Be16(body);
    m_sampleFrames = Be32(body + 2);
    m_bitsPerSample = Be16(body + 6);
    std::memcpy(m_sampleRate, body + 8, kRateBytes);
    return IsSupportedFormat();
}

CID3v2Read* CAiffFileRead::OpenID3Chunk()
{
    Seek(m_headerEnd, SEEK_SET);
    const uint32_t length = FindChunk8("ID3 ", -1);
    const int64_t body = Tell() + 8;
    ResumePcmRead();
    if (length <= 8)
        return nullptr;
    // The tag is read by a reader of its own on the same file, limited to
    // the chunk's body.
    return CID3v2Read::CreateReaderForTag(GetFileName(), body, length - 8);
}

void CAiffFileRead::SetupMetaData()
{
    ReadID3Chunk();
}

void CAiffFileRead::ReadID3Chunk()
{
    CAudioMetaData* meta = GetMetaDataPtr();
    meta->ClearAll();
    m_pictureSize = 0;

    std::unique_ptr<CID3v2Read> tag(OpenID3Chunk());
    if (!tag)
        return;

    using Reader = uint32_t (CID3v2Read::*)(wchar_t*, uint32_t);
    static const struct
    {
        int field;
        Reader read;
        bool formatted;
    } kFields[] = {
        {CAudioMetaData::kAlbum, &CID3v2Read::ReadAlbum, false},
        {CAudioMetaData::kAlbumArtist, &CID3v2Read::ReadAlbumArtist, false},
        {CAudioMetaData::kArtist, &CID3v2Read::ReadArtist, false},
        {CAudioMetaData::kTitle, &CID3v2Read::ReadTitle, false},
        {CAudioMetaData::kGenre, &CID3v2Read::ReadGenre, false},
        {CAudioMetaData::kRecDate, &CID3v2Read::ReadRecDateFormatted, true},
        {CAudioMetaData::kRecTime, &CID3v2Read::ReadRecTimeFormatted, true},
        {CAudioMetaData::kEncodingSoftware, &CID3v2Read::ReadEncodingDevice, false},
    };
    for (const auto& f : kFields)
    {
        CMultiString* text = meta->GetStringPtr(f.field);
        std::vector<wchar_t> buf(text->GetBufLength(), 0);
        const uint32_t got = ((*tag).*(f.read))(buf.data(), static_cast<uint32_t>(buf.size()));
        // A date or time the tag does not give comes back as its blank
        // template; such a text stays empty.
        if (got > 0 && (!f.formatted || HasDigit(buf.data())))
            text->SetString(buf.data(), -1, false);
    }

    const uint32_t picture = tag->ReadImageFrontCover(nullptr, 0);
    if (picture > 0)
    {
        meta->SetAttachedPicture(GetFileName());
        m_pictureSize = picture;
    }
}

uint32_t CAiffFileRead::ReadAttachedPicture(uint8_t* buf, uint32_t size)
{
    if (buf != nullptr)
        std::memset(buf, 0, size);
    if (!IsFileOpen() || buf == nullptr)
        return 0;
    std::unique_ptr<CID3v2Read> tag(OpenID3Chunk());
    return tag ? tag->ReadImageFrontCover(buf, size) : 0;
}

// ---------------------------------------------------------------------------

CAifcSowtFileRead::CAifcSowtFileRead() = default;
CAifcSowtFileRead::~CAifcSowtFileRead() = default;

bool CAifcSowtFileRead::ReadFormHeader()
{
    return ReadFormHeaderOfType("AIFC");
}

bool CAifcSowtFileRead::ReadCommonChunk()
{
    uint8_t body[kAifcCommBody];
    if (!ReadCommonChunkBody(body, sizeof(body)))
        return false;
    // The compression type follows the rate; its name behind it is not used.
    const uint8_t* compression = body + kCommBody;
    if (IsID(compression, "sowt"))
        SetLittleEndianSamples(true);
    else if (IsID(compression, "NONE"))
        SetLittleEndianSamples(false);
    else
        return false;
    return true;
}
