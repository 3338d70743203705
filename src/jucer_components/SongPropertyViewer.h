#pragma once

#include "src/jucer_components/SongTreeView.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class CVXHost;

namespace Vextal
{
class TrackInfo;

// The read-only content of the song property window: for each song selected
// when it was made, its sections with their time ranges, the tracks of a
// section that has more than one ("L", "R"), the files of each track and the
// attached picture's path; missing files in red. Shown by the main content
// through the dialog manager's modal dialog; OK ends that dialog.
//
// Lengths: a file whose end is not known yet is opened and measured. The
// measuring works on a copy of the song model, so that showing the
// properties never changes a song. A song without a sample rate (never
// read) shows its sections from and to 0.
//
// Message thread only.
class SongPropertyViewer : public juce::Component, public juce::Button::Listener
{
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 360;
    static constexpr float kItemFontHeight = 13.0f;

    // The tree of the host's selection now.
    explicit SongPropertyViewer(const CVXHost& host);
    ~SongPropertyViewer() override;

    // The subtree of one song, its items measured with font (borrowed by the
    // items).
    static std::unique_ptr<SongTreeViewItem> createTreeFromTrackInfo(const TrackInfo& song,
                                                                     const juce::Font& font);

    SongTreeView& getTreeView() { return m_tree; }
    juce::TextButton& getOkButton() { return m_ok; }

    void paint(juce::Graphics& g) override;
    void resized() override;
    void buttonClicked(juce::Button* button) override;

private:
    const juce::Font m_font;
    juce::TextButton m_ok;
    SongTreeView m_tree;
    std::unique_ptr<SongTreeViewItem> m_root;

    JUCE_DECLARE_NON_COPYABLE(SongPropertyViewer)
};
} // namespace Vextal
