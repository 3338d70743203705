#include "common/file/CPeakValueDetectVirtualFile.h"

#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cmath>

namespace
{
// Frames the integer write converts at a time; bounds the scratch size.
constexpr uint32_t kScratchFrames = 4096;

// Whether every one of the channels has a buffer.
template <typename T>
bool HasAllChannels(T* const* bufs, uint16_t channels)
{
    if (channels == 0)
        return true;
    if (bufs == nullptr)
        return false;
    return std::all_of(bufs, bufs + channels, [](const T* buf) { return buf != nullptr; });
}
} // namespace

CPeakValueDetectVirtualFile::CPeakValueDetectVirtualFile(uint32_t rate, uint16_t bits, uint16_t channels)
    : m_sampleRate(rate), m_bitsPerSample(bits), m_numChannels(channels), m_peaks(channels)
{
}

CPeakValueDetectVirtualFile::~CPeakValueDetectVirtualFile() = default;

void CPeakValueDetectVirtualFile::Measure(const float* const* bufs, uint32_t n, uint64_t firstFrame)
{
    for (uint16_t ch = 0; ch < m_numChannels; ++ch)
    {
        PeakChannelData& peak = m_peaks[ch];
        const float* samples = bufs[ch];
        for (uint32_t i = 0; i < n; ++i)
        {
            const float s = samples[i];
            // Strict comparisons: among equal peaks the first keeps its place.
            if (s > peak.highestValue)
            {
                peak.highestValue = s;
                peak.highestPosition = static_cast<int64_t>(firstFrame + i);
            }
            else if (s < peak.lowestValue)
            {
                peak.lowestValue = s;
                peak.lowestPosition = static_cast<int64_t>(firstFrame + i);
            }
        }
    }
}

uint32_t CPeakValueDetectVirtualFile::WriteAudioData(float** bufs, uint32_t n)
{
    if (n == 0)
        return 0;
    if (!HasAllChannels(bufs, m_numChannels))
        return 0;
    if (m_numChannels > 0)
        Measure(bufs, n, m_framesWritten);
    m_framesWritten += n;
    return n;
}

uint32_t CPeakValueDetectVirtualFile::WriteAudioData(int32_t** bufs, uint32_t n)
{
    if (n == 0)
        return 0;
    if (!HasAllChannels(bufs, m_numChannels))
        return 0;
    if (m_numChannels > 0)
    {
        if (m_scratchPtrs.empty())
        {
            m_scratch.assign(static_cast<size_t>(kScratchFrames) * m_numChannels, 0.0f);
            m_scratchPtrs.resize(m_numChannels);
            for (uint16_t ch = 0; ch < m_numChannels; ++ch)
                m_scratchPtrs[ch] = m_scratch.data() + static_cast<size_t>(ch) * kScratchFrames;
        }
        for (uint32_t done = 0; done < n;)
        {
            const uint32_t count = std::min(kScratchFrames, n - done);
            CPcmUtil::SignedIntToFloat(bufs, m_scratchPtrs.data(), count, m_numChannels, done, 0);
            Measure(m_scratchPtrs.data(), count, m_framesWritten + done);
            done += count;
        }
    }
    m_framesWritten += n;
    return n;
}

void CPeakValueDetectVirtualFile::GetPeakData(PeakChannelData* out, uint16_t channel)
{
    if (out == nullptr)
        return;
    *out = channel < m_numChannels ? m_peaks[channel] : PeakChannelData{};
}

void CPeakValueDetectVirtualFile::Reset()
{
    std::fill(m_peaks.begin(), m_peaks.end(), PeakChannelData{});
    m_framesWritten = 0;
}

int64_t CPeakValueDetectVirtualFile::GetAbsPeakPosition()
{
    float best = 0.0f;
    int64_t position = 0;
    for (const PeakChannelData& peak : m_peaks)
    {
        if (std::fabs(peak.highestValue) >= best)
        {
            best = std::fabs(peak.highestValue);
            position = peak.highestPosition;
        }
        if (std::fabs(peak.lowestValue) >= best)
        {
            best = std::fabs(peak.lowestValue);
            position = peak.lowestPosition;
        }
    }
    return position;
}
