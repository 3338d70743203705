#pragma once

// The command targets under test: the host of the panel tests with the
// command manager and the host as the application's singletons, scripted
// dialogs, and an action manager as the last command target. Before it stands
// a stand-in for the main content and the main window, which answers for
// their commands (31 to 41, 43 to 46) and for the framework's quit command.

#include "library/vextal_juce/CZJEResource.h"
#include "src/ActionManager.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "tests/src/jucer_components/PlayerPanelTestSupport.h"
#include "tests/support/ScopedSingletonInstance.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace actiontest
{
using Info = juce::ApplicationCommandInfo;
using Vextal::ActionManager;
using Vextal::CommandManager;

// Answers for the commands of the main content and the main window: each
// named "Command <id>", in the category of its menu, active; a few with the
// keys the tests look for.
class WindowStandIn : public juce::ApplicationCommandTarget
{
public:
    explicit WindowStandIn(juce::ApplicationCommandTarget* next) : m_next(next) {}

    juce::ApplicationCommandTarget* getNextCommandTarget() override { return m_next; }
    void getAllCommands(juce::Array<juce::CommandID>& commands) override
    {
        for (int id = 31; id <= 41; ++id)
            commands.add(id);
        for (int id = 43; id <= 46; ++id)
            commands.add(id);
        commands.add(juce::StandardApplicationCommandIDs::quit);
    }
    void getCommandInfo(juce::CommandID id, juce::ApplicationCommandInfo& info) override
    {
        const char* category = id >= 43 && id <= 46                           ? "Menu_Name_Window"
                               : id == 35 || id == 36 || id == 38 || id == 39 ? "Menu_Name_Edit"
                               : id == 40                                     ? "Menu_Name_Help"
                               : id == 41                                     ? "Menu_Name_View"
                                                                              : "Menu_Name_File";
        info.setInfo("Command " + juce::String(id), {}, CZJEResource::GetText(category), 0);
        const auto command = juce::ModifierKeys::commandModifier;
        if (id == 35)
            info.addDefaultKeypress('a', command);
        else if (id == 39)
            info.addDefaultKeypress(',', command);
        else if (id == 43)
            info.addDefaultKeypress('m', command);
        else if (id == juce::StandardApplicationCommandIDs::quit)
            info.addDefaultKeypress('q', command);
    }
    bool perform(const InvocationInfo&) override { return true; }

private:
    juce::ApplicationCommandTarget* m_next;
};

// Vetoes the commands it is told to, and counts the questions.
class TestBlocker : public ActionBlocker
{
public:
    bool shouldBlockCommand(int commandID) override
    {
        ++asked;
        return blockAllBut.has_value() ? commandID != *blockAllBut : commandID == blocked;
    }

    int blocked = 0;
    std::optional<int> blockAllBut;
    int asked = 0;
};

// The host of the panel tests with the command manager and the host as the
// application's singletons; the window stand-in is the first command target
// and the action manager (without a parent window) the last.
class ActionTest : public paneltest::PanelTest
{
protected:
    explicit ActionTest(const char* language = "en") : PanelTest(language) {}

    void SetUp() override
    {
        PanelTest::SetUp();
        m_commands = std::make_unique<CommandManager>(*m_host, [] {});
        m_scopedCommands = std::make_unique<ScopedSingletonInstance<CommandManager>>(m_commands.get());
        m_scopedHost = std::make_unique<ScopedSingletonInstance<CVXHost>>(m_host.get());
        m_actions = std::make_unique<ActionManager>(m_host.get(), nullptr);
        m_window = std::make_unique<WindowStandIn>(m_actions.get());
        m_commands->registerAllCommandsForTarget(m_window.get());
        m_commands->registerAllCommandsForTarget(m_actions.get());
        m_commands->setFirstCommandTarget(m_window.get());
    }
    void TearDown() override
    {
        m_commands->setFirstCommandTarget(nullptr);
        m_window.reset();
        m_actions.reset();
        m_scopedHost.reset();
        m_scopedCommands.reset();
        m_commands.reset();
        PanelTest::TearDown();
    }

    Info InfoOf(int id)
    {
        Info info(id);
        m_actions->getCommandInfo(id, info);
        return info;
    }
    bool Enabled(int id) { return (InfoOf(id).flags & Info::isDisabled) == 0; }
    bool Ticked(int id) { return (InfoOf(id).flags & Info::isTicked) != 0; }

    // "1" for each enabled command of 1 to 30, "0" for each disabled one, in
    // groups of ten.
    std::string EnabledCommands()
    {
        std::string s;
        for (int id = 1; id <= ActionManager::kLastCommand; ++id)
        {
            s += Enabled(id) ? '1' : '0';
            if (id % 10 == 0 && id < ActionManager::kLastCommand)
                s += ' ';
        }
        return s;
    }

    bool Invoke(int id, bool byKey = false, bool keyDown = false)
    {
        juce::ApplicationCommandTarget::InvocationInfo info(id);
        if (byKey)
            info.invocationMethod = juce::ApplicationCommandTarget::InvocationInfo::fromKeyPress;
        info.isKeyDown = keyDown;
        return m_actions->perform(info);
    }

    // Three songs of two seconds; the first current and selected.
    void ThreeSongs()
    {
        for (const char* name : {"a", "b", "c"})
            AddSongOfSeconds(name, 2.0);
        ASSERT_TRUE(m_host->SetCurPlayTrack(0, true, false));
        m_host->SetSelectedSongs(0, 1, false);
    }
    void PauseAt(double seconds)
    {
        m_host->SetPlayerStatus(CVXHost::kStatusPaused);
        ASSERT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPaused);
        Player()->SetCurTimeSecond(seconds);
    }

    Vextal::ScopedScriptedDialogs m_dialogs;
    std::unique_ptr<CommandManager> m_commands;
    std::unique_ptr<ScopedSingletonInstance<CommandManager>> m_scopedCommands;
    std::unique_ptr<ScopedSingletonInstance<CVXHost>> m_scopedHost;
    std::unique_ptr<ActionManager> m_actions;
    std::unique_ptr<WindowStandIn> m_window;
};

} // namespace actiontest
