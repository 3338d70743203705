#include "src/Output/ExportParameter/ExportParameterComponentBinder.h"

#include "library/util/CCheckUtil.h"
#include "src/jucer_components/ComponentDresser.h"

namespace Vextal
{
namespace
{
juce::File FileOfText(const juce::String& text)
{
    return juce::File::isAbsolutePath(text) ? juce::File(text) : juce::File();
}
} // namespace

ExportParameterComponentBinder::ExportParameterComponentBinder(ExportParameter& set, int index,
                                                               juce::Component* component)
    : m_set(set), m_index(index), m_component(component),
      m_comboBox(dynamic_cast<juce::ComboBox*>(component)), m_label(dynamic_cast<juce::Label*>(component)),
      m_fileChooser(dynamic_cast<juce::FilenameComponent*>(component))
{
    if (m_comboBox != nullptr)
    {
        m_comboBox->addListener(this);
        updateChoices();
        updateEnablements();
    }
    if (m_label != nullptr)
        m_label->addListener(this);
    if (m_fileChooser != nullptr)
        m_fileChooser->addListener(this);
    updateParameter();
}

ExportParameterComponentBinder::~ExportParameterComponentBinder()
{
    if (juce::ComboBox* box = Box())
        box->removeListener(this);
    if (juce::Label* label = TextLabel())
        label->removeListener(this);
    if (juce::FilenameComponent* chooser = Chooser())
        chooser->removeListener(this);
}

bool ExportParameterComponentBinder::updateParameter()
{
    if (juce::ComboBox* box = Box())
    {
        const int selected = m_set.getParameterIndex(m_index);
        if (selected == box->getSelectedItemIndex())
            return false;
        box->setSelectedItemIndex(selected, juce::dontSendNotification);
        return true;
    }
    const juce::String text = m_set.getParameterText(m_index);
    if (juce::Label* label = TextLabel())
    {
        if (label->getText() == text)
            return false;
        label->setText(text, juce::dontSendNotification);
        return true;
    }
    if (juce::FilenameComponent* chooser = Chooser())
    {
        const juce::File file = FileOfText(text);
        if (chooser->getCurrentFile() == file)
            return false;
        chooser->setCurrentFile(file, true, juce::dontSendNotification);
        return true;
    }
    return false;
}

void ExportParameterComponentBinder::updateChoices()
{
    if (Box() == nullptr)
        return;
    const juce::String remembered = m_comboBox->getText();
    const juce::StringArray choices = m_set.getStringChoices(m_index);
    const juce::BigInteger enablements = m_set.getEnablements(m_index);
    const bool wasEnabled = m_comboBox->isEnabled();
    m_comboBox->removeListener(this);
    m_comboBox->clear(juce::dontSendNotification);

    bool matched = false;
    for (int k = 0; k < choices.size(); ++k)
    {
        m_comboBox->addItem(choices[k], k + 1);
        m_comboBox->setItemEnabled(k + 1, enablements[k]);
        if (!matched && choices[k] == remembered)
        {
            m_comboBox->setSelectedId(k + 1, juce::dontSendNotification);
            matched = true;
        }
    }
    const bool enabled = !enablements.isZero() && enablements.findNextSetBit(0) < choices.size();
    m_comboBox->setEnabled(enabled);
    if (enabled && !matched)
    {
        m_set.setParameterIndex(m_index, m_set.getParameterIndex(m_index), true);
    }
    else if (enabled != wasEnabled)
    {
        m_set.notifyBoundComponentChanged(m_index, m_comboBox);
        m_comboBox->setText(remembered, juce::dontSendNotification);
    }
    m_comboBox->addListener(this);
}

void ExportParameterComponentBinder::updateEnablements()
{
    if (Box() == nullptr)
        return;
    const juce::BigInteger enablements = m_set.getEnablements(m_index);
    for (int k = 0; k < m_comboBox->getNumItems(); ++k)
        m_comboBox->setItemEnabled(k + 1, enablements[k]);
}

void ExportParameterComponentBinder::comboBoxChanged(juce::ComboBox* box)
{
    const int selected = box->getSelectedItemIndex();
    if (selected == m_set.getParameterIndex(m_index))
        return;
    // The box lets only enabled items be chosen.
    VX_CHECK(m_set.getEnablements(m_index)[selected]);
    m_set.setParameterIndex(m_index, selected, true);
}

void ExportParameterComponentBinder::labelTextChanged(juce::Label* label)
{
    PassText(label->getText());
}

void ExportParameterComponentBinder::filenameComponentChanged(juce::FilenameComponent* chooser)
{
    PassText(chooser->getCurrentFile().getFullPathName());
}

void ExportParameterComponentBinder::PassText(const juce::String& text)
{
    if (text != m_set.getParameterText(m_index))
        m_set.setParameterText(m_index, text, true);
}

bool bindComponent(ExportParameter& set, int index, juce::Component* component)
{
    if (component == nullptr || index < 0 || index >= set.getNumParameters())
        return false;
    set.unbindComponent(component);
    return set.addBoundView(std::make_unique<ExportParameterComponentBinder>(set, index, component));
}

void flashChangedComponent(juce::Component* component)
{
    ComponentDresser::flash(component, ExportParameterComponentBinder::kFlashMs,
                            juce::Colour(ExportParameterComponentBinder::kFlashColour));
}
} // namespace Vextal
