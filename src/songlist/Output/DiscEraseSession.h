#pragma once

#include "src/songlist/Output/ExportSession.h"

#include <juce_events/juce_events.h>

#include <cstdint>

class CAudioDiscBurnBase;
class CVXHost;

namespace Vextal
{
// Erases the rewritable disc in the burner's open drive. It has no thread:
// start() checks the disc and starts the burner's erase job; the job's end
// notice (CDiscBurnImp::JobEnded) ends the session. Meanwhile a 100 ms timer
// reports the job's progress, and only that. An erase cannot be cancelled.
//
// A disc that songs of the songlist play from is not erased: its files
// would be lost from under them.
//
// Result. Every start forgets the last result. The one end path (the job's
// end notice, or the update after start() when the burner refused the job)
// sets the end and the result together: succeeded only when the burner
// started this erase and its job ended without error. An erase the burner
// refused (a job already running, a speed the disc does not offer, a drive
// held by another program) ends failed with the burner's text and is never
// reported as completed; the session never follows a job it did not start.
// The end notice always says not aborted; listeners ask isSucceeded().
//
// Threads. Message thread: start, the ticks, the end and the session's
// notices. The erase runs in the burner's back end, whose end notice comes on
// the job's worker and only triggers the asynchronous update that ends the
// session on the message thread. The burner is borrowed (the export
// manager's) and must outlive the session.
class DiscEraseSession : public ExportSession, private juce::Timer, private juce::AsyncUpdater
{
public:
    static constexpr const char* kSessionNameKey = ExportSessionNames::kDiscErase;
    static constexpr char kStatusEraseKey[] = "DiscErase_Erase";
    static constexpr char kErrorDiscNotFoundKey[] = "DiscBurn_DiscNotFound";
    static constexpr char kErrorNotErasableDiscKey[] = "DiscErase_NotErasableDisc";
    static constexpr char kErrorDiscRefferedBySongs[] = "DiscErase_DiscRefferedBySongs";
    static constexpr char kErrorFailedKey[] = "DiscErase_Failed";

    // The erase modes of the disc-burn parameters.
    enum EraseMode
    {
        kEraseQuick = 0,
        kEraseFull = 1
    };

    // Over the burner (its drive already open), with the write speed in
    // kilobytes per second (0 the maximum) and the erase mode; the songs
    // checked are the host's (the application's host when none is given).
    DiscEraseSession(CAudioDiscBurnBase* burner, uint32_t writeSpeedKbps, int eraseMode);
    DiscEraseSession(CAudioDiscBurnBase* burner, uint32_t writeSpeedKbps, int eraseMode, CVXHost* host);
    ~DiscEraseSession() override;

    const char* getSessionNameKey() override { return kSessionNameKey; }
    // False, after an error notice, when the disc may not be erased;
    // otherwise the erase has been asked of the burner and true.
    bool start() override;
    // An erase cannot be cancelled.
    void cancel() override {}
    // True only after the end of an erase that succeeded.
    bool isSucceeded() override;
    // The text of the failure; the localized "DiscErase_Failed" when there
    // is none.
    juce::String getLastErrorMessage() override;

    // The check before erasing: null when the disc may be erased, else the
    // key of the reason; songs (cleared first) gets the songs that play from
    // the disc.
    const char* getPotentialErrorKey(juce::SparseSet<int>& songs);

private:
    enum class State
    {
        kIdle,
        kRunning,
        kEnded
    };

    // The progress.
    void timerCallback() override;
    // The end notice: ends the session when its job is over.
    void handleAsyncUpdate() override;
    void stopListening();
    // The one end of a started session: result and state together, then the
    // end notice.
    void finish();
    // The indices of the host's songs with a file on the disc at root whose
    // CD identifier is discId (any disc when 0).
    juce::SparseSet<int> songsOnDisc(const juce::File& root, int discId) const;

    CAudioDiscBurnBase* m_burner;
    uint32_t m_writeSpeedKbps;
    int m_eraseMode;
    CVXHost* m_host;
    // The session's listener of the burner's job-end notice; 0 when none.
    uint64_t m_endListener = 0;
    State m_state = State::kIdle;
    // The burner refused this session's erase; the job it reports is not
    // this session's.
    bool m_refusedByBurner = false;
    bool m_succeeded = false;
    juce::String m_errorMessage;
};
} // namespace Vextal
