#pragma once

#include "common/dsp/CThread.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class CAudioFileReadBase;

// A temporary file made while decoding: the file it was decoded from and the
// temporary file itself.
struct AudioDecodeTempFileInfo
{
    std::wstring sourcePath;
    std::wstring tempFilePath;
};

// The process-wide owner of the temporary files made while decoding compressed
// audio, and of readers whose owners are done with them while the readers may
// still be preparing audio in the background.
//
// Readers handed to Delete() are kept until DestroyInstance() at shutdown,
// which deletes every one that is no longer busy. A reader still busy then is
// left alone (its background work may still be using it). The temporary files
// recorded with AddMadeFile() are removed at the same time.
//
// The manager runs a worker thread of the lowest priority. Decode jobs are not
// queued by any caller, so the worker only idles until it is asked to end.
//
// Temporary files are named "VextalTempFile.<counter>.tmp", the counter written
// with at least three digits, directly in the temporary folder.
class CAudioDecodeTempFileManager : public CThread
{
public:
    // The instance; created and started on the first call.
    static CAudioDecodeTempFileManager* GetInstance();

    // Shutdown: stops the worker, deletes the deferred readers that are not
    // busy, removes the recorded temporary files and deletes the instance.
    // Nothing when there is no instance. Every pointer to the instance is
    // invalid afterwards.
    static void DestroyInstance();

    // Stores the temporary folder and computes the next temporary file path
    // in it (which advances the counter). A null path is ignored.
    void SetTempDirectoryPath(const wchar_t* path);

    // The temporary file path computed last; empty before the first folder.
    std::wstring GetNextTempFilePath();

    // Takes over a reader for deletion; the caller must not touch it again.
    // May be called from any thread. A null reader is ignored.
    void Delete(CAudioFileReadBase* reader);

    // Records a temporary file to be removed at shutdown. May be called from
    // any thread.
    void AddMadeFile(const wchar_t* sourcePath, const wchar_t* tempFilePath);

    // Whether a file name is one of the temporary names: "VextalTempFile."
    // followed by one or more decimal digits and ".tmp".
    static bool IsTempFileName(const juce::String& name);

    // Deletes every file directly in the folder whose name is a temporary
    // name (left over by a process that ended without its shutdown). Returns
    // the number of files deleted.
    static int RemoveLeftoverTempFiles(const juce::File& folder);

protected:
    // Idles until asked to end.
    void Run() override;

private:
    CAudioDecodeTempFileManager();
    ~CAudioDecodeTempFileManager() override;

    // Deletes every deferred reader that is not busy; busy ones stay listed.
    // Returns the number deleted.
    size_t DestructProcess();
    // Removes every recorded temporary file and empties the list.
    void RemoveMadeFiles();
    // The temporary file path for the current counter; advances the counter.
    // The caller holds m_lock.
    void ComputeNextTempFilePath();

    // Guards the instance pointer; recursive so that a reader deleted at
    // shutdown may still reach the instance.
    static std::recursive_mutex s_instanceLock;
    static CAudioDecodeTempFileManager* m_pInstance;

    // Guards the lists, the folder, the next path and the counter.
    std::mutex m_lock;
    std::vector<AudioDecodeTempFileInfo> m_madeFiles;
    std::vector<CAudioFileReadBase*> m_deferredDeletions;
    std::wstring m_tempFolder;
    std::wstring m_nextTempFilePath;
    uint64_t m_fileCounter = 0;

    // Set at the start of shutdown.
    std::atomic<bool> m_abort{false};
};
