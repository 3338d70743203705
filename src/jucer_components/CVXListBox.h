#pragma once

#include "library/zfc/CZfcCtrlListBox.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

class CVXHost;
class CVXListItem;

namespace Vextal
{
class CommandManager;
}

// The list of the songs of the host, one CVXListItem per visible row over a
// background the list paints (selection, separators, the speaker of the
// current song and the insertion marker of a drag).
//
// Rows dragged within the list move as one undoable rearrangement; files
// dropped from outside are added at the marker as one undoable add. A drag
// resting within 5 pixels of the top or bottom edge scrolls one row every
// 100 ms. Return plays the last selected song (Command+Return renames it),
// Delete removes the selection, Tab moves the name editor to the next row.
//
// Only drags that start in this list are taken, and their rows must name
// songs of the list; a description that names anything else drops nothing.
//
// Threads. Message thread; the refresh of rows and the repaints of drags take
// the message-manager lock, since row refreshes can follow notices from the
// add-songs worker.
class CVXListBox : public CZfcCtrlListBox,
                   public juce::DragAndDropTarget,
                   public juce::DragAndDropContainer,
                   public juce::FileDragAndDropTarget,
                   private juce::Timer
{
public:
    static constexpr int kRowHeight = 24;
    // The right edge of the last column: selection, separators and marker
    // end here.
    static constexpr int kRowWidth = 365;
    // The selection: the blue of the name editor's text highlight over the
    // list, plainly darker than the list's light grey.
    static constexpr juce::uint32 kSelectedColour = 0x400111EE;
    static constexpr juce::uint32 kSeparatorColour = 0xFF808080;
    static constexpr juce::uint32 kMarkerColour = 0xFF8080A0;
    static constexpr int kEdgeScrollMs = 100;
    // The commands the list invokes.
    static constexpr int kRemoveSongsCommand = 8;

    // Where a drop would insert: before row, the marker drawn under the row
    // before it when after is set.
    struct InsertPosition
    {
        int row = -1;
        bool after = false;
        bool operator==(const InsertPosition& o) const { return row == o.row && after == o.after; }
    };
    // The insert position for a point: rowAt is the row under it (-1 for
    // none), y its height in a list height pixels high.
    static InsertPosition ComputeInsertPosition(int rowAt, int y, int height, int numSongs);
    // The rows of a drag description ("2 3 7 "); none when a token is not a
    // row number below numSongs.
    static std::optional<juce::SparseSet<int>> ParseRows(const juce::String& description, int numSongs);
    // True when moving rows before insertRow would leave them where they
    // are: one block with insertRow inside or at either end of it.
    static bool IsDropInPlace(const juce::SparseSet<int>& rows, int insertRow);

    CVXListBox(CVXHost* host, Vextal::CommandManager& commands, const juce::String& name, int kind, int id);
    ~CVXListBox() override;

    CVXHost& GetHost() const { return m_host; }
    Vextal::CommandManager& GetCommands() const { return m_commands; }
    const InsertPosition& GetInsertPosition() const { return m_insert; }
    // The row component of a visible row; null otherwise.
    CVXListItem* GetItem(int row) const;

    // Opens the name editor of the most recently selected row (host mode 0).
    void editSongName();

    std::unique_ptr<juce::ComponentTraverser> createKeyboardFocusTraverser() override;
    bool keyPressed(const juce::KeyPress& key) override;

    int getNumRows() override;
    void paintListBoxItem(int row, juce::Graphics& g, int width, int height, bool selected) override;
    juce::Component* refreshComponentForRow(int row, bool selected, juce::Component* existing) override;
    void selectedRowsChanged(int lastRow) override;
    void backgroundClicked(const juce::MouseEvent& e) override;
    void listWasScrolled() override {}
    void deleteKeyPressed(int row) override;
    void returnKeyPressed(int row) override;

    bool isInterestedInDragSource(const SourceDetails& details) override;
    void itemDragMove(const SourceDetails& details) override;
    void itemDragExit(const SourceDetails& details) override;
    void itemDropped(const SourceDetails& details) override;

    bool isInterestedInFileDrag(const juce::StringArray& files) override;
    void fileDragEnter(const juce::StringArray& files, int x, int y) override;
    void fileDragMove(const juce::StringArray& files, int x, int y) override;
    void fileDragExit(const juce::StringArray& files) override;
    void filesDropped(const juce::StringArray& files, int x, int y) override;

private:
    void timerCallback() override;

    void DragMoved(int x, int y);
    void EndDrag();
    void UpdateInsertPosition(int x, int y);
    void RepaintLocked();
    bool IsNormalMode() const;

    CVXHost& m_host;
    Vextal::CommandManager& m_commands;
    InsertPosition m_insert;
    bool m_scrollUp = true;
    int m_lastX = 0;
    int m_lastY = 0;
    bool m_fileDrag = false;
    juce::Image m_speaker;

    JUCE_DECLARE_NON_COPYABLE(CVXListBox)
};
