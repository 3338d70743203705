#include "common/file/CSongRead.h"

#include "common/file/CChannelGroupRead.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/CTrackRead.h"
#include "library/util/CDsdUtil.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace
{
constexpr uint32_t kDefaultRate = 44100;
constexpr uint16_t kDefaultBits = 16;

void FillSilence(float** bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    CPcmUtil::FillSilence(bufs, n, channels, offset);
}

void FillSilence(int32_t** bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    CPcmUtil::FillSilence(bufs, n, channels, offset);
}

void FillSilence(uint8_t** bufs, uint32_t n, uint16_t channels, uint32_t offset)
{
    CDsdUtil::FillSilence(bufs, n / 8, channels, offset / 8, false);
}

// Whether a section holds the kind of samples a read asks for (see the track
// stream: a PCM source asked for 1-bit audio delivers nothing by design).
template <typename T>
bool HoldsSamplesOfKind(CAudioPlayerInput* source)
{
    const bool oneBit = source->GetBitsPerSample() == 1;
    return std::is_same<T, uint8_t>::value ? oneBit : !oneBit;
}
} // namespace

CSongRead::CSongRead() = default;

CSongRead::~CSongRead()
{
    EjectAllFiles();
}

uint32_t CSongRead::GetSampleRate()
{
    return m_sections.empty() ? kDefaultRate : m_sections.front().group->GetSampleRate();
}

uint16_t CSongRead::GetBitsPerSample()
{
    return m_sections.empty() ? kDefaultBits : m_sections.front().group->GetBitsPerSample();
}

uint16_t CSongRead::GetNumChannels()
{
    uint16_t channels = 0;
    for (const Section& s : m_sections)
        channels = std::max(channels, s.group->GetNumChannels());
    return channels;
}

uint32_t CSongRead::GetBitRate()
{
    return m_sections.empty() ? kDefaultRate * kDefaultBits : m_sections.front().group->GetBitRate();
}

bool CSongRead::IsLossless()
{
    return m_sections.empty() || m_sections.front().group->IsLossless();
}

bool CSongRead::IsCompressed()
{
    return !m_sections.empty() && m_sections.front().group->IsCompressed();
}

bool CSongRead::IsVBR()
{
    return !m_sections.empty() && m_sections.front().group->IsVBR();
}

bool CSongRead::IsFloatingPoint()
{
    return !m_sections.empty() && m_sections.front().group->IsFloatingPoint();
}

int64_t CSongRead::SectionLength(size_t i)
{
    const Section& s = m_sections[i];
    const int64_t declared = std::max<int64_t>(0, s.group->GetNumSamples());
    return s.endFound < 0 ? declared : std::min(declared, s.endFound);
}

int64_t CSongRead::SectionPosition(size_t i)
{
    return std::clamp<int64_t>(m_sections[i].group->GetCurSamplePosition(), 0, SectionLength(i));
}

int64_t CSongRead::GetNumSamples()
{
    int64_t total = 0;
    for (size_t i = 0; i < m_sections.size(); ++i)
        total += SectionLength(i);
    return total;
}

int64_t CSongRead::GetCurSamplePosition()
{
    if (m_sections.empty())
        return 0;
    int64_t pos = 0;
    for (size_t i = 0; i < m_currentSection; ++i)
        pos += SectionLength(i);
    return pos + SectionPosition(m_currentSection);
}

void CSongRead::SetCurSamplePosition(int64_t frame)
{
    if (m_sections.empty())
        return;
    int64_t pos = std::max<int64_t>(frame, 0);
    size_t i = 0;
    for (;; ++i)
    {
        const int64_t n = SectionLength(i);
        if (n >= pos)
            break;
        if (i + 1 == m_sections.size())
        {
            pos = n;
            break;
        }
        pos -= n;
    }
    m_currentSection = static_cast<uint32_t>(i);
    m_sections[i].group->SetCurSamplePosition(pos);
    for (size_t j = i + 1; j < m_sections.size(); ++j)
        m_sections[j].group->SetCurSamplePosition(0);
}

template <typename T>
uint32_t CSongRead::Read(T** bufs, uint32_t n, uint32_t dstOffset)
{
    if (bufs == nullptr)
        return 0;
    uint32_t got = 0;
    while (got < n && !m_sections.empty())
    {
        const size_t i = m_currentSection;
        CChannelGroupRead* group = m_sections[i].group;
        const int64_t left = SectionLength(i) - SectionPosition(i);
        if (left > 0)
        {
            const uint32_t ask = static_cast<uint32_t>(std::min<int64_t>(n - got, left));
            const uint32_t read = std::min(group->ReadAudioData(bufs, ask, dstOffset + got), ask);
            got += read;
            if (got >= n)
                break;
            if (read < ask && (group->AudioDataReadErrorOccured() || group->IsProcessingInternally() ||
                               !HoldsSamplesOfKind<T>(group)))
                break;
            // A section that still claims frames has delivered all it has.
            if (SectionLength(i) - SectionPosition(i) > 0)
                m_sections[i].endFound = SectionPosition(i);
        }
        if (i + 1 >= m_sections.size())
            break;
        ++m_currentSection;
    }
    if (got < n)
        FillSilence(bufs, n - got, m_outputChannels, dstOffset + got);
    return got;
}

