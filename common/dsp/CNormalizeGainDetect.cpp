#include "common/dsp/CNormalizeGainDetect.h"

#include "common/dsp/CThread.h"
#include "common/dsp/ConverterSet/CConverterSet.h"
#include "library/util/CDataUtil.h"
#include "library/util/CPcmUtil.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <utility>
#include <vector>

namespace
{
// Output frames per stretch of the quick pass.
constexpr int64_t kSegmentFrames = 1024;
// Source frames per recorded maximum.
constexpr int64_t kChunkFrames = 256;
// Share of the progress given to the quick pass.
constexpr double kQuickPassShare = 60.0;
// Result of the two-pass scan when the song is to be rendered exactly once.
constexpr int kRenderOnce = -1;

int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t CeilDiv(int64_t a, int64_t b)
{
    return -FloorDiv(-a, b);
}

float ChannelPeak(CPeakValueDetectVirtualFile& sink, uint16_t channels)
{
    float peak = 0.0f;
    for (uint16_t c = 0; c < channels; ++c)
    {
        PeakChannelData data;
        sink.GetPeakData(&data, c);
        peak = std::max({peak, std::fabs(data.highestValue), std::fabs(data.lowestValue)});
    }
    return peak;
}

// A source that passes everything on to another one and, while recording,
// keeps the largest absolute sample of every chunk of frames read as floats.
class ObservedInput final : public CAudioPlayerInput
{
public:
    explicit ObservedInput(CAudioPlayerInput* inner) : m_inner(inner) {}

    void StartRecording(int64_t frames)
    {
        m_chunkMax.assign(static_cast<size_t>(std::max<int64_t>(CeilDiv(frames, kChunkFrames), 0) + 1), 0.0f);
        m_recording = true;
    }
    void StopRecording() { m_recording = false; }

    // The largest absolute sample recorded over frames first .. last - 1
    // (whole chunks, so possibly a little more).
    float MaxOver(int64_t first, int64_t last) const
    {
        if (m_chunkMax.empty())
            return 0.0f;
        const int64_t chunks = static_cast<int64_t>(m_chunkMax.size());
        const int64_t from = std::clamp<int64_t>(FloorDiv(first, kChunkFrames), 0, chunks - 1);
        const int64_t to = std::clamp<int64_t>(FloorDiv(last - 1, kChunkFrames), 0, chunks - 1);
        float m = 0.0f;
        for (int64_t i = from; i <= to; ++i)
            m = std::max(m, m_chunkMax[static_cast<size_t>(i)]);
        return m;
    }

    uint32_t GetSampleRate() override { return m_inner->GetSampleRate(); }
    uint16_t GetBitsPerSample() override { return m_inner->GetBitsPerSample(); }
    uint16_t GetNumChannels() override { return m_inner->GetNumChannels(); }
    uint32_t GetBitRate() override { return m_inner->GetBitRate(); }
    bool IsLossless() override { return m_inner->IsLossless(); }
    bool IsCompressed() override { return m_inner->IsCompressed(); }
    bool IsVBR() override { return m_inner->IsVBR(); }
    bool IsFloatingPoint() override { return m_inner->IsFloatingPoint(); }
    int64_t GetNumSamples() override { return m_inner->GetNumSamples(); }
    int64_t GetCurSamplePosition() override { return m_inner->GetCurSamplePosition(); }
    void SetCurSamplePosition(int64_t frame) override { m_inner->SetCurSamplePosition(frame); }
    double GetTotalTimeSecond() override { return m_inner->GetTotalTimeSecond(); }
    double GetCurTimeSecond() override { return m_inner->GetCurTimeSecond(); }
    uint32_t ReadAudioData(int32_t** bufs, uint32_t n, uint32_t dstOffset) override
    {
        return m_inner->ReadAudioData(bufs, n, dstOffset);
    }
    uint32_t ReadAudioData(uint8_t** bufs, uint32_t n, uint32_t dstOffset) override
    {
        return m_inner->ReadAudioData(bufs, n, dstOffset);
    }
    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override
    {
        const int64_t position = m_inner->GetCurSamplePosition();
        const uint32_t got = m_inner->ReadAudioData(bufs, n, dstOffset);
        if (m_recording && got > 0 && bufs != nullptr)
            Record(bufs, got, dstOffset, position);
        return got;
    }
    CMarker* GetMarkerPtr() override { return m_inner->GetMarkerPtr(); }
    CAudioMetaData* GetMetaDataPtr() override { return m_inner->GetMetaDataPtr(); }
    bool AudioDataReadErrorOccured() override { return m_inner->AudioDataReadErrorOccured(); }
    bool IsProcessingInternally() override { return m_inner->IsProcessingInternally(); }
    void GiveInternalProcessPriority() override { m_inner->GiveInternalProcessPriority(); }
    double GetInternalProcessPercent() override { return m_inner->GetInternalProcessPercent(); }

private:
    void Record(float** bufs, uint32_t got, uint32_t dstOffset, int64_t position)
    {
        const uint16_t channels = std::min<uint16_t>(m_inner->GetNumChannels(), 2);
        float* ptrs[2] = {nullptr, nullptr};
        uint32_t done = 0;
        while (done < got)
        {
            const int64_t frame = position + done;
            const int64_t chunk = FloorDiv(frame, kChunkFrames);
            const uint32_t piece =
                static_cast<uint32_t>(std::min<int64_t>(got - done, (chunk + 1) * kChunkFrames - frame));
            for (uint16_t c = 0; c < channels; ++c)
                ptrs[c] = bufs[c] != nullptr ? bufs[c] + dstOffset + done : nullptr;
            const float m = CPcmUtil::GetMaximumAbsValueSSE(ptrs, piece, channels);
            if (chunk >= 0 && chunk < static_cast<int64_t>(m_chunkMax.size()))
            {
                float& slot = m_chunkMax[static_cast<size_t>(chunk)];
                slot = std::max(slot, m);
            }
            done += piece;
        }
    }

