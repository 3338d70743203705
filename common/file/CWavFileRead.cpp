#include "common/file/CWavFileRead.h"

#include "library/util/CDataUtil.h"
#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace
{
uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(CDataUtil::LittleEndian(p, 4));
}

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(CDataUtil::LittleEndian(p, 2));
}

void ParseCuePoint(const uint8_t* p, CuePointData* out)
{
    out->identifier = Le32(p);
    out->position = Le32(p + 4);
    std::memcpy(out->chunkID, p + 8, 4);
    out->chunkStart = Le32(p + 12);
    out->blockStart = Le32(p + 16);
    out->sampleOffset = Le32(p + 20);
}

constexpr int64_t kCuePointSize = 24;
} // namespace

CWavFileRead::CWavFileRead() = default;

CWavFileRead::~CWavFileRead()
{
    CloseFile();
}

void CWavFileRead::ResetState()
{
    Initialize();
    m_headerEnd = 0;
    m_listBodyStart = m_listEnd = 0;
    m_cueFirst = m_cueEnd = 0;
}

void CWavFileRead::CloseFile()
{
    ClosePcmFile();
    ResetState();
}

int CWavFileRead::OpenFile(const wchar_t* path)
{
    CloseFile();
    if (path == nullptr || Open(path) == -1)
        return kAudioFileCannotOpen;

    uint8_t header[12];
    if (Read(header, sizeof(header)) != static_cast<int>(sizeof(header)) ||
        !CTextUtil::CompID(reinterpret_cast<const char*>(header), "RIFF") ||
        !CTextUtil::CompID(reinterpret_cast<const char*>(header + 8), "WAVE"))
    {
        CloseFile();
        return kAudioFileNotThisFormat;
    }
    std::memcpy(m_riffID, header, 4);
    m_riffSize = Le32(header + 4);
    std::memcpy(m_formType, header + 8, 4);
    m_headerEnd = sizeof(header);

    if (!ReadFormatChunk())
    {
        CloseFile();
        return kAudioFileUnsupportedFormat;
    }

    const int64_t fileSize = CBinaryFile64::GetFileSize();
    Seek(m_headerEnd, SEEK_SET);
    uint8_t chunk[8];
    if (FindChunk8("data", -1) == 0 || Read(chunk, sizeof(chunk)) != static_cast<int>(sizeof(chunk)) ||
        Le32(chunk + 4) == 0)
    {
        CloseFile();
        return kAudioFileNotThisFormat;
    }
    std::memcpy(m_dataID, chunk, 4);
    const int64_t dataStart = Tell();
    // A size that runs past the end of the file ends at the end of the file.
    const int64_t dataSize = std::min<int64_t>(Le32(chunk + 4), fileSize - dataStart);
    m_dataSize = static_cast<uint32_t>(dataSize);
    PcmSampleLayout layout;
    layout.channels = CWavFormat::GetNumChannels();
    layout.bits = CWavFormat::GetBitsPerSample();
    layout.floatSamples = IsFloatingPoint();
    SetPcmData(dataStart, dataStart + dataSize, layout);

    Seek(m_headerEnd, SEEK_SET);
    if (const uint32_t length = FindChunk8WithType("LIST", "INFO", -1); length >= 12)
    {
        const int64_t start = Tell();
        m_listBodyStart = start + 12;
        m_listEnd = start + length;
    }

    Seek(m_headerEnd, SEEK_SET);
    if (const uint32_t length = FindChunk8("cue ", -1); length >= 12)
    {
        const int64_t start = Tell();
        m_cueFirst = start + 12;
        m_cueEnd = start + length;
    }

    SetupMetaData();
    if (GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kRecDate)->IsEmpty())
        UseFileTimeStampAsRecDate();
    SetupPlayerMarkers();
    ResumePcmRead();
    return kAudioFileOpened;
}

bool CWavFileRead::ReadFormatChunk()
{
    Seek(m_headerEnd, SEEK_SET);
    if (FindChunk8("fmt ", -1) < 24)
        return false;
    uint8_t fmt[24];
    if (Read(fmt, sizeof(fmt)) != static_cast<int>(sizeof(fmt)))
        return false;
    std::memcpy(m_fmtID, fmt, 4);
    m_fmtSize = Le32(fmt + 4);
    m_formatTag = Le16(fmt + 8);
    m_channels = Le16(fmt + 10);
    m_sampleRate = Le32(fmt + 12);
    m_avgBytesPerSec = Le32(fmt + 16);
    m_blockAlign = Le16(fmt + 20);
    m_bitsPerSample = Le16(fmt + 22);
    return IsSupportedFormat();
}

