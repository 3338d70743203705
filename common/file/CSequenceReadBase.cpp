#include "common/file/CSequenceReadBase.h"

#include "common/file/SilenceFill.h"

#include <algorithm>
#include <type_traits>

namespace
{
constexpr uint32_t kDefaultRate = 44100;
constexpr uint16_t kDefaultBits = 16;

// Whether a source holds the kind of samples a read asks for: a PCM source
// asked for 1-bit audio (or the reverse) delivers nothing by design, which is
// no sign of its audio ending.
template <typename T>
bool HoldsSamplesOfKind(CAudioPlayerInput* source)
{
    const bool oneBit = source->GetBitsPerSample() == 1;
    return std::is_same<T, uint8_t>::value ? oneBit : !oneBit;
}
} // namespace

CSequenceReadBase::CSequenceReadBase() = default;

CSequenceReadBase::~CSequenceReadBase() = default;

uint32_t CSequenceReadBase::GetSampleRate()
{
    return m_parts.empty() ? kDefaultRate : m_parts.front().source->GetSampleRate();
}

uint16_t CSequenceReadBase::GetBitsPerSample()
{
    return m_parts.empty() ? kDefaultBits : m_parts.front().source->GetBitsPerSample();
}

uint16_t CSequenceReadBase::GetNumChannels()
{
    uint16_t channels = 0;
    for (const Part& p : m_parts)
        channels = std::max(channels, p.source->GetNumChannels());
    return channels;
}

uint32_t CSequenceReadBase::GetBitRate()
{
    return m_parts.empty() ? kDefaultRate * kDefaultBits : m_parts.front().source->GetBitRate();
}

bool CSequenceReadBase::IsLossless()
{
    return m_parts.empty() || m_parts.front().source->IsLossless();
}

bool CSequenceReadBase::IsCompressed()
{
    return !m_parts.empty() && m_parts.front().source->IsCompressed();
}

bool CSequenceReadBase::IsVBR()
{
    return !m_parts.empty() && m_parts.front().source->IsVBR();
}

bool CSequenceReadBase::IsFloatingPoint()
{
    return !m_parts.empty() && m_parts.front().source->IsFloatingPoint();
}

void CSequenceReadBase::AppendPart(std::unique_ptr<CAudioPlayerInput> source)
{
    m_parts.push_back({std::move(source), -1});
}

void CSequenceReadBase::ClearParts()
{
    for (Part& p : m_parts)
        DisposePart(std::move(p.source));
    m_parts.clear();
    m_currentPart = 0;
}

int64_t CSequenceReadBase::GetPartLength(size_t i)
{
    const Part& p = m_parts[i];
    const int64_t declared = std::max<int64_t>(0, p.source->GetNumSamples());
    return p.endFound < 0 ? declared : std::min(declared, p.endFound);
}

int64_t CSequenceReadBase::GetPartPosition(size_t i)
{
    return std::clamp<int64_t>(m_parts[i].source->GetCurSamplePosition(), 0, GetPartLength(i));
}

int64_t CSequenceReadBase::GetNumSamples()
{
    int64_t total = 0;
    for (size_t i = 0; i < m_parts.size(); ++i)
        total += GetPartLength(i);
    return total;
}

int64_t CSequenceReadBase::GetCurSamplePosition()
{
    if (m_parts.empty())
        return 0;
    int64_t pos = 0;
    for (size_t i = 0; i < m_currentPart; ++i)
        pos += GetPartLength(i);
    return pos + GetPartPosition(m_currentPart);
}

void CSequenceReadBase::SetCurSamplePosition(int64_t frame)
{
    if (m_parts.empty())
        return;
    int64_t pos = std::max<int64_t>(frame, 0);
    size_t i = 0;
    for (;; ++i)
    {
        const int64_t n = GetPartLength(i);
        if (n >= pos)
            break;
        if (i + 1 == m_parts.size())
        {
            // Past the end: the end of the last part.
            pos = n;
            break;
        }
        pos -= n;
    }
    m_currentPart = static_cast<uint32_t>(i);
    m_parts[i].source->SetCurSamplePosition(pos);
    for (size_t j = i + 1; j < m_parts.size(); ++j)
        m_parts[j].source->SetCurSamplePosition(0);
}

template <typename T>
uint32_t CSequenceReadBase::Read(T** bufs, uint32_t n, uint32_t dstOffset)
{
    if (bufs == nullptr)
        return 0;
    uint32_t got = 0;
    while (got < n && !m_parts.empty())
    {
        const size_t i = m_currentPart;
        CAudioPlayerInput* source = m_parts[i].source.get();
        const int64_t left = GetPartLength(i) - GetPartPosition(i);
        if (left > 0)
        {
            const uint32_t ask = static_cast<uint32_t>(std::min<int64_t>(n - got, left));
            const uint32_t read = std::min(source->ReadAudioData(bufs, ask, dstOffset + got), ask);
            got += read;
            if (got >= n)
                break;
            // A read error, audio still being prepared or a request for a kind
            // of samples the part does not hold end the call inside the part.
            if (read < ask && (source->AudioDataReadErrorOccured() || source->IsProcessingInternally() ||
                               !HoldsSamplesOfKind<T>(source)))
                break;
            // Otherwise a part that still claims frames has delivered all it
            // has: its audio ends here.
            if (GetPartLength(i) - GetPartPosition(i) > 0)
                m_parts[i].endFound = GetPartPosition(i);
        }
        if (i + 1 >= m_parts.size())
            break;
        ++m_currentPart;
    }
    if (got < n)
        silencefill::FillSilence(bufs, n - got, GetSilenceChannels(), dstOffset + got);
    return got;
}

uint32_t CSequenceReadBase::ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset);
}

uint32_t CSequenceReadBase::ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset);
}

uint32_t CSequenceReadBase::ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset)
{
    return Read(bufs, n, dstOffset);
}

CAudioMetaData* CSequenceReadBase::GetMetaDataPtr()
{
    return m_parts.empty() ? CAudioPlayerInput::GetMetaDataPtr() : m_parts.front().source->GetMetaDataPtr();
}

bool CSequenceReadBase::AudioDataReadErrorOccured()
{
    return !m_parts.empty() && m_parts[m_currentPart].source->AudioDataReadErrorOccured();
}

bool CSequenceReadBase::IsProcessingInternally()
{
    for (const Part& p : m_parts)
    {
        if (p.source->IsProcessingInternally())
            return true;
    }
    return false;
}

void CSequenceReadBase::GiveInternalProcessPriority()
{
    for (auto it = m_parts.rbegin(); it != m_parts.rend(); ++it)
        it->source->GiveInternalProcessPriority();
}

double CSequenceReadBase::GetInternalProcessPercent()
{
    double sum = 0.0;
    int count = 0;
    for (const Part& p : m_parts)
    {
        if (p.source->IsProcessingInternally())
        {
            sum += p.source->GetInternalProcessPercent();
            ++count;
        }
    }
    return count == 0 ? 0.0 : sum / count;
}
