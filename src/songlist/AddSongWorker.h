#pragma once

#include <juce_core/juce_core.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Vextal
{
class TrackInfo;
class TrackReader;

// The add-songs work: turns paths into song records, files first, then
// folders and audio CDs, each list sorted without regard to letter case. A
// songlist file (".vxsl") gives its songs, an audio CD (a volume path, see
// CAudioCDPath) its tracks, a folder every file found in it and its
// subfolders (sorted by full path, symbolic-link cycles not followed), any
// other file the song of its audio. Paths that yield nothing (no reader
// accepts them, not a regular file, an invalid songlist) are counted in
// getNumFailedPaths and add nothing.
//
// Whoever runs it (a progress window's thread, or the caller's own) tells it
// through Feedback whether to stop and shows its progress and status.
//
// Threads. run reads and builds records on the thread that calls it and
// never touches the host. Finished records wait in a queue; the thread that
// owns the host takes them (takeFinishedSongs, or deliverFinishedSongs
// through the song sink), meanwhile or after run. A stop asked through Feedback ends the work before the next
// record: a record finished after the stop was asked is dropped, so the songs delivered are exactly those
// finished before it.
class AddSongWorker
{
public:
    // What the runner of the work offers it; called on the worker's thread.
    class Feedback
    {
    public:
        virtual ~Feedback() = default;
        virtual bool shouldStop() = 0;
        // 0.0 to 1.0.
        virtual void setProgress(double progress) = 0;
        virtual void setStatusMessage(const juce::String& text) = 0;
    };

    // Receives finished records, in order.
    using SongSink = std::function<void(std::vector<std::unique_ptr<TrackInfo>>&)>;

    explicit AddSongWorker(const juce::StringArray& paths);
    ~AddSongWorker();

    void setSongSink(SongSink sink) { m_sink = std::move(sink); }
    // The records finished and not yet taken, in order. Any thread.
    std::vector<std::unique_ptr<TrackInfo>> takeFinishedSongs();
    // Hands the finished records to the sink.
    void deliverFinishedSongs();

    // Does the whole work, or stops when feedback says so.
    void run(Feedback& feedback);
    // Reads the songs of one file; false when it yields none.
    bool addFile(const juce::String& path, double progressBase, double progressStep, Feedback& feedback);

    const juce::StringArray& getFiles() const { return m_files; }
    const juce::StringArray& getFolders() const { return m_folders; }
    // Paths that yielded no song (after the run).
    int getNumFailedPaths() const { return m_failed.load(); }
    // The name of the file or folder being read; any thread.
    juce::String getCurrentFileName();

private:
    // Reads every record of the reader into the queue; stops at once when
    // the runner asks to stop. The number of records read.
    int readAll(TrackReader& reader, Feedback& feedback, const std::function<void(double)>& progress);
    bool addVolume(const juce::String& path, int index, double total, Feedback& feedback);
    void addFolder(const juce::String& path, int index, double total, Feedback& feedback);
    void setCurrentFileName(const juce::String& name);

    juce::StringArray m_files;
    juce::StringArray m_folders;
    std::mutex m_lock;
    juce::String m_currentFileName;
    std::vector<std::unique_ptr<TrackInfo>> m_finished;
    std::atomic<int> m_failed{0};
    SongSink m_sink;
};
} // namespace Vextal
