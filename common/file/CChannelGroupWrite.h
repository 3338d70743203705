#pragma once

#include "common/file/CAudioRecorderOutput.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CAtomicFileWriter;
class CAudioFileWriteBase;

// One audio sink whose channels are split over several files of one format:
// one file for all channels, or one file per channel named with ".trk1",
// ".trk2", ... before the extension.
//
// The group's markers and song information reach its files when the files
// are closed (or at once for the song information after SetMetaDataFixed).
// Files are written beside their targets and replace them only when the whole
// group is closed completely (EjectAllFiles, RenameAndEject...): when any of
// its files fails, none replaces its target. The Finish... operations close
// the files without replacing any target yet, for an owner that commits them
// with others (the song writer). A group that is removed, fails to open or is
// destroyed unclosed leaves every target as it was.
class CChannelGroupWrite : public CAudioRecorderOutput
{
public:
    // The longest file name the naming functions build, in characters.
    static constexpr int kMaxPathLength = 1024;

    // formatId as the writer factory takes it ("wav", "aiff", "aac"); at most
    // 15 characters are kept. quality is the format's own choice (the AAC
    // bit rate).
    CChannelGroupWrite(const char* formatId, uint32_t sampleRate, uint16_t bitsPerSample, int quality);
    // Discards every file that was not committed; no target is touched.
    ~CChannelGroupWrite() override;

    // Discards every file that was not committed; no target is touched.
    void RemoveFile() override;
    uint32_t GetSampleRate() override;
    uint16_t GetNumChannels() override;
    uint16_t GetBitsPerSample() override;
    bool IsFloatingPoint() override;
    // File 0 takes the first of the buffers, file 1 the next, and so on.
    // Returns the smallest count any file wrote, so that a file that failed
    // shows as a short write.
    uint32_t WriteAudioData(float** bufs, uint32_t n) override;
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override;
    uint32_t WriteAudioData(uint8_t** bufs, uint32_t n) override;
    // Hands the song information to the files now and to any file added
    // later; closing no longer copies it.
    void SetMetaDataFixed() override;

    // totalChannels / channelsPerFile, at least 1 (also for a channelsPerFile
    // of 0).
    static int GetNumFilesToBeCreated(uint16_t totalChannels, uint16_t channelsPerFile);
    // The name of file index of numFiles: base + ext for a single file,
    // otherwise base + ".trk" + (index + 1) + ext. dst holds dstLen characters
    // and a terminator. False, with dst empty, when index is not below
    // numFiles or the name is longer than dstLen.
    static bool GetFileNameToBeCreated(wchar_t* dst, int dstLen, const wchar_t* base, const wchar_t* ext,
                                       int numFiles, int index);
    // Deletes the files an output of these channels would be written to.
    static void RemoveMultipleAudioFiles(const wchar_t* base, const wchar_t* ext, uint16_t totalChannels,
                                         uint16_t channelsPerFile);

    // Opens the files for totalChannels channels, channelsPerFile to a file.
    // False, with nothing left open and no target touched, when a name is too
    // long or any file cannot be created.
    bool OpenMultipleAudioFiles(const wchar_t* base, const wchar_t* ext, uint16_t totalChannels,
                                uint16_t channelsPerFile);
    // Appends a file of channels channels; false when it cannot be created.
    bool AddAudioFile(const wchar_t* path, uint16_t channels);

    // Closes every file with the group's markers (and, unless fixed, its song
    // information) and puts them all in place of their targets. False when
    // any file could not be written completely; no target is replaced then.
    bool EjectAllFiles();
    // Closes file i under newNames[i] (where not null) and the others under
    // their own names, as EjectAllFiles.
    bool RenameAndEjectAudioFiles(const wchar_t* const* newNames);
    // Closes the files under the names GetFileNameToBeCreated gives base and
    // ext; false also when a name is too long (every file is then discarded).
    bool RenameAndEjectMultipleAudioFiles(const wchar_t* base, const wchar_t* ext);

    // As EjectAllFiles and RenameAndEjectMultipleAudioFiles, but the finished
    // files replace no target: TakeFinishedFiles hands them over. On failure
    // every file of the group is discarded.
    bool FinishAllFiles();
    bool FinishMultipleAudioFiles(const wchar_t* base, const wchar_t* ext);
    // The files finished and not yet committed, in order (the caller commits
    // them with CAtomicFileWriter::CommitAll or drops them); their target
    // paths are appended to paths when given.
    std::vector<std::unique_ptr<CAtomicFileWriter>>
    TakeFinishedFiles(std::vector<std::wstring>* paths = nullptr);

    int GetNumFiles() const { return static_cast<int>(m_files.size()); }
    // The first file's size so far; 0 when there is none.
    int64_t GetEachFileSize();
    // The seconds written so far.
    double GetCurTimeSecond();

private:
    template <typename T>
    uint32_t Write(T** bufs, uint32_t n);
    // Hands the markers and song information to file i and finishes it under
    // newName (its own name when null) into the finished files.
    bool FinishOne(size_t i, const wchar_t* newName);
    // Finishes every file (file i under newNames[i] where given); on failure
    // everything is discarded.
    bool FinishFiles(const wchar_t* const* newNames);
    // Builds the names of RenameAndEjectMultipleAudioFiles into names;
    // false when one does not fit.
    bool BuildNames(const wchar_t* base, const wchar_t* ext, std::vector<std::vector<wchar_t>>& names,
                    std::vector<const wchar_t*>& pointers);
    // Commits the finished files together.
    bool CommitFinishedFiles();
    void DropFinishedFiles();

    std::vector<std::unique_ptr<CAudioFileWriteBase>> m_files;
    // Files finished but not committed, and their targets.
    std::vector<std::unique_ptr<CAtomicFileWriter>> m_finished;
    std::vector<std::wstring> m_finishedPaths;
    char m_formatId[16] = {};
    uint32_t m_sampleRate;
    uint16_t m_bitsPerSample;
    int m_quality;
    bool m_bMetaDataFixed = false;
};
