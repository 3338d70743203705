#pragma once

#include "library/vextal_juce/CZJESingleton.h"
#include "src/songlist/CVXHost.h"

#include <juce_data_structures/juce_data_structures.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Vextal
{
// The application's command manager and, in the same object, the undo stack
// of the songlist. As the framework's command manager it holds the commands
// and key mappings of the window's command targets. As the undo stack it
// performs every songlist edit (an undoable action, see src/Action) inside a
// named transaction, undoes and redoes whole transactions, gives the Edit
// menu its Undo and Redo texts, keeps the host's songlist-modified flag and
// writes the backup songlist half a second after the last successful edit,
// undo or redo.
//
// Modified state: the songlist counts as modified unless the history stands
// exactly where the songlist was last opened, saved or started
// (clearNumTransactions). Each transaction gets an identity when it is
// opened, and the saved point is the identity of the last transaction done
// at that time: undoing back to it counts as not modified, while undoing and
// then editing anew leaves a state the history never saved. A failing undo
// or redo, after which the framework empties the history, leaves a state
// nobody saved.
//
// Threads. Message thread only: edits come from the command handlers and
// views, and the backup timer fires there. An action's perform may run a
// modal loop (adding songs); the backup timer is stopped meanwhile.
class CommandManager : public juce::ApplicationCommandManager,
                       public juce::UndoManager,
                       public CZJESingleton<CommandManager>,
                       public juce::Timer,
                       public CVXHostUndoHistory
{
public:
    // The history keeps transactions until their actions take more than
    // kMaxUnits units (10 per action) and more than kMinTransactions are held.
    static constexpr int kMaxUnits = 30000;
    static constexpr int kMinTransactions = 30;
    static constexpr int kBackupDelayMs = 500;

    // Over the host, whose BackupProject writes the backup; writeBackup, when
    // given, is called in its place.
    explicit CommandManager(CVXHost& host, std::function<void()> writeBackup = {});
    ~CommandManager() override;

    // A transaction's name: the localized text of actionKey ("Action_..."),
    // its "%1" replaced by the localized text of targetKey ("ChangeTarget_...")
    // when one is given.
    static juce::String transactionName(const char* actionKey, const char* targetKey = nullptr);

    // Performs the action (which the stack owns from here on, and deletes
    // when its perform fails) in a new transaction named name, or in the
    // current one (renamed when name is not empty). True when it was
    // performed. A failed action changes nothing and leaves a backup that an
    // earlier edit scheduled in place.
    bool stackActionInUndoList(juce::UndoableAction* action, bool newTransaction, const juce::String& name);
    bool stackActionInUndoList(std::unique_ptr<juce::UndoableAction> action, bool newTransaction,
                               const juce::String& name);
    // Undoes the last transaction (its actions in reverse order) or redoes
    // the next one; with nothing to undo or redo, beeps and gives false.
    bool undo();
    bool redo();
    // The localized "Menu_Item_Undo" (or "Menu_Item_Redo"), followed by
    // " : " and the transaction's name when there is one to undo (redo).
    juce::String getUndoDescription() const;
    juce::String getRedoDescription() const;
    // The songlist was opened, saved or started: the present state of the
    // history is the saved one.
    void clearNumTransactions();
    // Drops every transaction (opening a songlist, a new songlist); the
    // modified state stays as it is.
    void clearUndoHistory();
    bool isModified() const;

    // The host's view of the history (the application's instance installs
    // itself as the host's undo history).
    void forgetHistoryAsSaved() override;
    void markSaved() override { clearNumTransactions(); }

    // Writes the backup.
    void timerCallback() override;

private:
    friend class CZJESingleton<CommandManager>;

    // Over the host's singleton instance.
    CommandManager();
    explicit CommandManager(CVXHost* host, std::function<void()> writeBackup);

    // The backup is due kBackupDelayMs from now; the timer fires then (the
    // framework's timers may fire early, so the callback checks the time).
    void ScheduleBackup();
    void ArmBackupTimer();
    // An undo (back) or a redo.
    bool Step(bool back);
    uint64_t CurrentState() const;
    // The framework emptied its history: the songlist is in a state of its
    // own.
    void ForgetHistory();
    void PublishModified();

    CVXHost* const m_host;
    const std::function<void()> m_writeBackup;
    // When the backup is due, in milliseconds of the high-resolution counter.
    double m_backupDue = 0.0;
    // Successful actions since the framework last opened a transaction.
    int m_actionsInTransaction = 0;
    // The identities of the transactions done (oldest first) and undone
    // (the next to redo last), and of the state before the first done one.
    std::vector<uint64_t> m_done;
    std::vector<uint64_t> m_undone;
    uint64_t m_baseState = 0;
    uint64_t m_savedState = 0;
    uint64_t m_nextState = 1;
};
} // namespace Vextal
