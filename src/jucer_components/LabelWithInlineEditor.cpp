#include "src/jucer_components/LabelWithInlineEditor.h"

#include "library/util/ImeUtil.h"
#include "src/jucer_components/LabelKeyboardFocusTraverser.h"
#include "src/jucer_components/UndoDisabledTextEditor.h"

#include <atomic>
#include <cmath>

namespace
{
std::atomic<bool> g_undoDisabled{true};
std::atomic<float> g_fontSizeRatio{1.0f};

// The colours an editor takes from its label.
const int kEditorColourIds[] = {
    juce::TextEditor::backgroundColourId,     juce::TextEditor::textColourId,
    juce::TextEditor::highlightColourId,      juce::TextEditor::highlightedTextColourId,
    juce::CaretComponent::caretColourId,      juce::TextEditor::outlineColourId,
    juce::TextEditor::focusedOutlineColourId, juce::TextEditor::shadowColourId};

// Moves the caret one character left and back: the editor then shows text
// that arrived while it was composing.
void NudgeCaret(juce::TextEditor& editor)
{
    const int caret = editor.getCaretPosition();
    if (caret < 1 || !editor.getHighlightedRegion().isEmpty())
        return;
    editor.moveCaretLeft(false, false);
    editor.moveCaretRight(false, false);
}
} // namespace

LabelWithInlineEditor::LabelWithInlineEditor(const juce::String& name, const juce::String& text,
                                             bool frameworkEditorOnly)
    : juce::Label(name, text), m_frameworkEditorOnly(frameworkEditorOnly)
{
}

LabelWithInlineEditor::~LabelWithInlineEditor()
{
    hideEditor(true);
}

void LabelWithInlineEditor::setInputRestrictions(int maxLength, const juce::String& allowedCharacters,
                                                 eInputType type)
{
    m_maxLength = maxLength;
    m_allowedCharacters = allowedCharacters;
    m_inputType = type;
    if (auto* editor = getCurrentTextEditor())
    {
        editor->setInputRestrictions(maxLength, allowedCharacters);
        applyInputMethod(*editor);
    }
}

void LabelWithInlineEditor::setText(const juce::String& newText, juce::NotificationType notification)
{
    hideEditor(true);
    juce::Label::setText(newText, notification);
}

void LabelWithInlineEditor::setUndoDisabled(bool disabled)
{
    g_undoDisabled = disabled;
}

bool LabelWithInlineEditor::isUndoDisabled()
{
    return g_undoDisabled;
}

void LabelWithInlineEditor::setFontSizeRatio(float ratio)
{
    g_fontSizeRatio = ratio;
}

float LabelWithInlineEditor::getFontSizeRatio()
{
    return g_fontSizeRatio;
}

juce::TextEditor* LabelWithInlineEditor::createEditorComponent()
{
    auto* editor = g_undoDisabled ? new UndoDisabledTextEditor(getName()) : new juce::TextEditor(getName());
    editor->setPasswordCharacter(0);
    editor->setFont(getFont());
    editor->applyFontToAllText(getFont());
    for (const int id : kEditorColourIds)
        editor->setColour(id, findColour(id));
    editor->setInputRestrictions(m_maxLength, m_allowedCharacters);
    editor->setPopupMenuEnabled(false);
    // The text centred in the label's height: the framework's fixed top
    // indent puts a line of a label's own height so low that the bottom edge
    // cuts its descenders.
    const int border = editor->getBorder().getTopAndBottom();
    const int spare = getHeight() - border - juce::roundToInt(std::ceil(getFont().getHeight()));
    editor->setIndents(editor->getLeftIndent(), juce::jlimit(0, editor->getTopIndent(), spare / 2));
    applyInputMethod(*editor);
    return editor;
}

void LabelWithInlineEditor::applyInputMethod(juce::TextEditor& editor) const
{
    ImeUtil::setEnabled(&editor, m_inputType != kInputMethodDisabled);
    if (m_inputType == kInputMethodOn)
        ImeUtil::setOnOff(&editor, true);
    ImeUtil::setFont(&editor, getFont());
}

void LabelWithInlineEditor::focusGained(FocusChangeType cause)
{
    if ((isEditableOnSingleClick() || isEditableOnDoubleClick()) && isEnabled() &&
        cause == focusChangedByTabKey)
        showEditor();
}

void LabelWithInlineEditor::textEditorTextChanged(juce::TextEditor& editor)
{
    if (hasKeyboardFocus(true) || isCurrentlyBlockedByAnotherModalComponent())
        NudgeCaret(editor);
    const SafePointer<LabelWithInlineEditor> self(this);
    juce::Label::textEditorTextChanged(editor);
    if (self != nullptr && m_listener != nullptr)
        m_listener->OnLabelEditorTextChanged(*this);
}

void LabelWithInlineEditor::textEditorReturnKeyPressed(juce::TextEditor& editor)
{
    closeEditor(editor, true);
}

void LabelWithInlineEditor::textEditorEscapeKeyPressed(juce::TextEditor& editor)
{
    closeEditor(editor, false);
}

void LabelWithInlineEditor::closeEditor(juce::TextEditor& editor, bool commit)
{
    ImeUtil::clearInputString(&editor);
    ImeUtil::setEnabled(&editor, false);
    const SafePointer<LabelWithInlineEditor> self(this);
    if (commit)
        juce::Label::textEditorReturnKeyPressed(editor);
    else
        juce::Label::textEditorEscapeKeyPressed(editor);
    if (self == nullptr || m_listener == nullptr)
        return;
    if (commit)
        m_listener->OnLabelEditorReturnKeyPressed(*this);
    else
        m_listener->OnLabelEditorEscapeKeyPressed(*this);
}

std::unique_ptr<juce::ComponentTraverser> LabelWithInlineEditor::createKeyboardFocusTraverser()
{
    auto* parent = getParentComponent();
    return std::make_unique<LabelKeyboardFocusTraverser>(
        parent != nullptr ? parent->createKeyboardFocusTraverser()
                          : std::make_unique<juce::KeyboardFocusTraverser>());
}
