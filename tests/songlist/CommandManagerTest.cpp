#include "src/songlist/CommandManager.h"

#include "library/vextal_juce/CZJEResource.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace hosttest;

namespace
{
// Adds its step to a value and writes its name to a log; either step can be
// made to fail.
class StepAction : public juce::UndoableAction
{
public:
    StepAction(int& value, std::vector<std::string>& log, std::string name, bool performs = true,
               bool undoes = true)
        : m_value(value), m_log(log), m_name(std::move(name)), m_performs(performs), m_undoes(undoes)
    {
    }

    bool perform() override
    {
        if (!m_performs)
            return false;
        ++m_value;
        m_log.push_back("do " + m_name);
        return true;
    }
    bool undo() override
    {
        if (!m_undoes)
            return false;
        --m_value;
        m_log.push_back("undo " + m_name);
        return true;
    }

private:
    int& m_value;
    std::vector<std::string>& m_log;
    const std::string m_name;
    const bool m_performs;
    const bool m_undoes;
};

class CommandManagerTest : public HostTest
{
protected:
    CommandManagerTest() { CZJEResource::CreateInstance(); }
    ~CommandManagerTest() override { CZJEResource::DestroyInstance(); }

    void SetUp() override
    {
        HostTest::SetUp();
        m_commands = std::make_unique<Vextal::CommandManager>(
            *m_host, [this] { m_backups.push_back(juce::Time::getMillisecondCounterHiRes()); });
    }
    void TearDown() override
    {
        m_commands.reset();
        HostTest::TearDown();
    }

    bool Edit(bool newTransaction = true, const juce::String& name = "Edit", bool performs = true,
              bool undoes = true)
    {
        return m_commands->stackActionInUndoList(
            new StepAction(m_value, m_log, std::to_string(++m_edits), performs, undoes), newTransaction,
            name);
    }

    static double Now() { return juce::Time::getMillisecondCounterHiRes(); }

    uitest::ScopedLanguage m_english{"en"};
    std::unique_ptr<Vextal::CommandManager> m_commands;
    std::vector<double> m_backups;
    std::vector<std::string> m_log;
    int m_value = 0;
    int m_edits = 0;
};
} // namespace

// The songlist counts as modified unless the history stands where it was
// saved: undoing back to the saved point is unmodified, undoing past it and
// editing anew is modified (a net count of transactions would call it
// unmodified), a failed edit changes nothing, and a failed undo (after which
// the history is gone) leaves the songlist modified. The host's flag follows.
//   E edit, e edit joining the current transaction, U undo, R redo, S save,
//   F failed edit, X edit whose undo fails, C history cleared.
TEST_F(CommandManagerTest, ModifiedStateFollowsTheSavedPoint)
{
    struct Case
    {
        const char* steps;
        const char* modified;
    };
    const Case cases[] = {
        {"E", "1"},       {"EU", "10"},           {"EUR", "101"},
        {"EUU", "100"},   {"ESU", "101"},         {"ESUE", "1011"},
        {"ESUR", "1010"}, {"EESUURR", "1101110"}, {"EeU", "110"},
        {"EUeU", "1010"}, {"EF", "11"},           {"SF", "00"},
        {"EUFR", "1001"}, {"SXU", "011"},         {"EXSUU", "11011"},
        {"ECU", "111"},   {"ECSEU", "11010"},     {"EEUUSRRUU", "111001110"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.steps);
        m_commands = std::make_unique<Vextal::CommandManager>(*m_host, [] {});
        m_commands->clearNumTransactions();
        std::string modified;
        for (const char* step = c.steps; *step != '\0'; ++step)
        {
            switch (*step)
            {
            case 'E':
                EXPECT_TRUE(Edit());
                break;
            case 'e':
                EXPECT_TRUE(Edit(false, {}));
                break;
            case 'U':
                m_commands->undo();
                break;
            case 'R':
                m_commands->redo();
                break;
            case 'S':
                m_commands->clearNumTransactions();
                break;
            case 'F':
                EXPECT_FALSE(Edit(true, "Edit", false));
                break;
            case 'X':
                EXPECT_TRUE(Edit(true, "Edit", true, false));
                break;
            case 'C':
                m_commands->clearUndoHistory();
                break;
            default:
                FAIL() << *step;
            }
            modified += m_commands->isModified() ? '1' : '0';
            EXPECT_EQ(m_host->isVXSLChanged(), m_commands->isModified()) << "after step " << *step;
        }
        EXPECT_EQ(modified, c.modified);
    }
}

