#pragma once

#include "library/zfc/CZfcComponentListener.h"
#include "library/zfc/CZfcCtrlButton.h"
#include "src/jucer_components/CVXListBox.h"
#include "src/jucer_components/LabelWithInlineEditor.h"
#include "src/jucer_components/MatrixImageButton.h"
#include "src/jucer_components/SimpleImageButton.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <memory>
#include <optional>

namespace Vextal
{
class CommandManager;
}

// The song list panel of the main window: the list of the host's songs
// (CVXListBox) under a strip of five command buttons (add, remove, combine,
// channel link, divide), the repeat and play-mode buttons, and the controls
// of the selected songs' gain, balance and fades.
//
// The panel holds no songs: it shows the host's songs, selection, current
// song and mode, and turns every edit into undoable actions on the undo
// stack. A typed value (Return in a value's editor) applies to every
// selected song as one transaction; a text that is not a value changes
// nothing. Dragging a value up or down changes it by one step a pixel (0.1
// dB, 0.1 s, 0.01 balance): the first step opens a transaction and later
// steps change the songs directly, so that one undo returns every song to its
// value before the drag. A fade toggle steps none, linear, squared (mixed
// types go to none first).
//
// Threads. Message thread. The add-songs worker never reaches the panel: its
// records are inserted on the message thread with the host's listeners off.
// The player-status and current-song notices may come from an output
// session's or the converter's thread, which holds the message-manager lock
// then; the notices take that lock for the thread that sends them, and a
// thread being stopped gets no lock and leaves the view alone. The
// current-song notice during an export is handed to the message thread.
class CVXLayerList : public juce::Component,
                     public CZfcComponentListener,
                     public juce::ComponentListener,
                     public juce::Button::Listener,
                     public CVXHostListener,
                     public Vextal::TrackInfoListener,
                     private LabelWithInlineEditor::Listener
{
public:
    // The value labels, by index.
    enum LabelIndex
    {
        kGainLabel = 0,
        kBalanceLabel = 1,
        kFadeInTimeLabel = 2,
        kFadeOutTimeLabel = 3,
        kGainUnitLabel = 4,
        kFadeInUnitLabel = 5,
        kFadeOutUnitLabel = 6,
        kNumLabels = 7,
        kNumValueLabels = 4
    };
    enum CommandButton
    {
        kAddButton = 0,
        kRemoveButton,
        kCombineButton,
        kChannelLinkButton,
        kDivideButton,
        kNumCommandButtons
    };
    enum FadeToggle
    {
        kFadeInToggle = 0,
        kFadeOutToggle = 1
    };
    // The fade toggle's state when the selected songs differ.
    static constexpr int kMixedFade = 3;
    // Where the list sits in the panel.
    static constexpr int kListX = 11;
    static constexpr int kListY = 57;
    static constexpr int kListWidth = 386;
    static constexpr int kListHeight = 155;
    static constexpr juce::uint32 kHighlightColour = 0xFF0000FF;
    static constexpr juce::uint32 kColumnColour = 0xFFB3B3B3;

    // The texts of values: gain "%.1f" with "+" above 0; balance "C", "L30",
    // "R5"; fade times "%.1f".
    static juce::String GainText(float gain);
    static juce::String BalanceText(float balance);
    static juce::String TimeText(float seconds);
    // Typed texts back to values: a balance ("C", "L25", "r100", "25"), or a
    // gain or time (the leading decimal number). None when the text holds no
    // value.
    static std::optional<float> convertBalanceTextToFloat(const juce::String& text);
    static std::optional<float> convertDecimalTextToFloat(const juce::String& text);
    // The next type of a fade toggle: mixed gives none, else none, linear,
    // squared in turn.
    static int NextFadeType(int shownState);

    // Builds the children, registers with the host (and for every song's
    // notices) and shows the selection. The undo stack is also the command
    // manager the buttons and the rows' menu use.
    CVXLayerList(CVXHost* host, Vextal::CommandManager& commands);
    ~CVXLayerList() override;

    // Selects every song (the "select all songs" command).
    void selectAllSongs();
    // Opens the name editor of the most recently selected song (the "edit
    // song name" command).
    void editSongName();

    void UpdateTrackInfo();
    void RefreshButtons();
    void SetGainText(float gain, bool highlight);
    void SetBalanceText(float balance);
    // Applies a value to every selected song; undoable opens a transaction.
    void changeValue(int controlId, float value, bool undoable);
    void changeValue(int controlId, int value);

    CVXListBox& GetListBox() { return *m_listBox; }
    LabelWithInlineEditor& GetLabel(int index) { return *m_labels[static_cast<size_t>(index)]; }
    CZfcCtrlButton& GetFadeToggle(int which) { return *m_fadeToggles[static_cast<size_t>(which)]; }
    juce::SimpleImageButton& GetCommandButton(int which)
    {
        return *m_commandButtons[static_cast<size_t>(which)];
    }
    MatrixImageButton& GetRepeatButton() { return *m_repeatButton; }
    MatrixImageButton& GetPlayModeButton() { return *m_playModeButton; }
    bool IsDragging() const;

    void paint(juce::Graphics& g) override;
    void paintOverChildren(juce::Graphics& g) override;
    // Hands the key to the list (arrows, Return, Delete and the like).
    bool keyPressed(const juce::KeyPress& key) override;
    void resized() override;

    void OnZfcComponentButtonAction(CZfcComponent* component) override;
    void OnZfcComponentListBoxSelectedRowsChanged(CZfcComponent* component, int lastRow) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;
    void componentVisibilityChanged(juce::Component& component) override;
    void buttonClicked(juce::Button* button) override;

    void OnVXHostNumTracksChanged(CVXHost* host, int count) override;
    void OnVXHostSelectedSongsChanged(CVXHost* host, const juce::SparseSet<int>& selection,
                                      bool scroll) override;
    void OnVXHostCurPlayTrackChanged(CVXHost* host, int index) override;
    void OnVXHostPlayerStatusChanged(CVXHost* host, int status) override;
    void OnVXHostModeChanged(CVXHost* host, int mode) override;
    void OnVXHostDividabilityChanged(CVXHost* host, bool canDivide) override;
    bool currentSongCanBeChanged(CVXHost* host) override;
    void OnVXHostFromToPlayStatusChanged(CVXHost* host, int status) override;
    void OnVXHostTimerCallback(CVXHost* host) override;

    void songControlChanged(Vextal::TrackInfo* song, int controlId) override;

private:
    void OnLabelEditorReturnKeyPressed(LabelWithInlineEditor& label) override;

    void BuildCommandButtons();
    void BuildToggles();
    void BuildLabels();
    void BuildListBox();
    // The value label (0..3) an event is on; -1 for any other.
    int ValueLabelOf(const juce::MouseEvent& e) const;
    // A value label's current text as a value (0 when it holds none).
    float CurrentValue(int labelIndex) const;
    void ShowCurrentSong(int index);
    // The song at the first selected row; null without a selection.
    Vextal::TrackInfo* FirstSelectedSong() const;
    void ClearValues();

    CVXHost& m_host;
    Vextal::CommandManager& m_commands;
    juce::Image m_backTop;
    juce::Image m_back;
    juce::Image m_backBottom;
    juce::Image m_fadeInImage;
    juce::Image m_fadeOutImage;
    std::array<std::unique_ptr<juce::SimpleImageButton>, kNumCommandButtons> m_commandButtons;
    std::array<std::unique_ptr<CZfcCtrlButton>, 2> m_fadeToggles;
    std::unique_ptr<MatrixImageButton> m_repeatButton;
    std::unique_ptr<MatrixImageButton> m_playModeButton;
    juce::Component m_valueContainer;
    std::array<std::unique_ptr<LabelWithInlineEditor>, kNumLabels> m_labels;
    std::unique_ptr<CVXListBox> m_listBox;
    juce::Font m_gainFont;
    juce::Font m_gainFontBold;
    juce::Font m_unitFont;
    juce::Font m_unitFontBold;
    std::array<float, kNumValueLabels> m_dragStart{};
    std::array<bool, kNumValueLabels> m_dragging{};

    JUCE_DECLARE_NON_COPYABLE(CVXLayerList)
};
