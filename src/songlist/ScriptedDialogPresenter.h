#pragma once

#include "src/songlist/DialogManager.h"
#include "src/songlist/DialogPresenter.h"

#include <deque>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace Vextal
{
// Answers the dialog manager from a script, with no window: for tests of any
// subsystem that asks the user something, and for running without a display.
// Answers are queued and used in order, each by the next call of its kind;
// everything shown is recorded.
//
// A box with no queued answer, or whose queued key no button answers to, is
// answered 0 (Cancel; the only button of a message box) and counted as
// unanswered. A box's check box is left as it started unless the answer says
// otherwise. A chooser with nothing queued is cancelled and counted; so is a
// dialog, which returns 0.
//
// Message thread only.
class ScriptedDialogPresenter : public DialogPresenter
{
public:
    // The next box answers with this result.
    void answerNextBox(int result);
    // The next box answers with this result, its check box left ticked or
    // not.
    void answerNextBox(int result, bool ticked);
    // The next box answers as if the user pressed key.
    void pressKeyInNextBox(const juce::KeyPress& key);
    // The next chooser returns these files (in this order).
    void chooseNext(const juce::Array<juce::File>& files);
    // The next chooser is cancelled.
    void cancelNextChooser();
    // The next dialog ends with this result.
    void answerNextDialog(int result);

    const std::vector<DialogBox>& getShownBoxes() const { return m_boxes; }
    const std::vector<DialogChooser>& getShownChoosers() const { return m_choosers; }
    const juce::StringArray& getShownDialogTitles() const { return m_dialogTitles; }
    // Calls that found no usable answer.
    int getUnansweredCount() const { return m_unanswered; }
    // Answers queued but not used yet.
    size_t getPendingCount() const
    {
        return m_boxAnswers.size() + m_chooserAnswers.size() + m_dialogAnswers.size();
    }

    DialogAnswer runBox(const DialogBox& box) override;
    bool runChooser(const DialogChooser& chooser, juce::Array<juce::File>& chosen) override;
    int runDialog(const juce::String& title, juce::Component& content,
                  juce::Component* centreAround) override;

private:
    struct BoxAnswer
    {
        // A result, or the key whose button answers.
        std::variant<int, juce::KeyPress> button;
        std::optional<bool> ticked;
    };

    std::deque<BoxAnswer> m_boxAnswers;
    std::deque<std::optional<juce::Array<juce::File>>> m_chooserAnswers;
    std::deque<int> m_dialogAnswers;
    std::vector<DialogBox> m_boxes;
    std::vector<DialogChooser> m_choosers;
    juce::StringArray m_dialogTitles;
    int m_unanswered = 0;
};

// Installs a ScriptedDialogPresenter for the life of the object and puts the
// previous presenter back afterwards.
class ScopedScriptedDialogs
{
public:
    ScopedScriptedDialogs();
    ~ScopedScriptedDialogs();
    ScopedScriptedDialogs(const ScopedScriptedDialogs&) = delete;
    ScopedScriptedDialogs& operator=(const ScopedScriptedDialogs&) = delete;

    ScriptedDialogPresenter& operator*() { return *m_presenter; }
    ScriptedDialogPresenter* operator->() { return m_presenter; }

private:
    ScriptedDialogPresenter* m_presenter;
    std::unique_ptr<DialogPresenter> m_previous;
};
} // namespace Vextal
