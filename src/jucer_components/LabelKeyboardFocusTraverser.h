#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// The keyboard focus order around labels edited in place: Tab from a label's
// open editor goes to the next control after that label (not into the
// label's own editor again), and a label that is being edited is entered
// through its editor.
class LabelKeyboardFocusTraverser : public juce::ComponentTraverser
{
public:
    // Wraps the traverser the components would use otherwise.
    explicit LabelKeyboardFocusTraverser(std::unique_ptr<juce::ComponentTraverser> inner);

    juce::Component* getDefaultComponent(juce::Component* parent) override;
    juce::Component* getNextComponent(juce::Component* current) override;
    juce::Component* getPreviousComponent(juce::Component* current) override;
    std::vector<juce::Component*> getAllComponents(juce::Component* parent) override;

private:
    std::unique_ptr<juce::ComponentTraverser> m_inner;
};
