#pragma once

#include "common/disc/CDiscBurnImp.h"
#include "common/disc/CDiscJob.h"
#include "common/disc/CDriveSettleWait.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CCdImageWriter;

// Disc drives that exist only in this program, for tests and for trying the
// burn path on a machine without a burner.
//
// Each drive holds a medium (none, being loaded, a blank or used CD-R or
// CD-RW, a CD-ROM, a DVD) of some capacity with its write speeds. A burn
// takes as long as the chosen speed needs (divided by a speed-up factor, so
// tests run faster than real time), goes through the phases of a real one
// and writes what it was given as a BIN/CUE disc image in the image folder,
// "Disc 001.cue" with "Disc 001.bin" and the CD-Text packs in
// "Disc 001.cdt" (pre-gaps as silence; see CCdImageWriter). The burnt
// medium then holds the image: its root path is the image's cue sheet, so
// the disc can be read back like any audio CD.
//
// A burn cancelled while it prepares leaves the medium blank; one cancelled
// or failed while it writes leaves a used medium without an image (the disc
// is spoilt); closing the session can no longer be cancelled, so a cancel
// then lets the burn complete. An erase can't be cancelled.
//
// Tests can make the next job fail at a point (InjectFailure), stop it at a
// point until released (HoldAt, WaitUntilHeld, ReleaseHold), refuse starts
// as if another program held the drive (SetDriveLocked), and make every
// look at a present medium (ReloadDisc) wait for the drive to settle, as a
// slow real drive does, holding the back end's lock meanwhile
// (SetSettleDelay, WaitUntilSettling); SetMediumWaitsAbandoned ends that
// wait. SetScanHeld keeps a scan of the drives running: the drive list, a
// new scan and opening a drive wait until it is released.
//
// Every change of a medium (SetMedium, an eject, a job's end) and every
// drive opened sends the medium notice, so a waiter for a disc never needs to
// look again unasked.
//
// Threads. Any thread may call; the job's body runs on its own worker (see
// CDiscJob). Locks. m_lock guards the drives, their media and the test
// controls; it is not held while the job sleeps or writes.
class CDiscBurnImpSimulated : public CDiscBurnImp
{
public:
    struct Medium
    {
        eDiscType type = kDiscTypeNone;
        bool blank = false;
        bool erasable = false;
        int64_t capacitySectors = 0;
        int64_t usedSectors = 0;
        std::vector<uint32_t> speedsKbps;
        // The cue sheet of the image burnt on it; empty when none.
        std::wstring imagePath;

        static Medium None();
        static Medium InTransition();
        static Medium BlankCdR(int minutes = 80);
        static Medium BlankCdRw();
        static Medium UsedCdR();
        static Medium UsedCdRw();
        static Medium CdRom();
        static Medium Dvd();
    };

    struct Drive
    {
        CDDrive info;
        Medium medium;
        bool canBurnGapless = true;
        bool canBurnCdText = true;

        // A CD writer (CD-R, CD-RW, test writes) holding the medium.
        static Drive CdWriter(const char* product, const Medium& medium);
    };

    struct Options
    {
        // How much faster than real time jobs run.
        double speedup = 1.0;
        // Ejecting loads a new blank CD-R, so a further copy can be burnt.
        bool blankAfterEject = false;
    };

    // The points of a job at which a test can make it fail or stop.
    enum Point
    {
        kPointPreparing,
        kPointWriting, // half of the sectors written
        kPointClosing,
        kPointErasing
    };

    CDiscBurnImpSimulated(const std::wstring& imageFolder, std::vector<Drive> drives, const Options& options);
    ~CDiscBurnImpSimulated() override;

    // The drive the application uses in place of real ones: one CD writer
    // with a blank 80-minute CD-R, burning in real time, loading a new blank
    // disc whenever one is ejected.
    static std::unique_ptr<CDiscBurnImpSimulated> CreateDefault(const std::wstring& imageFolder);

    void SetMedium(uint32_t drive, const Medium& medium);
    Medium GetMedium(uint32_t drive);
    void InjectFailure(Point point, const std::wstring& message);
    void HoldAt(Point point);
    // True once a job has stopped at the held point.
    bool WaitUntilHeld(int timeoutMs);
    void ReleaseHold();
    void SetDriveLocked(bool locked);
    // How long each look at a present medium waits for the drive (0: none).
    void SetSettleDelay(int ms);
    // True once a look is waiting for the drive to settle.
    bool WaitUntilSettling(int timeoutMs);
    void SetScanHeld(bool held);
    // A drive plugged in: listed from the next scan (RefreshCDDriveList).
    void AddDrive(const Drive& drive);

    const std::vector<CDDrive>& GetAvailableCDDrives() override;
    void RefreshCDDriveList() override;
    bool IsScanningDrives() override;
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
    // Every change of medium goes through this back end.
    bool CanMissMediumChanges() const override { return false; }

private:
    struct Armed
    {
        bool fail = false;
        std::wstring failMessage;
        bool hold = false;
        bool held = false;
    };

    bool IsOpen() const { return m_open >= 0; }
    Medium& OpenMedium() { return m_drives[static_cast<size_t>(m_open)].medium; }
    // The refusal of a burn start by the medium and the album; empty when it
    // may start. Caller holds m_lock.
    std::wstring CheckBurnLocked(const AudioCDAlbumTrackList& album);
    std::wstring NextImagePath() const;
    uint32_t PaceSpeedLocked() const;

    CDiscJob::Outcome RunBurn(CDiscJob::Control& control, size_t drive,
                              std::shared_ptr<CCdImageWriter> writer, AudioCDAlbumTrackList album,
                              std::wstring cuePath, uint32_t kbps);
    CDiscJob::Outcome RunErase(CDiscJob::Control& control, size_t drive, bool quick, uint32_t kbps);
    // The job reaching a point: stops while held, then answers the injected
    // failure or a cancel (when the point can be cancelled); empty to go on.
    std::wstring ReachPoint(Point point, CDiscJob::Control& control, bool cancellable);
    // Sleeps until the given share of real time has passed since start;
    // false when cancelled meanwhile (and cancellable).
    bool PaceUntil(double start, double seconds, CDiscJob::Control& control, bool cancellable);
    void SpoilMedium(size_t drive, int64_t written);
    // The wait of a look at the medium for the drive to settle; false when
    // abandoned.
    bool Settle();

    const std::wstring m_imageFolder;
    const Options m_options;
    std::mutex m_lock;
    std::condition_variable m_holdChanged;
    std::vector<Drive> m_drives;
    std::vector<CDDrive> m_driveList;
    std::vector<uint32_t> m_speeds;
    Armed m_armed[4];
    bool m_bDriveLocked = false;
    std::atomic<int> m_open{-1};
    uint32_t m_writeSpeed = 0;
    wchar_t m_rootPath[1026] = {};
    CDiscJob m_job;
    CDriveSettleWait m_settle;
    std::atomic<int> m_settleMs{0};
    // The looks waiting for the drive, under m_settleLock (not m_lock, which
    // a waiting look holds).
    std::mutex m_settleLock;
    std::condition_variable m_settlingChanged;
    int m_settling = 0;
    // The held scan, under m_scanLock.
    std::mutex m_scanLock;
    std::condition_variable m_scanChanged;
    bool m_bScanHeld = false;
};
