#include "common/file/CAudioCDRead.h"

#include "common/disc/linux/CAudioCDPath.h"
#include "common/disc/linux/CDiscUtilLinux.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>

namespace
{
constexpr int64_t kFramesPerSector = CCdioDisc::kFramesPerSector;
constexpr int64_t kBytesPerFrame = 4;
} // namespace

CAudioCDRead::CAudioCDRead(bool readCdText)
    : m_bReadCdText(readCdText), m_buffer(kSectorsPerRead * CCdioDisc::kBytesPerSector),
      m_scratch(2 * kScratchFrames)
{
}

CAudioCDRead::~CAudioCDRead()
{
    CloseFile();
}

int CAudioCDRead::OpenFile(const wchar_t* path)
{
    CloseFile();
    std::wstring root;
    int trackNumber = CAudioCDPath::kNoTrack;
    if (!CAudioCDPath::Parse(path, &root, &trackNumber) || !CAudioCDPath::VolumeExists(root.c_str()))
        return kNoCDFound;
    if (!m_disc.Open(root.c_str()))
        return kAudioFileCannotOpen;
    m_firstAudioTrack = m_disc.GetFirstAudioTrackNumber();
    m_lastAudioTrack = m_disc.GetLastAudioTrackNumber();
    if (m_firstAudioTrack == 0)
    {
        CloseFile();
        return kAudioFileCannotOpen;
    }
    m_cdStart = m_disc.GetTrackStartLsn(m_firstAudioTrack) * kFramesPerSector;
    m_cdEnd = m_disc.GetTrackEndLsn(m_lastAudioTrack) * kFramesPerSector;
    if (m_cdEnd <= m_cdStart)
    {
        CloseFile();
        return kAudioFileCannotOpen;
    }

    m_volume = root;
    m_windowStart = m_position = m_cdStart;
    m_windowEnd = m_cdEnd;
    if (m_bReadCdText)
        m_bCdTextOpen = m_cdText.OpenDrive(root.c_str()) == 0;
    SetupPlayerMarkersFromAlbum();
    SetupMetaDataFromAlbum();
    m_mediaId = CDiscUtilLinux::GetCDDBID(m_disc);

    if (trackNumber != CAudioCDPath::kNoTrack &&
        (!m_disc.IsAudioTrack(trackNumber) || !SelectTrack(trackNumber - m_firstAudioTrack)))
    {
        CloseFile();
        return kAudioFileUnsupportedFormat;
    }
    return kAudioFileOpened;
}

void CAudioCDRead::CloseFile()
{
    m_disc.Close();
    if (m_bCdTextOpen)
        m_cdText.CloseDrive();
    m_bCdTextOpen = false;
    m_markers.DeleteAll();
    m_metaData.ClearAll();
    m_volume.clear();
    m_firstAudioTrack = m_lastAudioTrack = 0;
    m_mediaId = 0;
    m_cdStart = m_cdEnd = m_windowStart = m_windowEnd = m_position = 0;
    m_bufferStart = m_bufferFrames = 0;
    m_bReadError = false;
}

int64_t CAudioCDRead::GetNumSamples()
{
    return m_windowEnd - m_windowStart;
}

int64_t CAudioCDRead::GetCurSamplePosition()
{
    return m_position - m_windowStart;
}

void CAudioCDRead::SetCurSamplePosition(int64_t frame)
{
    if (!m_disc.IsOpen())
        return;
    m_position = m_windowStart + std::clamp<int64_t>(frame, 0, GetNumSamples());
    m_bReadError = false;
}

void CAudioCDRead::ExtractData(int64_t start, int64_t end)
{
    if (!m_disc.IsOpen())
        return;
    const int64_t length = GetCDLength();
    // A negative end, or one past the disc, means the end of the disc; an end
    // at or before the start gives an empty window.
    start = std::clamp<int64_t>(start, 0, length);
    if (end < 0 || end > length)
        end = length;
    if (end < start)
        end = start;
    m_windowStart = m_cdStart + start;
    m_windowEnd = m_cdStart + end;
    m_position = m_windowStart;
    m_bReadError = false;
    SetupPlayerMarkersFromAlbum();
}

int64_t CAudioCDRead::GetAbsStartSample()
{
    return m_windowStart - m_cdStart;
}

int CAudioCDRead::GetNumTracks()
{
    return m_disc.IsOpen() ? m_lastAudioTrack - m_firstAudioTrack + 1 : 0;
}

int64_t CAudioCDRead::GetTrackStartPosition(int i)
{
    const int n = GetNumTracks();
    if (i == n && n > 0)
        return GetCDLength();
    if (i < 0 || i >= n)
        return 0;
    return m_disc.GetTrackStartLsn(m_firstAudioTrack + i) * kFramesPerSector - m_cdStart;
}

int CAudioCDRead::GetTrackNumber(int64_t cdPosition)
{
    for (int i = GetNumTracks() - 1; i > 0; --i)
        if (GetTrackStartPosition(i) <= cdPosition)
            return i;
    return 0;
}