    CAudioPlayerInput* m_inner;
    std::vector<float> m_chunkMax;
    bool m_recording = false;
};

// A sink that keeps only what the scan needs: the largest absolute sample of
// every stretch of output frames, or of one range of output frames.
class ScanSink final : public CAudioRecorderOutput
{
public:
    ScanSink(uint32_t rate, uint16_t channels) : m_rate(rate), m_channels(std::min<uint16_t>(channels, 2)) {}

    void StartSegments()
    {
        m_segments.clear();
        m_written = 0;
        m_rangeMode = false;
    }
    // Output frames are numbered from base on; only frames from .. to - 1 count.
    void StartRange(int64_t base, int64_t from, int64_t to)
    {
        m_written = base;
        m_from = from;
        m_to = to;
        m_rangePeak = 0.0f;
        m_rangeMode = true;
    }
    const std::vector<float>& GetSegments() const { return m_segments; }
    int64_t GetFramesWritten() const { return m_written; }
    float GetRangePeak() const { return m_rangePeak; }

    void RemoveFile() override {}
    uint32_t GetSampleRate() override { return m_rate; }
    uint16_t GetNumChannels() override { return m_channels; }
    uint16_t GetBitsPerSample() override { return 32; }
    bool IsFloatingPoint() override { return true; }
    using CAudioRecorderOutput::WriteAudioData;
    uint32_t WriteAudioData(float** bufs, uint32_t n) override
    {
        if (bufs == nullptr)
            return 0;
        if (m_rangeMode)
        {
            const int64_t first = std::max(m_written, m_from);
            const int64_t last = std::min(m_written + n, m_to);
            if (last > first)
                m_rangePeak = std::max(m_rangePeak, Peak(bufs, static_cast<uint32_t>(first - m_written),
                                                         static_cast<uint32_t>(last - first)));
        }
        else
        {
            uint32_t done = 0;
            while (done < n)
            {
                const int64_t frame = m_written + done;
                const int64_t segment = frame / kSegmentFrames;
                const uint32_t piece = static_cast<uint32_t>(
                    std::min<int64_t>(n - done, (segment + 1) * kSegmentFrames - frame));
                if (static_cast<int64_t>(m_segments.size()) <= segment)
                    m_segments.resize(static_cast<size_t>(segment) + 1, 0.0f);
                float& slot = m_segments[static_cast<size_t>(segment)];
                slot = std::max(slot, Peak(bufs, done, piece));
                done += piece;
            }
        }
        m_written += n;
        return n;
    }

private:
    float Peak(float** bufs, uint32_t offset, uint32_t n) const
    {
        const float* ptrs[2] = {nullptr, nullptr};
        for (uint16_t c = 0; c < m_channels; ++c)
            ptrs[c] = bufs[c] != nullptr ? bufs[c] + offset : nullptr;
        return CPcmUtil::GetMaximumAbsValueSSE(ptrs, n, m_channels);
    }

