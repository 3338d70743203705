#pragma once

#include "common/disc/CDiscNotice.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The records that cross the disc back end, and the back end itself: the one
// way the burner reaches the disc drives.

// One burner drive. The layout is fixed (packed, in this order) because the
// record is copied as a whole into session state.
#pragma pack(push, 1)
struct CDDrive
{
    // Left zero by every back end.
    uint8_t reserved[8];
    // NUL-terminated ASCII; an absent value is the empty text.
    char vendor[1024];
    char product[1024];
    char firmware[1024];
    // What the drive can write; an absent capability reads as false.
    bool canTestWriteCD;
    bool canTestWriteDVD;
    bool canWriteCDR;
    bool canWriteCDRW;
    bool canWriteDVDR;
    bool canWriteDVDRW;
    bool canWriteDVDRDualLayer;
    bool canWriteDVDRWDualLayer;
    bool canWriteDVDRAM;
    bool canWriteDVDPlusR;
    bool canWriteDVDPlusRW;
    bool canWriteDVDPlusRDoubleLayer;
    bool canWriteDVDPlusRWDoubleLayer;
};
#pragma pack(pop)

// One staged track: a 44100 Hz, 16-bit stereo AIFF file of whole CD frames.
struct AudioCDTrackInfo
{
    std::wstring title;
    std::wstring performer;
    // The staged AIFF file.
    std::wstring path;
    // Silence before the track, in CD frames of 1/75 s (588 sample frames).
    uint32_t preGap = 0;
    // Sample frames in the file.
    int64_t samples = 0;
};

// The staged album, its tracks in burn order.
struct AudioCDAlbumTrackList
{
    std::wstring title;
    std::wstring performer;
    std::vector<AudioCDTrackInfo> tracks;
};

// The files of a data disc; no back end of this system burns one.
struct CUdfFileList
{
    std::wstring volumeLabel;
    std::vector<std::wstring> paths;
};

// The medium in a drive: -2 being loaded, -1 none, 0 not recognised, else a
// named medium (kDiscTypeNames).
enum eDiscType : int
{
    kDiscTypeInTransition = -2,
    kDiscTypeNone = -1,
    kDiscTypeUnknown = 0,
    kDiscTypeCDROM = 1,
    kDiscTypeCDR = 2,
    kDiscTypeCDRW = 3,
    kDiscTypeDVDROM = 4,
    kDiscTypeDVDR = 5,
    kDiscTypeDVDRAM = 6,
    kDiscTypeDVDRW = 7,
    kDiscTypeDVDPlusRW = 8,
    kDiscTypeDDCDROM = 9,
    kDiscTypeDDCDR = 10,
    kDiscTypeDDCDRW = 11,
    kDiscTypeDVDPlusR = 12,
    kDiscTypeDVDPlusRDoubleLayer = 13,
    kDiscTypeDVDRDualLayer = 14,
    kDiscTypeBDROM = 15,
    kDiscTypeBDR = 16,
    kDiscTypeBDRE = 17,
    kDiscTypeHDDVDROM = 18,
    kDiscTypeHDDVDR = 19,
    kDiscTypeHDDVDRW = 20
};

// The names of the medium codes 0..20, shown to the user as they stand.
constexpr int kNumDiscTypeNames = 21;
extern const char* const kDiscTypeNames[kNumDiscTypeNames];

// Sizes on a disc are block counts times the block size of the mode.
enum eDiscRecordingMode : int
{
    kDiscRecordingModeData = 0, // blocks of 2048 bytes
    kDiscRecordingModeAudio = 1 // blocks of 2352 bytes
};
constexpr int64_t kDataBlockBytes = 2048;
constexpr int64_t kAudioBlockBytes = 2352;
int64_t BlockBytesOf(eDiscRecordingMode mode);

// The phase of the running burn.
enum eBurnStatus : int
{
    kBurnStatusIdle = 0,      // idle, done or failed
    kBurnStatusPreparing = 1, // preparing, session open
    kBurnStatusWriting = 2,   // writing tracks
    kBurnStatusClosing = 3,   // closing the session, finishing
    kBurnStatusVerifying = 4
};

// The platform back end of the burner: the burner drives, one open drive, its
// medium and write speeds, and one burn or erase job at a time.
//
// The int results are 0 for success and 1 for a failure. With no drive open
// every drive operation answers at once: the bool queries false,
// GetCurrentDriveRootPath and GetLastProcessErrorMessage null, ReloadDisc,
// SetWriteSpeed, the start operations and GetLastProcessErrorCode 1,
// GetInsertedDiscType -1, sizes 0, GetCurrentBurnStatus 0, progress 0,
// GetAvailableWriteSpeedsKbps an empty list; Cancel and EjectDisc do nothing.
//
// Job results: every start resets the result; a start that is refused sets
// GetLastProcessErrorCode 1 with a text saying why; a job's end sets the
// idle state and its result together (0 done, 1 failed with the reason), so
// IsProcessing never answers false while the result still belongs to an
// earlier job. A refused start never reads as a completed job.
class CDiscBurnImp
{
public:
    virtual ~CDiscBurnImp() = default;

