#include "src/songlist/Output/NormalizeGainDetectThread.h"

#include "common/dsp/CNormalizeGainDetect.h"
#include "common/file/CSongRead.h"
#include "library/util/CCheckUtil.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"

#include <juce_events/juce_events.h>

namespace Vextal
{
namespace
{
// How long the destructor waits for a running thread before it reports it
// (and waits on).
constexpr int kStopWaitMs = 1000;
} // namespace

NormalizeGainDetectThread::NormalizeGainDetectThread(const juce::SparseSet<int>& songs,
                                                     uint32_t outputSampleRate, int dsdFilter, bool all,
                                                     CVXHost* host)
    : juce::Thread("Normalize Gain Detect"), m_songs(songs), m_outputSampleRate(outputSampleRate),
      m_dsdFilter(dsdFilter), m_all(all), m_host(host != nullptr ? host : CVXHost::GetInstance()),
      m_detector(std::make_unique<CNormalizeGainDetect>())
{
}

NormalizeGainDetectThread::~NormalizeGainDetectThread()
{
    if (!isThreadRunning())
        return;
    cancel();
    if (!waitForThreadToExit(kStopWaitMs))
    {
        CCheckUtil::ReportFailure(__FILE__, __LINE__);
        waitForThreadToExit(-1);
    }
}

bool NormalizeGainDetectThread::start()
{
    m_finished.store(false, std::memory_order_release);
    startThread();
    return true;
}

void NormalizeGainDetectThread::cancel()
{
    // Also abandons a wait for the message-manager lock.
    signalThreadShouldExit();
    m_detector->Cancel();
}

double NormalizeGainDetectThread::getProgressPercent() const
{
    return m_detector->GetProgressPercent();
}

float NormalizeGainDetectThread::getResult(int position) const
{
    const std::lock_guard<std::mutex> lock(m_resultLock);
    return m_results[position]; // 0 outside the array
}

int NormalizeGainDetectThread::getNumResults() const
{
    const std::lock_guard<std::mutex> lock(m_resultLock);
    return m_results.size();
}

juce::SparseSet<int> NormalizeGainDetectThread::getFailedSongs() const
{
    const std::lock_guard<std::mutex> lock(m_resultLock);
    return m_failed;
}

void NormalizeGainDetectThread::run()
{
    {
        const std::lock_guard<std::mutex> lock(m_resultLock);
        m_results.clearQuick();
        m_failed.clear();
    }
    m_currentSong.store(0, std::memory_order_release);
    bool haveSmallest = false;
    float smallest = 0.0f;
    for (int position = 0; position < m_songs.size() && !threadShouldExit(); ++position)
    {
        m_currentSong.store(position, std::memory_order_release);
        const int index = m_songs[position];
        const float gain = static_cast<float>(MeasureSong(index));
        const bool failed = getFailedSongs().contains(index);
        if (!failed && (!haveSmallest || gain < smallest))
        {
            smallest = gain;
            haveSmallest = true;
        }
        const std::lock_guard<std::mutex> lock(m_resultLock);
        m_results.add(gain);
    }
    if (m_all)
    {
        const std::lock_guard<std::mutex> lock(m_resultLock);
        m_results.fill(smallest);
    }
    m_finished.store(true, std::memory_order_release);
    if (onFinished != nullptr)
        onFinished();
}

std::unique_ptr<TrackInfo> NormalizeGainDetectThread::CopyRecord(int index, bool& exiting)
{
    exiting = false;
    const juce::MessageManagerLock lock(this);
    if (!lock.lockWasGained())
    {
        exiting = true;
        return nullptr;
    }
    const TrackInfo* song = m_host != nullptr ? m_host->GetSong(index) : nullptr;
    if (song == nullptr || !song->isPresent())
        return nullptr;
    return std::make_unique<TrackInfo>(*song);
}

double NormalizeGainDetectThread::MeasureSong(int index)
{
    bool exiting = false;
    // A copy of its own: the record may be edited or deleted while the song
    // opens and is scanned, without the message-manager lock.
    const std::unique_ptr<TrackInfo> song = CopyRecord(index, exiting);
    if (exiting)
        return 0.0;
    CSongRead reader;
    if (song == nullptr || !reader.OpenSong(song->getSong(), false))
    {
        FailSong(index);
        return 0.0;
    }
    // A 1-bit source has no detector: it keeps its gain (0 dB).
    if (!m_detector->SetInputFile(&reader, m_outputSampleRate))
        return 0.0;
    CAudioFileConverterPcmOutput* converter = m_detector->GetConverterPtr();
    if (converter != nullptr)
    {
        song->copyControlsTo(converter->GetDynamicControlParamsPtr(), false);
        converter->SetDsdOutbandFilterType(m_dsdFilter);
    }
    const double gain = m_detector->StartDetection();
    if (m_detector->GetDetectionResult() == kNormalizeDetectFailed)
        FailSong(index);
    // The detector keeps the reader until its next song: let it go first.
    m_detector->SetInputFile(nullptr, m_outputSampleRate);
    reader.EjectAllFiles();
    return gain;
}

void NormalizeGainDetectThread::FailSong(int index)
{
    const std::lock_guard<std::mutex> lock(m_resultLock);
    m_failed.addRange({index, index + 1});
}
} // namespace Vextal
