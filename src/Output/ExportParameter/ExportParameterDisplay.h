#pragma once

#include "src/songlist/Output/ExportParameter/ExportParameter.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

namespace Vextal
{
// A read-only table of export parameters: one row per parameter, a caption
// justified right and a value label that follows the parameter. Rows can be
// hidden; the visible ones stack from the top in the order they were added,
// and the table takes their height.
//
// The parameter sets are borrowed and must outlive the display, which
// unbinds its labels when it goes.
//
// Message thread only.
class ExportParameterDisplay : public juce::Component
{
public:
    ExportParameterDisplay(int rowHeight, int captionWidth, int viewerWidth, int gap);
    ~ExportParameterDisplay() override;

    // Adds a row showing the parameter; with relayout the table is laid out
    // again.
    void add(ExportParameter& set, int index, const juce::String& caption, bool relayout);
    // Shows or hides every row of the parameter; true when a row changed.
    // With relayout the table is laid out again (also when nothing changed).
    bool setParameterVisible(ExportParameter& set, int index, bool visible, bool relayout);
    // Stacks the visible rows from the top and takes their size.
    void updateLayout();

    int getNumRows() const { return static_cast<int>(m_items.size()); }
    // A row and its value label; null out of range.
    juce::Component* getRow(int row) const;
    juce::Label* getValueLabel(int row) const;

private:
    struct Item
    {
        ExportParameter* set;
        int index;
        std::unique_ptr<juce::Component> row;
        std::unique_ptr<juce::Label> caption;
        std::unique_ptr<juce::Label> value;
    };

    std::vector<std::unique_ptr<Item>> m_items;
    const int m_rowHeight;
    const int m_captionWidth;
    const int m_viewerWidth;
    const int m_gap;

    JUCE_DECLARE_NON_COPYABLE(ExportParameterDisplay)
};
} // namespace Vextal
