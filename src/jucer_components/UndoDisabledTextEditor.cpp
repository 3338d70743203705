#include "src/jucer_components/UndoDisabledTextEditor.h"

#include "src/CVXLookAndFeel.h"

UndoDisabledTextEditor::UndoDisabledTextEditor(const juce::String& name) : juce::TextEditor(name) {}

void UndoDisabledTextEditor::paint(juce::Graphics& g)
{
    CVXLookAndFeel::drawTextEditorBackground(g, getWidth(), getHeight(), *this);
}

bool UndoDisabledTextEditor::isUndoOrRedoKey(const juce::KeyPress& key)
{
    const auto command = juce::ModifierKeys::commandModifier;
    return key == juce::KeyPress('z', command, 0) || key == juce::KeyPress('y', command, 0) ||
           key == juce::KeyPress('z', command | juce::ModifierKeys::shiftModifier, 0);
}

bool UndoDisabledTextEditor::keyPressed(const juce::KeyPress& key)
{
    if (isUndoOrRedoKey(key))
        return true;
    return juce::TextEditor::keyPressed(key);
}

void UndoDisabledTextEditor::addPopupMenuItems(juce::PopupMenu& menu, const juce::MouseEvent* mouseClickEvent)
{
    juce::PopupMenu full;
    juce::TextEditor::addPopupMenuItems(full, mouseClickEvent);
    menu = withoutUndoAndRedo(full);
}

juce::PopupMenu UndoDisabledTextEditor::withoutUndoAndRedo(const juce::PopupMenu& menu)
{
    juce::PopupMenu result;
    bool separatorPending = false;
    for (juce::PopupMenu::MenuItemIterator it(menu); it.next();)
    {
        const auto& item = it.getItem();
        if (item.isSeparator)
        {
            separatorPending = result.getNumItems() > 0;
            continue;
        }
        if (item.itemID == juce::StandardApplicationCommandIDs::undo ||
            item.itemID == juce::StandardApplicationCommandIDs::redo)
            continue;
        if (separatorPending)
            result.addSeparator();
        separatorPending = false;
        result.addItem(item);
    }
    return result;
}
