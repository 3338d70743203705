#pragma once

#include "common/disc/DiscOpenManager.h"
#include "library/zfc/CZfcSheet.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>

class CVXHost;
class DeviceChangeBroadcaster;

namespace Vextal
{
class CommandManager;

// The sheet in which the user picks mounted audio CDs (discs in the drives
// and opened disc images) and adds all their tracks to the songlist as one
// undoable step ("Action_OpenDisc"). A background thread rescans whenever a
// volume is mounted or unmounted; when the number of discs changes the sheet
// grows or shrinks to fit, in steps of a tenth of the difference every
// 20 ms, before the new list is shown. The discs selected last (by their
// first path) stay selected across rescans and across openings.
//
// Threads. The reload thread only scans into the scanned list and never
// touches a component; it then waits until the message thread has copied that
// list into the shown one. Everything else runs on the message thread.
class DiscOpenSheet : public CZfcSheet,
                      public juce::TableListBoxModel,
                      public juce::Timer,
                      public juce::Thread,
                      public juce::AsyncUpdater,
                      public juce::Button::Listener,
                      public juce::MessageListener
{
public:
    static constexpr int kWidth = 400;
    static constexpr int kMaxHeight = 360;
    static constexpr int kBaseHeight = 138;
    static constexpr int kRowHeight = 24;
    static constexpr int kAnimationIntervalMs = 20;
    // The listener id at the volume-change broadcaster.
    static constexpr int kBroadcastId = 0;

    static constexpr juce::uint32 kSheetColour = 0xbfffffff;
    static constexpr juce::uint32 kSelectionColour = 0xffffffff;
    static constexpr juce::uint32 kBackgroundColour = 0xc0ffffff;
    static constexpr juce::uint32 kOutlineColour = 0x40000000;

    // Adds songs to host through the undo stack of commands; volume notices
    // come from broadcaster (null: none, the list is scanned at each opening
    // only). All are borrowed and outlive the sheet.
    DiscOpenSheet(CVXHost& host, CommandManager& commands, DeviceChangeBroadcaster* broadcaster);
    ~DiscOpenSheet() override;

    // The height that fits numDiscs rows: 138 + 24 per disc, at most 360.
    static int heightForDiscs(int numDiscs);
    // The step of an animation from one height to another: a tenth of the
    // difference, truncated, and at least one pixel towards the target.
    static int heightStep(int from, int to);

    juce::TableListBox& getTable() { return m_table; }
    juce::Label& getNoDiscLabel() { return m_noDisc; }
    juce::TextButton& getOpenButton() { return m_open; }
    juce::TextButton& getCancelButton() { return m_cancel; }
    // The first path of each disc selected last.
    const juce::StringArray& getRememberedSelection() const { return m_remembered; }
    // The shown disc of a row; null out of range.
    const DiscOpenManager::DiscInfo* getDisc(int row) const { return m_shown[row]; }

    void paint(juce::Graphics& g) override;
    void resized() override;

    // juce::TableListBoxModel
    int getNumRows() override;
    void paintRowBackground(juce::Graphics& g, int row, int width, int height, bool selected) override;
    void paintCell(juce::Graphics& g, int row, int columnId, int width, int height, bool selected) override;
    void selectedRowsChanged(int lastRowSelected) override;
    void returnKeyPressed(int lastRowSelected) override;

    void buttonClicked(juce::Button* button) override;
    // Volume notices of the broadcaster: a mount or an unmount rescans.
    void handleMessage(const juce::Message& message) override;

    void timerCallback() override;
    void run() override;
    void handleAsyncUpdate() override;

protected:
    void DoBeforeOpen() override;
    void DoAfterOpen() override;
    void DoBeforeClose() override;

private:
    // Shows the scanned list, restores the selection and lets the thread go on.
    void showScannedList();
    void updateVisibility();
    // Enables Open and remembers the selected discs' first paths.
    void selectionChanged();
    // Adds the selected discs' tracks as one undoable step and closes.
    void openSelectedDiscs();
    void stopReloadThread();

    CVXHost& m_host;
    CommandManager& m_commands;
    DeviceChangeBroadcaster* m_broadcaster;
    DiscOpenManager m_finder;

    juce::OwnedArray<DiscOpenManager::DiscInfo> m_shown;
    juce::OwnedArray<DiscOpenManager::DiscInfo> m_scanned;
    juce::StringArray m_remembered;
    std::atomic<bool> m_scanning{false};
    juce::WaitableEvent m_rescan;
    // Signalled by the message thread once it has copied the scanned list.
    juce::WaitableEvent m_shownEvent;
    int m_targetHeight = kBaseHeight;
    int m_heightStep = 0;
    // Set while the sheet changes the table's selection itself, so that the
    // remembered selection is not lost on the way.
    bool m_settingSelection = false;

    juce::Label m_title;
    juce::Label m_noDisc;
    juce::TableListBox m_table;
    juce::TextButton m_open;
    juce::TextButton m_cancel;

    JUCE_DECLARE_NON_COPYABLE(DiscOpenSheet)
};
} // namespace Vextal
