#include "src/jucer_components/LabelKeyboardFocusTraverser.h"

namespace
{
// The label whose open editor component is; null for anything else.
juce::Label* LabelOfEditor(juce::Component* component)
{
    auto* label =
        component != nullptr ? dynamic_cast<juce::Label*>(component->getParentComponent()) : nullptr;
    return label != nullptr && label->getCurrentTextEditor() == component ? label : nullptr;
}

// The editor of a label that is being edited in place of the label itself.
juce::Component* EditorInsteadOfLabel(juce::Component* component)
{
    if (auto* label = dynamic_cast<juce::Label*>(component))
    {
        if (auto* editor = label->getCurrentTextEditor())
            return editor;
    }
    return component;
}
} // namespace

LabelKeyboardFocusTraverser::LabelKeyboardFocusTraverser(std::unique_ptr<juce::ComponentTraverser> inner)
    : m_inner(std::move(inner))
{
}

juce::Component* LabelKeyboardFocusTraverser::getDefaultComponent(juce::Component* parent)
{
    return m_inner->getDefaultComponent(parent);
}

juce::Component* LabelKeyboardFocusTraverser::getNextComponent(juce::Component* current)
{
    juce::Component* label = LabelOfEditor(current);
    if (label == nullptr)
        label = current;
    juce::Component* next = m_inner->getNextComponent(label);
    while (next != nullptr && label->isParentOf(next))
        next = m_inner->getNextComponent(next);
    return EditorInsteadOfLabel(next);
}

juce::Component* LabelKeyboardFocusTraverser::getPreviousComponent(juce::Component* current)
{
    juce::Component* label = LabelOfEditor(current);
    juce::Component* previous = m_inner->getPreviousComponent(label != nullptr ? label : current);
    if (auto* owner = LabelOfEditor(previous))
        return owner->getCurrentTextEditor();
    return EditorInsteadOfLabel(previous);
}

std::vector<juce::Component*> LabelKeyboardFocusTraverser::getAllComponents(juce::Component* parent)
{
    return m_inner->getAllComponents(parent);
}
