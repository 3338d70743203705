// The song list panel over a long songlist, on the message thread.
//
// BM_SongListScrollPage: one frame of scrolling: the list moves down by one
// page (the rows it shows) and the panel is painted into an image of its
// size, as the framework paints it after the scroll: the rebinding of the
// visible rows to their songs and the painting of the rows and the panel
// around them. Goal: under 2 ms a frame. Nothing in it may walk the whole
// list, so it is measured with 100 songs and with 10,000: the two times
// should be alike.
//
// BM_SongListPaintVisibleRows: the panel painted whole without a scroll (a
// window uncovered), the visible rows only.
//
// BM_SongListSelectAll: selecting every song (the select-all command): the
// list's selection, the host's copy of it, the panel's reading of the
// selected songs' values (which does walk them, once) and the refresh of the
// visible rows. Then the selection is cleared, outside the measurement.
//
// The songs are copies of one short WAV song with names of their own; no
// song plays.

#include "bench/HostSupport.h"
#include "bench/TimingSupport.h"
#include "src/jucer_components/CVXLayerList.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/TrackInfo.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace
{
constexpr uint32_t kRate = 44100;
// The panel's height in the main window.
constexpr int kPanelHeight = 533 - 99 - 12;

// The interface singletons, the host over a null device with count songs,
// the undo stack and the panel at its size in the main window.
class Panel
{
public:
    Panel(const juce::File& song, int count)
    {
        const std::unique_ptr<Vextal::TrackInfo> model = benchsupport::ReadSong(song);
        if (model == nullptr)
            return;
        for (int i = 0; i < count; ++i)
        {
            auto copy = std::make_unique<Vextal::TrackInfo>(*model);
            copy->setText(Vextal::TrackInfo::kSongName, "Song " + juce::String(i + 1), false);
            m_null.Host().InsertTrack(i, std::move(copy));
        }
        m_commands = std::make_unique<Vextal::CommandManager>(m_null.Host(), [] {});
        m_panel = std::make_unique<CVXLayerList>(&m_null.Host(), *m_commands);
        m_panel->setSize(m_panel->getWidth(), kPanelHeight);
        m_panel->setVisible(true);
        m_frame = juce::Image(juce::Image::ARGB, m_panel->getWidth(), m_panel->getHeight(), true);
    }

    bool Ready() const { return m_panel != nullptr && m_null.Host().GetNumSongs() > 0; }

    void Paint()
    {
        juce::Graphics g(m_frame);
        m_panel->paintEntireComponent(g, true);
    }
    // One page further down; back to the top after the last page.
    void ScrollPage()
    {
        juce::Viewport& viewport = *m_panel->GetListBox().getViewport();
        const int page = viewport.getViewHeight();
        const int bottom = viewport.getViewedComponent()->getHeight() - page;
        const int y = viewport.getViewPositionY() >= bottom ? 0 : viewport.getViewPositionY() + page;
        viewport.setViewPosition(0, y);
    }
    void SelectAll() { m_panel->selectAllSongs(); }
    void SelectNone() { m_panel->GetListBox().deselectAllRows(); }
    int Selected() const { return m_null.Host().GetSelection().size(); }

private:
    // In the order of their making; the panel ends first and the singletons
    // last.
    const benchsupport::ScopedInterfaceSingletons m_interface;
    benchsupport::NullDeviceHost m_null{kRate, 512};
    std::unique_ptr<Vextal::CommandManager> m_commands;
    std::unique_ptr<CVXLayerList> m_panel;
    juce::Image m_frame;
};

using benchsupport::Median;
using benchsupport::TimeCall;

// Runs body on a panel of state.range(0) songs and reports its times.
template <typename Body>
void RunOnPanel(benchmark::State& state, const char* what, Body body)
{
    const juce::ScopedJuceInitialiser_GUI gui;
    const benchsupport::TempSong song("vextal-songlist-bench", "silence.wav", kRate, 1,
                                      benchsupport::TempSong::Content::kSilence);
    if (!song.Ok())
    {
        state.SkipWithError("the song could not be written");
        return;
    }
    const int count = static_cast<int>(state.range(0));
    Panel panel(song.File(), count);
    if (!panel.Ready())
    {
        state.SkipWithError("the songs could not be read");
        return;
    }
    panel.Paint();
    std::vector<double> times;
    for (auto _ : state)
    {
        times.push_back(body(panel));
        state.SetIterationTime(times.back());
    }
    state.counters["median_us"] = Median(times) * 1e6;
    state.counters["p99_us"] = benchsupport::Percentile(times, 99) * 1e6;
    std::printf("%s, %d songs: %.0f us median, %.0f us at the 99th percentile\n", what, count,
                Median(times) * 1e6, benchsupport::Percentile(times, 99) * 1e6);
}

void BM_SongListScrollPage(benchmark::State& state)
{
    RunOnPanel(state, "scrolling one page and painting (goal under 2000 us)",
               [](Panel& panel)
               {
                   return TimeCall(
                       [&]
                       {
                           panel.ScrollPage();
                           panel.Paint();
                       });
               });
}

void BM_SongListPaintVisibleRows(benchmark::State& state)
{
    RunOnPanel(state, "painting the panel (goal under 2000 us)",
               [](Panel& panel) { return TimeCall([&] { panel.Paint(); }); });
}

void BM_SongListSelectAll(benchmark::State& state)
{
    RunOnPanel(state, "selecting every song",
               [&state](Panel& panel)
               {
                   const double t = TimeCall([&] { panel.SelectAll(); });
                   if (panel.Selected() != state.range(0))
                       state.SkipWithError("not every song was selected");
                   panel.SelectNone();
                   return t;
               });
}
} // namespace

BENCHMARK(BM_SongListScrollPage)
    ->Arg(100)
    ->Arg(10000)
    ->UseManualTime()
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SongListPaintVisibleRows)
    ->Arg(10000)
    ->UseManualTime()
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SongListSelectAll)
    ->Arg(100)
    ->Arg(10000)
    ->UseManualTime()
    ->Iterations(50)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
