#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class CNormalizeGainDetect;
class CVXHost;

namespace Vextal
{
class TrackInfo;

// The worker "Normalize Gain Detect": measures, song by song, the gain that
// brings each song to full scale as the export will render it (the song's
// own gain, fades, DC cut and balance applied, at the output rate). With
// all set, every song gets the smallest gain measured, so that the whole
// set is raised by what its loudest song allows.
//
// A song that cannot be read (no record, files missing, the song does not
// open, or the scan cannot read it to its end) gets 0 dB and is listed in
// getFailedSongs, so that the session reports it instead of exporting it
// with a gain nobody measured. Failed songs take no part in the smallest
// gain.
//
// Threads. run() measures on this thread. Copying a song's record happens
// under the message-manager lock (taken with this thread as the one to
// check, so a request to exit abandons the wait); opening the song from the
// copy and the scan run without it. cancel, hasFinished, getCurrentSong and getProgressPercent
// may be called from any thread; the results are read once hasFinished is
// true. Locks. The results and failed songs are guarded by a lock of their
// own; the position and the finished flag are atomic.
class NormalizeGainDetectThread : public juce::Thread
{
public:
    // songs: indices of the host's songlist; outputSampleRate the rate the
    // songs will be rendered at; dsdFilter the 1-bit out-of-band filter
    // type. Over the application's host when host is null.
    NormalizeGainDetectThread(const juce::SparseSet<int>& songs, uint32_t outputSampleRate, int dsdFilter,
                              bool all, CVXHost* host = nullptr);
    // A running thread is cancelled and waited for (never killed).
    ~NormalizeGainDetectThread() override;

    // Clears the finished flag and starts the thread; always true.
    bool start();
    // Stops the measurement: the song being scanned stops at its next
    // block and no further song starts; the thread then finishes with the
    // results it has.
    void cancel();
    bool hasFinished() const { return m_finished.load(std::memory_order_acquire); }
    // Called on this thread once the measurement has ended and hasFinished
    // is true. Set before start().
    std::function<void()> onFinished;
    // The position in the songs being measured (0-based).
    int getCurrentSong() const { return m_currentSong.load(std::memory_order_acquire); }
    // The progress of the song being measured, 0 to 100.
    double getProgressPercent() const;
    // The gain in dB for a position of the songs; 0 for a position not
    // measured (after a cancel). Read once hasFinished is true.
    float getResult(int position) const;
    int getNumResults() const;
    // The songlist indices of the songs that could not be read.
    juce::SparseSet<int> getFailedSongs() const;

    void run() override;

private:
    // One song's gain; fails the song and gives 0 when it cannot be read.
    double MeasureSong(int index);
    // Under the message-manager lock: a copy of the song's record; null when
    // there is no such song, its files are not present or the lock was
    // abandoned (exiting is then set).
    std::unique_ptr<TrackInfo> CopyRecord(int index, bool& exiting);
    void FailSong(int index);

    const juce::SparseSet<int> m_songs;
    const uint32_t m_outputSampleRate;
    const int m_dsdFilter;
    const bool m_all;
    CVXHost* const m_host;
    const std::unique_ptr<CNormalizeGainDetect> m_detector;

    mutable std::mutex m_resultLock;
    juce::Array<float> m_results;
    juce::SparseSet<int> m_failed;
    std::atomic<int> m_currentSong{0};
    std::atomic<bool> m_finished{false};
};
} // namespace Vextal
