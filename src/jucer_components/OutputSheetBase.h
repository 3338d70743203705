#pragma once

#include "library/zfc/CZfcSheet.h"
#include "src/songlist/Output/ExportParameter/CommonExportParameter.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class CVXHost;

namespace Vextal
{
class ComboBoxLookAndFeel;
class ExportParameterDisplay;

// What the export sheet and the disc-burn sheet share: a sheet of the main
// window over two parameter sets, the common one and the sheet's own (the
// file or the disc-burn parameters), from which the user starts a session of
// the export manager.
//
// The base keeps both sets and listens to them, and makes the controls every
// such sheet has: the songs' caption and combo box (bound to the common set's
// source, which offers "Selected Songs" while the host has selected songs),
// Cancel, and the option group with its read-only table and Edit button. A
// subclass places those through its Layout, adds and binds its own controls,
// fills the option table and answers the buttons.
//
// The sets belong to the base so that they outlive the subclass's controls: a
// control deleted while bound is left alone by its set, and the sheet hears
// of the sets until the base goes.
//
// The sheet's component property named by the constructor tells the owner how
// the last opening ended: true after Cancel, false after a started session.
//
// Message thread only.
class OutputSheetBase : public CZfcSheet,
                        public ExportParameterListener,
                        public juce::ComboBox::Listener,
                        public juce::Button::Listener
{
public:
    static constexpr int kWidth = 360;
    static constexpr juce::uint32 kBackgroundColour = 0xBFFFFFFF;

    ~OutputSheetBase() override;

    // Where a sheet puts the shared controls, and its height. The songs'
    // caption and combo box sit in the same place on every sheet.
    struct Layout
    {
        int height;
        juce::Rectangle<int> cancel;
        juce::Rectangle<int> optionGroup;
        juce::Rectangle<int> optionTable;
        // The widths of the option table's captions and values.
        int optionCaptionWidth;
        int optionValueWidth;
        juce::Rectangle<int> edit;
    };

    // The shared controls and the common set, for the owner's shortcuts and
    // the tests.
    CommonExportParameter& getCommonParameter() { return m_common; }
    ExportParameterDisplay& getOptionTable() { return *m_optionTable; }
    juce::ComboBox& getSourceBox() { return m_source; }
    juce::TextButton& getCancelButton() { return m_cancel; }
    juce::TextButton& getEditButton() { return m_edit; }

    void paint(juce::Graphics& g) override;
    void resized() override;
    // The bound combo boxes are served by the parameter sets.
    void comboBoxChanged(juce::ComboBox* box) override;

protected:
    static constexpr const char* kCancelShortcut = "escape";

    // cancelPropertyName: the component property set to true on Cancel and
    // to false when a session has started. host: the songs (null: the
    // application's, looked up when used). own: the sheet's own parameter
    // set, kept here for the life of the sheet.
    OutputSheetBase(const juce::String& cancelPropertyName, CVXHost* host,
                    std::unique_ptr<ExportParameter> own, const Layout& layout);

    CVXHost* getHost() const { return m_host; }
    ExportParameter& getOwnParameter() { return *m_own; }

    // A caption in the sheets' plain 15-point face (the local interface font
    // for Japanese), black on nothing, placed and shown.
    void setUpCaption(juce::Label& label, juce::Rectangle<int> bounds);
    // A choice box in the sheets' look that shows nothing until a choice is
    // made, placed and shown, reporting to the sheet.
    void setUpChoiceBox(juce::ComboBox& box, juce::Rectangle<int> bounds);

    // Puts the common set back to its defaults: a value that was never stored
    // reads back as the default, not as an earlier opening's choice.
    void resetCommonParameter();
    void setCancelled(bool cancelled);

private:
    const juce::String m_cancelPropertyName;
    CVXHost* const m_host;
    CommonExportParameter m_common;
    const std::unique_ptr<ExportParameter> m_own;
    std::unique_ptr<ComboBoxLookAndFeel> m_comboLook;

    juce::Label m_sourceCaption;
    juce::ComboBox m_source;
    juce::TextButton m_cancel;
    juce::GroupComponent m_optionGroup;
    std::unique_ptr<ExportParameterDisplay> m_optionTable;
    juce::TextButton m_edit;

    JUCE_DECLARE_NON_COPYABLE(OutputSheetBase)
};
} // namespace Vextal
