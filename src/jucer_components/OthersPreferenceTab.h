#pragma once

#include "src/ComboBoxLookAndFeel.h"
#include "src/songlist/Output/ExportParameter/CommonExportParameter.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace Vextal
{
// The other-preferences tab of the preferences sheet: the temporary folder
// used for disc burning (with its recently chosen folders), stored only by
// ok(), and a button that brings back every burn warning the user chose to
// hide, at once.
//
// Message thread only.
class OthersPreferenceTab : public juce::Component, public juce::Button::Listener
{
public:
    static constexpr int kWidth = 288;
    static constexpr int kHeight = 256;
    // The stored number of drives whose burn warnings are hidden.
    static constexpr const char* kNumDrivesHidingWarningsKey = "Export_Num_Drives_Hides_Warnings";

    OthersPreferenceTab();
    ~OthersPreferenceTab() override;

    // Shows the stored folder and its recently chosen folders (a folder
    // changed and not stored is forgotten).
    void initialize();
    // Stores the folder and the chooser's recently chosen folders.
    void ok();
    // Nothing: the next initialize() reads the stored folder again.
    void cancel() {}

    // Empties the stored list of drives whose burn warnings are hidden.
    static void clearDrivesWhichHidesWarnings();

    juce::FilenameComponent& getFolderChooser() { return m_folder; }
    juce::TextButton& getResetButton() { return m_reset; }
    const CommonExportParameter& getParameter() const { return m_parameter; }

    void paint(juce::Graphics& g) override;
    void resized() override;
    void buttonClicked(juce::Button* button) override;

private:
    CommonExportParameter m_parameter;
    juce::Label m_folderCaption;
    juce::FilenameComponent m_folder;
    juce::Label m_resetCaption;
    juce::TextButton m_reset;
    ComboBoxLookAndFeel m_folderLook;

    JUCE_DECLARE_NON_COPYABLE(OthersPreferenceTab)
};
} // namespace Vextal
