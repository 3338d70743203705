#pragma once

#include "common/disc/CDiscBurnImp.h"
#include "common/disc/CDriveWorker.h"
#include "common/dsp/CCriticalSection.h"
#include "common/file/CAudioRecorderOutput.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The burner: the audio sink the converter thread renders a disc's songs
// into, and the one facade through which the rest of the system drives the
// disc drives (drive, medium, speed, erase, eject) over the back end.
//
// Results: the start operations (StartBurnDisc, StartEraseDisc) reset the
// result of the last job first. A start the burner refuses by its own checks
// answers 1 and leaves GetLastProcessErrorCode 1 with a text saying why;
// otherwise the result is the back end's.
//
// Threads. The converter thread writes while a burn session renders; the
// session's thread and the message thread drive the rest; the disc-burn
// sheet's reload thread opens drives and asks about the medium; the drive
// worker (EjectDiscLater, WhenDrivesKnown, RefreshCDDriveList) does for the
// message thread what may wait on a drive. Locks. The
// burner lock serialises OpenDrive, CloseDrive, ReloadDisc,
// GetInsertedDiscType and IsBlankDisc (the reload thread races the message
// thread there) and guards the burner's own refusal.
class CAudioDiscBurnBase : public CAudioRecorderOutput
{
public:
    // The back end of the platform (CreateDiscBurnImp).
    CAudioDiscBurnBase();
    explicit CAudioDiscBurnBase(std::unique_ptr<CDiscBurnImp> backEnd);
    ~CAudioDiscBurnBase() override;

    virtual const std::vector<eDiscType>& GetSupportedDiscType() = 0;
    // Bytes free or used on the medium in the burner's recording mode.
    virtual int64_t GetFreeSizeOnDisc() = 0;
    virtual int64_t GetUsedSizeOnDisc() = 0;
    // Starts staging into a temporary folder; 0 on success.
    virtual int OpenDisc(const wchar_t* tempDir) = 0;
    // Deletes everything staged.
    virtual void CloseDisc() = 0;
    virtual int OpenAlbum(const wchar_t* title, const wchar_t* performer, uint32_t rate, uint16_t bits,
                          uint16_t channels) = 0;
    // Ends the track being written (joined to the next without a gap when
    // gaplessWithPrevious) and opens the next; the gaps are converted to CD
    // frames of 588 samples (negative values count as 0). 0 when the new
    // track is open.
    virtual int OpenTrack(const wchar_t* title, bool gaplessWithPrevious, bool isLastTrack,
                          float preGapSeconds, float trailingSilenceSeconds) = 0;
    virtual int StartBurnDisc() = 0;

    const std::vector<CDDrive>& GetAvailableCDDrives();
    // Asks for a new scan of the drives on the burner's drive worker and
    // answers at once; GetAvailableCDDrives waits for the scan meanwhile.
    void RefreshCDDriveList();
    // The same; done (may be empty) runs on the message thread once the
    // drives have been scanned. A scan asked for and not begun yet serves
    // both requests.
    void RefreshCDDriveListLater(std::function<void()> done);
    int OpenDrive(uint32_t index);
    void CloseDrive();
    const wchar_t* GetCurrentDriveRootPath();
    bool CanBurnCDText();
    bool AudioCdGapSettingsMayFail();
    int ReloadDisc();
    // See CDiscBurnImp::SetMediumWaitsAbandoned; takes no burner lock, so it
    // reaches a look at the medium that waits under it.
    void SetMediumWaitsAbandoned(bool abandoned);
    eDiscType GetInsertedDiscType();
    // See CDiscBurnImp::MediumChanged and CanMissMediumChanges.
    CDiscNotice& MediumChanged() { return m_imp->MediumChanged(); }
    bool CanMissMediumChanges() const { return m_imp->CanMissMediumChanges(); }
    // See CDiscBurnImp::JobEnded.
    CDiscNotice& JobEnded() { return m_imp->JobEnded(); }
    bool IsErasableDisc();
    bool IsBlankDisc();
    bool IsProcessing();
    void Cancel();
    void EjectDisc();
    // Ejects the open drive's disc on the burner's drive worker, so the
    // caller never waits on the drive; done (may be empty) runs on the
    // message thread once the eject has been done.
    void EjectDiscLater(std::function<void()> done);
    // False while a scan of the drives is asked for or running (the drive
    // list, and opening a drive, would wait for it); answers at once.
    bool AreDrivesKnown();
    // Runs done on the message thread once no scan of the drives is running
    // (after every scan asked for before).
    void WhenDrivesKnown(std::function<void()> done);
    float GetBurnProgressPercent();
    float GetEraseProgressPercent();
    eBurnStatus GetCurrentBurnStatus();
    const std::vector<uint32_t>& GetAvailableWriteSpeedsKbps();
    // Only stores the speed asked for (0: the maximum); 0. A speed the medium
    // doesn't offer fails the next start.
    int SetWriteSpeed(uint32_t kbps);
    uint32_t GetWriteSpeed() const { return m_writeSpeed; }
    // Asks the back end for the stored speed among the medium's speeds; 0
    // when it is offered (or the maximum), 1 otherwise.
    int SetOptimizedWriteSpeed();
    int StartEraseDisc(bool quick);

    // 0 when the last job ended done; 1 when it failed or its start was
    // refused (by the burner or the back end).
    int GetLastProcessErrorCode();
    // The text of the last failure; empty when none.
    std::wstring GetLastProcessErrorMessage();

    CDiscBurnImp& GetBackEnd() { return *m_imp; }

protected:
    // Forgets a refusal of the burner's own (every start begins so).
    void ClearRefusal();
    // Records a refusal with the text of a message key and answers 1.
    int Refuse(const std::wstring& message);

    std::unique_ptr<CDiscBurnImp> m_imp;
    uint32_t m_writeSpeed = 0;
    CCriticalSection m_lock;

private:
    bool m_bRefused = false;
    // A scan is queued on the drive worker and has not begun.
    std::atomic<bool> m_bScanQueued{false};
    // Scans queued on the drive worker and not ended yet.
    std::atomic<int> m_scansUnfinished{0};
    std::wstring m_refusal;
    // Declared after the back end it drives, so it ends first.
    CDriveWorker m_driveWorker;
};
