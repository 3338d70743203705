#pragma once

// What the tests of the sheets share: a window on the desktop that holds the
// sheet, the sheet opened as the user opens it, a click on one of its
// controls, a choice in one of its combo boxes, and the fixture that sets a
// sheet up in each interface language.

#include "library/zfc/CZfcSheet.h"
#include "tests/src/ModalDriver.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace uitest
{
// Puts the sheet (hidden until it opens) into the window at (40, 40) with
// the size given, and the window on the desktop.
inline void ShowSheetWindow(juce::Component& window, CZfcSheet& sheet, int width, int height)
{
    window.setBounds(40, 40, width, height);
    window.addChildComponent(sheet);
    window.addToDesktop(juce::ComponentPeer::windowIsTemporary);
    window.setVisible(true);
}

// Closes the sheet (when there is one and it is open) and takes the window
// off the desktop.
inline void HideSheetWindow(juce::Component& window, CZfcSheet* sheet)
{
    if (sheet != nullptr && sheet->GetState() == CZfcSheet::kOpen)
        sheet->Close();
    window.removeFromDesktop();
}

// Opens the sheet and runs the message loop until it is open.
inline void OpenSheet(CZfcSheet& sheet)
{
    ASSERT_TRUE(sheet.Open());
    ASSERT_TRUE(PumpUntil([&] { return sheet.GetState() == CZfcSheet::kOpen; }));
}

// A click on a control in the window, at its centre, as the mouse makes it,
// and what the click sets off.
inline void ClickControl(juce::Component& window, juce::Component& control)
{
    ClickAt(window, window.getLocalPoint(&control, control.getLocalBounds().getCentre()));
    Pump(20);
}

// The user's choice of the item with the text given.
inline void Choose(juce::ComboBox& box, const juce::String& text)
{
    for (int i = 0; i < box.getNumItems(); ++i)
    {
        if (box.getItemText(i) == text)
        {
            box.setSelectedItemIndex(i, juce::sendNotificationSync);
            return;
        }
    }
    ADD_FAILURE() << "no item " << text << " in " << box.getName();
}

// A sheet's fixture F set up in the interface language that is the test's
// parameter (through F::SetUpIn), for the tests that draw the sheet in each
// language.
template <typename F>
class InEachLanguage : public F, public testing::WithParamInterface<const char*>
{
protected:
    void SetUp() override { F::SetUpIn(this->GetParam()); }
};
} // namespace uitest
