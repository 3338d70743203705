#pragma once

#include "library/zfc/CZfcComponent.h"
#include "src/jucer_components/ViewClock.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>

// One channel's bar of the level meter: a segmented meter drawn from an image
// of all segments off and one of all segments on, with instant rise, a fall
// of at most one step per level, and a held peak segment.
//
// Segments are counted from the top: segment i is lit when the level exceeds
// threshold i (descending, in dB), and its top edge lies pixels[i] above the
// bar's bottom (descending). The lit part of the bar reaches up to the first
// segment the shown level exceeds. The peak segment is the highest segment
// the levels reached; it stays lit for the peak-hold time after it was last
// reached (0: it follows the level; negative: until ResetPeak), then drops at
// once to the current level's segment.
//
// The fall step is chosen from the shown level: 1.5 dB at or above -6 dB, 3
// dB below, 6 dB below -12 dB, 12 dB below -24 dB; a shown level below -50 dB
// becomes -200 dB (nothing lit). The bar repaints only when the shown level
// or the peak changed, so at silence its repaints stop.
//
// Mouse events other than double clicks are offered to the control's
// listener with the control itself.
//
// Threads. Message thread, except SetImage and the repaint of
// enablementChanged, which take the message-manager lock.
class CVXCtrlLevelMeter : public juce::Component, public CZfcComponent
{
public:
    static constexpr double kSilenceDb = -200.0;

    // clock: the time of peaks (the system's when empty).
    explicit CVXCtrlLevelMeter(Vextal::ViewClock clock = {});

    // Both images are shared, not copied; the bar's size is the off image's.
    // With resize the component takes that size.
    void SetImage(const juce::Image& off, const juce::Image& on, bool resize);
    // The segment tables (borrowed: they must outlive the bar), count entries
    // each; the peak is reset.
    void SetSegments(const int* pixels, const float* thresholds, int count);
    // The peak-hold time in milliseconds (-1: until ResetPeak).
    void SetPeakHoldTime(int milliseconds) { m_holdMs = milliseconds; }

    // A new level, in dB (every 50 ms).
    void SetValue(double levelDb);
    // No peak segment.
    void ResetPeak();

    double GetShownLevel() const { return m_shown; }
    // The peak segment; the segment count when there is none.
    int GetPeakSegment() const { return m_peak; }
    int GetSegmentCount() const { return m_count; }
    // The segment of a level: the first whose threshold it exceeds; the
    // count when it exceeds none.
    int SegmentOf(double levelDb) const;
    // The height of the lit part for the shown level, in pixels.
    int GetLitHeight() const;
    // The fall step from a shown level.
    static double FallStep(double shownDb);

    void paint(juce::Graphics& g) override;
    void enablementChanged() override;
    void mouseMove(const juce::MouseEvent& e) override;
    void mouseEnter(const juce::MouseEvent& e) override;
    void mouseExit(const juce::MouseEvent& e) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;
    void mouseWheelMove(const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;

private:
    // Draws rows [top, bottom) of the on (or off) image in place.
    void DrawRows(juce::Graphics& g, const juce::Image& image, int top, int bottom) const;
    // The pixel height of segment i's top edge; 0 past the last segment.
    int PixelOf(int segment) const;

    const Vextal::ViewClock m_clock;
    juce::Image m_off;
    juce::Image m_on;
    int m_width = 0;
    int m_height = 0;
    int m_count = 0;
    const int* m_pixels = nullptr;
    const float* m_thresholds = nullptr;
    double m_shown = kSilenceDb;
    int m_peak = 0;
    int64_t m_peakTime = 0;
    int m_holdMs = 0;

    JUCE_DECLARE_NON_COPYABLE(CVXCtrlLevelMeter)
};
