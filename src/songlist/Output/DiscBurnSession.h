#pragma once

#include "common/disc/CDiscBurnImp.h"
#include "src/songlist/Output/ExportParameter/DiscBurnParameter.h"
#include "src/songlist/Output/OutputExportSessionBase.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <vector>

class CAudioDiscBurnProxy;

namespace Vextal
{
// Burns the target songs of the songlist as an audio CD.
//
// start() (message thread) makes every check that can be made before
// anything is written: the drive, the songs, the source disc, the space in
// the temporary folder, then creates the hidden staging folder
// ".VextalDiscImage_<14 digits>" there and opens the album on the burner.
// The thread "DiscBurnSessionThread" then waits for a blank disc (woken by
// the burner's medium notice or a stop request), measures
// the normalization gains, renders every song through the converter thread
// into the burner (one AIFF track file each), burns the staged album and
// offers further copies from the same files until a listener declines. At
// the end the staged files, the folder and the drive are closed and removed,
// whatever happened; a folder left by a run that never ended is removed at
// the next start-up (deleteTempDirectories).
//
// Result. Every burn attempt sets the result (isSucceeded): a burn the
// burner or the drive refused to start fails with the burner's text and is
// never read as done; before any attempt the session has not succeeded.
//
// Space. The needed size counts what the burner writes: every track rounded
// up to whole CD frames with its closing frame of silence, padded to four
// seconds, and the pre-gaps (two seconds at least before the first track),
// plus a reserve of kSizeReserve bytes for the files' headers. The temporary
// volume must hold it; a disc must have more than it free. The burner checks
// the staged album against the disc again when the burn starts.
//
// Threads. start, cancel and the destructor run on the message thread; the
// waits, rendering and burning on the session's thread; the converter renders
// on its own. The destructor and waitForWorkToEnd join the thread. Song
// records are read by the session's thread under the message-manager lock.
// The flags are atomic.
class DiscBurnSession : public OutputExportSessionBase, public juce::Thread
{
public:
    static constexpr const char* kSessionNameKey = ExportSessionNames::kDiscBurn;
    static constexpr const char* kErrorDriveCannotBurnDSDDiscKey = "DiscBurn_DriveCannotBurnDSDDisc";
    static constexpr const char* kErrorCannotOpenDriveKey = "DiscBurn_CannotOpenDrive";
    static constexpr const char* kErrorNoSongToExportKey = "DiscBurn_NoSongToExport";
    static constexpr const char* kErrorTooManyTracksKey = "DiscBurn_TooManyTracks";
    static constexpr const char* kErrorCannotCreateTempDirKey = "DiscBurn_CannotCreateTempDir";
    static constexpr const char* kErrorDiskFullKey = "DiscBurn_DiskFull";
    static constexpr const char* kErrorOver4GBKey = "DiscBurn_Over4GB";
    static constexpr const char* kErrorCannotCreateTempFileKey = "DiscBurn_CannotCreateTempFile";
    static constexpr const char* kErrorDiscNotFoundKey = "DiscBurn_DiscNotFound";
    static constexpr const char* kErrorUsedErasableDiscKey = "DiscBurn_UsedErasableDisc";
    static constexpr const char* kErrorUsedDiscKey = "DiscBurn_UsedDisc";
    static constexpr const char* kErrorUnsuitableForDSDDiscKey = "DiscBurn_UnsuitableForDSDDisc";
    static constexpr const char* kErrorUnsuitableForAudioCDKey = "DiscBurn_UnsuitableForAudioCD";
    static constexpr const char* kErrorDriveCannotBurnThisTypeOfDiscKey =
        "DiscBurn_DriveCannotBurnThisTypeOfDisc";
    static constexpr const char* kErrorOverDiscSizeKey = "DiscBurn_OverDiscSize";
    static constexpr const char* kWarningFileNotFoundKey = "DiscBurn_FileNotFound";
    static constexpr const char* kWarningNeedToReplaceDiscKey = "DiscBurn_NeedToReplaceDisc";
    static constexpr const char* kWarningSilenceAppendedKey = "DiscBurn_SilenceAppended";
    static constexpr const char* kStatusCreateTempKey = "DiscBurn_CreateTemp";
    static constexpr const char* kStatusWaitForBlankDiscKey = "DiscBurn_WaitForBlankDisc";
    static constexpr const char* kStatusOpenSessionKey = "DiscBurn_OpenSession";
    static constexpr const char* kStatusWriteTracksKey = "DiscBurn_WriteTracks";
    static constexpr const char* kStatusCloseSessionKey = "DiscBurn_CloseSession";
    static constexpr const char* kStatusVerifyKey = "DiscBurn_Verify";
    static constexpr const char* kStatusCancelKey = "DiscBurn_Cancelling";
    static constexpr const char* kFailedKey = "DiscBurn_Failed";
    static constexpr const char* kTempPrefix = "VextalDiscImage_";