    // The drive list; callers index it with the numbers OpenDrive takes.
    virtual const std::vector<CDDrive>& GetAvailableCDDrives() = 0;
    virtual void RefreshCDDriveList() = 0;
    // Whether a scan of the drives is running, when the drive list waits for
    // it; answers at once.
    virtual bool IsScanningDrives() { return false; }
    // Closes any open drive first; 1 when the index is past the list or the
    // drive is gone.
    virtual int OpenDrive(uint32_t index) = 0;
    // Forgets the open drive, then cancels a running burn and waits for it,
    // as for a running erase; a job a start on another thread launches
    // meanwhile is cancelled and waited for too, or its start is refused.
    virtual void CloseDrive() = 0;
    // The volume path (see CAudioCDPath) or mount point of what the open
    // drive's medium holds; null when none. Valid until the next call.
    virtual const wchar_t* GetCurrentDriveRootPath() = 0;
    virtual bool CanBurnGaplessAudioCD() = 0;
    virtual bool CanBurnCDText() = 0;
    virtual bool CanControlAudioCDPreGaps() = 0;
    virtual bool AudioCdGapSettingsMayFail() = 0;
    // Looks at the medium again: 0 when one is present. The look may wait
    // for the drive to settle (a disc being loaded), unless abandoned.
    virtual int ReloadDisc() = 0;
    // While set, a look at the medium does not wait for the drive to settle,
    // and one waiting now ends: the medium reads as being loaded (see
    // CDriveSettleWait). For a watcher of the drive that is stopping; takes
    // no lock a look at the medium holds.
    virtual void SetMediumWaitsAbandoned(bool abandoned) = 0;
    virtual eDiscType GetInsertedDiscType() = 0;
    virtual bool IsErasableDisc() = 0;
    virtual bool IsBlankDisc() = 0;
    virtual int64_t GetFreeSizeOnDisc(eDiscRecordingMode mode) = 0;
    virtual int64_t GetUsedSizeOnDisc(eDiscRecordingMode mode) = 0;
    // Kilobytes (1000 bytes) per second, ascending; rebuilt on every call.
    virtual const std::vector<uint32_t>& GetAvailableWriteSpeedsKbps() = 0;
    // 0 when the speed is 0 (the maximum) or one of the offered speeds; a
    // refused speed keeps the one set before.
    virtual int SetWriteSpeed(uint32_t kbps) = 0;
    virtual int StartBurnDataDvd(const CUdfFileList* list) = 0;
    virtual int StartBurnAudioCD(const AudioCDAlbumTrackList* album) = 0;
    virtual eBurnStatus GetCurrentBurnStatus() = 0;
    virtual int StartEraseDisc(bool quick) = 0;
    virtual bool IsProcessing() = 0;
    // Aborts a running burn; an erase runs to its end.
    virtual void Cancel() = 0;
    virtual void EjectDisc() = 0;
    virtual float GetBurnProgressPercent() = 0;
    virtual float GetEraseProgressPercent() = 0;
    virtual int GetLastProcessErrorCode() = 0;
    // The text of the last failure (empty when none); valid until the next
    // job starts.
    virtual const wchar_t* GetLastProcessErrorMessage() = 0;
    virtual void DestroyDiscImages() = 0;

    // Sent whenever the back end learns that the open drive's medium or the
    // drive list may have changed (a disc inserted or ejected, a job ended,
    // a drive opened, a scan done), on the thread that learnt it. A part
    // that waits for a medium looks again when it comes.
    CDiscNotice& MediumChanged() { return m_mediumChanged; }
    // Whether a medium can change without the notice (the system may not
    // tell the back end): a part that waits for a medium then also looks
    // again now and then.
    virtual bool CanMissMediumChanges() const { return true; }
    // Sent when a burn or erase job has ended, on the job's worker, once
    // IsProcessing answers false (before the medium notice of that end).
    CDiscNotice& JobEnded() { return m_jobEnded; }

protected:
    // What the back end's job sends at its end (CDiscJob::SetEndNotice).
    void SendJobEnd()
    {
        m_jobEnded.Send();
        m_mediumChanged.Send();
    }

    CDiscNotice m_mediumChanged;
    CDiscNotice m_jobEnded;
};

// The back end of this platform: the simulated drives when the environment
// variable VEXTAL_SIMULATED_DRIVE names a folder for their disc images, else
// the system's drives.
std::unique_ptr<CDiscBurnImp> CreateDiscBurnImp();
