#include "src/jucer_components/ExportAndBurnCD.h"

#include "src/Resource/CVXResourceManager.h"

namespace
{
// Strips of two frames: 0 normal, hovered and disabled (at full opacity), 1
// pressed and toggled.
void InitializeButton(juce::SimpleImageButton& button, Vextal::ImageIndex image,
                      juce::ApplicationCommandManager* commands, int command)
{
    button.initialize(CVXResourceManager::Get(image), 2, 0, 1, 0, 1, 1.0f);
    if (commands != nullptr)
        button.setCommandToTrigger(commands, command, false);
}
} // namespace

ExportAndBurnCD::ExportAndBurnCD(juce::ApplicationCommandManager* commands)
{
    InitializeButton(m_export, Vextal::kImageButtonExport, commands, kExportCommand);
    InitializeButton(m_burnCD, Vextal::kImageButtonBurnCD, commands, kBurnCDCommand);
    addAndMakeVisible(m_export);
    addAndMakeVisible(m_burnCD);
    setSize(80, 44);
}

void ExportAndBurnCD::resized()
{
    m_export.setBounds(0, 0, 80, 22);
    m_burnCD.setBounds(0, 22, 80, 22);
}
