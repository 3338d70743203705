#include "common/disc/linux/CLibburnJobWatch.h"

#include "common/disc/linux/CLibburnSupport.h"

#include <algorithm>
#include <chrono>
#include <numeric>
#include <thread>

using namespace burn;

namespace
{
// How often a spawning job is looked at.
constexpr int kSpawnPollMs = 20;

class LibburnDrive : public CLibburnJobWatch::Drive
{
public:
    explicit LibburnDrive(burn_drive* drive) : m_drive(drive) {}
    burn_drive_status GetStatus(burn_progress* progress) override
    {
        return burn_drive_get_status(m_drive, progress);
    }
    void Cancel() override { burn_drive_cancel(m_drive); }
    bool WroteWell() override { return burn_drive_wrote_well(m_drive) != 0; }

private:
    burn_drive* m_drive;
};

float Percent(int64_t done, int64_t total)
{
    return total > 0 ? static_cast<float>(100.0 * static_cast<double>(std::clamp<int64_t>(done, 0, total)) /
                                          static_cast<double>(total))
                     : 0.0f;
}

void SleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    else
        std::this_thread::yield();
}
} // namespace

std::unique_ptr<CLibburnJobWatch::Drive> CLibburnJobWatch::Of(burn_drive* drive)
{
    return std::make_unique<LibburnDrive>(drive);
}

CLibburnJobWatch::CLibburnJobWatch(Drive& drive, std::vector<int64_t> trackSectors, int pollMs)
    : m_drive(drive), m_trackSectors(std::move(trackSectors)), m_pollMs(pollMs)
{
}

float CLibburnJobWatch::DiscPercent(const burn_progress& progress, const std::vector<int64_t>& trackSectors)
{
    const int64_t total = std::accumulate(trackSectors.begin(), trackSectors.end(), int64_t{0});
    const size_t track = static_cast<size_t>(std::max(progress.track, 0));
    if (track >= trackSectors.size())
        return Percent(total, total);
    const int64_t before =
        std::accumulate(trackSectors.begin(), trackSectors.begin() + static_cast<long>(track), int64_t{0});
    return Percent(before + std::clamp<int64_t>(progress.sector, 0, trackSectors[track]), total);
}

float CLibburnJobWatch::PercentOf(burn_drive_status status, const burn_progress& progress) const
{
    if (m_trackSectors.empty())
        return Percent(progress.sector, progress.sectors);
    switch (status)
    {
    case BURN_DRIVE_WRITING_LEADOUT:
    case BURN_DRIVE_CLOSING_SESSION:
        return 100.0f;
    case BURN_DRIVE_WRITING:
    case BURN_DRIVE_WRITING_PREGAP:
    case BURN_DRIVE_CLOSING_TRACK:
    case BURN_DRIVE_WRITING_SYNC:
        return DiscPercent(progress, m_trackSectors);
    default:
        return 0.0f;
    }
}

void CLibburnJobWatch::Pause() const
{
    SleepMs(m_pollMs);
}

CLibburnJobWatch::Result CLibburnJobWatch::Watch(const CancelRequested& cancelRequested, const Report& report)
{
    while (m_drive.GetStatus(nullptr) == BURN_DRIVE_SPAWNING)
        SleepMs(std::min(m_pollMs, kSpawnPollMs));
    bool cancelled = false;
    float percent = 0.0f;
    for (;;)
    {
        burn_progress progress = {};
        const burn_drive_status status = m_drive.GetStatus(&progress);
        if (status == BURN_DRIVE_IDLE)
            break;
        percent = std::max(percent, PercentOf(status, progress));
        report(m_trackSectors.empty() ? kBurnStatusIdle : CLibburnSupport::PhaseOfDriveStatus(status),
               percent);
        if (cancelRequested && !cancelled && cancelRequested())
        {
            m_drive.Cancel();
            cancelled = true;
        }
        CLibburnSupport::DrainMessages(nullptr);
        Pause();
    }
    Result result;
    result.ok = m_drive.WroteWell();
    result.cancelled = !result.ok && cancelled;
    return result;
}
