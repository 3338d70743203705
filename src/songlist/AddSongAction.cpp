#include "src/songlist/AddSongAction.h"

#include "library/util/CCheckUtil.h"
#include "src/songlist/AddSongWorker.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/HostListenersTakenOff.h"
#include "src/songlist/TrackInfo.h"

#include <atomic>

namespace Vextal
{
namespace
{
std::atomic<int> g_runningWorkers{0};

// The work to its end on the calling thread, with no progress shown.
void RunOnCallingThread(AddSongWorker& worker)
{
    class NoFeedback : public AddSongWorker::Feedback
    {
    public:
        bool shouldStop() override { return false; }
        void setProgress(double) override {}
        void setStatusMessage(const juce::String&) override {}
    };
    NoFeedback feedback;
    worker.run(feedback);
    worker.deliverFinishedSongs();
}

} // namespace

AddSongAction::AddSongAction(CVXHost& host, const juce::StringArray& paths, int insertPosition, Runner runner)
    : m_host(host), m_runner(runner ? std::move(runner) : Runner(RunOnCallingThread)), m_paths(paths),
      m_position(insertPosition < 0 ? host.GetNumSongs() : insertPosition)
{
}

AddSongAction::~AddSongAction() = default;

bool AddSongAction::isRunning()
{
    return g_runningWorkers.load() > 0;
}

bool AddSongAction::perform()
{
    VX_ASSERT_MESSAGE_THREAD();
    const int before = m_host.GetNumSongs();
    if (m_performed)
    {
        for (size_t i = 0; i < m_kept.size(); ++i)
            m_host.InsertTrack(m_position + static_cast<int>(i), std::move(m_kept[i]));
        m_kept.clear();
    }
    else
    {
        runWorker();
    }
    m_added = m_host.GetNumSongs() - before;
    if (before == 0 && m_added > 0)
        m_host.SetCurPlayTrack(0, true, false);
    m_host.SetSelectedSongs(m_position, m_added, true);
    m_performed = true;
    return m_added > 0;
}

void AddSongAction::runWorker()
{
    {
        const HostListenersTakenOff quiet(m_host);
        ++g_runningWorkers;
        AddSongWorker worker(m_paths);
        worker.setSongSink([this](std::vector<std::unique_ptr<TrackInfo>>& songs) { insertFinished(songs); });
        m_runner(worker);
        m_failedPaths = worker.getNumFailedPaths();
        --g_runningWorkers;
    }
    m_host.CallBackNumTracksChanged();
}

void AddSongAction::insertFinished(std::vector<std::unique_ptr<TrackInfo>>& songs)
{
    for (std::unique_ptr<TrackInfo>& song : songs)
    {
        song->setText(TrackInfo::kSongName, m_host.SongNameChecker(song->getText(TrackInfo::kSongName)),
                      true);
        m_host.InsertTrack(m_position + m_inserted++, std::move(song));
    }
}

bool AddSongAction::undo()
{
    VX_ASSERT_MESSAGE_THREAD();
    if (m_added < 1)
        return true;
    bool ok = true;
    m_kept.clear();
    for (int i = 0; i < m_added; ++i)
    {
        std::unique_ptr<TrackInfo> song = m_host.RemoveTrack(m_position, true, true);
        ok = ok && song != nullptr;
        if (song != nullptr)
            m_kept.push_back(std::move(song));
    }
    return ok;
}
} // namespace Vextal
