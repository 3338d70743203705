#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace Vextal
{
// The tree of the song property viewer: black lines on a transparent
// background, a grey frame round its visible area, the root hidden and
// items open by default.
//
// Message thread only.
class SongTreeView : public juce::TreeView
{
public:
    SongTreeView();

    void paintOverChildren(juce::Graphics& g) override;
};

// One line of the song property tree: a song, a section with its time range,
// a track ("L" or "R"), a file path, the picture caption or the picture path.
// Containers (every line but file and picture paths) hold lines; a path whose
// file is missing is drawn in red. A popup click (the right button, or the
// control key held) on a path offers to copy it or to open its folder.
//
// The item measures and draws its text with the viewer's item font, which it
// borrows: the viewer keeps the font as long as its items live.
//
// Message thread only.
class SongTreeViewItem : public juce::TreeViewItem
{
public:
    // The menu of a path line.
    enum MenuItem
    {
        kCopyFilePath = 1,
        kOpenParentFolder = 2,
        kCancel = 3
    };
    static constexpr int kHeight = 20;

    SongTreeViewItem(const juce::String& text, bool container, bool missing, const juce::Font& font);

    const juce::String& getText() const { return m_text; }
    bool isContainer() const { return m_container; }
    bool isMissing() const { return m_missing; }

    bool mightContainSubItems() override { return m_container; }
    int getItemWidth() const override;
    int getItemHeight() const override { return kHeight; }
    void paintItem(juce::Graphics& g, int width, int height) override;
    void itemClicked(const juce::MouseEvent& e) override;

    // The path menu's items.
    static juce::PopupMenu makeMenu();
    // Carries out a choice of the path menu for path.
    static void performMenuItem(int result, const juce::String& path);

private:
    const juce::String m_text;
    const int m_textWidth;
    const bool m_container;
    const bool m_missing;
    const juce::Font& m_font;
};
} // namespace Vextal
