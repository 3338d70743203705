#pragma once

#include "common/dsp/CAudioFileConverterPcmOutput.h"
#include "common/file/CAudioPlayerInput.h"
#include "common/file/CPeakValueDetectVirtualFile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// How the last scan ended.
enum eNormalizeDetectResult : int32_t
{
    // The peak was measured; the gain stands (0.0 means no change is needed).
    kNormalizeDetectMeasured = 0,
    // Cancel came before or during the scan; the gain 0.0 means nothing.
    kNormalizeDetectCancelled = 1,
    // No scan: no source, no converter for the rates, or the source could not
    // be read to its end.
    kNormalizeDetectFailed = 2,
};

// One measurement of a song's normalization gain: the song is rendered through
// the export converter (with the song's controls, at the output rate) into a
// sink that keeps only peaks, and the gain brings the highest peak to
// GetNormalizePeakLeveldB().
//
// Process runs on the calling thread; Cancel, GetProgressPercent and the
// result may be read from other threads. Cancel is sticky: a detector once
// cancelled stays cancelled.
class CNormalizeGainDetectProcessBase
{
public:
    CNormalizeGainDetectProcessBase();
    virtual ~CNormalizeGainDetectProcessBase();

    CNormalizeGainDetectProcessBase(const CNormalizeGainDetectProcessBase&) = delete;
    CNormalizeGainDetectProcessBase& operator=(const CNormalizeGainDetectProcessBase&) = delete;

    // Stores the source and the rate the peak is measured at; false for a
    // null source.
    virtual bool SetInputFile(CAudioPlayerInput* input, uint32_t rate);
    // The gain in dB; 0.0 when cancelled or failed (GetResult tells).
    virtual double Process() = 0;
    // The export converter the scan renders through; its controls are the
    // song's (GetDynamicControlParamsPtr).
    virtual CAudioFileConverterPcmOutput* GetConverterPtr() = 0;

    // Asks the source to hurry its preparation and waits (polling every
    // 500 ms) until it is done or the detector is cancelled.
    void WaitForFileToGetReady();
    void Cancel();
    bool IsCancelled() const { return m_cancel.load(std::memory_order_acquire); }
    double GetProgressPercent() const { return m_progress.load(std::memory_order_acquire); }
    // eNormalizeDetectResult of the last scan (kNormalizeDetectFailed before
    // any).
    int GetResult() const { return m_result.load(std::memory_order_acquire); }
    // The absolute peak found by the last scan that measured.
    float GetPeakValue() const { return m_peak.load(std::memory_order_acquire); }
    uint32_t GetRate() const { return m_rate; }

    // The level the gain brings the peak to: -0.25 dBFS.
    static float GetNormalizePeakLeveldB() { return -0.25f; }
    // 20 log10(1 / peak) - 0.25; 0.0 for a peak of 0 or below.
    static float AbsPeakValueToNormalizeGaindB(float peak);

protected:
    // Ends a scan: the result, the peak and the progress.
    double Finish(int result, float peak, double gain);
    void SetProgress(double percent)
    {
        m_progress.store(static_cast<float>(percent), std::memory_order_release);
    }

    CAudioPlayerInput* m_input = nullptr;
    uint32_t m_rate = 44100;

private:
    std::atomic<bool> m_cancel{false};
    std::atomic<float> m_progress{0.0f};
    std::atomic<int> m_result{kNormalizeDetectFailed};
    std::atomic<float> m_peak{0.0f};
};

// The whole song rendered once with the export converter at the detector's
// rate (pre-roll and tail included, so every output frame of the export is
// measured).
class CNormalizeGainDetectPcm : public CNormalizeGainDetectProcessBase
{
public:
    CNormalizeGainDetectPcm();
    ~CNormalizeGainDetectPcm() override;

    // Makes the converter and the peak sink (rate, 32 bits, the source's
    // channels) and binds them; false when there is no converter for the
    // source's rate and this one.
    bool SetInputFile(CAudioPlayerInput* input, uint32_t rate) override;
    double Process() override;
    CAudioFileConverterPcmOutput* GetConverterPtr() override { return m_converter.get(); }

protected:
    // Renders the whole song into the peak sink; progress runs from
    // progressFrom over progressSpan percent. False when cancelled or failed
    // (*result tells).
    bool ScanWholeSong(float* peak, int* result, double progressFrom, double progressSpan);
    // Seeks the source back to its start and the controls with it.
    void Rewind();

    std::unique_ptr<CAudioFileConverterPcmOutput> m_converter;
    std::unique_ptr<CPeakValueDetectVirtualFile> m_peakSink;
};

// Measurement across a rate conversion. The song is rendered once with the
// export filter, so the peak is the export's own. A quick pass with the short
// peak-detection filter followed by exact measurements of the stretches it
// cannot rule out costs more than this one render whenever much of the song
// comes near its peak (a second read of the source and a second filter), so
// it is not used; the peak-detection converter stays available to compare.
class CNormalizeGainDetectPcmFsConversion : public CNormalizeGainDetectPcm
{
public:
    // The peak-detection converter for a pair of different rates; null for
    // equal rates and unsupported ones.
    static std::unique_ptr<CConverterPcmOutputDspBase>
    CreateConvertPeakDetector(uint32_t inRate, uint32_t outRate, uint16_t channels);
};

// The normalization scan of one song at a time, with the detector chosen by
// the song's and the output's rates.
//
// The caller sets the song (SetInputFile), copies its controls onto the
// detector's converter (GetConverterPtr()->GetDynamicControlParamsPtr()),
// and runs StartDetection. Cancel may come from another thread at any time
// and is sticky: every later scan returns at once, cancelled, until
// ClearCancel.
class CNormalizeGainDetect
{
public:
    CNormalizeGainDetect();
    virtual ~CNormalizeGainDetect();

    CNormalizeGainDetect(const CNormalizeGainDetect&) = delete;
    CNormalizeGainDetect& operator=(const CNormalizeGainDetect&) = delete;

    // Chooses the detector for the source and the output rate; false (and
    // no detector) for a null source, a 1-bit rate or no converter.
    bool SetInputFile(CAudioPlayerInput* input, uint32_t outRate);
    // Runs the scan: the gain in dB, 0.0 without a detector, when cancelled
    // or when the source could not be read (GetDetectionResult tells these
    // apart from a song that needs no change).
    double StartDetection();
    void Cancel();
    void ClearCancel();
    double GetProgressPercent() const;
    // eNormalizeDetectResult of the last StartDetection.
    int GetDetectionResult() const { return m_result.load(std::memory_order_acquire); }
    // The absolute peak the last measuring scan found.
    float GetDetectedPeak() const { return m_peak.load(std::memory_order_acquire); }
    CAudioFileConverterPcmOutput* GetConverterPtr();
    // The detector chosen (null without one).
    CNormalizeGainDetectProcessBase* GetDetector() { return m_detector.get(); }

    // Rates from here on are 1-bit audio.
    static constexpr uint32_t kOneBitRate = 2822400;

private:
    mutable std::mutex m_lock; // guards the detector against Cancel and progress queries
    std::unique_ptr<CNormalizeGainDetectProcessBase> m_detector;
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_result{kNormalizeDetectFailed};
    std::atomic<float> m_peak{0.0f};
};
