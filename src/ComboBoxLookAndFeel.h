#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace Vextal
{
// The look of one combo box (or several) or of one file-name chooser: the
// application's font for the given font id (CVXLookAndFeel::eFontID), sized
// to the control, and a label edited in place as the combo box's text.
// Popup-menu items are drawn as the framework draws them, shortcut text
// included.
//
// The owner creates it, sets it on its controls and deletes it after them.
// Message thread only.
class ComboBoxLookAndFeel : public juce::LookAndFeel_V2
{
public:
    ComboBoxLookAndFeel(juce::ComboBox* comboBox, int fontId);
    ComboBoxLookAndFeel(juce::FilenameComponent* chooser, int fontId);
    ~ComboBoxLookAndFeel() override;

    // The font id at min(box height x 0.85, 15).
    juce::Font getComboBoxFont(juce::ComboBox& box) override;
    // The served combo box's font while it exists; else the served chooser's
    // font by its height; else the application look's popup-menu font.
    juce::Font getPopupMenuFont() override;
    // A label edited in place, without the input method.
    juce::Label* createComboBoxTextBox(juce::ComboBox& box) override;

    // min(controlHeight x 0.85, 15).
    static float fontHeightFor(int controlHeight);

private:
    juce::Component::SafePointer<juce::ComboBox> m_comboBox;
    juce::Component::SafePointer<juce::FilenameComponent> m_chooser;
    int m_fontId;
};
} // namespace Vextal