uint32_t CSongRead::ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset);
}

uint32_t CSongRead::ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset);
}

uint32_t CSongRead::ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset);
}

CAudioMetaData* CSongRead::GetMetaDataPtr()
{
    return m_sections.empty() ? CAudioPlayerInput::GetMetaDataPtr()
                              : m_sections.front().group->GetMetaDataPtr();
}

bool CSongRead::AudioDataReadErrorOccured()
{
    return !m_sections.empty() && m_sections[m_currentSection].group->AudioDataReadErrorOccured();
}

bool CSongRead::IsProcessingInternally()
{
    for (const Section& s : m_sections)
    {
        if (s.group->IsProcessingInternally())
            return true;
    }
    return false;
}

void CSongRead::GiveInternalProcessPriority()
{
    for (auto it = m_sections.rbegin(); it != m_sections.rend(); ++it)
        it->group->GiveInternalProcessPriority();
}

double CSongRead::GetInternalProcessPercent()
{
    double sum = 0.0;
    int count = 0;
    for (const Section& s : m_sections)
    {
        if (s.group->IsProcessingInternally())
        {
            sum += s.group->GetInternalProcessPercent();
            ++count;
        }
    }
    return count == 0 ? 0.0 : sum / count;
}

const char* CSongRead::GetFormatUniqueID()
{
    return m_sections.empty() ? "" : m_sections.front().group->GetFormatUniqueID();
}

CChannelGroupRead* CSongRead::CreateSectionStream()
{
    return new CChannelGroupRead();
}

bool CSongRead::OpenSong(const CPlaylistSong* song, bool markersFromFiles)
{
    EjectAllFiles();
    if (song == nullptr)
        return false;
    for (int i = 0; i < song->GetNumSections(); ++i)
    {
        CChannelGroupRead* group = CreateSectionStream();
        m_sections.push_back({group, -1});
        group->SetOutputBufferChannels(m_outputChannels);
        if (!group->OpenSection(song->GetSectionPtr(static_cast<unsigned>(i))))
        {
            EjectAllFiles();
            return false;
        }
    }
    for (const Section& s : m_sections)
    {
        if (s.group->GetSampleRate() != GetSampleRate())
        {
            EjectAllFiles();
            return false;
        }
    }

    if (markersFromFiles)
    {
        double offset = 0.0;
        for (const Section& s : m_sections)
        {
            const CMarker* markers = s.group->GetMarkerPtr();
            for (int m = 0; m < markers->GetNumMarkers(); ++m)
                m_markers.Add(markers->GetMarkerTimeSecond(m) + offset);
            offset += s.group->GetTotalTimeSecond();
        }
    }
    else
    {
        m_markers.CopyAll(song->GetMarkerPtr());
    }
    return true;
}

void CSongRead::EjectAllFiles()
{
    for (Section& s : m_sections)
        delete s.group;
    m_sections.clear();
    m_currentSection = 0;
    m_markers.DeleteAll();
}

uint16_t CSongRead::SetOutputBufferChannels(uint16_t n)
{
    m_outputChannels = n;
    for (Section& s : m_sections)
        s.group->SetOutputBufferChannels(n);
    return n;
}

void CSongRead::DividePlaylist(CPlaylistSong* first, CPlaylistSong* second, double seconds)
{
    if (first == nullptr || second == nullptr)
        return;
    first->DeleteAll();
    second->DeleteAll();

    // The cut is counted in frames of the stream, so that no rounding of
    // section durations moves it.
    int64_t pos = CTrackRead::SecondsToSample(seconds, GetSampleRate());
    for (size_t i = 0; i < m_sections.size(); ++i)
    {
        CPlaylistSection* before = first->CreateNewSection();
        CPlaylistSection* after = second->CreateNewSection();
        m_sections[i].group->DividePlaylistAtSample(before, after, pos);
        const int64_t n = SectionLength(i);
        if (pos > std::numeric_limits<int64_t>::min() + n)
            pos -= n;
        if (before->GetNumTracks() == 0)
            first->DeleteLast();
        if (after->GetNumTracks() == 0)
            second->DeleteLast();
    }
    m_markers.DivideMarkerList(first->GetMarkerPtr(), second->GetMarkerPtr(), seconds);
}
