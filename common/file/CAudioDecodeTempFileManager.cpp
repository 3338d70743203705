#include "common/file/CAudioDecodeTempFileManager.h"

#include "common/file/CAudioFileReadBase.h"

#include <cstdio>

namespace
{
const wchar_t kTempFilePrefix[] = L"VextalTempFile.";
const wchar_t kTempFileSuffix[] = L".tmp";

// The idle loop checks for the end request this often.
constexpr int kIdleStepMs = 10;
// One idle round, after which the loop would look for pending jobs.
constexpr int kIdleRoundMs = 500;
// The time the worker is expected to need to end.
constexpr int kStopBudgetMs = 5000;
} // namespace

std::recursive_mutex CAudioDecodeTempFileManager::s_instanceLock;
CAudioDecodeTempFileManager* CAudioDecodeTempFileManager::m_pInstance = nullptr;

CAudioDecodeTempFileManager::CAudioDecodeTempFileManager() = default;

CAudioDecodeTempFileManager::~CAudioDecodeTempFileManager()
{
    StopThread(-1);
}

CAudioDecodeTempFileManager* CAudioDecodeTempFileManager::GetInstance()
{
    std::lock_guard<std::recursive_mutex> guard(s_instanceLock);
    if (m_pInstance == nullptr)
    {
        m_pInstance = new CAudioDecodeTempFileManager();
        // Lowest priority: the worker only idles.
        m_pInstance->StartThread(0);
    }
    return m_pInstance;
}

void CAudioDecodeTempFileManager::DestroyInstance()
{
    std::lock_guard<std::recursive_mutex> guard(s_instanceLock);
    CAudioDecodeTempFileManager* manager = m_pInstance;
    if (manager == nullptr)
        return;

    manager->m_abort.store(true, std::memory_order_release);
    // The worker checks its end request every few milliseconds; this waits
    // for it and never abandons it.
    manager->StopThread(kStopBudgetMs);

    // A reader's destructor may hand further readers over.
    while (manager->DestructProcess() > 0)
    {
    }
    {
        // Readers still busy are left alone: their background work may still
        // be using them, so they cannot be deleted safely.
        std::lock_guard<std::mutex> listGuard(manager->m_lock);
        manager->m_deferredDeletions.clear();
    }
    manager->RemoveMadeFiles();

    m_pInstance = nullptr;
    delete manager;
}

void CAudioDecodeTempFileManager::SetTempDirectoryPath(const wchar_t* path)
{
    if (path == nullptr)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_tempFolder = path;
    ComputeNextTempFilePath();
}

std::wstring CAudioDecodeTempFileManager::GetNextTempFilePath()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_nextTempFilePath;
}

void CAudioDecodeTempFileManager::ComputeNextTempFilePath()
{
    std::wstring counter = std::to_wstring(m_fileCounter++);
    if (counter.size() < 3)
        counter.insert(0, 3 - counter.size(), L'0');

    std::wstring path = m_tempFolder;
    if (path.empty() || path.back() != L'/')
        path += L'/';
    path += kTempFilePrefix;
    path += counter;
    path += kTempFileSuffix;
    m_nextTempFilePath = std::move(path);
}

void CAudioDecodeTempFileManager::Delete(CAudioFileReadBase* reader)
{
    if (reader == nullptr)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_deferredDeletions.push_back(reader);
}

void CAudioDecodeTempFileManager::AddMadeFile(const wchar_t* sourcePath, const wchar_t* tempFilePath)
{
    if (tempFilePath == nullptr)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_madeFiles.push_back({sourcePath != nullptr ? sourcePath : L"", tempFilePath});
}

void CAudioDecodeTempFileManager::Run()
{
    // Decode jobs would be processed here, each followed by a pass over the
    // deferred deletions; no caller queues such jobs, so the worker only idles
    // in short steps until it is asked to end.
    while (!ThreadShouldExit() && !m_abort.load(std::memory_order_acquire))
    {
        for (int slept = 0; slept < kIdleRoundMs && !ThreadShouldExit(); slept += kIdleStepMs)
            Sleep(kIdleStepMs);
    }
}

size_t CAudioDecodeTempFileManager::DestructProcess()
{
    // The readers are taken out of the list so that their destructors do not
    // run under the lock; the busy ones are put back.
    std::vector<CAudioFileReadBase*> readers;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        readers.swap(m_deferredDeletions);
    }
    std::vector<CAudioFileReadBase*> busy;
    for (CAudioFileReadBase* reader : readers)
    {
        if (reader->IsProcessingInternally())
            busy.push_back(reader);
        else
            delete reader;
    }
    if (!busy.empty())
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_deferredDeletions.insert(m_deferredDeletions.begin(), busy.begin(), busy.end());
    }
    return readers.size() - busy.size();
}

void CAudioDecodeTempFileManager::RemoveMadeFiles()
{
    std::vector<AudioDecodeTempFileInfo> files;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        files.swap(m_madeFiles);
    }
    // Removal failures are of no consequence: the start-up clean-up removes
    // what is left.
    for (const AudioDecodeTempFileInfo& info : files)
        std::remove(juce::String(info.tempFilePath.c_str()).toRawUTF8());
}

bool CAudioDecodeTempFileManager::IsTempFileName(const juce::String& name)
{
    const juce::String prefix(kTempFilePrefix);
    const juce::String suffix(kTempFileSuffix);
    if (!name.startsWith(prefix) || !name.endsWith(suffix))
        return false;
    const int digitsEnd = name.length() - suffix.length();
    if (digitsEnd <= prefix.length())
        return false;
    return name.substring(prefix.length(), digitsEnd).containsOnly("0123456789");
}

int CAudioDecodeTempFileManager::RemoveLeftoverTempFiles(const juce::File& folder)
{
    if (!folder.isDirectory())
        return 0;
    int removed = 0;
    for (const juce::File& file : folder.findChildFiles(juce::File::findFiles, false, "VextalTempFile.*.tmp",
                                                        juce::File::FollowSymlinks::no))
    {
        if (IsTempFileName(file.getFileName()) && file.deleteFile())
            ++removed;
    }
    return removed;
}
