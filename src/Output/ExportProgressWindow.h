#pragma once

#include "src/SemiModalAlertWindow.h"
#include "src/songlist/Output/ExportSession.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace Vextal
{
// The window shown while an output session runs: the session's title, a
// progress bar, the text of the current step and a Cancel button (Escape),
// which cancels the session through the export manager.
//
// It listens to the export manager, never to the session, from its
// construction to its destruction. Its owner makes it when a session starts,
// calls show() and deletes it when the session has ended; Cancel does not
// close it.
//
// The window is semi-modal: it is modal, yet while no sheet is open the main
// window keeps receiving input, and other top-level windows always do.
//
// Subclasses give their own title and components (the disc-burn and
// disc-erase windows).
//
// Threads. Message thread only: the manager relays progress as a posted
// message.
class ExportProgressWindow : public ExportSessionListener,
                             public juce::Button::Listener,
                             public ModalEventSendDelegate
{
public:
    // Joins the export manager's listeners (none when no manager exists).
    ExportProgressWindow();
    ~ExportProgressWindow() override;

    // Makes the window on the first call, then every call makes it modal
    // (with the keyboard focus), shows it and brings it to the front.
    void show();

    // The bar follows percent; a key (with "%1" filled by the first
    // argument) becomes the window's text, a null key keeps the text.
    void exportProgressUpdated(ExportSession* session, double percent, const char* key,
                               const juce::StringArray& args) override;

    virtual juce::String getWindowTitle();
    // Adds the Cancel button; subclasses add their own components.
    virtual void addComponentsToWindow(SemiModalAlertWindow* window);
    // Cancel asks the export manager to cancel the session.
    void buttonClicked(juce::Button* button) override;
    // Top-level windows always; anything else only while no sheet is open.
    bool canModalEventBeSentTo(const juce::Component* component,
                               const juce::Component* modalComponent) override;

    // The window; null before the first show().
    SemiModalAlertWindow* getWindow() const { return m_window.get(); }
    // What the bar shows, 0 to 1.
    double getProgress() const { return m_progress; }
    juce::TextButton& getCancelButton() { return *m_cancelButton; }
    // The window's text.
    const juce::String& getMessage() const { return m_message; }

protected:
    // Sets the window's text (when the window exists).
    void setMessage(const juce::String& message);

    std::unique_ptr<SemiModalAlertWindow> m_window;
    std::unique_ptr<juce::TextButton> m_cancelButton;
    double m_progress = 0.0;
    juce::String m_message;

private:
    JUCE_DECLARE_NON_COPYABLE(ExportProgressWindow)
};
} // namespace Vextal
