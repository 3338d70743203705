#pragma once

#include "src/songlist/Output/ExportParameter/ExportParameter.h"

#include <juce_gui_basics/juce_gui_basics.h>

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
class ExportParameterComponentBinder : public ExportParameter::BoundView,
                                       public juce::ComboBox::Listener,
                                       public juce::Label::Listener,
                                       public juce::FilenameComponentListener
{
public:
    // How a bound control changed by the set (not by the user) flashes.
    static constexpr juce::uint32 kFlashColour = 0x600000FF;
    static constexpr int kFlashMs = 500;

    ExportParameterComponentBinder(ExportParameter& set, int index, juce::Component* component);
    ~ExportParameterComponentBinder() override;

    ExportParameterComponentBinder(const ExportParameterComponentBinder&) = delete;
    ExportParameterComponentBinder& operator=(const ExportParameterComponentBinder&) = delete;

    int getIndex() const override { return m_index; }
    // Null once the control has been deleted.
    juce::Component* getComponent() const override { return m_component.getComponent(); }

    // Shows the parameter; true when that changed the control.
    bool updateParameter() override;
    // Rebuilds a combo box's list, keeping the selected text where the new
    // list has it.
    void updateChoices() override;
    // Re-applies the enabled choices of a combo box.
    void updateEnablements() override;

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

// Binds a control to a parameter of the set (replacing an earlier binding of
// the control); false for an index out of range or a null control.
bool bindComponent(ExportParameter& set, int index, juce::Component* component);

// The flash of a control that the set changed: kFlashColour over it for
// kFlashMs, while it is showing.
void flashChangedComponent(juce::Component* component);
} // namespace Vextal
