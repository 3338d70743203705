#pragma once

#include "common/file/CAudioPlayerInput.h"
#include "common/file/CAudioRecorderOutput.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

// In-memory sources and sinks for the export converter and normalization tests.
namespace ExportTest
{
constexpr double kPi = 3.14159265358979323846;

using Channels = std::vector<std::vector<float>>;

// A source of planar samples. Integer sources (bits 16 or 24) hold their
// samples quantized to the word length and deliver them exactly, as
// left-justified integers or as floats; 32-bit sources are floating point.
class MemorySource : public CAudioPlayerInput
{
public:
    MemorySource(uint32_t rate, uint16_t bits, const Channels& samples) : m_rate(rate), m_bits(bits)
    {
        const uint32_t shift = bits >= 32 ? 0 : 32 - bits;
        for (const auto& channel : samples)
        {
            std::vector<int32_t> ints(channel.size());
            std::vector<float> floats(channel.size());
            for (size_t i = 0; i < channel.size(); ++i)
            {
                if (bits >= 32)
                {
                    floats[i] = channel[i];
                    continue;
                }
                const double scaled = std::round(static_cast<double>(channel[i]) * (1 << (bits - 1)));
                const double limited =
                    std::clamp(scaled, -double(1 << (bits - 1)), double((1 << (bits - 1)) - 1));
                ints[i] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int32_t>(limited)) << shift);
                floats[i] = static_cast<float>(ints[i] * (1.0 / 2147483648.0));
            }
            m_ints.push_back(std::move(ints));
            m_floats.push_back(std::move(floats));
        }
        m_declared = samples.empty() ? 0 : static_cast<int64_t>(samples[0].size());
        m_available = m_declared;
    }

    // Reads deliver at most 1 + (read count % maxRead) frames when maxRead > 0.
    void SetShortReads(uint32_t maxRead) { m_maxRead = maxRead; }
    // The source stops delivering at frame `frames` while still declaring its
    // full length.
    void StopAt(int64_t frames) { m_available = frames; }
    void SetLossless(bool lossless) { m_lossless = lossless; }
    void SetVbr(bool vbr) { m_vbr = vbr; }
    // Called with the position before each float read.
    std::function<void(int64_t)> onRead;

    uint32_t GetSampleRate() override { return m_rate; }
    uint16_t GetBitsPerSample() override { return m_bits; }
    uint16_t GetNumChannels() override { return static_cast<uint16_t>(m_floats.size()); }
    bool IsLossless() override { return m_lossless; }
    bool IsVBR() override { return m_vbr; }
    bool IsFloatingPoint() override { return m_bits >= 32; }
    int64_t GetNumSamples() override { return m_declared; }
    int64_t GetCurSamplePosition() override { return m_position; }
    void SetCurSamplePosition(int64_t frame) override
    {
        m_position = std::clamp<int64_t>(frame, 0, m_declared);
    }

    using CAudioPlayerInput::ReadAudioData;
    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override
    {
        if (onRead)
            onRead(m_position);
        const uint32_t got = Count(n);
        for (size_t c = 0; c < m_floats.size(); ++c)
        {
            std::fill(bufs[c] + dstOffset, bufs[c] + dstOffset + n, 0.0f);
            std::copy_n(m_floats[c].begin() + m_position, got, bufs[c] + dstOffset);
        }
        m_position += got;
        return got;
    }
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override
    {
        const uint32_t got = Count(n);
        for (size_t c = 0; c < m_ints.size(); ++c)
        {
            std::fill(bufs[c] + dstOffset, bufs[c] + dstOffset + n, 0);
            std::copy_n(m_ints[c].begin() + m_position, got, bufs[c] + dstOffset);
        }
        m_position += got;
        return got;
    }

    const std::vector<int32_t>& Ints(size_t c) const { return m_ints[c]; }

private:
    uint32_t Count(uint32_t n)
    {
        int64_t got = std::min<int64_t>(n, std::max<int64_t>(m_available - m_position, 0));
        if (m_maxRead > 0)
            got = std::min<int64_t>(got, 1 + (m_reads++ % m_maxRead));
        return static_cast<uint32_t>(got);
    }

    uint32_t m_rate;
    uint16_t m_bits;
    std::vector<std::vector<int32_t>> m_ints;
    std::vector<std::vector<float>> m_floats;
    int64_t m_declared = 0;
    int64_t m_available = 0;
    int64_t m_position = 0;
    uint32_t m_maxRead = 0;
    uint32_t m_reads = 0;
    bool m_lossless = true;
    bool m_vbr = false;
};

