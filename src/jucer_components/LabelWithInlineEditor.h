#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// The label of the application that is edited in place: song-list values and
// names, the song-information editor, the export option dialog and the
// combo-box text. It applies input restrictions to its editor, reports Return
// (the edit committed), Escape (the edit discarded) and text changes to its
// listener, and moves the keyboard focus from label to label with Tab.
//
// Editing: the label's own editor opens in place (a click, a double click or
// the Tab key, by the label's editable settings). Return commits, Escape
// discards; a click elsewhere or the focus moving away commits or discards by
// the label's loss-of-focus setting, with the matching notice.
//
// Input methods: the editor is the framework's text editor, also for the input
// types that would use the input method. The framework's Linux windows take
// typed and pasted text but no input-method composition, so Japanese is
// entered by pasting it.
//
// Message thread only.
class LabelWithInlineEditor : public juce::Label
{
public:
    // Whether the input method is used: 0 disabled, 1 enabled and switched on,
    // 2 enabled.
    enum eInputType
    {
        kInputMethodDisabled = 0,
        kInputMethodOn = 1,
        kInputMethodEnabled = 2
    };

    // The notices of the editor, sent after the label has handled the event.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        // The edit was committed (Return, or the focus left with a label that
        // keeps changes).
        virtual void OnLabelEditorReturnKeyPressed(LabelWithInlineEditor&) {}
        // The edit was discarded (Escape, or the focus left with a label that
        // discards changes).
        virtual void OnLabelEditorEscapeKeyPressed(LabelWithInlineEditor&) {}
        virtual void OnLabelEditorTextChanged(LabelWithInlineEditor&) {}
    };

    // frameworkEditorOnly: always the framework's editor, whatever the input
    // type (on this platform every label uses it).
    LabelWithInlineEditor(const juce::String& name, const juce::String& text, bool frameworkEditorOnly);
    ~LabelWithInlineEditor() override;

    void setEditorListener(Listener* listener) { m_listener = listener; }

    // maxLength 0 allows any length; empty allowedCharacters allows all. An
    // open editor takes the restrictions at once.
    void setInputRestrictions(int maxLength, const juce::String& allowedCharacters, eInputType type);
    int getMaxLength() const { return m_maxLength; }
    const juce::String& getAllowedCharacters() const { return m_allowedCharacters; }
    eInputType getInputType() const { return m_inputType; }

    // Closes an open editor, discarding its text, then sets the text.
    void setText(const juce::String& newText, juce::NotificationType notification);

    // Class-wide: whether the editors keep no undo history (set at start-up,
    // before any editor opens), and the font size ratio the look sets.
    static void setUndoDisabled(bool disabled);
    static bool isUndoDisabled();
    static void setFontSizeRatio(float ratio);
    static float getFontSizeRatio();

    void focusGained(FocusChangeType cause) override;
    void textEditorTextChanged(juce::TextEditor& editor) override;
    void textEditorReturnKeyPressed(juce::TextEditor& editor) override;
    void textEditorEscapeKeyPressed(juce::TextEditor& editor) override;
    std::unique_ptr<juce::ComponentTraverser> createKeyboardFocusTraverser() override;

protected:
    juce::TextEditor* createEditorComponent() override;

private:
    void applyInputMethod(juce::TextEditor& editor) const;
    // Commits (Return) or discards (Escape) the edit as the framework's label
    // does, then tells the listener.
    void closeEditor(juce::TextEditor& editor, bool commit);

    Listener* m_listener = nullptr;
    int m_maxLength = 0;
    juce::String m_allowedCharacters;
    eInputType m_inputType = kInputMethodEnabled;
    bool m_frameworkEditorOnly;
};