    uint32_t m_rate;
    uint16_t m_channels;
    std::vector<float> m_segments;
    int64_t m_written = 0;
    int64_t m_from = 0;
    int64_t m_to = 0;
    float m_rangePeak = 0.0f;
    bool m_rangeMode = false;
};

// The peak-detection converter run so that its output frames fall on the
// very instants of the export converter's: its input is delayed by the
// difference of the two filters' delays, its outputs are aligned to the
// export's delay, and the same number of leading output frames is dropped.
// Output frame k of both then stands for the same moment of the song, and the
// two differ only by their filters.
class QuickConverter
{
public:
    QuickConverter(std::unique_ptr<CConverterPcmOutputDspBase> quick, const CConverterPcmOutputDspBase& exact)
        : m_quick(std::move(quick)),
          m_channels(static_cast<uint16_t>(std::max(m_quick->GetNumChannels(), 1))),
          m_input(m_channels, std::vector<float>(kBlock, 0.0f)),
          m_output(m_channels, std::vector<float>(kOutput))
    {
        const int64_t up = exact.GetOversamplingRate();
        const int64_t down = exact.GetDecimationRate();
        m_exactDelay = exact.GetDelayOffsetInputSamples();
        m_lead = std::max<int64_t>(m_exactDelay - m_quick->GetDelayOffsetInputSamples(), 0);
        m_dropped = FloorDiv(m_exactDelay * up, down);
    }

    int64_t GetExactDelay() const { return m_exactDelay; }
    uint16_t GetNumChannels() const { return m_channels; }
    static constexpr uint32_t kBlock = 2048;

    // Starts over: clears the filter and feeds the lead of silence.
    template <typename Emit>
    void Start(Emit&& emit)
    {
        m_quick->Reset();
        m_quick->AlignOutputs(static_cast<int>(m_exactDelay));
        m_produced = 0;
        FeedSilence(m_lead, emit);
    }
    // Feeds n frames of the song from frame position (at most kBlock) held in
    // Input(); the song's first frames are faded in as the export's pre-roll
    // fades them.
    template <typename Emit>
    void Feed(int64_t position, uint32_t n, Emit&& emit)
    {
        std::vector<float*> in = Pointers(m_input);
        if (position < m_exactDelay)
            CPcmUtil::FadeIn(in.data(), in.data(), n, m_channels, static_cast<uint32_t>(m_exactDelay),
                             position, 0);
        Convert(in.data(), n, emit);
    }
    // The rest of the song's output: silence until the quick filter has given
    // every frame the export gives.
    template <typename Emit>
    void Finish(Emit&& emit)
    {
        FeedSilence(m_quick->GetDelayOffsetInputSamples(), emit);
    }

    std::vector<float*> Input() { return Pointers(m_input); }

private:
    static constexpr uint32_t kOutput = 8192;

    static std::vector<float*> Pointers(std::vector<std::vector<float>>& bufs)
    {
        std::vector<float*> p;
        for (auto& b : bufs)
            p.push_back(b.data());
        return p;
    }
    template <typename Emit>
    void FeedSilence(int64_t frames, Emit&& emit)
    {
        for (auto& b : m_input)
            std::fill(b.begin(), b.end(), 0.0f);
        std::vector<float*> in = Pointers(m_input);
        while (frames > 0)
        {
            const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(frames, kBlock));
            Convert(in.data(), n, emit);
            frames -= n;
        }
    }
    template <typename Emit>
    void Convert(float** in, uint32_t n, Emit&& emit)
    {
        std::vector<float*> out = Pointers(m_output);
        const uint32_t m = m_quick->Process(in, out.data(), n);
        const int64_t first = m_produced;
        m_produced += m;
        // Frames before the export's first output frame are dropped.
        const int64_t skip = std::clamp<int64_t>(m_dropped - first, 0, m);
        if (m > skip)
        {
            for (auto& p : out)
                p += skip;
            emit(out.data(), static_cast<uint32_t>(m - skip));
        }
    }

    std::unique_ptr<CConverterPcmOutputDspBase> m_quick;
    uint16_t m_channels;
    std::vector<std::vector<float>> m_input;
    std::vector<std::vector<float>> m_output;
    int64_t m_exactDelay = 0;
    int64_t m_lead = 0;
    int64_t m_dropped = 0;
    int64_t m_produced = 0;
};

