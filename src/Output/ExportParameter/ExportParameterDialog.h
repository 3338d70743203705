#pragma once

#include "src/songlist/Output/ExportParameter/ExportParameter.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

namespace Vextal
{
class ComboBoxLookAndFeel;

// The modal options dialog of the export sheets: rows of editable labels and
// combo boxes bound to export parameters, with Cancel and OK. The rows show
// and edit the parameters directly; undo() puts back the texts the
// parameters had when their rows were added, for a caller whose show()
// answered false.
//
// The parameter sets are borrowed and must outlive the dialog, which unbinds
// its controls when it goes.
//
// Message thread only.
class ExportParameterDialog : public juce::AlertWindow
{
public:
    // The width of a row, and its height with and without a caption.
    static constexpr int kRowWidth = 232;
    static constexpr int kRowHeightWithCaption = 36;
    static constexpr int kRowHeightWithoutCaption = 20;
    static constexpr juce::uint32 kLabelOutlineColour = 0xB2808080;

    ExportParameterDialog(const juce::String& title, const juce::String& message);
    ~ExportParameterDialog() override;

    // A row with a label edited on a single click, bound to the parameter;
    // returns the number of rows.
    int addParameterLabel(ExportParameter& set, int index, const juce::String& caption);
    // A row with a combo box bound to the parameter; returns the number of
    // rows.
    int addParameterComboBox(ExportParameter& set, int index, const juce::String& caption);
    // A row with control (taken over by the dialog) bound to the parameter,
    // under its caption when there is one; returns the number of rows.
    int addParameterComponent(ExportParameter& set, int index, const juce::String& caption,
                              std::unique_ptr<juce::Component> control);

    // Runs the dialog (adding Cancel and OK on the first call); true when it
    // ended with OK.
    bool show();
    // Every parameter of a row takes back, with notice, the text it had when
    // the row was added.
    void undo();

    int getNumRows() const { return static_cast<int>(m_items.size()); }
    // The row component and the bound control of a row; null out of range.
    juce::Component* getRow(int row) const;
    juce::Component* getControl(int row) const;

private:
    struct Item
    {
        ExportParameter* set;
        int index;
        juce::String savedText;
        std::unique_ptr<juce::Component> row;
        std::unique_ptr<juce::Component> control;
        std::unique_ptr<juce::Label> caption;
    };

    std::vector<std::unique_ptr<Item>> m_items;
    std::unique_ptr<ComboBoxLookAndFeel> m_comboLookAndFeel;
    bool m_buttonsAdded = false;

    JUCE_DECLARE_NON_COPYABLE(ExportParameterDialog)
};
} // namespace Vextal