void CWavFileRead::SetupMetaData()
{
    CAudioMetaData* meta = GetMetaDataPtr();
    meta->ClearAll();
    if (m_listBodyStart == 0)
        return;
    static const struct
    {
        const char* id;
        int field;
    } kFields[] = {
        {"INAM", CAudioMetaData::kTitle},
        {"IART", CAudioMetaData::kArtist},
        {"IGNR", CAudioMetaData::kGenre},
        {"IARL", CAudioMetaData::kLocation},
        {"ISFT", CAudioMetaData::kEncodingSoftware},
        {"ICRD", CAudioMetaData::kRecDate},
    };
    for (const auto& f : kFields)
    {
        CMultiString* text = meta->GetStringPtr(f.field);
        std::vector<char> buf(text->GetBufSizeChar());
        if (ReadListInfoChunkData(buf.data(), static_cast<uint32_t>(buf.size()), f.id) > 0)
            text->SetString(buf.data(), -1, false);
    }
}

void CWavFileRead::SetupPlayerMarkers()
{
    CMarker* markers = GetMarkerPtr();
    markers->DeleteAll();
    const uint32_t rate = CWavFormat::GetSampleRate();
    const int count = std::min(GetNumCuePoints(), kMaxCuePointsRead);
    if (rate == 0 || count == 0)
        return;
    const int64_t start = GetAbsStartSample();
    const int64_t end = start + GetNumSamples();

    std::vector<uint8_t> raw(static_cast<size_t>(count) * kCuePointSize);
    Seek(m_cueFirst, SEEK_SET);
    const int got = Read(raw.data(), static_cast<uint32_t>(raw.size()));
    ResumePcmRead();

    std::vector<uint32_t> offsets;
    for (int i = 0; i < got / kCuePointSize; ++i)
    {
        CuePointData cue;
        ParseCuePoint(raw.data() + i * kCuePointSize, &cue);
        if (cue.sampleOffset >= start && cue.sampleOffset < end)
            offsets.push_back(cue.sampleOffset);
    }
    // Adding in time order keeps the earliest markers when the limit cuts.
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    for (const uint32_t s : offsets)
    {
        if (markers->GetNumMarkers() >= kMaxMarkers)
            break;
        markers->AddAligned(static_cast<double>(s - start) / rate);
    }
}

int CWavFileRead::GetNumCuePoints() const
{
    if (m_cueEnd <= m_cueFirst)
        return 0;
    return static_cast<int>(std::min<int64_t>((m_cueEnd - m_cueFirst) / kCuePointSize, INT32_MAX));
}

bool CWavFileRead::ReadCuePointData(CuePointData* out, int index)
{
    if (out == nullptr)
        return false;
    std::memset(out, 0, sizeof(*out));
    if (!IsFileOpen() || index < 0 || index >= GetNumCuePoints())
        return false;
    uint8_t raw[kCuePointSize];
    Seek(m_cueFirst + index * kCuePointSize, SEEK_SET);
    const bool ok = Read(raw, sizeof(raw)) == static_cast<int>(sizeof(raw));
    ResumePcmRead();
    if (ok)
        ParseCuePoint(raw, out);
    return ok;
}

uint32_t CWavFileRead::ReadListInfoChunkData(char* buf, uint32_t bufSize, const char* id)
{
    if (buf == nullptr || bufSize == 0)
        return 0;
    std::memset(buf, 0, bufSize);
    if (!IsFileOpen() || id == nullptr || m_listBodyStart == 0 || m_listBodyStart >= m_listEnd)
        return 0;
    uint32_t result = 0;
    Seek(m_listBodyStart, SEEK_SET);
    if (FindChunk8(id, m_listEnd - m_listBodyStart) != 0)
    {
        uint8_t header[8];
        const int64_t chunk = Tell();
        if (Read(header, sizeof(header)) == static_cast<int>(sizeof(header)))
        {
            // The body ends with the sub-chunk or with the LIST chunk,
            // whichever comes first.
            const int64_t body = chunk + 8;
            const int64_t available =
                std::max<int64_t>(0, std::min<int64_t>(Le32(header + 4), m_listEnd - body));
            const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(available, bufSize - 1));
            const int got = Read(buf, want);
            result = got > 0 ? static_cast<uint32_t>(got) : 0;
        }
    }
    ResumePcmRead();
    return result;
}

void CWavFileRead::ExtractData(int64_t start, int64_t end)
{
    if (!IsFileOpen())
        return;
    CPcmFileReadBase::ExtractData(start, end);
    SetupPlayerMarkers();
}