// Runs a converter over a whole mono signal from a reset, aligned as for a
// pre-roll, and returns every output frame.
std::vector<float> ConvertWhole(CConverterPcmOutputDspBase& converter, const std::vector<float>& x)
{
    std::vector<float> out;
    std::vector<float> buffer(8192);
    converter.Reset();
    converter.AlignOutputs(converter.GetDelayOffsetInputSamples());
    for (size_t i = 0; i < x.size(); i += 2048)
    {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(2048, x.size() - i));
        const float* in[1] = {x.data() + i};
        float* o[1] = {buffer.data()};
        const uint32_t m = converter.Process(in, o, n);
        out.insert(out.end(), buffer.begin(), buffer.begin() + m);
    }
    return out;
}

// The reach of the export filter: how far from an output frame's instant (in
// source frames) the source frames it depends on may lie, with room for the
// instant's fraction.
int64_t FilterReach(const CConverterPcmOutputDspBase& converter)
{
    const int64_t up = std::max(converter.GetOversamplingRate(), 1);
    const int64_t down = std::max(converter.GetDecimationRate(), 1);
    return converter.GetDelayOffsetInputSamples() + 2 * CeilDiv(down, up) + 8;
}

double MeasureErrorBound(uint32_t inRate, uint32_t outRate)
{
    std::unique_ptr<CConverterPcmOutputDspBase> exact = CreateConverterForRates(inRate, outRate, 1, false);
    std::unique_ptr<CConverterPcmOutputDspBase> twin =
        CNormalizeGainDetectPcmFsConversion::CreateConvertPeakDetector(inRate, outRate, 1);
    if (exact == nullptr || twin == nullptr)
        return -1.0;

    // Both filters see unit impulses far apart, one at every phase of the
    // conversion period; for every output phase the absolute differences of
    // the two responses are summed over all source frames.
    const int64_t up = exact->GetOversamplingRate();
    const int64_t down = exact->GetDecimationRate();
    const int64_t divisor = std::gcd(up, down);
    const int64_t periodOut = up / divisor;
    const int64_t periodIn = down / divisor;
    const int64_t reach = FilterReach(*exact);
    int64_t spacing = 2 * reach + 2 * CeilDiv(down, up) + 4;
    while (std::gcd(spacing, periodIn) != 1)
        ++spacing;
    const int64_t first = 2 * reach;
    std::vector<int64_t> impulses;
    for (int64_t i = 0; i < periodIn; ++i)
        impulses.push_back(first + i * spacing);
    std::vector<float> x(static_cast<size_t>(impulses.back() + 2 * reach), 0.0f);
    for (int64_t j : impulses)
        x[static_cast<size_t>(j)] = 1.0f;

    const std::vector<float> a = ConvertWhole(*exact, x);
    QuickConverter quick(std::move(twin), *exact);
    std::vector<float> b;
    const auto keep = [&](float** out, uint32_t m) { b.insert(b.end(), out[0], out[0] + m); };
    quick.Start(keep);
    for (size_t i = 0; i < x.size(); i += QuickConverter::kBlock)
    {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(QuickConverter::kBlock, x.size() - i));
        std::copy_n(x.begin() + static_cast<long>(i), n, quick.Input()[0]);
        // No fade: the impulses lie far beyond the song's first frames.
        quick.Feed(static_cast<int64_t>(i) + quick.GetExactDelay(), n, keep);
    }
    quick.Finish(keep);

    // Both are compared from the export's first output frame on.
    const int64_t dropped = FloorDiv(exact->GetDelayOffsetInputSamples() * up, down);
    const int64_t length = std::min<int64_t>(static_cast<int64_t>(a.size()) - dropped, b.size());
    if (length <= 0)
        return -1.0;
    std::vector<double> sums(static_cast<size_t>(periodOut), 0.0);
    for (int64_t k = 0; k < length; ++k)
        sums[static_cast<size_t>(k % periodOut)] +=
            std::fabs(static_cast<double>(a[static_cast<size_t>(k + dropped)]) - b[static_cast<size_t>(k)]);
    // A little for the rounding of float sums.
    return *std::max_element(sums.begin(), sums.end()) + 1e-4;
}
} // namespace

// ---------------------------------------------------------------------------
// Detector base

CNormalizeGainDetectProcessBase::CNormalizeGainDetectProcessBase() = default;

