#pragma once

#include "src/jucer_components/OutputSheetBase.h"
#include "src/songlist/Output/ExportParameter/FileExportParameter.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class CVXHost;

namespace Vextal
{
class ComboBoxLookAndFeel;
class CommandManager;
class ExportSession;

// The sheet from which the user exports the songlist, or the selected
// songs, to audio files: which songs, the destination folder, the format,
// channels, sample rate and bit depth or, for compressed formats, bit rate
// (both in the same place, one shown at a time), and a table of the export
// options with an Edit button that opens the option dialog.
//
// Every control is bound to a common or a file export parameter, so the
// parameters keep the choices consistent and the controls follow them; a
// control the parameters change by themselves flashes. Each opening reads
// both parameter sets from the preferences again, so a cancelled sheet
// leaves nothing behind; they are written only once an export has started.
//
// OK hands a file-export session over the two sets to the export manager.
// The sheet does not close itself then: its owner closes it when the export
// begins processing its songs. When the manager refuses (another session is
// busy, or the session's checks failed), the sheet stays open.
//
// The sheet's component property named by the constructor tells the owner
// how the last opening ended: true after Cancel, false after a started
// export.
//
// Message thread only.
class ExportSheet : public OutputSheetBase
{
public:
    static constexpr int kHeight = 408;

    // cancelPropertyName: the component property set to true on Cancel and
    // to false when an export has started. host and commands: the songs
    // exported and the undo stack of the normalized gains; null means the
    // application's, looked up when used.
    explicit ExportSheet(const juce::String& cancelPropertyName, CVXHost* host = nullptr,
                         CommandManager* commands = nullptr);
    ~ExportSheet() override;

    // The controls and parameter sets, for the owner's shortcuts and the
    // tests.
    FileExportParameter& getFileParameter() { return m_file; }
    juce::FilenameComponent& getDestination() { return m_destination; }
    juce::ComboBox& getFormatBox() { return m_format; }
    juce::ComboBox& getTypeBox() { return m_type; }
    juce::ComboBox& getSampleRateBox() { return m_sampleRate; }
    juce::ComboBox& getBitDepthBox() { return m_bitDepth; }
    juce::ComboBox& getBitRateBox() { return m_bitRate; }
    juce::Label& getBitDepthCaption() { return m_bitDepthCaption; }
    juce::Label& getBitRateCaption() { return m_bitRateCaption; }
    juce::TextButton& getOkButton() { return m_ok; }

    void buttonClicked(juce::Button* button) override;
    void exportParameterChanged(ExportParameter* set, int index) override;
    void exportBoundComponentChangedInternally(ExportParameter* set, int index,
                                               juce::Component* component) override;

    // The option dialog: the normalization choice, restored when the dialog
    // is cancelled.
    void showOptionDialog();

protected:
    void DoBeforeOpen() override;
    void DoBeforeClose() override;

    // The session OK starts; a file export over the two sets.
    virtual std::unique_ptr<ExportSession> makeSession();

private:
    void localize();
    // The bit-rate row shows exactly when its combo box is enabled (a
    // compressed format), the bit-depth row otherwise.
    void updateBitVisibility();
    // Hides the filter and dither rows of the option table.
    bool hideUnusedOptions();
    void startExport();

    CommandManager* const m_commands;
    // The sheet's own set, which the base keeps.
    FileExportParameter& m_file;
    std::unique_ptr<ComboBoxLookAndFeel> m_chooserLook;

    juce::Label m_destinationCaption;
    juce::FilenameComponent m_destination;
    juce::Label m_formatCaption;
    juce::ComboBox m_format;
    juce::Label m_typeCaption;
    juce::ComboBox m_type;
    juce::Label m_sampleRateCaption;
    juce::ComboBox m_sampleRate;
    juce::Label m_bitDepthCaption;
    juce::ComboBox m_bitDepth;
    juce::Label m_bitRateCaption;
    juce::ComboBox m_bitRate;
    juce::TextButton m_ok;

    JUCE_DECLARE_NON_COPYABLE(ExportSheet)
};
} // namespace Vextal
