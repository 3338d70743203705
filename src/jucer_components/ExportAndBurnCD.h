#pragma once

#include "src/jucer_components/SimpleImageButton.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The Export and Burn CD buttons at the right of the main window. Each
// triggers its command through the command manager (Export command 32, Burn
// CD command 33), and is enabled exactly when its command is: the command
// manager keeps both in step with the command table.
//
// Message thread only.
class ExportAndBurnCD : public juce::Component
{
public:
    static constexpr int kExportCommand = 32;
    static constexpr int kBurnCDCommand = 33;

    // commands: where the buttons' commands go (none: the buttons do
    // nothing).
    explicit ExportAndBurnCD(juce::ApplicationCommandManager* commands);

    void resized() override;

    juce::Button& getExportButton() { return m_export; }
    juce::Button& getBurnCDButton() { return m_burnCD; }

private:
    juce::SimpleImageButton m_export{"Export"};
    juce::SimpleImageButton m_burnCD{"BurnCD"};

    JUCE_DECLARE_NON_COPYABLE(ExportAndBurnCD)
};
