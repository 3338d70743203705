#include "src/songlist/CommandManager.h"

#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/CVXHost.h"

#include <cmath>

namespace
{
juce::String MenuText(const char* key, const juce::String& transaction)
{
    juce::String text = CZJEResource::GetText(key);
    if (transaction.isNotEmpty())
        text << " : " << transaction;
    return text;
}

void Beep()
{
    juce::LookAndFeel::getDefaultLookAndFeel().playAlertSound();
}
} // namespace

namespace Vextal
{
namespace
{
// The host finds the songlist's undo stack in the application's instance.
const bool g_undoHistoryInstalled = []
{
    CVXHost::SetUndoHistorySource([]() -> CVXHostUndoHistory* { return CommandManager::GetInstance(); });
    return true;
}();
} // namespace

CommandManager::CommandManager() : CommandManager(CVXHost::GetInstance(), {}) {}

CommandManager::CommandManager(CVXHost& host, std::function<void()> writeBackup)
    : CommandManager(&host, std::move(writeBackup))
{
}

CommandManager::CommandManager(CVXHost* host, std::function<void()> writeBackup)
    : juce::UndoManager(kMaxUnits, kMinTransactions), m_host(host), m_writeBackup(std::move(writeBackup))
{
    VX_ASSERT_MESSAGE_THREAD();
    VX_CHECK(m_host != nullptr || m_writeBackup);
}

CommandManager::~CommandManager()
{
    stopTimer();
}

void CommandManager::forgetHistoryAsSaved()
{
    clearUndoHistory();
    clearNumTransactions();
}

juce::String CommandManager::transactionName(const char* actionKey, const char* targetKey)
{
    const juce::String text = CZJEResource::GetText(actionKey);
    return targetKey != nullptr ? text.replace("%1", CZJEResource::GetText(targetKey)) : text;
}

bool CommandManager::stackActionInUndoList(juce::UndoableAction* action, bool newTransaction,
                                           const juce::String& name)
{
    return stackActionInUndoList(std::unique_ptr<juce::UndoableAction>(action), newTransaction, name);
}

bool CommandManager::stackActionInUndoList(std::unique_ptr<juce::UndoableAction> action, bool newTransaction,
                                           const juce::String& name)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (!VX_CHECK(action != nullptr))
        return false;
    // No backup while the action runs: it may run a modal loop.
    const bool backupPending = isTimerRunning();
    stopTimer();
    if (newTransaction)
    {
        beginNewTransaction(name);
        m_actionsInTransaction = 0;
    }
    else if (name.isNotEmpty())
    {
        setCurrentTransactionName(name);
    }
    // The framework deletes an action whose perform fails.
    if (!juce::UndoManager::perform(action.release()))
    {
        if (backupPending)
            ArmBackupTimer();
        return false;
    }
    if (++m_actionsInTransaction == 1)
        m_done.push_back(m_nextState++);
    m_undone.clear();
    PublishModified();
    ScheduleBackup();
    return true;
}

bool CommandManager::undo()
{
    return Step(true);
}

bool CommandManager::redo()
{
    return Step(false);
}

bool CommandManager::Step(bool back)
{
    VX_ASSERT_MESSAGE_THREAD();
    if (!(back ? juce::UndoManager::undo() : juce::UndoManager::redo()))
    {
        Beep();
        return false;
    }
    // The framework begins a new transaction after every undo or redo.
    m_actionsInTransaction = 0;
    std::vector<uint64_t>& from = back ? m_done : m_undone;
    std::vector<uint64_t>& to = back ? m_undone : m_done;
    // After a failing step the framework has emptied its history.
    const bool kept = back ? canRedo() : canUndo();
    if (kept && VX_CHECK(!from.empty()))
    {
        to.push_back(from.back());
        from.pop_back();
    }
    else
    {
        ForgetHistory();
    }
    PublishModified();
    ScheduleBackup();
    return true;
}

void CommandManager::ForgetHistory()
{
    m_done.clear();
    m_undone.clear();
    m_baseState = m_nextState++;
}

juce::String CommandManager::getUndoDescription() const
{
    return MenuText("Menu_Item_Undo", canUndo() ? juce::UndoManager::getUndoDescription() : juce::String());
}

juce::String CommandManager::getRedoDescription() const
{
    return MenuText("Menu_Item_Redo", canRedo() ? juce::UndoManager::getRedoDescription() : juce::String());
}

void CommandManager::clearNumTransactions()
{
    VX_ASSERT_MESSAGE_THREAD();
    m_savedState = CurrentState();
    PublishModified();
}

void CommandManager::clearUndoHistory()
{
    VX_ASSERT_MESSAGE_THREAD();
    const uint64_t state = CurrentState();
    juce::UndoManager::clearUndoHistory();
    m_actionsInTransaction = 0;
    m_done.clear();
    m_undone.clear();
    m_baseState = state;
}

bool CommandManager::isModified() const
{
    return CurrentState() != m_savedState;
}

uint64_t CommandManager::CurrentState() const
{
    return m_done.empty() ? m_baseState : m_done.back();
}

void CommandManager::PublishModified()
{
    if (m_host != nullptr)
        m_host->setVXSLChanged(isModified());
}

void CommandManager::ScheduleBackup()
{
    m_backupDue = juce::Time::getMillisecondCounterHiRes() + kBackupDelayMs;
    ArmBackupTimer();
}

void CommandManager::ArmBackupTimer()
{
    const double remaining = m_backupDue - juce::Time::getMillisecondCounterHiRes();
    startTimer(juce::jmax(1, static_cast<int>(std::ceil(remaining))));
}

void CommandManager::timerCallback()
{
    if (juce::Time::getMillisecondCounterHiRes() < m_backupDue)
    {
        ArmBackupTimer();
        return;
    }
    stopTimer();
    if (m_writeBackup)
        m_writeBackup();
    else if (m_host != nullptr)
        m_host->BackupProject();
}
} // namespace Vextal