CNormalizeGainDetectProcessBase::~CNormalizeGainDetectProcessBase() = default;

bool CNormalizeGainDetectProcessBase::SetInputFile(CAudioPlayerInput* input, uint32_t rate)
{
    m_input = input;
    m_rate = rate;
    return input != nullptr;
}

void CNormalizeGainDetectProcessBase::WaitForFileToGetReady()
{
    if (m_input == nullptr)
        return;
    m_input->GiveInternalProcessPriority();
    while (!IsCancelled() && m_input->IsProcessingInternally())
        CThread::Sleep(CAudioFileConverterBase::kPreparePollMs);
}

void CNormalizeGainDetectProcessBase::Cancel()
{
    m_cancel.store(true, std::memory_order_release);
    if (CAudioFileConverterPcmOutput* converter = GetConverterPtr())
        converter->Cancel();
}

float CNormalizeGainDetectProcessBase::AbsPeakValueToNormalizeGaindB(float peak)
{
    if (!(peak > 0.0f))
        return 0.0f;
    return static_cast<float>(20.0 * std::log10(1.0 / static_cast<double>(peak))) - 0.25f;
}

double CNormalizeGainDetectProcessBase::Finish(int result, float peak, double gain)
{
    if (result == kNormalizeDetectMeasured)
    {
        m_peak.store(peak, std::memory_order_release);
        SetProgress(100.0);
    }
    m_result.store(result, std::memory_order_release);
    return result == kNormalizeDetectMeasured ? gain : 0.0;
}

// ---------------------------------------------------------------------------
// Plain scan

CNormalizeGainDetectPcm::CNormalizeGainDetectPcm() = default;

CNormalizeGainDetectPcm::~CNormalizeGainDetectPcm() = default;

bool CNormalizeGainDetectPcm::SetInputFile(CAudioPlayerInput* input, uint32_t rate)
{
    CNormalizeGainDetectProcessBase::SetInputFile(input, rate);
    m_converter.reset();
    m_peakSink.reset();
    if (input == nullptr)
        return false;
    const uint16_t channels = input->GetNumChannels();
    m_peakSink = std::make_unique<CPeakValueDetectVirtualFile>(rate, 32, channels);
    m_converter = std::make_unique<CAudioFileConverterPcmOutput>(channels);
    if (IsCancelled())
        m_converter->Cancel();
    return m_converter->SetAudioFiles(input, m_peakSink.get(), false);
}

bool CNormalizeGainDetectPcm::ScanWholeSong(float* peak, int* result, double progressFrom,
                                            double progressSpan)
{
    *peak = 0.0f;
    *result = kNormalizeDetectFailed;
    CAudioFileConverterPcmOutput* converter = m_converter.get();
    if (converter == nullptr || m_input == nullptr)
        return false;
    if (!converter->SetAudioFiles(m_input, m_peakSink.get(), false))
        return false;
    m_peakSink->Reset();
    if (!converter->PrepareRender(0))
        return false;
    if (!IsCancelled() && converter->PreProcess())
    {
        while (!IsCancelled() && converter->MainProcessSingleLoop() > 0)
            SetProgress(progressFrom + progressSpan * converter->GetCurPositionPercent() / 100.0);
        if (!IsCancelled() && converter->GetFailure() == kConvertDone)
            converter->PostProcess();
    }
    if (converter->GetFailure() != kConvertDone)
        return false;
    if (IsCancelled())
    {
        *result = kNormalizeDetectCancelled;
        return false;
    }
    *peak = ChannelPeak(*m_peakSink, m_input->GetNumChannels());
    *result = kNormalizeDetectMeasured;
    return true;
}

void CNormalizeGainDetectPcm::Rewind()
{
    if (m_input == nullptr)
        return;
    if (m_converter != nullptr && m_converter->SetAudioFiles(m_input, m_peakSink.get(), false))
        m_converter->PrepareRender(0);
    else
        m_input->SetCurSamplePosition(0);
}

