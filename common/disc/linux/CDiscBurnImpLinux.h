#pragma once

#include "common/disc/CDiscBurnImp.h"
#include "common/disc/CDiscJob.h"
#include "common/disc/CDriveSettleWait.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CVolumeWatcherLinux;

// The system's disc drives through libburn.
//
// The drives are scanned on a worker thread, started by the constructor and
// by RefreshCDDriveList; the drive list waits for a running scan. Only drives
// that can write are listed, by their device address ("/dev/sr0"); a drive
// is grabbed only for a look at its medium or for a job and released after,
// so other programs can use it in between. Drives given by address at
// construction ("stdio:/path", libburn's pseudo-drives on files) follow the
// scanned ones.
//
// The medium is looked at cheaply first (the drive's status through the
// kernel: no disc, tray open, not ready); the drive is grabbed to ask about
// the medium only when a disc is there and it may have changed, and the
// answers are kept until then. A grabbed drive whose disc is not ready yet
// is waited for up to 10 s, a wait SetMediumWaitsAbandoned ends. The drive
// is grabbed by one look, start or eject at a time.
//
// An audio CD is burnt in one session at once (SAO) from the staged AIFF
// files, each track's pre-gap as the album gives it (at least two seconds
// before the first) and the album's texts as CD-Text where the drive writes
// it (see CLibburnSupport::MakeCdTextPacks); libburn checks the job against drive
// and medium before it starts and a refusal carries its reasons. A burn or
// erase runs on the job's worker, which watches the drive's state every
// 200 ms (see CDiscJob for how its end is delivered). Erasing works on
// erasable media only and cannot be cancelled. Data discs are not burnt.
// libburn's messages go to the system log.
//
// The medium notice goes out when a scan ends, a drive is opened, a disc is
// ejected, a job ends, and when the system's device manager reports a change
// of a CD drive's medium (watched from the end of the first scan on). Without a
// device manager (containers) or with an event lost, a change is missed:
// CanMissMediumChanges stays true.
//
// Threads. Any thread may call. Locks. m_lock guards the drive list, the open
// drive, what is known of its medium and the drive's use. It is never held
// while the drive is grabbed: a look, a start or an eject takes what it
// needs under it, marks the drive in use, releases it for the grab (and a
// settle wait of up to 10 s), then takes it again to keep its answer, which
// it keeps only for the drive still open (m_openGeneration). Another look,
// start or eject waits meanwhile on m_driveFree, with m_lock released, so
// every other question is answered at once. A running job's libburn calls
// are made by the job's worker alone.
class CDiscBurnImpLinux : public CDiscBurnImp
{
public:
    // A drive as the scan found it.
    struct DriveEntry
    {
        std::string address;
        CDDrive info;
        bool sao = false;
        bool pseudo = false;
    };

    // What is known of the medium of the open drive.
    struct Media
    {
        bool known = false;
        eDiscType type = kDiscTypeNone;
        bool blank = false;
        bool erasable = false;
        int64_t freeBlocks = 0;
        int64_t usedBlocks = 0;
        std::vector<uint32_t> speeds;
    };

    // A look at a drive's medium: grabs the drive, waits on settle while its
    // disc is not ready (unknown, of type kDiscTypeInTransition, when the
    // wait ends unsettled), asks, releases. Runs with no lock of the back end
    // held.
    using MediumLook = std::function<Media(const DriveEntry& drive, CDriveSettleWait& settle)>;

    // look: libburn's look when empty; a test may give its own.
    explicit CDiscBurnImpLinux(std::vector<std::string> extraAddresses = {}, MediumLook look = {});
    ~CDiscBurnImpLinux() override;

    const std::vector<CDDrive>& GetAvailableCDDrives() override;
    void RefreshCDDriveList() override;
    bool IsScanningDrives() override { return m_bScanning.load(); }
    int OpenDrive(uint32_t index) override;
    void CloseDrive() override;
    const wchar_t* GetCurrentDriveRootPath() override;
    bool CanBurnGaplessAudioCD() override;
    bool CanBurnCDText() override;
    bool CanControlAudioCDPreGaps() override;
    bool AudioCdGapSettingsMayFail() override;
    int ReloadDisc() override;
    void SetMediumWaitsAbandoned(bool abandoned) override { m_settle.SetAbandoned(abandoned); }
    eDiscType GetInsertedDiscType() override;
    bool IsErasableDisc() override;
    bool IsBlankDisc() override;
    int64_t GetFreeSizeOnDisc(eDiscRecordingMode mode) override;
    int64_t GetUsedSizeOnDisc(eDiscRecordingMode mode) override;
    const std::vector<uint32_t>& GetAvailableWriteSpeedsKbps() override;
    int SetWriteSpeed(uint32_t kbps) override;
    int StartBurnDataDvd(const CUdfFileList* list) override;
    int StartBurnAudioCD(const AudioCDAlbumTrackList* album) override;
    eBurnStatus GetCurrentBurnStatus() override;
    int StartEraseDisc(bool quick) override;
    bool IsProcessing() override;
    void Cancel() override;
    void EjectDisc() override;
    float GetBurnProgressPercent() override;
    float GetEraseProgressPercent() override;
    int GetLastProcessErrorCode() override;
    const wchar_t* GetLastProcessErrorMessage() override;
    void DestroyDiscImages() override {}

private:
    class ScanThread;

    void StartScan();
    void WaitForScan();
    void TakeScanResult(std::vector<DriveEntry> entries);
    // Starts watching the system's drives, once; on the scan's thread.
    void WatchSystemDrives();
    bool IsOpen() const { return m_open >= 0; }
    const DriveEntry& OpenEntry() const { return m_entries[static_cast<size_t>(m_open)]; }
    bool CanBurnCDTextLocked() const;
    // Brings m_media up to date. Caller holds m_lock through lock, which is
    // released while the drive is looked at.
    void RefreshMedia(std::unique_lock<std::mutex>& lock);
    // Waits, m_lock released meanwhile, until no look, start or eject has
    // the drive.
    void WaitForDriveLocked(std::unique_lock<std::mutex>& lock);

    const std::vector<std::string> m_extraAddresses;
    const MediumLook m_look;
    std::mutex m_lock;
    // A look, start or eject has the drive grabbed (or is grabbing it).
    bool m_bDriveInUse = false;
    std::condition_variable m_driveFree;
    // Counts the opens and closes of a drive.
    uint64_t m_openGeneration = 0;
    std::condition_variable m_scanDone;
    // Written under m_lock; read without it by IsScanningDrives (a look at
    // the medium may hold m_lock for seconds).
    std::atomic<bool> m_bScanning{false};
    std::unique_ptr<ScanThread> m_scan;
    // The system's notices of drives; made by the first scan's thread (a
    // watcher's start may read every CD drive), touched by no other until
    // the destructor has joined the scans.
    std::unique_ptr<CVolumeWatcherLinux> m_watcher;
    std::vector<DriveEntry> m_entries;
    std::vector<CDDrive> m_driveList;
    std::vector<uint32_t> m_speeds;
    int m_open = -1;
    Media m_media;
    uint32_t m_writeSpeed = 0;
    wchar_t m_rootPath[4097] = {};
    CDiscJob m_job;
    // The wait for a drive to settle, abandoned by a stopping watcher.
    CDriveSettleWait m_settle;
};
