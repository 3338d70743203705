#pragma once

#include "library/zfc/CZfcComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A list box that is its own model: a subclass gives the rows by overriding
// getNumRows and paintListBoxItem (and any other operation of the model). This
// class has no rows and draws none.
//
// Message thread only.
class CZfcCtrlListBox : public juce::ListBox, public juce::ListBoxModel, public CZfcComponent
{
public:
    explicit CZfcCtrlListBox(const juce::String& name);
    ~CZfcCtrlListBox() override;

    int getNumRows() override;
    void paintListBoxItem(int row, juce::Graphics& g, int width, int height, bool selected) override;

    JUCE_DECLARE_NON_COPYABLE(CZfcCtrlListBox)
};
