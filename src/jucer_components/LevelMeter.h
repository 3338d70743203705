#pragma once

#include "library/zfc/CZfcComponentListener.h"
#include "src/jucer_components/CVXCtrlLevelMeter.h"
#include "src/jucer_components/FourStateImageButton.h"
#include "src/jucer_components/ViewClock.h"
#include "src/songlist/CVXHost.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <cstdint>

// The two-channel level meter of the main window: two bars (left, right)
// with a scale between them and the clip light above. The host sends the
// levels and the clip state from its 50 ms tick; the peak-hold and clip-hold
// times are the host's, chosen with the View menu's commands or from this
// panel's pop-up menu.
//
// The clip light tells "no clip" from "clip" (the host's clip state 0 from 1
// or 2). A higher or equal clip state restarts the hold; a lower one is shown
// only once the clip-hold time has passed since then, never while the hold is
// negative (until cleared). A click on the panel, a bar or the light clears
// the light and both bars' peaks; a right click or a click with the control
// key opens the hold-time menu instead.
//
// Threads. Message thread: level and clip notices come from the host's tick.
class LevelMeter : public juce::Component,
                   public juce::Button::Listener,
                   public CZfcComponentListener,
                   public CVXHostListener
{
public:
    // One bar's place and looks: position, the image-table entries of its
    // off and on images, and its segment tables.
    struct MeterParam
    {
        int x;
        int y;
        int offImage;
        int onImage;
        int segmentCount;
        const int* pixels;
        const float* thresholds;
    };
    static const MeterParam sm_amMeterParam[2];

    // The first item id of the menu's commands.
    static constexpr int kFirstPeakHoldCommand = 512;
    static constexpr int kFirstClipHoldCommand = 768;
    static constexpr int kNumHoldCommands = 8;

    // Registers with the host (removed by the destructor). commands: where
    // the hold-time menu's items come from (none: the menu has no command
    // items). clock: the time of the clip hold and the peaks.
    LevelMeter(CVXHost& host, juce::ApplicationCommandManager* commands, Vextal::ViewClock clock = {});
    ~LevelMeter() override;

    void paint(juce::Graphics& g) override;
    void resized() override;
    void mouseDown(const juce::MouseEvent& e) override;
    void buttonClicked(juce::Button* button) override;
    bool OnZfcComponentMouseDown(CZfcComponent* control, const juce::MouseEvent& e) override;
    void OnVXHostMeterLevelChanged(CVXHost* host, int channel, double levelDb) override;
    void OnVXHostMeterClipChanged(CVXHost* host, int clip) override;

    // The hold-time menu: the peak-hold commands, the clip-hold commands, a
    // separator and a Cancel item that does nothing.
    juce::PopupMenu createHoldTimeMenu() const;
    // Shows it at a point of the screen.
    void showHoldTimeMenu(int screenX, int screenY);

    int getClipState() const { return m_clipState; }
    const CVXCtrlLevelMeter& getBar(int channel) const { return m_bars[channel == 0 ? 0 : 1]; }
    juce::Button& getClipButton() { return m_clipButton; }

private:
    // The light off and both peaks reset.
    void ClearClip();

    CVXHost& m_host;
    juce::ApplicationCommandManager* const m_commands;
    const Vextal::ViewClock m_clock;
    juce::FourStateImageButton m_clipButton{"Clip"};
    int m_clipState = 0;
    int64_t m_clipTime = 0;
    std::array<CVXCtrlLevelMeter, 2> m_bars;
    juce::Image m_scale;

    JUCE_DECLARE_NON_COPYABLE(LevelMeter)
};
