#include "src/songlist/ScriptedDialogPresenter.h"

namespace Vextal
{
namespace
{
// Takes the first element of a queue; false when it is empty.
template <typename T>
bool Take(std::deque<T>& queue, T& out)
{
    if (queue.empty())
        return false;
    out = std::move(queue.front());
    queue.pop_front();
    return true;
}
} // namespace

void ScriptedDialogPresenter::answerNextBox(int result)
{
    m_boxAnswers.push_back({result, std::nullopt});
}

void ScriptedDialogPresenter::answerNextBox(int result, bool ticked)
{
    m_boxAnswers.push_back({result, ticked});
}

void ScriptedDialogPresenter::pressKeyInNextBox(const juce::KeyPress& key)
{
    m_boxAnswers.push_back({key, std::nullopt});
}

void ScriptedDialogPresenter::chooseNext(const juce::Array<juce::File>& files)
{
    m_chooserAnswers.emplace_back(files);
}

void ScriptedDialogPresenter::cancelNextChooser()
{
    m_chooserAnswers.emplace_back(std::nullopt);
}

void ScriptedDialogPresenter::answerNextDialog(int result)
{
    m_dialogAnswers.push_back(result);
}

DialogAnswer ScriptedDialogPresenter::runBox(const DialogBox& box)
{
    m_boxes.push_back(box);
    const bool startsTicked = box.checkBox.has_value() && box.checkBox->ticked;
    BoxAnswer answer;
    if (!Take(m_boxAnswers, answer))
    {
        ++m_unanswered;
        return {0, startsTicked};
    }
    const bool ticked = box.checkBox.has_value() && answer.ticked.value_or(startsTicked);
    if (const int* result = std::get_if<int>(&answer.button))
        return {*result, ticked};
    if (const DialogButton* button = box.buttonForKey(std::get<juce::KeyPress>(answer.button)))
        return {button->result, ticked};
    ++m_unanswered;
    return {0, ticked};
}

bool ScriptedDialogPresenter::runChooser(const DialogChooser& chooser, juce::Array<juce::File>& chosen)
{
    m_choosers.push_back(chooser);
    std::optional<juce::Array<juce::File>> answer;
    if (!Take(m_chooserAnswers, answer))
    {
        ++m_unanswered;
        return false;
    }
    if (!answer.has_value() || answer->isEmpty())
        return false;
    chosen = *answer;
    return true;
}

int ScriptedDialogPresenter::runDialog(const juce::String& title, juce::Component&, juce::Component*)
{
    m_dialogTitles.add(title);
    int result = 0;
    if (!Take(m_dialogAnswers, result))
        ++m_unanswered;
    return result;
}

ScopedScriptedDialogs::ScopedScriptedDialogs()
{
    auto presenter = std::make_unique<ScriptedDialogPresenter>();
    m_presenter = presenter.get();
    m_previous = DialogManager::takePresenter();
    DialogManager::setPresenter(std::move(presenter));
}

ScopedScriptedDialogs::~ScopedScriptedDialogs()
{
    DialogManager::setPresenter(std::move(m_previous));
}
} // namespace Vextal
