#include "src/Output/ExportParameter/ExportParameterDialog.h"
#include "src/Output/ExportParameter/ExportParameterDisplay.h"

#include "src/songlist/Output/ExportParameter/CommonExportParameter.h"
#include "src/songlist/Output/ExportParameter/FileExportParameter.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"
#include "tests/support/ExportParameterTestSupport.h"

#include <gtest/gtest.h>

#include <optional>

using Vextal::CommonExportParameter;
using Vextal::ExportParameterDialog;
using Vextal::ExportParameterDisplay;

namespace
{
class ExportParameterDialogTest : public paramtest::ParameterTest
{
protected:
    CommonExportParameter m_common{[] { return false; }};
};

// Runs the dialog, choosing the combo box's choice (when not negative) and
// then pressing the button with the text given; returns show()'s answer.
bool ShowAndPress(ExportParameterDialog& dialog, int choice, const juce::String& button)
{
    uitest::ModalDriver driver({[&]
                                {
                                    if (!dialog.isCurrentlyModal())
                                        return false;
                                    if (choice >= 0)
                                        if (auto* box = uitest::FindComponent<juce::ComboBox>(&dialog))
                                            box->setSelectedItemIndex(choice, juce::sendNotificationSync);
                                    return true;
                                },
                                [&]
                                {
                                    juce::Button* b = uitest::FindButton(&dialog, button);
                                    if (b == nullptr)
                                        return false;
                                    b->triggerClick();
                                    return true;
                                }});
    const bool answer = dialog.show();
    EXPECT_TRUE(driver.succeeded());
    return answer;
}
} // namespace

// A row is 232 wide, 36 high under a caption and 20 without; its control
// sits below the caption and shows the parameter it is bound to; the dialog
// unbinds its controls when it goes.
TEST_F(ExportParameterDialogTest, RowsAreBoundAndSizedByTheirCaption)
{
    m_common.setParameterValue(CommonExportParameter::kNormalizeMode, 2, false);
    {
        ExportParameterDialog dialog("Title", "Message");
        EXPECT_EQ(dialog.addParameterComboBox(m_common, CommonExportParameter::kNormalizeMode, "Normalize"),
                  1);
        EXPECT_EQ(dialog.addParameterLabel(m_common, CommonExportParameter::kTempDirectory, ""), 2);

        EXPECT_EQ(dialog.getRow(0)->getBounds().withPosition(0, 0), juce::Rectangle<int>(0, 0, 232, 36));
        EXPECT_EQ(dialog.getControl(0)->getBounds(), juce::Rectangle<int>(0, 16, 232, 20));
        EXPECT_EQ(dialog.getRow(1)->getBounds().withPosition(0, 0), juce::Rectangle<int>(0, 0, 232, 20));
        EXPECT_EQ(dialog.getControl(1)->getBounds(), juce::Rectangle<int>(0, 0, 232, 20));
        EXPECT_LT(dialog.getRow(0)->getY(), dialog.getRow(1)->getY());

        auto* box = dynamic_cast<juce::ComboBox*>(dialog.getControl(0));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->getName(), "ExportParameterComboBox_Normalize");
        EXPECT_EQ(box->getNumItems(), 3);
        EXPECT_EQ(box->getSelectedItemIndex(), 2);
        auto* label = dynamic_cast<juce::Label*>(dialog.getControl(1));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->getText(), m_common.getParameterText(CommonExportParameter::kTempDirectory));
        EXPECT_TRUE(label->isEditableOnSingleClick());
        EXPECT_EQ(m_common.getNumBoundComponents(), 2);
    }
    EXPECT_EQ(m_common.getNumBoundComponents(), 0);
}

