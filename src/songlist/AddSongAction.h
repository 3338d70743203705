#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <functional>
#include <memory>
#include <vector>

class CVXHost;

namespace Vextal
{
class AddSongWorker;
class TrackInfo;

// Adds the songs of files, folders, songlists and audio CDs as one undoable
// step. Its first perform runs the add-songs work (AddSongWorker) through the
// runner it was made with, with the host's listeners taken off: the
// interface's runner shows a modal progress window and disables the main
// window meanwhile (AddSongThreadWithProgressWindow::runWithWindow); without
// one the work runs on the message thread itself, which it blocks as long.
// The records the worker finishes are given unique names and inserted on the
// message thread, one after the other from the insert position. The
// listeners then get one song-count notice and the new selection (the added
// songs, scrolled into view); a songlist that was empty gets its first song
// as current song.
//
// Undo takes the added records out (they are kept); redo puts the same
// records back without reading a file again. An action that added nothing
// is not kept by the undo stack.
//
// Threads. Message thread only; the worker never touches the host.
class AddSongAction : public juce::UndoableAction
{
public:
    // The insert position that appends.
    static constexpr int kAppend = -1;

    // Runs the work to its end (or until it is cancelled) and hands every
    // finished record to the worker's sink on the message thread.
    using Runner = std::function<void(AddSongWorker&)>;

    // Over a given host (the application's is the host singleton).
    AddSongAction(CVXHost& host, const juce::StringArray& paths, int insertPosition = kAppend,
                  Runner runner = {});
    ~AddSongAction() override;

    bool perform() override;
    bool undo() override;

    // Whether an add-songs worker runs (in any action).
    static bool isRunning();

    int getNumAdded() const { return m_added; }
    int getInsertPosition() const { return m_position; }
    // Paths of the first run that gave no song.
    int getNumFailedPaths() const { return m_failedPaths; }

private:
    void runWorker();
    void insertFinished(std::vector<std::unique_ptr<TrackInfo>>& songs);

    CVXHost& m_host;
    Runner m_runner;
    bool m_performed = false;
    juce::StringArray m_paths;
    int m_position;
    int m_added = 0;
    int m_inserted = 0;
    int m_failedPaths = 0;
    std::vector<std::unique_ptr<TrackInfo>> m_kept;
};
} // namespace Vextal
