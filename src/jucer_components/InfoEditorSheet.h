#pragma once

#include "library/zfc/CZfcSheet.h"
#include "src/jucer_components/FileImageComponent.h"
#include "src/jucer_components/LabelWithInlineEditor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

class CVXHost;

namespace Vextal
{
class CommandManager;
class TrackInfo;

// The sheet in which the user edits the information of the selected songs at
// once: five texts (title, artist, album, genre, location), the recording
// date and time, a numbering and renaming of the song names and the attached
// picture. Each field has a check box and only ticked fields are written;
// typing in a field ticks its box. OK applies everything as one undoable
// transaction ("Action_EditInfo") that begins with the selection, so that
// undo restores the selection too. Made once by the main content and filled
// anew from the selection every time it opens.
//
// Shared values: a field shows the text only when every selected song has
// the same; the date and the time show only whole (one differing part
// empties all three). A date or time that differed between the songs is
// written part by part: only the parts the user edited, so that typing the
// year of songs whose days differ keeps each song's month and day.
//
// Numbering: Remove strips a leading number (and the separator after it);
// Insert puts "n" + separator in front, n padded to the width of the song
// count. A song's name is never made empty: a name that is only a number
// keeps it, and an empty result leaves the name as it was.
//
// Keyboard: Tab and Shift-Tab go round the text fields (the separator, then
// the texts, date and time in order); Return in a field commits it.
//
// Message thread only.
class InfoEditorSheet : public CZfcSheet,
                        public FileImageComponentListener,
                        public juce::Label::Listener,
                        public juce::Button::Listener
{
public:
    static constexpr int kWidth = 480;
    static constexpr int kHeight = 344;

    // Over the host's songs, editing through commands' undo stack; both are
    // borrowed and outlive the sheet.
    InfoEditorSheet(CVXHost& host, CommandManager& commands);
    ~InfoEditorSheet() override;

    // The name with its leading number removed: the leading digits, when the
    // separator is empty; the digits and the separator, when the rest begins
    // with it; else nothing. A name that would be left empty is kept whole.
    static juce::String removeNumbering(const juce::String& name, const juce::String& separator);
    // "<position + 1>" padded with "0" to the number of digits of count, then
    // the separator, then the name.
    static juce::String insertNumbering(const juce::String& name, const juce::String& separator, int position,
                                        int count);

    // The controls, for the main content's shortcuts and the tests.
    LabelWithInlineEditor& getEditor(int textId);
    juce::ToggleButton& getCheckBox(int textId);
    juce::ToggleButton& getPictureCheckBox() { return m_pictureCheck; }
    juce::ToggleButton& getCopyFromTitle() { return m_copyFromTitle; }
    juce::ToggleButton& getInsert() { return m_insert; }
    juce::ToggleButton& getRemove() { return m_remove; }
    LabelWithInlineEditor& getSeparator() { return m_separator; }
    FileImageComponent& getPictureWell() { return m_well; }
    juce::TextButton& getOkButton() { return m_ok; }
    juce::TextButton& getCancelButton() { return m_cancel; }
    const juce::SparseSet<int>& getSelection() const { return m_selection; }

    void paint(juce::Graphics& g) override;
    void resized() override;
    // Tab and Shift-Tab move between the text fields only.
    std::unique_ptr<juce::ComponentTraverser> createKeyboardFocusTraverser() override;

    void fileImageComponentChanged(FileImageComponent* well) override;
    void labelTextChanged(juce::Label* label) override;
    void buttonClicked(juce::Button* button) override;

protected:
    void DoBeforeOpen() override;
    void DoBeforeClose() override;

private:
    // One editable text: its editor, its check box (shared by the parts of
    // the date and of the time) and the song text it edits.
    struct ComponentToTextId
    {
        LabelWithInlineEditor* editor;
        juce::ToggleButton* checkBox;
        int textId;
    };

    void buildRows();
    void buildNameGroup();
    void buildOtherControls();
    void localize();

    void fillFromSelection();
    void clearControls();
    // Empties the editors of the rows whose texts differ from song's; tells
    // whether the date and the time differ.
    void compareWith(const TrackInfo& song, bool& dateMixed, bool& timeMixed);
    void fillPicture(const juce::String& path, bool mixed);

    // Commits the text of a field still being edited.
    void commitOpenEditors();
    void applyChanges();
    void stackTextActions(bool& first);
    void stackNameActions(bool& first);
    void stackPictureActions(bool& first);
    bool isRowWritten(size_t row) const;
    juce::String newSongName(const TrackInfo& song, int position, int count) const;
    void stack(std::unique_ptr<juce::UndoableAction> action, bool& first);

    std::vector<int> selectedIndices() const;
    size_t rowOf(const juce::Label* label) const;

    CVXHost& m_host;
    CommandManager& m_commands;
    std::vector<ComponentToTextId> m_rows;
    // Per row: the user edited it since the sheet opened.
    std::vector<bool> m_edited;
    bool m_dateMixed = false;
    bool m_timeMixed = false;
    juce::SparseSet<int> m_selection;
    std::unique_ptr<TrackInfo> m_scratch;

    std::vector<std::unique_ptr<LabelWithInlineEditor>> m_editors;
    std::vector<std::unique_ptr<juce::ToggleButton>> m_checkBoxes;
    std::vector<std::unique_ptr<juce::Label>> m_separatorLabels;

    juce::GroupComponent m_nameGroup;
    juce::ToggleButton m_copyFromTitle;
    juce::Label m_indexCaption;
    juce::ToggleButton m_insert;
    juce::ToggleButton m_remove;
    juce::Label m_separatorCaption;
    LabelWithInlineEditor m_separator;
    juce::GroupComponent m_textGroup;
    juce::ToggleButton m_pictureCheck;
    FileImageComponent m_well;
    juce::TextButton m_cancel;
    juce::TextButton m_ok;

    JUCE_DECLARE_NON_COPYABLE(InfoEditorSheet)
};
} // namespace Vextal
