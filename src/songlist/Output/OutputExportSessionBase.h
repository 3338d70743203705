#pragma once

#include "src/songlist/CVXConverterThread.h"
#include "src/songlist/Output/ExportParameter/CommonExportParameter.h"
#include "src/songlist/Output/ExportSession.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <memory>

class CVXHost;

namespace Vextal
{
class CommandManager;
class NormalizeGainDetectThread;

// The common part of the sessions that render songs through the converter
// thread (file export, disc burn): the common export parameters of the run,
// which songs take part (checkTargetSongs), the normalization pass before
// rendering (calcNormalizeGains), the converter thread held under a lock,
// pause, resume and cancel forwarded to it, the live display queries, and
// the measured gains applied afterwards as one undoable step.
//
// A subclass checks in its start() (message thread), creates the converter
// there with makeConverter, and in its thread body calls calcNormalizeGains
// first, then startConverter, polls the converter, and deletes it with
// deleteConverter at the end.
//
// Cancel. cancel() sets the cancelled flag first, then cancels whatever
// stage exists under the lock; every stage is created and started under the
// same lock after a look at the flag. So a cancel is never lost between
// stages: one that comes before a stage starts keeps it from starting, one
// that comes after reaches it.
//
// Threads. The constructor, checkTargetSongs, applyNormalizedGains and the
// display queries run on the message thread; calcNormalizeGains on the
// session's thread; cancel, pause and resume on any thread. Song records are
// read and written by the session's thread only under the message-manager
// lock (taken with that thread as the one to check).
// Locks. converterLock guards the converter and the normalization thread:
// their creation, start, deletion, cancel and every query of them (a query
// never meets a converter being deleted). It is never held while a notice
// is sent. The flags are atomic.
class OutputExportSessionBase : public ExportSession
{
public:
    // Copies the parameters (not their listeners and bound components).
    // host and commands: the host whose songs are exported and the undo
    // stack the gains go to; null means the application's, looked up when
    // used.
    explicit OutputExportSessionBase(const CommonExportParameter& common, CVXHost* host = nullptr,
                                     CommandManager* commands = nullptr);
    ~OutputExportSessionBase() override;

    void cancel() override;
    void pause() override;
    void resume() override;
    // NormalizeMode is not Off.
    bool doesNormalize() override;
    // A normalization pass stored its gains.
    bool hasNormalized() override;
    // Message thread, after the session: sets every target song's gain to
    // its normalized gain, one change per song, all in one undo step named
    // "Action_ApplyNormalizedGain". Nothing unless doesNormalize().
    void applyNormalizedGains() override;
    juce::SparseSet<int> getTargetSongs() const override;
    bool isDirectProcessMode() const override;
    // 0:00:00 without a converter.
    void getCurTime(int* hours, int* minutes, float* seconds) const override;
    double getCurPositionPercent() const override;
    // -200 dB on both channels and clip state 0 without a converter.
    void getLeveldB(float* levels, int* clipState) const override;
    // A converter exists and has not finished.
    bool isConverting() const override;
    bool isCancelled() const { return cancelled.load(std::memory_order_acquire); }

protected:
    // Further cancel work of a subclass (the disc burn stops its burner);
    // called by cancel() last, without the lock.
    virtual void cancelOutputProcess() {}
    // The session's thread body.
    virtual void run() = 0;

    // Message thread. Which songs take part, by the common parameter
    // Source: every song, or the host's selection. Each candidate's files
    // are looked at again; the present ones become the target songs. None
    // present: error noSongErrorKey with the missing songs, false. Some
    // missing: the answer to warning missingWarningKey with them.
    bool checkTargetSongs(const char* missingWarningKey, const char* noSongErrorKey);
    // Session thread. NormalizeMode Off: clears the target songs' normalize
    // flags and offsets, true. Otherwise stops playback, measures the gains
    // (progress every 200 ms with "Export_DetectNormalizeGain" and the song
    // name with its position) and stores them as the songs' normalize
    // offsets. False, storing nothing, when cancelled or when songs could
    // not be read (those are reported with "Export_CannotReadSongs").
    bool calcNormalizeGains();

    // The converter of the run, made by the factory under the lock; false
    // when none could be made.
    bool makeConverter(const CVXConverterThread::ParameterSet& params);
    // Starts the converter under the lock; false, starting nothing, when
    // the session is cancelled or there is no converter. The converter's end
    // wakes the calling thread (the session's) from a juce::Thread::wait, so
    // a poll loop that waits there moves on as soon as it finishes.
    bool startConverter();
    // Deletes the converter under the lock.
    void deleteConverter();
    // The converter's progress and end, under the lock (0 and true without
    // one).
    double converterProgressPercent() const;
    bool converterHasFinished() const;
    juce::SparseSet<int> converterErrorSongs() const;

    // Makes the converter thread (not started). Tests give their own.
    virtual std::unique_ptr<CVXConverterThread>
    createConverter(const CVXConverterThread::ParameterSet& params);

    // The host of the songs; null when there is none.
    CVXHost* host() const;
    CommandManager* commandManager() const;

    CommonExportParameter commonParameter;
    juce::SparseSet<int> targetSongs;
    std::unique_ptr<NormalizeGainDetectThread> normalizeThread;
    std::unique_ptr<CVXConverterThread> converter;
    mutable juce::CriticalSection converterLock;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> normalized{false};

private:
    // The normalization thread made and started under the lock; false when
    // cancelled first.
    bool StartNormalizeThread();
    void PollNormalizeThread();
    void StoreNormalizeGains();
    void ClearNormalizeFlags();
    void StopPlayback();

    CVXHost* const m_host;
    CommandManager* const m_commands;
};
} // namespace Vextal