int CAudioCDRead::GetDiscTrackNumber(int i)
{
    return i >= 0 && i < GetNumTracks() ? m_firstAudioTrack + i : 0;
}

bool CAudioCDRead::SelectTrack(int i)
{
    if (i < 0 || i >= GetNumTracks())
        return false;
    ExtractData(GetTrackStartPosition(i), GetTrackStartPosition(i + 1));
    m_markers.DeleteAll();
    SetupMetaDataFromTrack(i);
    return true;
}

void CAudioCDRead::SetupPlayerMarkersFromAlbum()
{
    m_markers.DeleteAll();
    if (!m_disc.IsOpen())
        return;
    const int64_t start = GetAbsStartSample();
    const int64_t stop = GetAbsStopSample();
    for (int i = 0; i < GetNumTracks(); ++i)
    {
        const int64_t p = GetTrackStartPosition(i);
        if (p >= start && p < stop)
            m_markers.Add(static_cast<double>(p - start) / kSampleRate);
    }
}

void CAudioCDRead::SetText(int field, bool performer, uint8_t entry)
{
    CMultiString* text = m_metaData.GetStringPtr(field);
    if (text == nullptr)
        return;
    wchar_t* buffer = text->GetWritePtrWChar();
    if (performer)
        m_cdText.GetPerformer(buffer, text->GetBufLength(), entry);
    else
        m_cdText.GetTitle(buffer, text->GetBufLength(), entry);
}

void CAudioCDRead::SetupMetaDataFromAlbum()
{
    if (!m_bCdTextOpen)
        return;
    SetText(CAudioMetaData::kAlbum, false, 0);
    SetText(CAudioMetaData::kArtist, true, 0);
    SetText(CAudioMetaData::kTitle, false, 0);
}

void CAudioCDRead::SetupMetaDataFromTrack(int i)
{
    if (!m_bCdTextOpen)
        return;
    // CD-Text counts the disc's own track numbers, which differ from i + 1
    // when the disc starts with a data track.
    const uint8_t entry = static_cast<uint8_t>(GetDiscTrackNumber(i));
    SetText(CAudioMetaData::kAlbum, false, 0);
    SetText(CAudioMetaData::kArtist, true, entry);
    SetText(CAudioMetaData::kTitle, false, entry);
}

bool CAudioCDRead::FillBuffer()
{
    const int64_t sector = m_position / kFramesPerSector;
    const int64_t lastSector = (m_windowEnd - 1) / kFramesPerSector;
    const uint32_t count = static_cast<uint32_t>(std::min<int64_t>(kSectorsPerRead, lastSector - sector + 1));
    m_bufferStart = sector * kFramesPerSector;
    if (count == 0 || !m_disc.ReadAudioSectors(m_buffer.data(), static_cast<int32_t>(sector), count))
    {
        m_bufferFrames = 0;
        return false;
    }
    m_bufferFrames = count * kFramesPerSector;
    return true;
}

uint32_t CAudioCDRead::ReadAudioData(int32_t** dst, uint32_t n, uint32_t dstOffset)
{
    if (dst == nullptr)
        return 0;
    uint32_t done = 0;
    while (m_disc.IsOpen() && done < n && m_position < m_windowEnd)
    {
        const bool buffered =
            m_bufferFrames > 0 && m_position >= m_bufferStart && m_position < m_bufferStart + m_bufferFrames;
        if (!buffered && !FillBuffer())
        {
            m_bReadError = true;
            break;
        }
        const uint32_t frames = static_cast<uint32_t>(std::min<int64_t>(
            {n - done, m_bufferStart + m_bufferFrames - m_position, m_windowEnd - m_position}));
        CPcmUtil::DecodeStreamLsb1(m_buffer.data() + (m_position - m_bufferStart) * kBytesPerFrame, dst,
                                   frames, kNumChannels, kBitsPerSample, dstOffset + done);
        m_position += frames;
        done += frames;
    }
    if (done < n)
        CPcmUtil::FillSilence(dst, n - done, kNumChannels, dstOffset + done);
    return done;
}

uint32_t CAudioCDRead::ReadAudioData(float** dst, uint32_t n, uint32_t dstOffset)
{
    if (dst == nullptr)
        return 0;
    int32_t* scratch[2] = {m_scratch.data(), m_scratch.data() + kScratchFrames};
    uint32_t done = 0;
    while (done < n)
    {
        const uint32_t want = std::min(n - done, kScratchFrames);
        const uint32_t got = ReadAudioData(scratch, want, 0);
        CPcmUtil::SignedIntToFloat(scratch, dst, got, kNumChannels, 0, dstOffset + done);
        done += got;
        if (got < want)
            break;
    }
    if (done < n)
        CPcmUtil::FillSilence(dst, n - done, kNumChannels, dstOffset + done);
    return done;
}
