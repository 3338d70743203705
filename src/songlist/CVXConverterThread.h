#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class CAudioDiscBurnBase;
class CAudioFileConverterPcmOutput;
class CSongRead;
class CSongWrite;
class CVXHost;
namespace Vextal
{
class ConverterSongOutput;
class TrackInfo;
} // namespace Vextal

// The worker "Converter" that renders songs of the songlist one after
// another, into audio files (file export) or into the disc burner as tracks
// (disc burn). An export session builds it with a parameter set, starts it,
// polls its progress, levels and time, may pause, resume or cancel it, and
// reads the failed songs once it has finished.
//
// Per song it opens the song through a song stream, hands the song's
// information and controls to the export converter, makes the output (a song
// writer, or a new burner track) and runs the conversion. Songs that may be
// joined without a gap (no gap between songs, records that continue each
// other, an output that can) are chained: the converter's filter state runs
// on from one song into the next, and the output of a song stays open until
// the converter has written its last frames, which the following songs'
// input delivers.
//
// Failures. A song that is missing from the songlist or whose files are not
// present, that does not open, whose output cannot be made, whose read or
// write fails or whose output cannot be put in place is a failed song: it is
// listed in getErrorSongs, its partial output is removed and no further song
// starts. A cancel removes the output of the song being rendered (and of an
// earlier song still owed its last frames); songs already done stay. Before
// anything is written, songs whose file names collide (also in letter case)
// are failed together. Whatever happens, the run ends with hasFinished true.
//
// Threads. run() and everything it calls run on this thread. Reading the
// songlist (the targets, the file-name check and a copy of each song's
// record) and telling the host the exported song happen under the
// message-manager lock, taken with this thread as the one to check: a
// request to exit (the destructor) abandons a wait for it, so deleting the
// thread from the message thread, or while the message thread is blocked,
// never deadlocks. Opening the song's files and the output, binding the
// converter and the conversion itself run without that lock, on the copy, so
// an edit or a deletion of the record meanwhile does not reach them. pause,
// resume, cancel and the queries may come from any thread; they touch only
// the converter's and this object's atomic state.
//
// Locks. The failed songs are guarded by a lock of their own (written here,
// read by the session).
class CVXConverterThread : public juce::Thread
{
public:
    struct ParameterSet
    {
        // Indices into the host's songlist, rendered in ascending order.
        juce::SparseSet<int> songs;
        // Hz: 44100, 48000, 88200 or 96000.
        int32_t outputSampleRate = 44100;
        // Seconds; songs are joined without a gap only when both are 0.
        float gapBetweenSongs = 0.0f;
        float secondGap = 0.0f;
        // Borrowed; null for a file export. When set, songs become tracks.
        CAudioDiscBurnBase* discBurner = nullptr;
        juce::File outputFolder;
        // A writer format id ("wav", "aiff", "aac").
        juce::String formatId;
        // 0 every channel into a mono file of its own, 1 one stereo file.
        int32_t channelMode = 1;
        int32_t bitsPerSample = 16;
        int32_t dsdOutbandFilterType = 0;
        // eOutputProcessType: 0 none, 1 TPDF dither, 2 noise-shaped dither.
        int32_t ditherType = 0;
        // The song writer's quality (the bit rate of compressed formats).
        int32_t quality = 0;
    };

    // Output rates from this one up have no converter: no song renders.
    static constexpr int32_t kFirstRateWithoutConverter = 2822400;
    // How long the destructor waits for a running thread before it reports
    // it (and waits on).
    static constexpr int kStopWaitMs = 1000;

    // Over the application's host.
    explicit CVXConverterThread(const ParameterSet& params);
    // Over the given host, which outlives the thread.
    CVXConverterThread(const ParameterSet& params, CVXHost* host);
    // A running thread is cancelled and waited for (never killed); one that
    // does not stop within kStopWaitMs is reported.
    ~CVXConverterThread() override;

    void run() override;

    // The converter's levels (two channels) and clip state.
    void getLeveldB(float* levels, int* clipState) const;
    // The time within the song being rendered.
    void getCurTime(int* hours, int* minutes, float* seconds) const;
    // The position within the song being rendered, 0 to 100.
    double getCurPositionPercent() const;
    // The seconds of the finished songs and the time within the song being
    // rendered over the seconds of all target songs, 0 to 100; 0 when they
    // last 0 seconds.
    double getProgressPercent() const;
    bool isDirectProcessMode() const;
    void pause();
    void resume();
    // Stops the conversion at its next block; no further song starts.
    void cancel();
    bool hasFinished() const { return m_finished.load(std::memory_order_acquire); }
    // Called on this thread once the run has ended and hasFinished is true,
    // so that whoever polls the thread need not wait for its next look. Set
    // before the thread starts.
    std::function<void()> onFinished;
    // The songlist indices of the failed songs.
    juce::SparseSet<int> getErrorSongs() const;

protected:
    // The writer of a song's file or files in the output folder, named by the
    // song name (made safe); opened tells whether its files were created.
    // Null for an unknown channel mode.
    virtual std::unique_ptr<CSongWrite> createOutput(const Vextal::TrackInfo& song, bool& opened);
    // Asks a running thread to stop and waits for it; a subclass calls it in
    // its destructor before its own members go.
    void stopAndWait();

private:
    // What the run knows of one target song.
    struct Target
    {
        int index;
        double seconds;
    };

