#pragma once

#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/ScopedSingletonInstance.h"
#include "tests/support/UiTestSupport.h"

#include <memory>

namespace hosttest
{
// The host as the application opens and saves songlists: its undo stack (the
// command manager as the application has it, backing the songlist up),
// scripted dialogs and the interface's English texts.
class SonglistHostTest : public HostTest
{
protected:
    SonglistHostTest() { CZJEResource::CreateInstance(); }
    ~SonglistHostTest() override { CZJEResource::DestroyInstance(); }

    void SetUp() override
    {
        HostTest::SetUp();
        MakeCommands();
    }
    void TearDown() override
    {
        DropCommands();
        HostTest::TearDown();
    }

    // A command manager of the current host, made the single instance.
    void MakeCommands()
    {
        m_commands = std::make_unique<Vextal::CommandManager>(*m_host, [this] { m_host->BackupProject(); });
        m_scoped = std::make_unique<ScopedSingletonInstance<Vextal::CommandManager>>(m_commands.get());
    }
    void DropCommands()
    {
        m_scoped.reset();
        m_commands.reset();
    }

    uitest::ScopedLanguage m_english{"en"};
    Vextal::ScopedScriptedDialogs m_dialogs;
    std::unique_ptr<Vextal::CommandManager> m_commands;
    std::unique_ptr<ScopedSingletonInstance<Vextal::CommandManager>> m_scoped;
};
} // namespace hosttest
