#pragma once

#include "src/ThreadWithCustomProgressWindow.h"
#include "src/songlist/AddSongWorker.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

namespace Vextal
{
class TrackInfo;

// The add-songs work (AddSongWorker) run under a modal progress window
// ("Songlist_AddAudioFiles", the name of the file being read, a progress bar,
// a Cancel button). Cancel stops the worker before the next record.
//
// Threads. Finished records wait in the worker's queue; the message thread
// takes them (takeFinishedSongs), every 100 ms through the song sink while
// the window runs and once more after it.
class AddSongThreadWithProgressWindow : public ThreadWithCustomProgressWindow
{
public:
    using SongSink = AddSongWorker::SongSink;

    explicit AddSongThreadWithProgressWindow(const juce::StringArray& paths);
    ~AddSongThreadWithProgressWindow() override;

    void setSongSink(SongSink sink) { m_worker.setSongSink(std::move(sink)); }
    std::vector<std::unique_ptr<TrackInfo>> takeFinishedSongs() { return m_worker.takeFinishedSongs(); }
    // Message thread: hands the finished records to the sink.
    void deliverFinishedSongs() { m_worker.deliverFinishedSongs(); }

    // Worker thread.
    void run() override;
    // Reads the songs of one file; false when it yields none.
    bool addFile(const juce::String& path, double progressBase, double progressStep);

    const juce::StringArray& getFiles() const { return m_worker.getFiles(); }
    const juce::StringArray& getFolders() const { return m_worker.getFolders(); }
    // Paths that yielded no song (after the run).
    int getNumFailedPaths() const { return m_worker.getNumFailedPaths(); }

    // Runs the worker of an add-songs action under the window, with every
    // main window disabled meanwhile, and hands the finished records to its
    // sink. Message thread.
    static void runWithWindow(AddSongWorker& worker);

protected:
    void createCustomComponents(juce::Array<juce::Component*>& components) override;
    void updateCustomComponents() override;

private:
    AddSongThreadWithProgressWindow(AddSongWorker* worker, const juce::StringArray& paths);

    // The worker's view of the window: Cancel, the progress bar, the status.
    class WindowFeedback : public AddSongWorker::Feedback
    {
    public:
        explicit WindowFeedback(AddSongThreadWithProgressWindow& window) : m_window(window) {}
        bool shouldStop() override { return m_window.threadShouldExit(); }
        void setProgress(double progress) override { m_window.setProgress(progress); }
        void setStatusMessage(const juce::String& text) override { m_window.setStatusMessage(text); }

    private:
        AddSongThreadWithProgressWindow& m_window;
    };

    std::unique_ptr<AddSongWorker> m_ownWorker;
    AddSongWorker& m_worker;
    WindowFeedback m_feedback{*this};
    juce::Label m_label;
};
} // namespace Vextal