    void RenderSongs();
    void EndRun();
    // Runs a step; whatever it throws fails the song being rendered and
    // discards every open output.
    template <typename Step>
    void Guarded(Step&& step);
    void Abandon();
    bool ShouldStop() const;
    bool GaplessAllowed() const;

    // Under the message-manager lock: the targets, their seconds and the
    // file-name check. False when nothing is to be rendered.
    bool Prepare();
    bool CheckFileNames();
    void convertSong(int i);
    // What binding a song needs of the songlist, copied under the
    // message-manager lock.
    struct SongSnapshot
    {
        // A copy of the record, its normalization included.
        std::unique_ptr<Vextal::TrackInfo> song;
        bool connectsToNext = false;
        bool connectedFromPrevious = false;
        bool isLast = false;
    };
    // Under the message-manager lock: the target song's snapshot. False when
    // the song failed (missing or not present) or the lock was abandoned.
    bool TakeSnapshot(size_t i, SongSnapshot& snapshot);
    // Output, song, controls and binding from the snapshot, without the
    // message-manager lock; then the host's exported song under it. False
    // when the song failed or the run stops.
    bool BindSong(size_t i);
    std::unique_ptr<Vextal::ConverterSongOutput> MakeOutput(const SongSnapshot& snapshot, size_t i);
    std::unique_ptr<Vextal::ConverterSongOutput> MakeBurnerTrack(const SongSnapshot& snapshot, size_t i);
    Vextal::TrackInfo* TargetSong(size_t i) const;
    void RenderBoundSong(size_t target);
    void ActOnResult(int result, size_t target);

    // The outputs the converter owes frames to.
    std::vector<Vextal::ConverterSongOutput*> OwedOutputs() const;
    // Completes the outputs the converter no longer writes to (all with
    // everything), failing the songs whose output cannot be put in place.
    void CompleteOutputs(bool everything);
    // Moves an open output to the retired ones.
    void Retire(Vextal::ConverterSongOutput* output);
    void DiscardOutput(Vextal::ConverterSongOutput* output);
    void DiscardOutputs(const std::vector<Vextal::ConverterSongOutput*>& outputs);
    void DiscardAllOutputs();
    void CountDoneSeconds();
    // Lists the song as failed and stops the run; always false.
    bool FailSong(int index);
    void FailOutputs(const std::vector<Vextal::ConverterSongOutput*>& outputs);
    // Tells the host the exported song, under the message-manager lock.
    void SetHostSong(int index);

    const ParameterSet m_params;
    CVXHost* const m_host;
    std::unique_ptr<CAudioFileConverterPcmOutput> m_converter;
    std::unique_ptr<CSongRead> m_songReader;
    // The copy of the record of the song the reader has open.
    std::unique_ptr<Vextal::TrackInfo> m_boundSong;

    std::vector<Target> m_targets;
    // The outputs still open, oldest first; the last is the bound song's
    // unless it was completed or discarded.
    std::vector<std::unique_ptr<Vextal::ConverterSongOutput>> m_outputs;
    // Outputs completed or discarded, kept until the converter is bound
    // anew or ejected, so that no sink it may still name goes away.
    std::vector<std::unique_ptr<Vextal::ConverterSongOutput>> m_retired;
    Vextal::ConverterSongOutput* m_boundOutput = nullptr;
    // The outputs owed frames when the bound song was bound: those an
    // earlier song's failure reported by Process concerns.
    std::vector<Vextal::ConverterSongOutput*> m_owedAtBind;
    // The songlist index of the song being bound or rendered; -1 none.
    int m_songInProgress = -1;
    // The seconds of the song rendered last, counted as done once the
    // converter has moved on from it.
    double m_secondsToCount = 0.0;

    mutable std::mutex m_failedLock;
    juce::SparseSet<int> m_failed;
    std::atomic<bool> m_cancelled{false};
    // A song failed: no further song starts.
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_finished{false};
    std::atomic<double> m_totalSeconds{0.0};
    std::atomic<double> m_doneSeconds{0.0};
};
