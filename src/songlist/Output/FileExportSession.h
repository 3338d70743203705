#pragma once

#include "src/songlist/Output/ExportParameter/FileExportParameter.h"
#include "src/songlist/Output/OutputExportSessionBase.h"

#include <juce_core/juce_core.h>

#include <cstdint>

namespace Vextal
{
// Writes the target songs of the songlist as audio files into one output
// folder. The export sheet builds it from the common and file export
// parameters and hands it to the export manager:
//
//     auto session = std::make_unique<Vextal::FileExportSession>(common, file);
//     std::unique_ptr<Vextal::ExportSession> s = std::move(session);
//     Vextal::ExportManager::GetInstance()->start(s);
//
// start() runs, on the message thread, every check that can refuse the
// export before a file is touched: the destination, the target songs, the
// file names (made safe from the song names; two songs that would write one
// file are an error), files that exist already (a warning: going on
// replaces them) or that the songlist itself uses (an error), the free space
// and the 4 GB limit of the format. Its thread "File Export Session" then
// runs the normalization pass, starts the converter thread that writes the
// files (each into a temporary file put in place only when complete, so a
// cancelled or failed song leaves no partial file and replaces nothing),
// reports progress every 200 ms and ends the session with the songs that
// failed.
//
// Threads. start() and the checks run on the message thread; run() on the
// session's thread; the converter renders on its own. Locks. See
// OutputExportSessionBase. The session's thread is joined before the session
// is deleted (waitForWorkToEnd, and the destructor).
class FileExportSession : public OutputExportSessionBase, public juce::Thread
{
public:
    static constexpr const char* kSessionNameKey = ExportSessionNames::kFileExport;
    static constexpr char kErrorDestinationNotFoundKey[] = "Export_DestinationNotFound";
    static constexpr char kWarningFileNotFoundKey[] = "Export_FileNotFound";
    static constexpr char kErrorNoSongToExportKey[] = "Export_NoSongToExport";
    static constexpr char kErrorAlreadyExistsInSonglistKey[] = "Export_AlreadyExistsInSonglist";
    static constexpr char kWarningAlreadyExistsKey[] = "Export_AlreadyExists";
    static constexpr char kErrorDiskFullKey[] = "Export_DiskFull";
    static constexpr char kWarningOver4GBKey[] = "Export_Over4GB";
    static constexpr char kErrorPCMOver4GBKey[] = "Export_PCMOver4GB";
    static constexpr char kErrorCannotOpenOutputFileKey[] = "Export_CannotOpenOutputFile";
    static constexpr char kErrorFileNameCollisionKey[] = "Export_FileNameCollision";

    // The space kept free beside the estimated size of the files.
    static constexpr int64_t kFreeSpaceMargin = 10000000;
    // The largest file a PCM format (and the converter's estimate) may reach.
    static constexpr int64_t kMaxPcmFileBytes = int64_t{1} << 32;
    // How often the thread reports the converter's progress.
    static constexpr int kProgressIntervalMs = 200;

    // Copies both parameter sets. host and commands: see
    // OutputExportSessionBase.
    FileExportSession(const CommonExportParameter& common, const FileExportParameter& file,
                      CVXHost* host = nullptr, CommandManager* commands = nullptr);
    // Cancels a thread still running and joins it.
    ~FileExportSession() override;

    const char* getSessionNameKey() override { return kSessionNameKey; }
    // Message thread: the checks, the converter, exportAboutToStart, the
    // thread. False when a check fails (its notice has been sent) or the
    // converter cannot be made.
    bool start() override;
    uint32_t getOutputSampleRate() override { return fileParameter.getSampleRate(); }
    void waitForWorkToEnd() override;
    void run() override;

    // The free bytes of the volume of a folder (statvfs); -1 when unknown.
    static int64_t freeBytesOfVolume(const juce::File& folder);

protected:
    // The output folder exists.
    bool checkDestination();
    // The safe file names of the songs: no two songs write one file.
    bool checkFileNames();
    // No output file replaces a file of the songlist; existing output files
    // only when the user agrees.
    bool checkOverwrite();
    // Enough free space, and no file over 4 GB where the format cannot hold
    // it.
    bool checkSizeToWrite();
    // The free bytes of the output folder's volume. Tests give their own.
    virtual int64_t freeBytesAt(const juce::File& folder) const { return freeBytesOfVolume(folder); }

    FileExportParameter fileParameter;

private:
    juce::File OutputFolder() const;
    juce::String Extension() const;
    // The names of a target song's files.
    juce::StringArray FileNamesOf(int songIndex) const;
    CVXConverterThread::ParameterSet ConverterParameters() const;
    // Converts and reports; true when every song was converted, false when
    // the run was cancelled or a song failed.
    bool ConvertSongs();
};
} // namespace Vextal
