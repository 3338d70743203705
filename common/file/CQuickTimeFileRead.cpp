#include "common/file/CQuickTimeFileRead.h"

#include "library/util/CPcmUtil.h"
#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

const char* const CQuickTimeFileRead::m_sWmaID = "WMA";
const char* const CQuickTimeFileRead::m_sMp3ID = "MP3";
const char* const CQuickTimeFileRead::m_sAppleLosslessID = "ALAC";
const char* const CQuickTimeFileRead::m_sAacID = "AAC";
const char* const CQuickTimeFileRead::m_sNoID = "";

namespace
{
using ECodec = CFfmpegAudioDecoder::ECodec;

bool IsAcceptedRate(uint32_t rate)
{
    switch (rate)
    {
    case 44100:
    case 48000:
    case 88200:
    case 96000:
    case 176400:
    case 192000:
        return true;
    default:
        return false;
    }
}

bool IsAcceptedCodec(ECodec codec)
{
    return codec == ECodec::kMp3 || codec == ECodec::kAac || codec == ECodec::kAlac ||
           codec == ECodec::kWmaV2 || codec == ECodec::kWmaPro || codec == ECodec::kWmaLossless;
}

bool IsDigits(const std::string& text, size_t from, size_t count)
{
    if (text.size() < from + count)
        return false;
    for (size_t i = from; i < from + count; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

// A date of the form year-month-dayThours:minutes:seconds, cut anywhere after
// the year, into "YYYY-MM-DD" and "hh:mm:ss" with blanks for the missing
// parts. False when the text doesn't begin with a year; *hasTime tells
// whether it held hours.
bool FormatRecordingDate(const std::string& text, char* date, char* time, bool* hasTime)
{
    std::memcpy(date, "    -  -  ", 11);
    std::memcpy(time, "  :  :  ", 9);
    *hasTime = false;
    if (!IsDigits(text, 0, 4))
        return false;
    std::memcpy(date, text.data(), 4);
    const size_t len = text.size();
    if (len > 6 && IsDigits(text, 5, 2))
        std::memcpy(date + 5, text.data() + 5, 2);
    if (len > 9 && IsDigits(text, 8, 2))
        std::memcpy(date + 8, text.data() + 8, 2);
    if (len > 12 && IsDigits(text, 11, 2))
    {
        *hasTime = true;
        std::memcpy(time, text.data() + 11, 2);
        if (len > 15 && IsDigits(text, 14, 2))
            std::memcpy(time + 3, text.data() + 14, 2);
        if (len > 18 && IsDigits(text, 17, 2))
            std::memcpy(time + 6, text.data() + 17, 2);
    }
    return true;
}
} // namespace

CQuickTimeFileRead::CQuickTimeFileRead() = default;

CQuickTimeFileRead::~CQuickTimeFileRead()
{
    CloseFile();
}

bool CQuickTimeFileRead::IsAvailable()
{
    return CFfmpegAudioDecoder::Initialise();
}

void CQuickTimeFileRead::Initialize()
{
    CFfmpegAudioDecoder::Initialise();
}

int CQuickTimeFileRead::OpenFile(const wchar_t* path)
{
    CloseFile();
    if (path == nullptr || *path == 0 || !IsAvailable() || CBinaryFile64::Open(path) < 0)
    {
        CloseFile();
        return kAudioFileCannotOpen;
    }
    const wchar_t* name = GetFileName();
    std::string utf8(std::wcslen(name) * 4 + 1, '\0');
    CTextUtil::WChartoUTF8(name, reinterpret_cast<uint8_t*>(&utf8[0]), static_cast<uint32_t>(utf8.size()));
    utf8.resize(std::strlen(utf8.c_str()));

    if (m_decoder.Open(utf8.c_str()) != CFfmpegAudioDecoder::kOpened)
    {
        CloseFile();
        return kAudioFileCannotOpen;
    }
    const CFfmpegAudioDecoder::Description& header = m_decoder.GetDescription();
    if ((header.channels != 1 && header.channels != 2) || !IsAcceptedRate(header.sampleRate) ||
        !IsAcceptedCodec(header.codec))
    {
        CloseFile();
        return kAudioFileUnsupportedFormat;
    }
    if (!m_decoder.StartDecoding())
    {
        CloseFile();
        return kAudioFileCannotOpen;
    }
    // The decoded audio may differ from what the headers said (band
    // replication doubles the rate, parametric stereo adds a channel).
    const CFfmpegAudioDecoder::Description& decoded = m_decoder.GetDescription();
    if ((decoded.channels != 1 && decoded.channels != 2) || !IsAcceptedRate(decoded.sampleRate))
    {
        CloseFile();
        return kAudioFileUnsupportedFormat;
    }

    SetupMetaData();
    if (!m_metaData.IsRecDateAvailable())
        UseFileTimeStampAsRecDate();
    m_totalFrames = decoded.numFrames;
    m_extractStart = 0;
    m_extractEnd = m_totalFrames;
    return kAudioFileOpened;
}

void CQuickTimeFileRead::CloseFile()
{
    m_decoder.Close();
    CBinaryFile64::Close();
    m_totalFrames = 0;
    m_extractStart = 0;
    m_extractEnd = 0;
    m_metaData.ClearAll();
    m_markers.DeleteAll();
    m_scratch.clear();
}

void CQuickTimeFileRead::SetTextFromTag(int field, const char* key)
{
    const std::string value = m_decoder.GetTag(key);
    if (!value.empty())
        m_metaData.GetStringPtr(field)->SetString(value.c_str(), -1, false);
}

void CQuickTimeFileRead::SetupMetaData()
{
    m_metaData.ClearAll();
    SetTextFromTag(CAudioMetaData::kAlbum, "album");
    SetTextFromTag(CAudioMetaData::kTitle, "title");
    SetTextFromTag(CAudioMetaData::kAlbumArtist, "album_artist");
    SetTextFromTag(CAudioMetaData::kArtist, "artist");
    SetTextFromTag(CAudioMetaData::kGenre, "genre");
    SetTextFromTag(CAudioMetaData::kEncodingSoftware, "encoder");
    if (m_metaData.GetStringPtr(CAudioMetaData::kEncodingSoftware)->IsEmpty())
        SetTextFromTag(CAudioMetaData::kEncodingSoftware, "encoded_by");

    std::string when = m_decoder.GetTag("date");
    if (when.empty())
        when = m_decoder.GetTag("year");
    char date[11];
    char time[9];
    bool hasTime = false;
    if (FormatRecordingDate(when, date, time, &hasTime))
    {
        m_metaData.GetStringPtr(CAudioMetaData::kRecDate)->SetString(date, -1, false);
        if (hasTime)
            m_metaData.GetStringPtr(CAudioMetaData::kRecTime)->SetString(time, -1, false);
    }

    if (!m_decoder.GetCoverPicture().empty())
        m_metaData.SetAttachedPicture(GetFileName());
}

const char* CQuickTimeFileRead::GetFormatUniqueID()
{
    switch (m_decoder.GetDescription().codec)
    {
    case ECodec::kWmaV2:
    case ECodec::kWmaPro:
    case ECodec::kWmaLossless:
        return m_sWmaID;
    case ECodec::kMp3:
        return m_sMp3ID;
    case ECodec::kAlac:
        return m_sAppleLosslessID;
    case ECodec::kAac:
        return m_sAacID;
    default:
        return m_sNoID;
    }
}

uint32_t CQuickTimeFileRead::GetSampleRate()
{
    const uint32_t rate = m_decoder.GetDescription().sampleRate;
    return rate > 0 ? rate : 44100;
}

uint16_t CQuickTimeFileRead::GetBitsPerSample()
{
    const CFfmpegAudioDecoder::Description& d = m_decoder.GetDescription();
    switch (d.codec)
    {
    case ECodec::kAlac:
        return d.bitsPerRawSample > 0 ? d.bitsPerRawSample : 16;
    case ECodec::kWmaLossless:
        if (d.bitsPerRawSample > 0)
            return d.bitsPerRawSample;
        return GetSampleRate() > 44100 ? 24 : 16;
    default:
        return 32;
    }
}

uint16_t CQuickTimeFileRead::GetNumChannels()
{
    const uint16_t channels = m_decoder.GetDescription().channels;
    return channels > 0 ? channels : 2;
}

uint32_t CQuickTimeFileRead::GetBitRate()
{
    const CFfmpegAudioDecoder::Description& d = m_decoder.GetDescription();
    return d.nominalBitRate > 0 ? d.nominalBitRate : d.averageBitRate;
}

bool CQuickTimeFileRead::IsLossless()
{
    const ECodec codec = m_decoder.GetDescription().codec;
    return codec == ECodec::kAlac || codec == ECodec::kWmaLossless;
}

bool CQuickTimeFileRead::IsVBR()
{
    if (IsLossless())
        return true;
    const CFfmpegAudioDecoder::Description& d = m_decoder.GetDescription();
    if (d.nominalBitRate > 0)
        return false;
    return !(d.codec == ECodec::kWmaV2 && d.channels == 1);
}

int64_t CQuickTimeFileRead::GetNumSamples()
{
    return m_extractEnd - m_extractStart;
}

int64_t CQuickTimeFileRead::GetCurSamplePosition()
{
    if (!m_decoder.IsDecoding())
        return 0;
    return m_decoder.GetPosition() - m_extractStart;
}

void CQuickTimeFileRead::SetCurSamplePosition(int64_t frame)
{
    if (!m_decoder.IsDecoding())
        return;
    m_decoder.Seek(std::clamp<int64_t>(frame, 0, GetNumSamples()) + m_extractStart);
}

void CQuickTimeFileRead::ExtractData(int64_t start, int64_t end)
{
    // A negative end, or one past the file, means the end of the file; an end
    // at or before the start gives an empty window.
    start = std::clamp<int64_t>(start, 0, m_totalFrames);
    if (end < 0 || end > m_totalFrames)
        end = m_totalFrames;
    if (end < start)
        end = start;
    m_extractStart = start;
    m_extractEnd = end;
    SetCurSamplePosition(0);
}

uint32_t CQuickTimeFileRead::GetAttachedPictureSize()
{
    return static_cast<uint32_t>(m_decoder.GetCoverPicture().size());
}

uint32_t CQuickTimeFileRead::ReadAttachedPicture(uint8_t* buf, uint32_t size)
{
    const std::vector<uint8_t>& picture = m_decoder.GetCoverPicture();
    if (picture.empty())
        return CPcmFileReadBase::ReadAttachedPicture(buf, size);
    const uint32_t pictureSize = static_cast<uint32_t>(picture.size());
    if (buf == nullptr)
        return pictureSize;
    if (size < pictureSize)
    {
        std::memset(buf, 0, size);
        return 0;
    }
    std::memcpy(buf, picture.data(), pictureSize);
    return pictureSize;
}

uint32_t CQuickTimeFileRead::ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset)
{
    if (bufs == nullptr)
        return 0;
    const uint16_t channels = GetNumChannels();
    uint32_t got = 0;
    if (m_decoder.IsDecoding())
    {
        const int64_t left = std::max<int64_t>(0, GetNumSamples() - GetCurSamplePosition());
        got = m_decoder.Read(bufs, static_cast<uint32_t>(std::min<int64_t>(n, left)), dstOffset);
    }
    CPcmUtil::FillSilence(bufs, n - got, channels, dstOffset + got);
    return got;
}

uint32_t CQuickTimeFileRead::ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset)
{
    if (bufs == nullptr)
        return 0;
    const uint16_t channels = GetNumChannels();
    m_scratch.resize(channels);
    std::vector<int32_t*> ints(channels);
    for (uint16_t c = 0; c < channels; ++c)
    {
        if (m_scratch[c].size() < n)
            m_scratch[c].resize(n);
        ints[c] = m_scratch[c].data();
    }
    const uint32_t got = ReadAudioData(ints.data(), n, 0);
    CPcmUtil::SignedIntToFloat(ints.data(), bufs, n, channels, 0, dstOffset);
    return got;
}

bool CQuickTimeFileRead::AudioDataReadErrorOccured()
{
    return m_decoder.ReadErrorOccurred();
}
