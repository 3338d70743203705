#include "library/zfc/CZfcCtrlLabel.h"

CZfcCtrlLabel::CZfcCtrlLabel(const juce::String& name, const juce::String& text) : juce::Label(name, text) {}

CZfcCtrlLabel::~CZfcCtrlLabel() = default;

bool CZfcCtrlLabel::HandlesItself(MouseOperation operation, const juce::MouseEvent& e)
{
    return !ListenerConsumes(operation, e) && isEnabled();
}

void CZfcCtrlLabel::mouseMove(const juce::MouseEvent& e)
{
    if (HandlesItself(&CZfcComponentListener::OnZfcComponentMouseMove, e))
        juce::Label::mouseMove(e);
}

void CZfcCtrlLabel::mouseExit(const juce::MouseEvent& e)
{
    if (HandlesItself(&CZfcComponentListener::OnZfcComponentMouseExit, e))
        juce::Label::mouseExit(e);
}

void CZfcCtrlLabel::mouseDown(const juce::MouseEvent& e)
{
    if (HandlesItself(&CZfcComponentListener::OnZfcComponentMouseDown, e))
        juce::Label::mouseDown(e);
}

void CZfcCtrlLabel::mouseDrag(const juce::MouseEvent& e)
{
    if (HandlesItself(&CZfcComponentListener::OnZfcComponentMouseDrag, e))
        juce::Label::mouseDrag(e);
}

void CZfcCtrlLabel::mouseUp(const juce::MouseEvent& e)
{
    if (HandlesItself(&CZfcComponentListener::OnZfcComponentMouseUp, e))
        juce::Label::mouseUp(e);
}

void CZfcCtrlLabel::mouseDoubleClick(const juce::MouseEvent& e)
{
    if (HandlesItself(&CZfcComponentListener::OnZfcComponentMouseDoubleClick, e))
        juce::Label::mouseDoubleClick(e);
}

template <typename Handling>
void CZfcCtrlLabel::HandleThenTell(Handling&& handling, void (CZfcComponentListener::*notice)(CZfcComponent*))
{
    const juce::Component::SafePointer<CZfcCtrlLabel> alive(this);
    handling();
    if (alive != nullptr)
        TellListener(notice);
}

void CZfcCtrlLabel::textEditorTextChanged(juce::TextEditor& editor)
{
    HandleThenTell([&] { juce::Label::textEditorTextChanged(editor); },
                   &CZfcComponentListener::OnZfcComponentEditorTextChanged);
}

void CZfcCtrlLabel::textEditorReturnKeyPressed(juce::TextEditor& editor)
{
    HandleThenTell([&] { juce::Label::textEditorReturnKeyPressed(editor); },
                   &CZfcComponentListener::OnZfcComponentEditorReturnKeyPressed);
}

void CZfcCtrlLabel::textEditorEscapeKeyPressed(juce::TextEditor& editor)
{
    HandleThenTell([&] { juce::Label::textEditorEscapeKeyPressed(editor); },
                   &CZfcComponentListener::OnZfcComponentEditorEscapeKeyPressed);
}

void CZfcCtrlLabel::textWasEdited()
{
    HandleThenTell([this] { juce::Label::textWasEdited(); },
                   &CZfcComponentListener::OnZfcComponentEditorTextWasEdited);
}
