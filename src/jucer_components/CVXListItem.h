#pragma once

#include "src/jucer_components/CVXCtrlIcon.h"
#include "src/jucer_components/LabelWithInlineEditor.h"
#include "src/songlist/TrackInfo.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <memory>
#include <optional>

class CVXHost;
class CVXListBox;

// One row of the song list: the song's number, name, length and format with
// sample rate, and an icon that marks the songs of a running export or burn
// (still for a waiting song, animated for the one being converted).
//
// The row handles the list's mouse: a click selects the row alone (a click on
// a row of a selection keeps the selection until the release, so that a drag
// takes every selected row), Shift extends the selection to a range, Command
// adds or removes one row. A slow second click on the name of a selected row
// opens the name editor 300 ms later unless the mouse moves or a double click
// follows; a double click plays the song. Dragging moves the selection (the
// list takes the drop); the right button opens the row's menu.
//
// A rename committed in the editor (Return, Tab or loss of focus) goes to the
// undo stack as one transaction; a refused rename beeps, and the label shows
// the song's name again either way.
//
// Threads. Message thread; the song notices may come from the add-songs
// worker and take the message-manager lock.
class CVXListItem : public juce::Component,
                    public Vextal::TrackInfoListener,
                    private juce::Label::Listener,
                    private juce::Timer
{
public:
    enum LabelIndex
    {
        kNumberLabel = 0,
        kNameLabel = 1,
        kTimeLabel = 2,
        kRateLabel = 3,
        kNumLabels = 4
    };
    // The right edges of the columns, in row pixels.
    static constexpr int kColumnRightEdges[kNumLabels] = {40, 217, 276, 365};
    static constexpr int kRenameDelayMs = 300;
    // A drag of rows starts after the button is held this long, or earlier
    // when the pointer moves more than kDragStartDistance vertically from the
    // press point.
    static constexpr int kDragStartMs = 500;
    static constexpr int kDragStartDistance = 10;
    // The text colour of a song whose file is missing.
    static constexpr juce::uint32 kMissingColour = 0xFFFF0000;

    CVXListItem(CVXHost* host, CVXListBox* list);
    ~CVXListItem() override;

    // Binds the row to the song at row and fills it.
    void Update(int row);
    // Fills the row from its song; nothing when the row names no song.
    void Update();
    int GetRow() const { return m_row; }

    LabelWithInlineEditor& GetLabel(int index) { return *m_labels[static_cast<size_t>(index)]; }
    CVXCtrlIcon& GetIcon() { return m_icon; }
    bool IsRenamePending() const { return isTimerRunning(); }

    // The row's menu at a point of the screen.
    void showContextMenu(int screenX, int screenY);

    // The description of a drag of rows: every row number followed by a
    // space, ascending.
    static juce::String DescribeRows(const juce::SparseSet<int>& rows);

    void focusOfChildComponentChanged(FocusChangeType cause) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;
    void mouseMove(const juce::MouseEvent& e) override;
    void mouseExit(const juce::MouseEvent& e) override;
    void mouseDoubleClick(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;

    void songTextChanged(Vextal::TrackInfo* song, int id) override;
    void songReloaded(Vextal::TrackInfo* song) override;

private:
    void labelTextChanged(juce::Label* label) override;
    void timerCallback() override;

    // False for events this row does not handle: on a disabled label.
    bool Handles(const juce::MouseEvent& e) const;
    bool IsSelected() const;
    bool IsDragActive() const;
    // Selects this row alone without scrolling.
    void SelectAlone();
    void SelectRangeTo();
    void StopRename();
    // Commits the name label's text as the song's name.
    void Rename();
    void UpdateIcon();
    void StartDrag();

    CVXHost& m_host;
    CVXListBox& m_list;
    int m_row = -1;
    // Where the click that armed the rename was (row coordinates).
    std::optional<juce::Point<int>> m_renameClick;
    // Whether the row was selected when the button went down.
    bool m_selectedAtDown = false;
    std::array<std::unique_ptr<LabelWithInlineEditor>, kNumLabels> m_labels;
    CVXCtrlIcon m_icon{"Icon"};
    juce::Image m_animation;

    JUCE_DECLARE_NON_COPYABLE(CVXListItem)
};
