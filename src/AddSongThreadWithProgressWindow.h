#pragma once

#include "src/ThreadWithCustomProgressWindow.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Vextal
{
class TrackInfo;
class TrackReader;

// The worker that turns paths into song records under a modal progress
// window ("Songlist_AddAudioFiles", a progress bar, a Cancel button): files
// first, then folders and audio CDs, each list sorted without regard to
// letter case. A songlist file (".vxsl") gives its songs, an audio CD (a
// volume path, see CAudioCDPath) its tracks, a folder every file found in it
// and its subfolders (sorted by full path, symbolic-link cycles not
// followed), any other file the song of its audio. Paths that yield nothing
// (no reader accepts them, not a regular file, an invalid songlist) are
// counted in getNumFailedPaths and add nothing.
//
// Threads. The worker only reads and builds records: it never touches the
// host. Finished records wait in a queue; the message thread takes them
// (takeFinishedSongs), every 100 ms through the song sink while the window
// runs and once more after it. Cancel stops the worker before the next
// record: a record finished after the stop was asked is dropped, so the
// songs delivered are exactly those finished before it.
class AddSongThreadWithProgressWindow : public ThreadWithCustomProgressWindow
{
public:
    // Receives finished records on the message thread, in order.
    using SongSink = std::function<void(std::vector<std::unique_ptr<TrackInfo>>&)>;

    explicit AddSongThreadWithProgressWindow(const juce::StringArray& paths);
    ~AddSongThreadWithProgressWindow() override;

    void setSongSink(SongSink sink) { m_sink = std::move(sink); }
    // The records finished and not yet taken, in order. Any thread.
    std::vector<std::unique_ptr<TrackInfo>> takeFinishedSongs();
    // Message thread: hands the finished records to the sink.
    void deliverFinishedSongs();

    // Worker thread.
    void run() override;
    // Reads the songs of one file; false when it yields none.
    bool addFile(const juce::String& path, double progressBase, double progressStep);

    const juce::StringArray& getFiles() const { return m_files; }
    const juce::StringArray& getFolders() const { return m_folders; }
    // Paths that yielded no song (after the run).
    int getNumFailedPaths() const { return m_failed.load(); }

protected:
    void createCustomComponents(juce::Array<juce::Component*>& components) override;
    void updateCustomComponents() override;

private:
    // Reads every record of the reader into the queue; stops at once when
    // the thread is asked to exit. The number of records read.
    int readAll(TrackReader& reader, const std::function<void(double)>& progress);
    bool addVolume(const juce::String& path, int index, double total);
    void addFolder(const juce::String& path, int index, double total);
    void setCurrentFileName(const juce::String& name);

    juce::StringArray m_files;
    juce::StringArray m_folders;
    juce::Label m_label;
    std::mutex m_lock;
    juce::String m_currentFileName;
    std::vector<std::unique_ptr<TrackInfo>> m_finished;
    std::atomic<int> m_failed{0};
    SongSink m_sink;
};
} // namespace Vextal