double CNormalizeGainDetectPcm::Process()
{
    SetProgress(0.0);
    if (m_input == nullptr || m_converter == nullptr)
        return Finish(kNormalizeDetectFailed, 0.0f, 0.0);
    if (IsCancelled())
        return Finish(kNormalizeDetectCancelled, 0.0f, 0.0);
    float peak = 0.0f;
    int result = kNormalizeDetectFailed;
    ScanWholeSong(&peak, &result, 0.0, 100.0);
    Rewind();
    if (result != kNormalizeDetectMeasured)
        return Finish(result, 0.0f, 0.0);

    float gain = AbsPeakValueToNormalizeGaindB(peak);
    // A song that already peaks between the target and full scale is left
    // as it is when nothing else changes it.
    if (m_input->GetSampleRate() == m_rate &&
        m_converter->GetDynamicControlParamsPtr()->GetDcCutMode() == 0 && gain <= 0.0f &&
        gain >= GetNormalizePeakLeveldB())
        gain = 0.0f;
    return Finish(kNormalizeDetectMeasured, peak, gain);
}

// ---------------------------------------------------------------------------
// Two-pass scan

std::unique_ptr<CConverterPcmOutputDspBase>
CNormalizeGainDetectPcmFsConversion::CreateConvertPeakDetector(uint32_t inRate, uint32_t outRate,
                                                               uint16_t channels)
{
    if (inRate == outRate || CAudioFileConverterPcmOutput::GetConvertModeIndex(inRate, outRate) < 0)
        return nullptr;
    return CreateConverterForRates(inRate, outRate, channels, true);
}

double CNormalizeGainDetectPcmFsConversion::GetPeakDetectionErrorBound(uint32_t inRate, uint32_t outRate)
{
    static std::mutex lock;
    static std::map<std::pair<uint32_t, uint32_t>, double> bounds;
    std::lock_guard<std::mutex> guard(lock);
    const auto key = std::make_pair(inRate, outRate);
    if (const auto it = bounds.find(key); it != bounds.end())
        return it->second;
    const double bound = MeasureErrorBound(inRate, outRate);
    bounds[key] = bound;
    return bound;
}

double CNormalizeGainDetectPcmFsConversion::Process()
{
    SetProgress(0.0);
    m_stretches = 0;
    m_measuredStretches = 0;
    if (m_input == nullptr || m_converter == nullptr)
        return Finish(kNormalizeDetectFailed, 0.0f, 0.0);
    if (IsCancelled())
        return Finish(kNormalizeDetectCancelled, 0.0f, 0.0);
    float peak = 0.0f;
    int result = kNormalizeDetectFailed;
    ScanTwoPass(&peak, &result);
    if (result == kRenderOnce)
        ScanWholeSong(&peak, &result, 0.0, 100.0);
    Rewind();
    if (result != kNormalizeDetectMeasured)
        return Finish(result, 0.0f, 0.0);
    return Finish(kNormalizeDetectMeasured, peak, AbsPeakValueToNormalizeGaindB(peak));
}