    static constexpr int kMaxTracks = 99;
    static constexpr int64_t kSizeReserve = 10000000;
    static constexpr int64_t kMaxSongBytes = int64_t(1) << 32;
    static constexpr double kMinSongSeconds = 4.0;
    static constexpr int kPollMs = 200;
    // How often a burner that can miss a change of medium is looked at again
    // while a blank disc is waited for.
    static constexpr int kMediumRecheckMs = 2000;

    // Copies both parameter sets; nothing touches the burner yet. host and
    // commands: see OutputExportSessionBase.
    DiscBurnSession(CAudioDiscBurnProxy& burner, const CommonExportParameter& common,
                    const DiscBurnParameter& disc, CVXHost* host = nullptr,
                    CommandManager* commands = nullptr);
    // Stops a running session (as cancel does) and joins its thread.
    ~DiscBurnSession() override;

    const char* getSessionNameKey() override { return kSessionNameKey; }
    // The checks; true when the thread runs (the session then ends with
    // exportEnded), false after an error or a refused warning, with nothing
    // running and nothing left on disk.
    bool start() override;
    uint32_t getOutputSampleRate() override;
    // The last burn attempt of this session ended done.
    bool isSucceeded() override;
    // The burner's text of the last failure; else the localized
    // "DiscBurn_Failed".
    juce::String getLastErrorMessage() override;
    void waitForWorkToEnd() override;

    // Removes the staging folders a run left in the folder: the children
    // named "." + kTempPrefix + 14 digits, with their contents. Other names
    // (also a stamp with a "_n" suffix) are kept. Answers how many it
    // removed.
    static int deleteTempDirectories(const juce::String& folderPath);

    // The bytes the burner stages and burns for songs of these lengths
    // (frames at 44100 Hz) with this gap between them, without the reserve.
    static int64_t neededBytes(const std::vector<int64_t>& frames44100, float gapSeconds);

    // What start() found; for the sheet and tests.
    int64_t getSizeToWrite() const { return sizeToWrite; }
    const juce::File& getTempDirectory() const { return tempDirectory; }
    bool isSourceOnOutputDrive() const { return sourceOnOutputDrive; }

protected:
    void cancelOutputProcess() override;
    void run() override;

    // The disc readiness check; sets discErrorKey (null when ready) and
    // discErrorArgs.
    bool checkDiscReadyToWrite();
    // The staging folder in parent; the nonexistent file when it could not
    // be made.
    static juce::File createTempDirectory(const juce::File& parent);

    CAudioDiscBurnProxy& burner;
    CDDrive drive{};
    DiscBurnParameter discParameter;
    juce::File tempDirectory;
    int64_t sizeToWrite = 0;
    bool sourceOnOutputDrive = false;
    std::atomic<bool> pendingBurnCancel{false};
    const char* discErrorKey = nullptr;
    juce::StringArray discErrorArgs;

private:
    // The steps of start(); each notifies its failure.
    bool openDrive();
    bool checkSongs();
    bool openStaging();
    // Removes what openStaging made, then notifies the error.
    bool failStaged(const char* key);
    CVXConverterThread::ParameterSet converterParameters();
    bool checkSourceOnOutputDrive(bool& onDrive);
    bool checkSizeToWrite(int64_t& size);
    bool waitForBlankDisc();
    bool createTempFiles();
    bool burnDisc();
    // The session is to stop: cancelled, or its thread asked to exit.
    bool stopRequested() const;
    // Closes the staged album and the drive and removes the folder.
    void closeStaging();
    bool fail(const char* key, const juce::SparseSet<int>& songs = {}, const juce::StringArray& args = {});

    // -1 before the first burn attempt, then the burner's result of the
    // last one (0 done).
    std::atomic<int> m_burnResult{-1};
    // The medium the last readiness check saw.
    eDiscType m_checkedDiscType = kDiscTypeNone;
};
} // namespace Vextal
