#include "src/ComboBoxLookAndFeel.h"

#include "src/CVXLookAndFeel.h"
#include "src/jucer_components/LabelWithInlineEditor.h"

#include <algorithm>

namespace Vextal
{
ComboBoxLookAndFeel::ComboBoxLookAndFeel(juce::ComboBox* comboBox, int fontId)
    : m_comboBox(comboBox), m_fontId(fontId)
{
}

ComboBoxLookAndFeel::ComboBoxLookAndFeel(juce::FilenameComponent* chooser, int fontId)
    : m_chooser(chooser), m_fontId(fontId)
{
}

ComboBoxLookAndFeel::~ComboBoxLookAndFeel() = default;

float ComboBoxLookAndFeel::fontHeightFor(int controlHeight)
{
    return std::min(static_cast<float>(controlHeight) * 0.85f, 15.0f);
}

juce::Font ComboBoxLookAndFeel::getComboBoxFont(juce::ComboBox& box)
{
    return CVXLookAndFeel::GetFontOrDefault(m_fontId, fontHeightFor(box.getHeight()));
}

juce::Font ComboBoxLookAndFeel::getPopupMenuFont()
{
    if (m_comboBox != nullptr)
        return getComboBoxFont(*m_comboBox);
    if (m_chooser != nullptr)
        return CVXLookAndFeel::GetFontOrDefault(m_fontId, fontHeightFor(m_chooser->getHeight()));
    if (auto* look = CVXLookAndFeel::GetInstance())
        return look->getPopupMenuFont();
    return LookAndFeel_V2::getPopupMenuFont();
}

juce::Label* ComboBoxLookAndFeel::createComboBoxTextBox(juce::ComboBox&)
{
    auto* label = new LabelWithInlineEditor({}, {}, false);
    label->setInputRestrictions(0, {}, LabelWithInlineEditor::kInputMethodDisabled);
    return label;
}
} // namespace Vextal
