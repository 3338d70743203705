#include "src/Output/ExportParameter/ExportParameterDialog.h"
#include "src/Output/ExportParameter/ExportParameterComponentBinder.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/CVXLookAndFeel.h"
#include "src/ComboBoxLookAndFeel.h"
#include "src/jucer_components/LabelWithInlineEditor.h"

namespace Vextal
{
namespace
{
constexpr int kControlHeight = 20;
constexpr int kCaptionHeight = 16;
} // namespace

ExportParameterDialog::ExportParameterDialog(const juce::String& title, const juce::String& message)
    : juce::AlertWindow(title, message, juce::MessageBoxIconType::NoIcon)
{
}

ExportParameterDialog::~ExportParameterDialog()
{
    for (auto& item : m_items)
    {
        item->set->unbindComponent(item->control.get());
        removeCustomComponent(0);
        item->row->removeAllChildren();
        item->caption.reset();
        item->control.reset();
        item->row.reset();
    }
    m_items.clear();
    m_comboLookAndFeel.reset();
}

int ExportParameterDialog::addParameterLabel(ExportParameter& set, int index, const juce::String& caption)
{
    auto label =
        std::make_unique<LabelWithInlineEditor>("ExportParameterLabel_" + caption, juce::String(), true);
    label->setFont(CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontLocalText, 15.0f));
    // Edited on a single click; leaving the editor keeps the edit.
    label->setEditable(true, false, false);
    label->setColour(juce::Label::backgroundColourId, juce::Colours::white);
    label->setColour(juce::Label::outlineColourId, juce::Colour(kLabelOutlineColour));
    return addParameterComponent(set, index, caption, std::move(label));
}

int ExportParameterDialog::addParameterComboBox(ExportParameter& set, int index, const juce::String& caption)
{
    auto box = std::make_unique<juce::ComboBox>("ExportParameterComboBox_" + caption);
    if (m_comboLookAndFeel == nullptr)
        m_comboLookAndFeel = std::make_unique<ComboBoxLookAndFeel>(box.get(), CVXLookAndFeel::kFontLocalUI);
    box->setLookAndFeel(m_comboLookAndFeel.get());
    return addParameterComponent(set, index, caption, std::move(box));
}

int ExportParameterDialog::addParameterComponent(ExportParameter& set, int index, const juce::String& caption,
                                                 std::unique_ptr<juce::Component> control)
{
    auto item = std::make_unique<Item>();
    item->set = &set;
    item->index = index;
    item->row = std::make_unique<juce::Component>();
    const bool captioned = caption.isNotEmpty();
    item->row->setSize(kRowWidth, captioned ? kRowHeightWithCaption : kRowHeightWithoutCaption);
    if (control != nullptr)
    {
        control->setBounds(0, captioned ? kCaptionHeight : 0, kRowWidth, kControlHeight);
        item->row->addAndMakeVisible(*control);
        bindComponent(set, index, control.get());
    }
    if (captioned)
    {
        item->caption = std::make_unique<juce::Label>(caption, caption);
        item->caption->setBounds(0, 0, kRowWidth, kCaptionHeight);
        item->caption->setFont(CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontLocalUI, 14.0f));
        item->row->addAndMakeVisible(*item->caption);
    }
    addCustomComponent(item->row.get());
    item->savedText = set.getParameterText(index);
    item->control = std::move(control);
    m_items.push_back(std::move(item));
    return getNumRows();
}

bool ExportParameterDialog::show()
{
    if (!m_buttonsAdded)
    {
        m_buttonsAdded = true;
        addButton(CZJEResource::GetText("Button_Cancel"), 0, juce::KeyPress(juce::KeyPress::escapeKey));
        addButton(CZJEResource::GetText("Button_Ok"), 1, juce::KeyPress(juce::KeyPress::returnKey));
    }
    return runModalLoop() == 1;
}

void ExportParameterDialog::undo()
{
    for (auto& item : m_items)
        item->set->setParameterText(item->index, item->savedText, true);
}

juce::Component* ExportParameterDialog::getRow(int row) const
{
    return juce::isPositiveAndBelow(row, getNumRows()) ? m_items[static_cast<size_t>(row)]->row.get()
                                                       : nullptr;
}

juce::Component* ExportParameterDialog::getControl(int row) const
{
    return juce::isPositiveAndBelow(row, getNumRows()) ? m_items[static_cast<size_t>(row)]->control.get()
                                                       : nullptr;
}
} // namespace Vextal
