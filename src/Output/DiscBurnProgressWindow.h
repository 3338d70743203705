#pragma once

#include "src/Output/ExportProgressWindow.h"

#include <memory>

namespace Vextal
{
// The progress window of a disc burn. After every burn the session asks
// whether to burn again; the window then shows the question in place of its
// Cancel button, with a Yes/No strip: after a good burn whether to burn
// another copy (Burn / Don't burn), after a failed one the failure in red
// and whether to try again (Retry / Stop). Yes (Return, y) restores the
// progress view and burns again; No (Escape, n) leaves the question showing
// until the window closes with the session's end.
//
// Threads. Message thread only. The question runs a nested modal loop
// inside exportShouldRepeat, which the export manager calls on the message
// thread while the burn session's thread waits for the answer.
class DiscBurnProgressWindow : public ExportProgressWindow
{
public:
    DiscBurnProgressWindow();
    ~DiscBurnProgressWindow() override;

    // Asks the question for a disc-burn session (false for any other, which
    // leaves the window as it was); true to burn again.
    bool exportShouldRepeat(ExportSession* session) override;
    juce::String getWindowTitle() override;
    // Yes ends the question's loop with 1, No with 0; Cancel cancels.
    void buttonClicked(juce::Button* button) override;

    // True while the question waits for its answer.
    bool isAsking() const { return m_asking; }
    juce::TextButton& getYesButton() { return *m_yesButton; }
    juce::TextButton& getNoButton() { return *m_noButton; }

private:
    // Puts the strip or the Cancel button in the window's button place.
    void showButtons(juce::Component& buttons);

    std::unique_ptr<juce::Component> m_buttonStrip;
    std::unique_ptr<juce::TextButton> m_noButton;
    std::unique_ptr<juce::TextButton> m_yesButton;
    bool m_keysAdded = false;
    bool m_asking = false;
};
} // namespace Vextal
