#pragma once

#include "library/vextal_juce/CZJEListenerOwner.h"

#include <juce_core/juce_core.h>

#include <cstdint>

namespace Vextal
{
class ExportSession;

// The notices of an export session (a file export, a disc burn, a disc
// erase). Message keys are pointers to string constants of static storage
// duration: a receiver may keep them. The receiver localizes a key and puts
// the first argument in place of "%1". Song sets hold indices of the host's
// songlist.
class ExportSessionListener
{
public:
    virtual ~ExportSessionListener() = default;

    // The session passed its checks and its work is about to begin; sent from
    // start() on the thread that called it.
    virtual void exportAboutToStart(ExportSession* session) { (void)session; }
    // The preparation (normalization scan, waiting for a disc) is over and
    // the songs are about to be rendered.
    virtual void exportSongProcessAboutToStart(ExportSession* session) { (void)session; }
    // The last notice of a session: aborted when it stopped early (cancelled
    // or failed). A session whose start() failed sends none.
    virtual void exportEnded(ExportSession* session, bool aborted)
    {
        (void)session;
        (void)aborted;
    }
    // A failure that stops the session (or, during start(), makes it fail).
    virtual void exportErrorOccured(ExportSession* session, const char* key,
                                    const juce::SparseSet<int>& songs, const juce::StringArray& args)
    {
        (void)session;
        (void)key;
        (void)songs;
        (void)args;
    }
    // A question: true lets the session go on, false stops it as a failed
    // check would.
    virtual bool exportShouldIgnoreWarning(ExportSession* session, const char* key,
                                           const juce::SparseSet<int>& songs, const juce::StringArray& args)
    {
        (void)session;
        (void)key;
        (void)songs;
        (void)args;
        return true;
    }
    // percent 0 .. 100; key the text of the current step, possibly null.
    virtual void exportProgressUpdated(ExportSession* session, double percent, const char* key,
                                       const juce::StringArray& args)
    {
        (void)session;
        (void)percent;
        (void)key;
        (void)args;
    }
    // Asked by a session that can run its last step again (another copy of a
    // disc); true repeats.
    virtual bool exportShouldRepeat(ExportSession* session)
    {
        (void)session;
        return false;
    }
};

// The name keys of the session classes, which are also their title keys.
// Sessions are told apart by comparing getSessionNameKey() with these by
// pointer: each class's kSessionNameKey is one of them.
struct ExportSessionNames
{
    static constexpr char kFileExport[] = "Export_Title";
    static constexpr char kDiscBurn[] = "DiscBurn_Title";
    static constexpr char kDiscErase[] = "DiscErase_Title";
};

// A long-running output job: started once, it runs on its own thread or
// timer and tells its listeners what happens.
//
// Threads. start() runs on the message thread; the notices after it come
// from the session's own thread or timer. Locks. The listener list has its
// own lock, under which listeners are added and removed; the notifier
// helpers take no lock, so the list must not change while the session runs
// (the export manager adds itself before start() and removes itself after
// the end). ObtainCriticalSection() gives the session-wide lock to anyone
// who must hold the session still.
class ExportSession : public CZJEListenerOwner<ExportSessionListener>
{
public:
    ExportSession();
    ~ExportSession() override;

    juce::CriticalSection& ObtainCriticalSection() override { return m_sessionLock; }

    // One of the ExportSessionNames.
    virtual const char* getSessionNameKey() = 0;
    // True when the session runs (or has already done its work).
    virtual bool start() = 0;
    virtual void cancel() = 0;
    virtual void pause() {}
    virtual void resume() {}
    virtual bool doesNormalize() { return false; }
    virtual bool hasNormalized() { return false; }
    virtual void applyNormalizedGains() {}
    virtual juce::SparseSet<int> getTargetSongs() const { return {}; }
    // Hz; 0 when none.
    virtual uint32_t getOutputSampleRate() { return 0; }
    virtual bool isDirectProcessMode() const { return false; }
    // The position of the running conversion; the default leaves the
    // outputs untouched.
    virtual void getCurTime(int* hours, int* minutes, float* seconds) const
    {
        (void)hours;
        (void)minutes;
        (void)seconds;
    }
    // 0 .. 100.
    virtual double getCurPositionPercent() const { return 0.0; }
    // The levels in dB of two channels and the clip state (0 none, 1 above
    // 0 dB, 2 at or above +3 dB) of the running conversion; the default
    // leaves the outputs untouched.
    virtual void getLeveldB(float* levels, int* clipState) const
    {
        (void)levels;
        (void)clipState;
    }
    virtual bool isConverting() const { return false; }
    virtual bool isSucceeded() { return true; }
    virtual juce::String getLastErrorMessage() { return {}; }
    // Returns once the session's own thread, if it has one, has ended and
    // been joined; the export manager calls it (after the end, or after
    // cancel()) before it deletes the session, so no thread of the session
    // outlives it. Message thread. Sessions with a thread override it; the
    // default does nothing.
    virtual void waitForWorkToEnd() {}

protected:
    // The notifier helpers of the session's own code: each calls its notice
    // on every listener, first registered first.
    void notifyStart();
    void notifySongProcessStart();
    void notifyEnd(bool aborted);
    void notifyError(const char* key, const juce::SparseSet<int>& songs, const juce::StringArray& args);
    void notifyProgress(double percent, const char* key, const juce::StringArray& args);
    // Every listener is asked; true only when all answer true (true with no
    // listener).
    bool shouldIgnoreWarning(const char* key, const juce::SparseSet<int>& songs,
                             const juce::StringArray& args);
    // Every listener is asked; true when one answers true (false with no
    // listener).
    bool shouldRepeat();

private:
    juce::CriticalSection m_sessionLock;
};
} // namespace Vextal
