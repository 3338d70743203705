// The player panel's message-thread time per host tick.
//
// BM_PlayerPanelTick: the views of the player panel (time bar, time and name
// displays, level meter, transport and the Export and Burn CD buttons over
// the window background) receive one 50 ms tick's notices, as the host sends
// them to its listeners: the two channels' levels, the clip state, and the
// tick itself, on which the time bar and the time display read the host's
// position and time. Then one frame is painted into an image of the panel's
// size: at 60 frames a second the changes of one tick are painted in one
// frame, which repaints the areas of the views that change (time bar, time
// display, meter bars, clip light) with whatever lies behind them. The levels
// follow a pattern like music's, with a clip now and then; the position moves
// 50 ms per tick. Goal: notices and frame under 1 ms together. For
// reference it also prints the time of painting the whole panel (a window
// uncovered), which is not part of a tick.
//
// The position moves through the host's time-bar dragging state, which the
// views read exactly as they read a playing song's position; no song plays,
// so the player's threads take no time from the measurement (the host's own
// tick is measured by HostBench).

#include "bench/HostSupport.h"
#include "bench/TimingSupport.h"
#include "src/jucer_components/BackGroundComponent.h"
#include "src/jucer_components/ExportAndBurnCD.h"
#include "src/jucer_components/LevelMeter.h"
#include "src/jucer_components/TransportComponent.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
constexpr uint32_t kRate = 44100;
constexpr int kSongSeconds = 60;
constexpr double kTickSeconds = 0.05;

// The interface singletons, the host over a null device with the song
// current, and the panel's views laid out as the main window lays them out.
class Panel
{
public:
    explicit Panel(const juce::File& song)
    {
        if (std::unique_ptr<Vextal::TrackInfo> track = benchsupport::ReadSong(song))
            m_null.Host().InsertTrack(0, std::move(track));
        m_loaded = m_null.Host().SetCurPlayTrack(0, true, false);
        m_null.Host().SetDragKind(2);
        BuildViews();
    }

    bool Loaded() const { return m_loaded && m_null.Host().GetNumListeners() > 0; }

    // The notices of tick number `tick`, to every listener of the host (the
    // panel's views), in the host's order.
    void Tick(int tick)
    {
        CVXHost* const host = &m_null.Host();
        const double t = tick * 0.83;
        const double left = -3.0 - 27.0 * (0.5 + 0.5 * std::sin(t));
        const double right = -3.0 - 27.0 * (0.5 + 0.5 * std::sin(t * 1.13 + 1.0));
        const int clip = tick % 40 == 0 ? 1 : 0;
        for (CVXHostListener* l : host->GetListeners())
            l->OnVXHostMeterLevelChanged(host, 0, left);
        for (CVXHostListener* l : host->GetListeners())
            l->OnVXHostMeterLevelChanged(host, 1, right);
        for (CVXHostListener* l : host->GetListeners())
            l->OnVXHostMeterClipChanged(host, clip);
        for (CVXHostListener* l : host->GetListeners())
            l->OnVXHostTimerCallback(host);
    }

    // The position of tick number `tick`, 50 ms further each tick.
    void MoveTo(int tick)
    {
        const double seconds = std::fmod(tick * kTickSeconds, static_cast<double>(kSongSeconds));
        m_null.Host().SetDraggingValue(seconds / kSongSeconds, 2);
    }

    // One frame: what the framework repaints after a tick, the areas of the
    // views that change on a tick (time bar, time display, both meter bars
    // and the clip light), each with everything behind and above it.
    void PaintFrame()
    {
        juce::Graphics g(m_frame);
        g.reduceClipRegion(m_dirty);
        m_views->content.paintEntireComponent(g, true);
    }
    // The whole panel.
    void PaintWhole()
    {
        juce::Graphics g(m_frame);
        m_views->content.paintEntireComponent(g, true);
    }

private:
    struct Views
    {
        explicit Views(CVXHost& host) : transport(host, nullptr), meter(host, nullptr), output(nullptr)
        {
            content.addAndMakeVisible(background);
            content.addAndMakeVisible(output);
            content.addAndMakeVisible(meter);
            content.addAndMakeVisible(transport);
            output.setTopLeftPosition(604, 337);
            meter.setTopLeftPosition(590, 108);
            content.setSize(699, 381);
            content.setVisible(true);
        }

        juce::Component content;
        BackGroundComponent background;
        TransportComponent transport;
        LevelMeter meter;
        ExportAndBurnCD output;
    };

    void BuildViews()
    {
        m_views = std::make_unique<Views>(m_null.Host());
        m_frame =
            juce::Image(juce::Image::ARGB, m_views->content.getWidth(), m_views->content.getHeight(), true);
        juce::Component& content = m_views->content;
        const InformationViewer& info = m_views->transport.getInformationViewer();
        const juce::Component* changing[] = {&m_views->transport.getTimeBar(), &info.getTimeCounter(),
                                             &m_views->meter.getBar(0), &m_views->meter.getBar(1),
                                             &m_views->meter.getClipButton()};
        for (const juce::Component* view : changing)
            m_dirty.add(content.getLocalArea(view, view->getLocalBounds()));
    }

    // In the order of their making; the views end first and the singletons
    // last.
    const benchsupport::ScopedInterfaceSingletons m_interface;
    benchsupport::NullDeviceHost m_null{kRate, 512};
    std::unique_ptr<Views> m_views;
    juce::Image m_frame;
    juce::RectangleList<int> m_dirty;
    bool m_loaded = false;
};

using benchsupport::Median;
using benchsupport::TimeCall;

double Percentile99(const std::vector<double>& times)
{
    return benchsupport::Percentile(times, 99);
}

void BM_PlayerPanelTick(benchmark::State& state)
{
    const juce::ScopedJuceInitialiser_GUI gui;
    const benchsupport::TempSong song("vextal-panel-bench", "silence.wav", kRate, kSongSeconds,
                                      benchsupport::TempSong::Content::kSilence);
    if (!song.Ok())
    {
        state.SkipWithError("the song could not be written");
        return;
    }
    Panel panel(song.File());
    if (!panel.Loaded())
    {
        state.SkipWithError("the song could not be loaded");
        return;
    }
    std::vector<double> notices, frames, wholes, ticks;
    int tick = 0;
    for (auto _ : state)
    {
        panel.MoveTo(++tick);
        notices.push_back(TimeCall([&] { panel.Tick(tick); }));
        frames.push_back(TimeCall([&] { panel.PaintFrame(); }));
        ticks.push_back(notices.back() + frames.back());
        state.SetIterationTime(ticks.back());
        wholes.push_back(TimeCall([&] { panel.PaintWhole(); }));
    }
    state.counters["notices_median_us"] = Median(notices) * 1e6;
    state.counters["frame_median_us"] = Median(frames) * 1e6;
    state.counters["tick_median_us"] = Median(ticks) * 1e6;
    state.counters["tick_p99_us"] = Percentile99(ticks) * 1e6;
    state.counters["whole_paint_median_us"] = Median(wholes) * 1e6;
    std::printf("player panel tick: %.0f us median (notices %.0f us, frame %.0f us), %.0f us at the 99th "
                "percentile; goal under 1000 us. The whole panel painted: %.0f us\n",
                Median(ticks) * 1e6, Median(notices) * 1e6, Median(frames) * 1e6, Percentile99(ticks) * 1e6,
                Median(wholes) * 1e6);
}
} // namespace

BENCHMARK(BM_PlayerPanelTick)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