bool CNormalizeGainDetectPcmFsConversion::ScanTwoPass(float* peak, int* result)
{
    *peak = 0.0f;
    *result = kRenderOnce;
    CAudioFileConverterPcmOutput* converter = m_converter.get();
    CDynamicControlParams* controls = converter->GetDynamicControlParamsPtr();
    const uint32_t inRate = m_input->GetSampleRate();
    const uint16_t channels = m_input->GetNumChannels();
    const int64_t songFrames = m_input->GetNumSamples();
    // The DC filter's output depends on the whole song before a frame, and a
    // source that is not lossless may not give the same frames after a seek:
    // both are rendered exactly once.
    if (!m_input->IsLossless() || controls->GetDcCutMode() != 0 || converter->GetConverter() == nullptr)
        return false;
    const double bound = GetPeakDetectionErrorBound(inRate, m_rate);
    std::unique_ptr<CConverterPcmOutputDspBase> twin = CreateConvertPeakDetector(inRate, m_rate, channels);
    if (bound < 0.0 || twin == nullptr)
        return false;

    const CConverterPcmOutputDspBase& exact = *converter->GetConverter();
    const int64_t up = exact.GetOversamplingRate();
    const int64_t down = exact.GetDecimationRate();
    const int64_t delay = exact.GetDelayOffsetInputSamples();
    const int64_t reach = FilterReach(exact);
    if (songFrames < 16 * (reach + CeilDiv(kSegmentFrames * down, up)))
        return false;

    ObservedInput observed(m_input);
    ScanSink sink(m_rate, channels);
    const auto stop = [&](int why)
    {
        *result = why;
        converter->SetAudioFiles(m_input, m_peakSink.get(), false);
        return false;
    };

    // Quick pass over the whole song, on the export's output instants. The
    // song's controls are left out: gain and balance scale the bound below,
    // and the fades only ever lower a frame.
    QuickConverter quick(std::move(twin), exact);
    const auto record = [&](float** out, uint32_t m) { sink.WriteAudioData(out, m); };
    sink.StartSegments();
    observed.StartRecording(songFrames);
    observed.SetCurSamplePosition(0);
    quick.Start(record);
    int64_t position = 0;
    while (!IsCancelled())
    {
        std::vector<float*> in = quick.Input();
        const uint32_t got = observed.ReadAudioData(in.data(), QuickConverter::kBlock, 0);
        if (observed.AudioDataReadErrorOccured() || (got == 0 && position < songFrames))
            return stop(kNormalizeDetectFailed);
        if (got == 0)
            break;
        quick.Feed(position, got, record);
        position += got;
        SetProgress(kQuickPassShare * static_cast<double>(position) / static_cast<double>(songFrames));
    }
    observed.StopRecording();
    if (IsCancelled())
        return stop(kNormalizeDetectCancelled);
    quick.Finish(record);

    // The most every stretch's exact peak can be.
    const std::vector<float> quickPeaks = sink.GetSegments();
    const int64_t outputFrames = sink.GetFramesWritten();
    const int64_t segments = std::max<int64_t>(CeilDiv(outputFrames, kSegmentFrames), 1);
    const double gain = std::fabs(CDataUtil::DBToAmplitude(controls->GetGaindB()));
    const double panGain = channels == 2 && controls->GetPan() != 0.0f ? std::sqrt(2.0) : 1.0;
    std::vector<double> limit(static_cast<size_t>(segments));
    for (int64_t s = 0; s < segments; ++s)
    {
        const int64_t firstOut = s * kSegmentFrames;
        const int64_t lastOut = std::min(firstOut + kSegmentFrames, outputFrames);
        const double quickPeak = s < static_cast<int64_t>(quickPeaks.size()) ? quickPeaks[size_t(s)] : 0.0;
        const double reachPeak =
            observed.MaxOver(FloorDiv(firstOut * down, up) - reach, CeilDiv(lastOut * down, up) + reach);
        limit[size_t(s)] = gain * panGain * (quickPeak + bound * reachPeak) * (1.0 + 1e-5) + 1e-7;
    }

    // Exact measurement of the output frames of stretches first .. last.
    if (!converter->SetAudioFiles(&observed, &sink, false))
        return stop(kNormalizeDetectFailed);
    std::vector<bool> measured(static_cast<size_t>(segments), false);
    float best = 0.0f;
    const auto measure = [&](int64_t first, int64_t last)
    {
        const bool toEnd = last + 1 >= segments;
        const int64_t firstOut = first * kSegmentFrames;
        // The last stretch takes whatever the export gives beyond the quick
        // pass's count.
        const int64_t lastOut = toEnd ? std::numeric_limits<int64_t>::max() / 4 : (last + 1) * kSegmentFrames;
        // Start early enough that the window's own faded pre-roll lies outside
        // the reach of the frames measured, on the conversion period.
        const int64_t start =
            std::max<int64_t>(FloorDiv(FloorDiv(firstOut * down, up) - reach - delay, down), 0) * down;
        const int64_t end =
            toEnd ? std::numeric_limits<int64_t>::max() : CeilDiv(lastOut * down, up) + delay + reach;
        sink.StartRange(start / down * up, firstOut, lastOut);
        if (!converter->PrepareRender(start) || !converter->PreProcess())
            return false;
        bool ended = false;
        while (!IsCancelled() && observed.GetCurSamplePosition() < end)
        {
            if (converter->MainProcessSingleLoop() == 0)
            {
                ended = true;
                break;
            }
        }
        if (converter->GetFailure() != kConvertDone || IsCancelled())
            return false;
        if (ended && !converter->PostProcess())
            return false;
        best = std::max(best, sink.GetRangePeak());
        for (int64_t s = first; s <= last; ++s)
            measured[size_t(s)] = true;
        return true;
    };

    // The quick pass's loudest stretch first, then every stretch that could
    // still be louder than the loudest measured, the most promising first;
    // neighbours are measured together.
    std::vector<int64_t> order(static_cast<size_t>(segments));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](int64_t a, int64_t b)
              {
                  const double qa = a < static_cast<int64_t>(quickPeaks.size()) ? quickPeaks[size_t(a)] : 0.0;
                  const double qb = b < static_cast<int64_t>(quickPeaks.size()) ? quickPeaks[size_t(b)] : 0.0;
                  return qa > qb;
              });
    bool ok = measure(order[0], order[0]);
    std::sort(order.begin(), order.end(),
              [&](int64_t a, int64_t b) { return limit[size_t(a)] > limit[size_t(b)]; });
    const size_t candidates = static_cast<size_t>(
        std::count_if(limit.begin(), limit.end(), [&](double v) { return v > static_cast<double>(best); }));
    size_t done = 0;
    for (size_t i = 0; ok && i < order.size(); ++i)
    {
        const int64_t s = order[i];
        if (limit[size_t(s)] <= static_cast<double>(best))
            break;
        if (measured[size_t(s)])
            continue;
        int64_t first = s;
        int64_t last = s;
        while (first > 0 && !measured[size_t(first - 1)] && limit[size_t(first - 1)] > best)
            --first;
        while (last + 1 < segments && !measured[size_t(last + 1)] && limit[size_t(last + 1)] > best)
            ++last;
        ok = measure(first, last);
        done += static_cast<size_t>(last - first + 1);
        if (candidates > 0)
            SetProgress(kQuickPassShare +
                        (100.0 - kQuickPassShare) * std::min(1.0, static_cast<double>(done) / candidates));
    }
    m_measuredStretches = static_cast<size_t>(std::count(measured.begin(), measured.end(), true));
    m_stretches = static_cast<size_t>(segments);

    if (!ok)
        return stop(IsCancelled() ? kNormalizeDetectCancelled : kNormalizeDetectFailed);
    converter->SetAudioFiles(m_input, m_peakSink.get(), false);
    *peak = best;
    *result = kNormalizeDetectMeasured;
    return true;
}

