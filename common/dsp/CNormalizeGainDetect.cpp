#include "common/dsp/CNormalizeGainDetect.h"

#include "common/dsp/CThread.h"
#include "common/dsp/ConverterSet/CConverterSet.h"

#include <algorithm>
#include <cmath>

namespace
{
// How often the scan looks whether its source has finished work of its own
// before the scan starts.
constexpr int kInputReadyPollMs = 500;

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
        CThread::Sleep(kInputReadyPollMs);
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
// Across a rate conversion

std::unique_ptr<CConverterPcmOutputDspBase>
CNormalizeGainDetectPcmFsConversion::CreateConvertPeakDetector(uint32_t inRate, uint32_t outRate,
                                                               uint16_t channels)
{
    if (inRate == outRate || CAudioFileConverterPcmOutput::GetConvertModeIndex(inRate, outRate) < 0)
        return nullptr;
    return CreateConverterForRates(inRate, outRate, channels, true);
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