// A sink that keeps what it is given: floats as they are when it is floating
// point, otherwise left-justified integers (float blocks converted and cut to
// the word length).
class MemorySink : public CAudioRecorderOutput
{
public:
    MemorySink(uint32_t rate, uint16_t channels, uint16_t bits = 32, bool floatingPoint = true)
        : m_rate(rate), m_channels(channels), m_bits(bits), m_float(floatingPoint), m_floats(channels),
          m_ints(channels)
    {
    }

    // Writes take fewer frames than given once `frames` have been written.
    void FailAfter(int64_t frames) { m_failAfter = frames; }
    // Called after every write with the frames written so far.
    std::function<void(int64_t)> onWrite;

    void RemoveFile() override {}
    uint32_t GetSampleRate() override { return m_rate; }
    uint16_t GetNumChannels() override { return m_channels; }
    uint16_t GetBitsPerSample() override { return m_bits; }
    bool IsFloatingPoint() override { return m_float; }
    void SetMetaDataFixed() override { markersWhenFixed = GetMarkerPtr()->GetNumMarkers(); }

    using CAudioRecorderOutput::WriteAudioData;
    uint32_t WriteAudioData(float** bufs, uint32_t n) override
    {
        const uint32_t take = Take(n);
        for (uint16_t c = 0; c < m_channels; ++c)
        {
            if (m_float)
                m_floats[c].insert(m_floats[c].end(), bufs[c], bufs[c] + take);
            else
                for (uint32_t i = 0; i < take; ++i)
                {
                    int32_t v;
                    const float* in[1] = {bufs[c] + i};
                    int32_t* out[1] = {&v};
                    CPcmUtil::FloatToSignedInt(in, out, 1, 1, 0, 0);
                    m_ints[c].push_back(Cut(v));
                }
        }
        return Done(take);
    }
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override
    {
        const uint32_t take = Take(n);
        for (uint16_t c = 0; c < m_channels; ++c)
            for (uint32_t i = 0; i < take; ++i)
            {
                if (m_float)
                    m_floats[c].push_back(static_cast<float>(bufs[c][i] * (1.0 / 2147483648.0)));
                else
                    m_ints[c].push_back(Cut(bufs[c][i]));
            }
        return Done(take);
    }

    int64_t Frames() const { return m_written; }
    const std::vector<float>& Floats(size_t c) const { return m_floats[c]; }
    const std::vector<int32_t>& Ints(size_t c) const { return m_ints[c]; }
    int markersWhenFixed = -1;
    // Writes attempted after one that failed.
    int callsAfterFailure = 0;

private:
    int32_t Cut(int32_t v) const
    {
        return m_bits >= 32 ? v
                            : static_cast<int32_t>(static_cast<uint32_t>(v) & ~((1u << (32 - m_bits)) - 1));
    }
    uint32_t Take(uint32_t n)
    {
        if (m_failAfter >= 0 && m_written + n > m_failAfter)
        {
            if (m_failed)
                ++callsAfterFailure;
            m_failed = true;
            return static_cast<uint32_t>(std::max<int64_t>(m_failAfter - m_written, 0));
        }
        return n;
    }
    uint32_t Done(uint32_t take)
    {
        m_written += take;
        if (onWrite)
            onWrite(m_written);
        return take;
    }

    uint32_t m_rate;
    uint16_t m_channels;
    uint16_t m_bits;
    bool m_float;
    std::vector<std::vector<float>> m_floats;
    std::vector<std::vector<int32_t>> m_ints;
    int64_t m_written = 0;
    int64_t m_failAfter = -1;
    bool m_failed = false;
};

inline Channels Noise(int channels, size_t frames, uint32_t seed, float amplitude = 0.5f)
{
    Channels out(static_cast<size_t>(channels), std::vector<float>(frames));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-amplitude, amplitude);
    for (auto& c : out)
        for (float& s : c)
            s = dist(rng);
    return out;
}

inline std::vector<float> Sine(size_t frames, double frequency, double rate, double amplitude,
                               double phase = 0.0)
{
    std::vector<float> out(frames);
    for (size_t n = 0; n < frames; ++n)
        out[n] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * n / rate + phase));
    return out;
}

inline float AbsMax(const std::vector<float>& v)
{
    float m = 0.0f;
    for (float x : v)
        m = std::max(m, std::fabs(x));
    return m;
}
} // namespace ExportTest
