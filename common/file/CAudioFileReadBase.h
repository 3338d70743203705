#pragma once

#include "common/file/CAudioPlayerInput.h"
#include "common/file/CAudioRecorderOutput.h"
#include "common/file/CBinaryFile64.h"

// OpenFile results shared by every audio file reader and writer.
enum EAudioFileOpenResult
{
    kAudioFileOpened = 0,
    kAudioFileCannotOpen = 2,
    kAudioFileUnsupportedFormat = 3,
    kAudioFileNotThisFormat = 4
};

// The base of file-backed sources. A reader exposes a window of its file's
// frames: after OpenFile the whole file; ExtractData narrows it. Position 0 is
// the window's first frame.
class CAudioFileReadBase : protected CBinaryFile64, public CAudioPlayerInput
{
public:
    CAudioFileReadBase();
    ~CAudioFileReadBase() override;

    virtual int OpenFile(const wchar_t* path) = 0;
    virtual void CloseFile() = 0;
    virtual const char* GetFormatUniqueID() = 0;
    virtual int GetMediaUniqueID() { return 0; }
    // Narrows the window to file frames start .. end-1.
    virtual void ExtractData(int64_t start, int64_t end) = 0;
    // The file frame of the window's first frame.
    virtual int64_t GetAbsStartSample() = 0;
    virtual int64_t GetCurAbsSamplePosition() { return GetAbsStartSample() + GetCurSamplePosition(); }
    virtual uint32_t GetAttachedPictureSize() { return 0; }
    virtual uint32_t ReadAttachedPicture(uint8_t* buf, uint32_t size);
    virtual uint32_t ReadAudioDataForInternalProcess(int32_t** bufs, uint32_t n);

    // The path the reader was opened on. Readers that read no file of their
    // own (the audio-CD readers) answer the path of their medium.
    virtual const wchar_t* GetFileName() { return CBinaryFile64::GetFileName(); }
    int64_t GetAbsStopSample() { return GetAbsStartSample() + GetNumSamples(); }
    // Writes the file's modification date and time into the recording date
    // and time of the song information.
    bool UseFileTimeStampAsRecDate();
};

// The base of file-backed sinks. What is written goes to a temporary file
// beside the target and replaces the target only when CloseFile succeeds. A
// writer destroyed (or reopened) without CloseFile discards what it wrote:
// an early return or an exception never replaces a target, so every owner
// closes explicitly and checks the result.
class CAudioFileWriteBase : protected CBinaryFile64, public CAudioRecorderOutput
{
public:
    CAudioFileWriteBase();
    // Discards an unclosed file.
    ~CAudioFileWriteBase() override;

    virtual int OpenFile(const wchar_t* path, uint32_t rate, uint16_t bits, uint16_t channels,
                         int quality) = 0;
    // Finishes and closes the file; false when the file could not be written
    // completely (the target is then left as it was).
    virtual bool CloseFile() = 0;
    void RemoveFile() override;
    virtual const char* GetFormatUniqueID() = 0;
    virtual int64_t GetFileSize() { return CBinaryFile64::GetFileSize(); }
    virtual int64_t GetCurSamplePosition() = 0;
    virtual int SetMultipleMonoChIndex(int, uint16_t) { return -1; }
    virtual void GetCurTime(int* hours, int* minutes, float* seconds);
    virtual double GetCurTimeSecond();

    using CBinaryFile64::GetFileName;
    using CBinaryFile64::IsFileOpen;
    // Finishes the file under another name; false when nothing was open or
    // the file could not be finished.
    bool CloseAndRenameFile(const wchar_t* newPath);
    // Finishes the file as CloseFile does (for newPath when given) but
    // replaces no target yet: the finished file is returned for the caller to
    // commit, with others, when its whole output is complete; dropping it
    // discards it. Null when nothing was open or the file could not be
    // finished.
    std::unique_ptr<CAtomicFileWriter> CloseFileUncommitted(const wchar_t* newPath = nullptr);
};
