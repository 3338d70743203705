#pragma once

#include "common/disc/CDiscBurnImp.h"

#include <libburn/libburn.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Watches a started libburn job (a burn or an erase) to its end: waits while
// libburn spawns it, then reports its phase and progress at every look
// (every pollMs), passes a cancel on to the drive once, and tells how the job
// ended.
//
// libburn counts a burn's sectors per track, starting again at every track;
// the progress reported here is over the whole disc: the sectors of the
// tracks already written and the current track's sector, over the sectors of
// all tracks (CLibburnAudioLayout::TrackSectors), never going back. An
// erase reports libburn's own steps.
//
// The job is seen only through the three libburn calls of Drive, so a test
// can play a scripted job.
//
// Threads. Watch runs on the job's worker; the callbacks are called there.
class CLibburnJobWatch
{
public:
    // The libburn calls on a drive running a job.
    class Drive
    {
    public:
        virtual ~Drive() = default;
        virtual burn::burn_drive_status GetStatus(burn::burn_progress* progress) = 0;
        virtual void Cancel() = 0;
        virtual bool WroteWell() = 0;
    };

    // libburn itself on a grabbed drive.
    static std::unique_ptr<Drive> Of(burn::burn_drive* drive);

    struct Result
    {
        bool ok = false;
        // The job ended unwell after a cancel was passed on.
        bool cancelled = false;
    };

    using Report = std::function<void(eBurnStatus phase, float percent)>;
    using CancelRequested = std::function<bool()>;

    // trackSectors: a burn's tracks (empty for an erase).
    CLibburnJobWatch(Drive& drive, std::vector<int64_t> trackSectors, int pollMs);

    // Runs to the job's end (the drive idle). cancelRequested null: the job
    // cannot be cancelled.
    Result Watch(const CancelRequested& cancelRequested, const Report& report);

    // The share of the whole disc written at a burn's progress, 0..100.
    static float DiscPercent(const burn::burn_progress& progress, const std::vector<int64_t>& trackSectors);

private:
    float PercentOf(burn::burn_drive_status status, const burn::burn_progress& progress) const;
    void Pause() const;

    Drive& m_drive;
    const std::vector<int64_t> m_trackSectors;
    const int m_pollMs;
};
