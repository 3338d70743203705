#pragma once

#include "library/zfc/CZfcSheetListener.h"
#include "src/ActionManager.h"
#include "src/CommandIDs.h"
#include "src/songlist/Output/ExportSession.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class BackGroundComponent;
class CVXHost;
class CVXLayerList;
class CZfcSheet;
class ExportAndBurnCD;
class LevelMeter;
class TransportComponent;

namespace Vextal
{
class ExportProgressWindow;
class InternalProcessProgressWindow;

// The content of the main window: the background, the song list, the player
// panel, the level meter and the Export and Burn CD buttons.
//
// It is the command target of the commands that open the sheets (which it
// owns, made on first use), of the selection commands and of Export, Burn CD
// and the safe quit; and the veto over the other command targets: while a
// sheet is open, or a modal window keeps events from the content, no command
// but the user's guide and the safe quit is active.
//
// Typing digits over the window picks a song by number: the number and the
// song's name show large over the list, and Return plays that song.
//
// It follows every output session of the export manager: the progress
// windows, the questions and warnings of a session, its end, and the offer
// to apply normalized gains.
//
// Threads. Message thread only. The export manager relays every session
// notice here on the message thread and waits for the answer.
// Locks. Registering with the export manager takes its listener lock.
class MainComponent : public juce::Component,
                      public juce::ApplicationCommandTarget,
                      public ActionBlocker,
                      public CZfcSheetListener,
                      public juce::Label::Listener,
                      public juce::ComponentListener,
                      public ExportSessionListener,
                      public ContentCommandIDs
{
public:
    // The commands no sheet or modal window blocks: the user's guide and the
    // safe quit.
    static constexpr int kUsersGuideCommand = 29;

    static constexpr int kWidth = 699;
    static constexpr int kHeight = 533;

    explicit MainComponent(CVXHost& host);
    ~MainComponent() override;

    // True disables the command: see the class comment.
    bool shouldBlockCommand(int commandID) override;

    void paint(juce::Graphics& g) override;
    void resized() override;
    bool keyPressed(const juce::KeyPress& key) override;
    void focusLost(FocusChangeType cause) override;

    juce::ApplicationCommandTarget* getNextCommandTarget() override;
    void getAllCommands(juce::Array<juce::CommandID>& commands) override;
    void getCommandInfo(juce::CommandID commandID, juce::ApplicationCommandInfo& result) override;
    bool perform(const InvocationInfo& info) override;

    void OnZfcSheetClosed(CZfcSheet* sheet) override;
    void labelTextChanged(juce::Label* label) override;
    void componentVisibilityChanged(juce::Component& component) override;

    void exportAboutToStart(ExportSession* session) override;
    void exportSongProcessAboutToStart(ExportSession* session) override;
    void exportEnded(ExportSession* session, bool aborted) override;
    void exportErrorOccured(ExportSession* session, const char* key, const juce::SparseSet<int>& songs,
                            const juce::StringArray& args) override;
    bool exportShouldIgnoreWarning(ExportSession* session, const char* key, const juce::SparseSet<int>& songs,
                                   const juce::StringArray& args) override;

    // The labels of the song-number type-ahead.
    juce::Label& getSongNumberLabel() { return m_songNumber; }
    juce::Label& getSongNameLabel() { return m_songName; }
    // The output progress window shown now (its visible component); null
    // when none.
    juce::Component* getOutputProgressWindow() const;
    // The sheets made so far (null until first used).
    CZfcSheet* getExportSheet() const { return m_exportSheet.get(); }
    CZfcSheet* getDiscBurnSheet() const { return m_discBurnSheet.get(); }
    CZfcSheet* getDiscOpenSheet() const { return m_discOpenSheet.get(); }
    CZfcSheet* getInfoEditorSheet() const { return m_infoEditorSheet.get(); }
    CZfcSheet* getPreferencesSheet() const { return m_preferencesSheet.get(); }

    // The song list panel.
    CVXLayerList* getSongListPanel() const { return m_songListPanel.get(); }

private:
    // The commands' actions.
    void performOpenDisc();
    void performEditSongInformation();
    void performPreferences();
    void performSongProperty();
    void performInvertSelection();
    void performExport();
    void performBurnDisc();
    void performQuitSafely();

    // Opens a sheet, making it first when it does not exist yet.
    void openSheet(std::unique_ptr<CZfcSheet>& sheet,
                   const std::function<std::unique_ptr<CZfcSheet>()>& make);
    // Pauses the running session around a question whose OK cancels it.
    void askToCancelSession(const char* messageKey);
    // Pauses the running session and takes its progress window from the
    // front; the answer's work follows, then resumeSession.
    ExportSession* pauseSession();
    void resumeSession(ExportSession* paused);
    // The export and disc-burn sheets still modal while hidden leave the
    // modal state.
    void tidySheets();
    void deleteOutputProgressWindow();
    // The song names of the set, in index order, one per line.
    juce::String songNamesOf(const juce::SparseSet<int>& songs) const;

    // The type-ahead: the typed number shown, the labels placed.
    int typedNumber() const;
    void setTypedNumber(const juce::String& text);
    void placeLabels();
    bool isModalElsewhere() const;
    void takeFocus();

    CVXHost& m_host;
    juce::Image m_backgroundStrip;
    juce::Image m_backgroundBottom;

    std::unique_ptr<BackGroundComponent> m_background;
    std::unique_ptr<CVXLayerList> m_songListPanel;
    std::unique_ptr<ExportAndBurnCD> m_exportAndBurn;
    std::unique_ptr<LevelMeter> m_levelMeter;
    std::unique_ptr<TransportComponent> m_transport;
    juce::Label m_songNumber{"LabelSongIndex"};
    juce::Label m_songName{"LabelSongName"};

    std::unique_ptr<ExportProgressWindow> m_outputProgress;
    std::unique_ptr<InternalProcessProgressWindow> m_internalProgress;

    std::unique_ptr<CZfcSheet> m_preferencesSheet;
    std::unique_ptr<CZfcSheet> m_exportSheet;
    std::unique_ptr<CZfcSheet> m_discBurnSheet;
    // Burn Disc was chosen while the drives were being scanned; the sheet
    // opens when the scan ends.
    bool m_bBurnWaitsForDrives = false;
    std::unique_ptr<CZfcSheet> m_discOpenSheet;
    std::unique_ptr<CZfcSheet> m_infoEditorSheet;

    JUCE_DECLARE_NON_COPYABLE(MainComponent)
};
} // namespace Vextal
