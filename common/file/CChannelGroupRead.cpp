#include "common/file/CChannelGroupRead.h"

#include "common/file/CPlaylistSong.h"
#include "common/file/CTrackRead.h"
#include "common/file/SilenceFill.h"
#include "library/util/CDsdUtil.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>

namespace
{
constexpr uint32_t kDefaultRate = 44100;
constexpr uint16_t kDefaultBits = 16;

// Copies channel 0 into channel 1 over n frames from offset.
void DuplicateMono(float** bufs, uint32_t n, uint32_t offset)
{
    if (bufs[0] != nullptr && bufs[1] != nullptr)
        CPcmUtil::Copy(bufs, bufs + 1, n, 1, offset, offset);
}

void DuplicateMono(int32_t** bufs, uint32_t n, uint32_t offset)
{
    if (bufs[0] != nullptr && bufs[1] != nullptr)
        CPcmUtil::Copy(bufs, bufs + 1, n, 1, offset, offset);
}

void DuplicateMono(uint8_t** bufs, uint32_t n, uint32_t offset)
{
    CDsdUtil::Copy(bufs, bufs + 1, n / 8, 1, offset / 8, offset / 8);
}
} // namespace

CChannelGroupRead::CChannelGroupRead() = default;

CChannelGroupRead::~CChannelGroupRead()
{
    EjectAllFiles();
}

uint32_t CChannelGroupRead::GetSampleRate()
{
    return m_tracks.empty() ? kDefaultRate : m_tracks.front()->GetSampleRate();
}

uint16_t CChannelGroupRead::GetBitsPerSample()
{
    return m_tracks.empty() ? kDefaultBits : m_tracks.front()->GetBitsPerSample();
}

uint16_t CChannelGroupRead::GetNumChannels()
{
    uint32_t channels = 0;
    for (const auto& t : m_tracks)
        channels += t->GetNumChannels();
    return static_cast<uint16_t>(std::min<uint32_t>(channels, UINT16_MAX));
}

uint32_t CChannelGroupRead::GetBitRate()
{
    if (m_tracks.empty())
        return kDefaultRate * kDefaultBits;
    uint64_t rate = 0;
    for (const auto& t : m_tracks)
        rate += t->GetBitRate();
    return static_cast<uint32_t>(std::min<uint64_t>(rate, UINT32_MAX));
}

bool CChannelGroupRead::IsLossless()
{
    return m_tracks.empty() || m_tracks.front()->IsLossless();
}

bool CChannelGroupRead::IsCompressed()
{
    return !m_tracks.empty() && m_tracks.front()->IsCompressed();
}

bool CChannelGroupRead::IsVBR()
{
    return !m_tracks.empty() && m_tracks.front()->IsVBR();
}

bool CChannelGroupRead::IsFloatingPoint()
{
    return !m_tracks.empty() && m_tracks.front()->IsFloatingPoint();
}

// The longest track decides the length and position. It is looked for anew on
// every call, since a track whose file turned out shorter than declared
// shrinks while it is read.
int64_t CChannelGroupRead::GetNumSamples()
{
    int64_t longest = 0;
    for (const auto& t : m_tracks)
        longest = std::max(longest, t->GetNumSamples());
    return longest;
}

int64_t CChannelGroupRead::GetCurSamplePosition()
{
    int64_t pos = 0;
    for (const auto& t : m_tracks)
        pos = std::max(pos, t->GetCurSamplePosition());
    return pos;
}

void CChannelGroupRead::SetCurSamplePosition(int64_t frame)
{
    for (const auto& t : m_tracks)
        t->SetCurSamplePosition(frame);
}

template <typename T>
uint32_t CChannelGroupRead::Read(T** bufs, uint32_t n, uint32_t dstOffset, std::vector<T*>& channelPtrs)
{
    if (bufs == nullptr)
        return 0;
    uint32_t result = 0;
    uint32_t c = 0;
    for (const auto& t : m_tracks)
    {
        const uint16_t k = t->GetNumChannels();
        if (channelPtrs.size() < k)
            channelPtrs.resize(k);
        // Channels beyond the consumer's buffers are read into nothing.
        for (uint32_t j = 0; j < k; ++j)
            channelPtrs[j] = c + j < m_outputChannels ? bufs[c + j] : nullptr;
        result = std::max(result, t->ReadAudioData(channelPtrs.data(), n, dstOffset));
        c += k;
    }
    if (c < m_outputChannels)
    {
        if (c == 1)
        {
            DuplicateMono(bufs, n, dstOffset);
            c = 2;
        }
        if (c < m_outputChannels)
            silencefill::FillSilence(bufs + c, n, static_cast<uint16_t>(m_outputChannels - c), dstOffset);
    }
    return result;
}