// Cancel answers false and undo() brings back, with notice, the choice the
// parameter had when its row was added; OK keeps the new choice. A second
// show() adds no second pair of buttons.
TEST_F(ExportParameterDialogTest, CancelThenUndoRestoresAndOkKeeps)
{
    paramtest::Recorder recorder;
    m_common.AddListener(&recorder);
    ExportParameterDialog dialog("Title", "Message");
    dialog.addParameterComboBox(m_common, CommonExportParameter::kNormalizeMode, "Normalize");

    EXPECT_FALSE(ShowAndPress(dialog, 1, "Cancel"));
    EXPECT_EQ(m_common.getParameterValue(CommonExportParameter::kNormalizeMode), 1);
    recorder.notices.clear();
    dialog.undo();
    EXPECT_EQ(m_common.getParameterValue(CommonExportParameter::kNormalizeMode), 0);
    EXPECT_EQ(recorder.Count("changed 2"), 1);

    EXPECT_TRUE(ShowAndPress(dialog, 2, "OK"));
    EXPECT_EQ(m_common.getParameterValue(CommonExportParameter::kNormalizeMode), 2);
    EXPECT_EQ(dialog.getNumButtons(), 2);
    m_common.RemoveListener(&recorder);
}

// Rows stack in the order they were added, hidden ones left out; the table
// takes the height of the visible rows, and a value label follows its
// parameter.
TEST_F(ExportParameterDialogTest, DisplayStacksTheVisibleRows)
{
    ExportParameterDisplay display(16, 120, 176, 4);
    display.add(m_common, CommonExportParameter::kDsdFilter, "A", false);
    display.add(m_common, CommonExportParameter::kNormalizeMode, "B", false);
    display.add(m_common, CommonExportParameter::kDitherType, "C", true);
    EXPECT_EQ(display.getBounds().withPosition(0, 0), juce::Rectangle<int>(0, 0, 300, 48));

    EXPECT_TRUE(display.setParameterVisible(m_common, CommonExportParameter::kNormalizeMode, false, true));
    EXPECT_FALSE(display.setParameterVisible(m_common, CommonExportParameter::kNormalizeMode, false, true));
    EXPECT_EQ(display.getHeight(), 32);
    EXPECT_EQ(display.getNumChildComponents(), 2);
    EXPECT_EQ(display.getRow(0)->getY(), 0);
    EXPECT_EQ(display.getRow(2)->getY(), 16);
    EXPECT_EQ(display.getRow(1)->getParentComponent(), nullptr);
    EXPECT_EQ(display.getValueLabel(0)->getX(), 124);

    m_common.setParameterValue(CommonExportParameter::kDitherType, 2, true);
    EXPECT_EQ(display.getValueLabel(2)->getText(),
              m_common.getParameterText(CommonExportParameter::kDitherType));
    EXPECT_TRUE(display.setParameterVisible(m_common, CommonExportParameter::kNormalizeMode, true, true));
    EXPECT_EQ(display.getRow(1)->getY(), 16);
    EXPECT_EQ(display.getRow(2)->getY(), 32);
}

namespace
{
class ExportParameterDialogDrawing : public testing::TestWithParam<const char*>
{
protected:
    juce::ScopedJuceInitialiser_GUI m_gui;
    rifftest::TempFolder m_folder;
};
} // namespace

// The dialog drawn open, with a combo box and a label row, in each language.
TEST_P(ExportParameterDialogDrawing, DrawsTheDialog)
{
    uitest::ScopedInterface ui(GetParam());
    CommonExportParameter common([] { return false; });
    Vextal::FileExportParameter file;
    ExportParameterDialog dialog(CZJEResource::GetText("Export_Title"),
                                 CZJEResource::GetText("Export_Option"));
    dialog.addParameterComboBox(common, CommonExportParameter::kNormalizeMode,
                                CZJEResource::GetText("Export_Normalize"));
    dialog.addParameterLabel(file, Vextal::FileExportParameter::kOutputPath,
                             CZJEResource::GetText("Export_Destination"));
    juce::Image drawn;
    uitest::ModalDriver driver({[&]
                                {
                                    if (!dialog.isCurrentlyModal() || !dialog.isShowing())
                                        return false;
                                    drawn = uitest::Snapshot(dialog);
                                    dialog.exitModalState(0);
                                    return true;
                                }});
    EXPECT_FALSE(dialog.show());
    EXPECT_TRUE(driver.succeeded());
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    uitest::SavePng(drawn, juce::String("ExportParameterDialog_") + GetParam());
}

INSTANTIATE_TEST_SUITE_P(Languages, ExportParameterDialogDrawing,
                         testing::ValuesIn(uitest::kInterfaceLanguages));
