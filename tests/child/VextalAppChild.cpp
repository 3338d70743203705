// The application as the crash-recovery tests run it: CVXApp itself, with
// the dialogs answered from a script (the restore question with Restore).
//
// Environment: VEXTAL_CHILD_MODE
//   "edit":   after start-up, renames the first song to "edit1", "edit2", ...
//             at random intervals of 600 to 900 ms through the undo stack,
//             printing "edit N" after each, until killed;
//   "report": after start-up prints "boxes N" (the questions asked) and
//             "songs NAME|NAME|...", then quits.
// The command line is the application's own.

#include "src/CVXApp.h"
#include "src/songlist/Action/CVXActionRename.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "src/songlist/TrackInfo.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>

namespace
{
// Calls a function on each tick.
class CallbackTimer : public juce::Timer
{
public:
    explicit CallbackTimer(std::function<void()> callback) : m_callback(std::move(callback)) {}
    void timerCallback() override { m_callback(); }

private:
    std::function<void()> m_callback;
};

class ChildApp : public CVXApp
{
public:
    void initialise(const juce::String& commandLine) override
    {
        m_dialogs = std::make_unique<Vextal::ScopedScriptedDialogs>();
        (*m_dialogs)->answerNextBox(1);
        CVXApp::initialise(commandLine);
        const char* mode = std::getenv("VEXTAL_CHILD_MODE");
        if (mode != nullptr && std::string(mode) == "report")
        {
            Report();
            quit();
            return;
        }
        std::printf("started\n");
        std::fflush(stdout);
        m_timer.startTimer(NextDelay());
    }
    void shutdown() override
    {
        m_timer.stopTimer();
        CVXApp::shutdown();
        m_dialogs.reset();
    }

private:
    void Report()
    {
        std::printf("boxes %d\n", static_cast<int>((*m_dialogs)->getShownBoxes().size()));
        CVXHost* host = CVXHost::GetInstance();
        std::string names;
        for (int i = 0; host != nullptr && i < host->GetNumSongs(); ++i)
            names +=
                (i > 0 ? "|" : "") + host->GetSong(i)->getText(Vextal::TrackInfo::kSongName).toStdString();
        std::printf("songs %s\n", names.c_str());
        std::fflush(stdout);
    }

    void Edit()
    {
        CVXHost* host = CVXHost::GetInstance();
        Vextal::CommandManager* commands = Vextal::CommandManager::GetInstance();
        if (host != nullptr && commands != nullptr && host->GetNumSongs() > 0)
        {
            const juce::String name = "edit" + juce::String(++m_edits);
            commands->stackActionInUndoList(
                new CVXActionRename(*host, 0, Vextal::TrackInfo::kSongName, name, true), true, "Rename");
            std::printf("edit %d\n", m_edits);
            std::fflush(stdout);
        }
        m_timer.startTimer(NextDelay());
    }

    int NextDelay() { return std::uniform_int_distribution<int>(600, 900)(m_random); }

    std::unique_ptr<Vextal::ScopedScriptedDialogs> m_dialogs;
    std::mt19937 m_random{std::random_device{}()};
    int m_edits = 0;
    CallbackTimer m_timer{[this] { Edit(); }};
};

juce::JUCEApplicationBase* CreateApplication()
{
    return new ChildApp();
}
} // namespace

int main(int argc, char* argv[])
{
    juce::JUCEApplicationBase::createInstance = &CreateApplication;
    return juce::JUCEApplicationBase::main(argc, const_cast<const char**>(argv));
}
