#include "src/AddSongThreadWithProgressWindow.h"

#include "common/disc/linux/CAudioCDPath.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/AudioCDTrackReader.h"
#include "src/AudioFileReader.h"
#include "src/DroppedFileList.h"
#include "src/SonglistFile.h"
#include "src/TrackInfo.h"
#include "src/VXSLReader.h"

#include <sys/stat.h>

namespace Vextal
{
namespace
{
constexpr int kCancelTimeOutMs = 1000;
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

// Only regular files are opened: a named pipe or a device found in a folder
// would block the reader or read forever.
bool IsRegularFile(const juce::String& path)
{
    struct stat st = {};
    return ::stat(path.toRawUTF8(), &st) == 0 && S_ISREG(st.st_mode);
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

AddSongThreadWithProgressWindow::AddSongThreadWithProgressWindow(const juce::StringArray& paths)
    : ThreadWithCustomProgressWindow(CZJEResource::GetText("Songlist_AddAudioFiles"), true, true,
                                     kCancelTimeOutMs, CZJEResource::GetText("Button_Cancel"))
{
    for (const juce::String& path : paths)
        (IsContainer(path) ? m_folders : m_files).add(path);
    m_files.sort(true);
    m_folders.sort(true);
    m_label.setName("File Name Label");
    m_label.setSize(284, 15);
    m_label.setJustificationType(juce::Justification::centredLeft);
}

AddSongThreadWithProgressWindow::~AddSongThreadWithProgressWindow()
{
    // The worker must be gone before the members it uses.
    signalThreadShouldExit();
    waitForThreadToExit(-1);
}

void AddSongThreadWithProgressWindow::createCustomComponents(juce::Array<juce::Component*>& components)
{
    components.add(&m_label);
}

void AddSongThreadWithProgressWindow::updateCustomComponents()
{
    juce::String name;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        name = m_currentFileName;
    }
    m_label.setText(name, juce::dontSendNotification);
    deliverFinishedSongs();
}

void AddSongThreadWithProgressWindow::setCurrentFileName(const juce::String& name)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_currentFileName = name;
}

std::vector<std::unique_ptr<TrackInfo>> AddSongThreadWithProgressWindow::takeFinishedSongs()
{
    const std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::unique_ptr<TrackInfo>> taken;
    taken.swap(m_finished);
    return taken;
}

void AddSongThreadWithProgressWindow::deliverFinishedSongs()
{
    std::vector<std::unique_ptr<TrackInfo>> songs = takeFinishedSongs();
    if (m_sink && !songs.empty())
        m_sink(songs);
}

int AddSongThreadWithProgressWindow::readAll(TrackReader& reader, const std::function<void(double)>& progress)
{
    int count = 0;
    while (reader.isReady() && !threadShouldExit())
    {
        std::unique_ptr<TrackInfo> song = reader.next();
        if (song == nullptr)
            break;
        progress(reader.getCurrentProgress());
        const std::lock_guard<std::mutex> lock(m_lock);
        // Checked again under the lock: a stop asked meanwhile drops it.
        if (threadShouldExit())
            break;
        m_finished.push_back(std::move(song));
        ++count;
    }
    return count;
}

bool AddSongThreadWithProgressWindow::addFile(const juce::String& path, double progressBase,
                                              double progressStep)
{
    if (path.isEmpty() || !(IsRegularFile(path) || CAudioCDPath::IsTrackPath(path.toWideCharPointer())))
    {
        ++m_failed;
        return false;
    }
    std::unique_ptr<TrackReader> reader = ReaderFor(path);
    const int read = readAll(*reader, [this, progressBase, progressStep](double)
                             { setProgress(progressBase + progressStep); });
    if (read == 0 && !threadShouldExit())
        ++m_failed;
    return read > 0;
}

bool AddSongThreadWithProgressWindow::addVolume(const juce::String& path, int index, double total)
{
    AudioCDTrackReader cd(path);
    if (!cd.isReady())
        return false;
    setStatusMessage(CZJEResource::GetText("Songlist_CheckAudioCDTrack"));
    setCurrentFileName(CZJEResource::GetText("DiscOpen_SongNamePrefix"));
    const double files = m_files.size();
    readAll(cd, [this, index, total, files](double progress)
            { setProgress((files + (index + progress) * kFolderWeight) / total); });
    return true;
}

void AddSongThreadWithProgressWindow::addFolder(const juce::String& path, int index, double total)
{
    setStatusMessage(CZJEResource::GetText("Songlist_SearchDirectory"));
    juce::StringArray listed;
    getFileListFromDroppedFile(path, listed, this);
    setStatusMessage(CZJEResource::GetText("Songlist_CheckFile"));
    const double n = listed.size();
    const double base = m_files.size() + kFolderWeight * index;
    for (int m = 0; m < listed.size() && !threadShouldExit(); ++m)
    {
        setCurrentFileName(FileNameOf(listed[m]));
        addFile(listed[m], (base + m * kFolderWeight / n) / total, (kFolderWeight / n) / total);
    }
}

void AddSongThreadWithProgressWindow::run()
{
    const double total = m_files.size() + kFolderWeight * m_folders.size();
    setStatusMessage(CZJEResource::GetText("Songlist_CheckFile"));
    for (int i = 0; i < m_files.size() && !threadShouldExit(); ++i)
    {
        setCurrentFileName(FileNameOf(m_files[i]));
        addFile(m_files[i], i / total, 1.0 / total);
    }
    for (int j = 0; j < m_folders.size() && !threadShouldExit(); ++j)
    {
        setCurrentFileName(m_folders[j]);
        if (!addVolume(m_folders[j], j, total))
            addFolder(m_folders[j], j, total);
    }
}
} // namespace Vextal