uint32_t CChannelGroupRead::ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset, m_floatPtrs);
}

uint32_t CChannelGroupRead::ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset, m_intPtrs);
}

uint32_t CChannelGroupRead::ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset, m_bitPtrs);
}

CMarker* CChannelGroupRead::GetMarkerPtr()
{
    return m_tracks.empty() ? CAudioPlayerInput::GetMarkerPtr() : m_tracks.front()->GetMarkerPtr();
}

CAudioMetaData* CChannelGroupRead::GetMetaDataPtr()
{
    return m_tracks.empty() ? CAudioPlayerInput::GetMetaDataPtr() : m_tracks.front()->GetMetaDataPtr();
}

bool CChannelGroupRead::AudioDataReadErrorOccured()
{
    for (const auto& t : m_tracks)
    {
        if (t->AudioDataReadErrorOccured())
            return true;
    }
    return false;
}

bool CChannelGroupRead::IsProcessingInternally()
{
    for (const auto& t : m_tracks)
    {
        if (t->IsProcessingInternally())
            return true;
    }
    return false;
}

void CChannelGroupRead::GiveInternalProcessPriority()
{
    for (auto it = m_tracks.rbegin(); it != m_tracks.rend(); ++it)
        (*it)->GiveInternalProcessPriority();
}

double CChannelGroupRead::GetInternalProcessPercent()
{
    double sum = 0.0;
    int count = 0;
    for (const auto& t : m_tracks)
    {
        if (t->IsProcessingInternally())
        {
            sum += t->GetInternalProcessPercent();
            ++count;
        }
    }
    return count == 0 ? 0.0 : sum / count;
}

const char* CChannelGroupRead::GetFormatUniqueID()
{
    return m_tracks.empty() ? "" : m_tracks.front()->GetFormatUniqueID();
}

uint16_t CChannelGroupRead::SetOutputBufferChannels(uint16_t n)
{
    m_outputChannels = n;
    return n;
}

std::unique_ptr<CTrackRead> CChannelGroupRead::CreateTrackStream()
{
    return std::make_unique<CTrackRead>();
}

bool CChannelGroupRead::OpenSection(const CPlaylistSection* section)
{
    EjectAllFiles();
    if (section == nullptr || section->GetNumTracks() == 0)
        return false;
    for (int i = 0; i < section->GetNumTracks(); ++i)
    {
        m_tracks.push_back(CreateTrackStream());
        if (!m_tracks.back()->OpenTrack(section->GetTrackPtr(static_cast<unsigned>(i))))
        {
            EjectAllFiles();
            return false;
        }
    }

    uint16_t widest = 0;
    const uint32_t rate = m_tracks.front()->GetSampleRate();
    for (const auto& t : m_tracks)
    {
        if (t->GetSampleRate() != rate)
        {
            EjectAllFiles();
            return false;
        }
        widest = std::max(widest, t->GetNumChannels());
    }
    // Sized once here so that reading allocates nothing.
    m_floatPtrs.assign(widest, nullptr);
    m_intPtrs.assign(widest, nullptr);
    m_bitPtrs.assign(widest, nullptr);
    return true;
}

void CChannelGroupRead::EjectAllFiles()
{
    m_tracks.clear();
    m_floatPtrs.clear();
    m_intPtrs.clear();
    m_bitPtrs.clear();
}

void CChannelGroupRead::DividePlaylist(CPlaylistSection* first, CPlaylistSection* second, double seconds)
{
    DividePlaylistAtSample(first, second, CTrackRead::SecondsToSample(seconds, GetSampleRate()));
}

void CChannelGroupRead::DividePlaylistAtSample(CPlaylistSection* first, CPlaylistSection* second,
                                               int64_t frame)
{
    if (first == nullptr || second == nullptr)
        return;
    first->DeleteAll();
    second->DeleteAll();
    for (const auto& t : m_tracks)
    {
        CPlaylistTrack* before = first->CreateNewTrack();
        CPlaylistTrack* after = second->CreateNewTrack();
        t->DividePlaylistAtSample(before, after, frame);
        if (before->GetNumFiles() == 0)
            first->DeleteLast();
        if (after->GetNumFiles() == 0)
            second->DeleteLast();
    }
}
