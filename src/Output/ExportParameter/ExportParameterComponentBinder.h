#pragma once

#include "src/Output/ExportParameter/ExportParameter.h"

namespace Vextal
{
// One control bound to one parameter of a set: a combo box lists the
// choices (item id = position + 1, disabled where the set does not allow
// the choice) and selects the parameter's; a label shows the text; a
// file-name chooser shows the file the text names. The user's edits go to
// the set through its setters; what the binder itself puts into the control
// sends no change message. A control deleted while bound is left alone from
// then on.
//
// Threads. Message thread only.
class ExportParameter::ComponentBinder : public juce::ComboBox::Listener,
                                         public juce::Label::Listener,
                                         public juce::FilenameComponentListener
{
public:
    ComponentBinder(ExportParameter& set, int index, juce::Component* component);
    ~ComponentBinder() override;

    ComponentBinder(const ComponentBinder&) = delete;
    ComponentBinder& operator=(const ComponentBinder&) = delete;

    int getIndex() const { return m_index; }
    // Null once the control has been deleted.
    juce::Component* getComponent() const { return m_component.getComponent(); }

    // Shows the parameter; true when that changed the control.
    bool updateParameter();
    // Rebuilds a combo box's list, keeping the selected text where the new
    // list has it.
    void updateChoices();
    // Re-applies the enabled choices of a combo box.
    void updateEnablements();

    void comboBoxChanged(juce::ComboBox* box) override;
    void labelTextChanged(juce::Label* label) override;
    void filenameComponentChanged(juce::FilenameComponent* chooser) override;

private:
    void PassText(const juce::String& text);
    // The views of the control while it exists; null otherwise.
    juce::ComboBox* Box() const { return m_component != nullptr ? m_comboBox : nullptr; }
    juce::Label* TextLabel() const { return m_component != nullptr ? m_label : nullptr; }
    juce::FilenameComponent* Chooser() const { return m_component != nullptr ? m_fileChooser : nullptr; }

    ExportParameter& m_set;
    const int m_index;
    const juce::Component::SafePointer<juce::Component> m_component;
    juce::ComboBox* const m_comboBox;
    juce::Label* const m_label;
    juce::FilenameComponent* const m_fileChooser;
};
} // namespace Vextal
