#include "src/songlist/AddSongWorker.h"

#include "common/disc/linux/CAudioCDPath.h"
#include "library/util/CRegularFile.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/AudioCDTrackReader.h"
#include "src/songlist/AudioFileReader.h"
#include "src/songlist/DroppedFileList.h"
#include "src/songlist/SonglistFile.h"
#include "src/songlist/TrackInfo.h"
#include "src/songlist/VXSLReader.h"

namespace Vextal
{
namespace
{
// A folder or an audio CD weighs as much as this many files.
constexpr double kFolderWeight = 10.0;

// A folder, or an audio CD's volume (a drive or a disc image): paths whose
// songs are found inside them.
bool IsContainer(const juce::String& path)
{
    if (CAudioCDPath::IsVolumePath(path.toWideCharPointer()))
        return true;
    return juce::File::isAbsolutePath(path) && juce::File(path).isDirectory();
}

std::unique_ptr<TrackReader> ReaderFor(const juce::String& path)
{
    if (path.endsWithIgnoreCase(SonglistFile::kExtension))
        return std::make_unique<VXSLReader>(path);
    return std::make_unique<AudioFileReader>(path);
}

juce::String FileNameOf(const juce::String& path)
{
    return juce::File::isAbsolutePath(path) ? juce::File(path).getFileName() : path;
}
} // namespace

AddSongWorker::AddSongWorker(const juce::StringArray& paths)
{
    for (const juce::String& path : paths)
        (IsContainer(path) ? m_folders : m_files).add(path);
    m_files.sort(true);
    m_folders.sort(true);
}

AddSongWorker::~AddSongWorker() = default;

juce::String AddSongWorker::getCurrentFileName()
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_currentFileName;
}

void AddSongWorker::setCurrentFileName(const juce::String& name)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_currentFileName = name;
}

std::vector<std::unique_ptr<TrackInfo>> AddSongWorker::takeFinishedSongs()
{
    const std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::unique_ptr<TrackInfo>> taken;
    taken.swap(m_finished);
    return taken;
}

void AddSongWorker::deliverFinishedSongs()
{
    std::vector<std::unique_ptr<TrackInfo>> songs = takeFinishedSongs();
    if (m_sink && !songs.empty())
        m_sink(songs);
}

int AddSongWorker::readAll(TrackReader& reader, Feedback& feedback,
                           const std::function<void(double)>& progress)
{
    int count = 0;
    while (reader.isReady() && !feedback.shouldStop())
    {
        std::unique_ptr<TrackInfo> song = reader.next();
        if (song == nullptr)
            break;
        progress(reader.getCurrentProgress());
        const std::lock_guard<std::mutex> lock(m_lock);
        // Checked again under the lock: a stop asked meanwhile drops it.
        if (feedback.shouldStop())
            break;
        m_finished.push_back(std::move(song));
        ++count;
    }
    return count;
}

bool AddSongWorker::addFile(const juce::String& path, double progressBase, double progressStep,
                            Feedback& feedback)
{
    if (path.isEmpty() ||
        !(CRegularFile::IsRegular(path.toStdString()) || CAudioCDPath::IsTrackPath(path.toWideCharPointer())))
    {
        ++m_failed;
        return false;
    }
    std::unique_ptr<TrackReader> reader = ReaderFor(path);
    const int read = readAll(*reader, feedback,
                             [&feedback, progressBase, progressStep](double)
                             { feedback.setProgress(progressBase + progressStep); });
    if (read == 0 && !feedback.shouldStop())
        ++m_failed;
    return read > 0;
}

bool AddSongWorker::addVolume(const juce::String& path, int index, double total, Feedback& feedback)
{
    AudioCDTrackReader cd(path);
    if (!cd.isReady())
        return false;
    feedback.setStatusMessage(CZJEResource::GetText("Songlist_CheckAudioCDTrack"));
    setCurrentFileName(CZJEResource::GetText("DiscOpen_SongNamePrefix"));
    const double files = m_files.size();
    readAll(cd, feedback,
            [&feedback, index, total, files](double progress)
            { feedback.setProgress((files + (index + progress) * kFolderWeight) / total); });
    return true;
}

void AddSongWorker::addFolder(const juce::String& path, int index, double total, Feedback& feedback)
{
    feedback.setStatusMessage(CZJEResource::GetText("Songlist_SearchDirectory"));
    juce::StringArray listed;
    getFileListFromDroppedFile(path, listed, [&feedback] { return feedback.shouldStop(); });
    feedback.setStatusMessage(CZJEResource::GetText("Songlist_CheckFile"));
    const double n = listed.size();
    const double base = m_files.size() + kFolderWeight * index;
    for (int m = 0; m < listed.size() && !feedback.shouldStop(); ++m)
    {
        setCurrentFileName(FileNameOf(listed[m]));
        addFile(listed[m], (base + m * kFolderWeight / n) / total, (kFolderWeight / n) / total, feedback);
    }
}

void AddSongWorker::run(Feedback& feedback)
{
    const double total = m_files.size() + kFolderWeight * m_folders.size();
    feedback.setStatusMessage(CZJEResource::GetText("Songlist_CheckFile"));
    for (int i = 0; i < m_files.size() && !feedback.shouldStop(); ++i)
    {
        setCurrentFileName(FileNameOf(m_files[i]));
        addFile(m_files[i], i / total, 1.0 / total, feedback);
    }
    for (int j = 0; j < m_folders.size() && !feedback.shouldStop(); ++j)
    {
        setCurrentFileName(m_folders[j]);
        if (!addVolume(m_folders[j], j, total, feedback))
            addFolder(m_folders[j], j, total, feedback);
    }
}
} // namespace Vextal