// ---------------------------------------------------------------------------
// Facade

CNormalizeGainDetect::CNormalizeGainDetect() = default;

CNormalizeGainDetect::~CNormalizeGainDetect() = default;

bool CNormalizeGainDetect::SetInputFile(CAudioPlayerInput* input, uint32_t outRate)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_detector.reset();
    }
    if (input == nullptr)
        return false;
    const uint32_t inRate = input->GetSampleRate();
    if (inRate >= kOneBitRate)
        return false;

    std::unique_ptr<CNormalizeGainDetectProcessBase> detector;
    uint32_t rate = outRate;
    if (outRate == inRate)
        detector = std::make_unique<CNormalizeGainDetectPcm>();
    else if (outRate >= kOneBitRate)
    {
        detector = std::make_unique<CNormalizeGainDetectPcm>();
        rate = inRate;
    }
    else if (input->IsVBR())
        detector = std::make_unique<CNormalizeGainDetectPcm>();
    else
        detector = std::make_unique<CNormalizeGainDetectPcmFsConversion>();

    if (m_cancelled.load(std::memory_order_acquire))
        detector->Cancel();
    const bool ok = detector->SetInputFile(input, rate);
    std::lock_guard<std::mutex> guard(m_lock);
    m_detector = std::move(detector);
    // A cancel that came while the detector was being made.
    if (m_cancelled.load(std::memory_order_acquire))
        m_detector->Cancel();
    return ok;
}

double CNormalizeGainDetect::StartDetection()
{
    CNormalizeGainDetectProcessBase* detector;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        detector = m_detector.get();
    }
    if (detector == nullptr)
    {
        m_result.store(kNormalizeDetectFailed, std::memory_order_release);
        return 0.0;
    }
    if (m_cancelled.load(std::memory_order_acquire))
    {
        m_result.store(kNormalizeDetectCancelled, std::memory_order_release);
        return 0.0;
    }
    detector->WaitForFileToGetReady();
    const double gain = detector->Process();
    m_result.store(detector->GetResult(), std::memory_order_release);
    m_peak.store(detector->GetPeakValue(), std::memory_order_release);
    return gain;
}

void CNormalizeGainDetect::Cancel()
{
    m_cancelled.store(true, std::memory_order_release);
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_detector != nullptr)
        m_detector->Cancel();
}

void CNormalizeGainDetect::ClearCancel()
{
    m_cancelled.store(false, std::memory_order_release);
}

double CNormalizeGainDetect::GetProgressPercent() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_detector != nullptr ? m_detector->GetProgressPercent() : 0.0;
}

CAudioFileConverterPcmOutput* CNormalizeGainDetect::GetConverterPtr()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_detector != nullptr ? m_detector->GetConverterPtr() : nullptr;
}