// Two actions of one transaction count once and are undone together, the
// later one first; redo performs them again in their order. With nothing to
// undo or redo, nothing happens.
TEST_F(CommandManagerTest, TransactionsUndoAndRedoWhole)
{
    EXPECT_FALSE(m_commands->undo());
    EXPECT_FALSE(m_commands->redo());
    ASSERT_TRUE(Edit(true, "Pair"));
    ASSERT_TRUE(Edit(false, {}));
    ASSERT_TRUE(Edit(true, "Single"));
    EXPECT_EQ(m_value, 3);
    ASSERT_TRUE(m_commands->undo());
    ASSERT_TRUE(m_commands->undo());
    EXPECT_EQ(m_value, 0);
    EXPECT_FALSE(m_commands->isModified());
    ASSERT_TRUE(m_commands->redo());
    EXPECT_EQ(m_log, (std::vector<std::string>{"do 1", "do 2", "do 3", "undo 3", "undo 2", "undo 1", "do 1",
                                               "do 2"}));
    EXPECT_TRUE(m_commands->isModified());
}

// The Edit menu's texts: the localized command, then " : " and the
// transaction's name when there is one; a later action can rename its
// transaction.
TEST_F(CommandManagerTest, UndoAndRedoDescriptions)
{
    EXPECT_EQ(m_commands->getUndoDescription(), "Undo");
    EXPECT_EQ(m_commands->getRedoDescription(), "Redo");
    const juce::String gain = Vextal::CommandManager::transactionName("Action_Change", "ChangeTarget_Gain");
    EXPECT_EQ(gain, "Change Gain");
    ASSERT_TRUE(Edit(true, gain));
    EXPECT_EQ(m_commands->getUndoDescription(), "Undo : Change Gain");
    ASSERT_TRUE(Edit(false, Vextal::CommandManager::transactionName("Action_Combine")));
    EXPECT_EQ(m_commands->getUndoDescription(), "Undo : Combine Songs");
    m_commands->undo();
    EXPECT_EQ(m_commands->getUndoDescription(), "Undo");
    EXPECT_EQ(m_commands->getRedoDescription(), "Redo : Combine Songs");
    ASSERT_TRUE(Edit(true, {}));
    EXPECT_EQ(m_commands->getUndoDescription(), "Undo");
    EXPECT_EQ(m_commands->getRedoDescription(), "Redo");
}

// The backup is written once, half a second after the last of a burst of
// edits; undo and redo schedule it too. A failed edit leaves a scheduled
// backup in place and schedules none of its own.
TEST_F(CommandManagerTest, BackupFollowsTheLastEditByHalfASecond)
{
    double last = 0.0;
    for (int i = 0; i < 3; ++i)
    {
        if (i > 0)
            Dispatch(150);
        // The edit schedules the backup after this moment: half a second
        // from it at the earliest, whatever the edit itself takes.
        last = Now();
        ASSERT_TRUE(Edit());
    }
    Dispatch(1200);
    ASSERT_EQ(m_backups.size(), 1u);
    EXPECT_GE(m_backups[0] - last, 500.0);

    ASSERT_TRUE(Edit());
    Dispatch(100);
    EXPECT_FALSE(Edit(true, "Edit", false));
    Dispatch(1200);
    EXPECT_EQ(m_backups.size(), 2u);

    EXPECT_FALSE(Edit(true, "Edit", false));
    Dispatch(800);
    EXPECT_EQ(m_backups.size(), 2u);

    for (bool undo : {true, false})
    {
        const double before = Now();
        ASSERT_TRUE(undo ? m_commands->undo() : m_commands->redo());
        Dispatch(800);
        ASSERT_EQ(m_backups.size(), undo ? 3u : 4u);
        EXPECT_GE(m_backups.back() - before, 499.0);
    }
}
