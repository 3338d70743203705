#include "src/jucer_components/MainComponent.h"

#include "library/vextal_juce/CZJEText.h"
#include "library/zfc/CZfcSheet.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "tests/src/jucer_components/PlayerPanelTestSupport.h"
#include "tests/support/ScopedSingletonInstance.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using Vextal::ExportManager;
using Vextal::ExportSession;
using Vextal::ExportSessionNames;
using Vextal::MainComponent;

namespace
{
using CZJEText::Text;

// A session of a given kind whose notices the test sends on the message
// thread, where the export manager relays them at once.
class ScriptedSession : public ExportSession
{
public:
    explicit ScriptedSession(const char* key) : m_key(key) {}

    const char* getSessionNameKey() override { return m_key; }
    bool start() override
    {
        notifyStart();
        return true;
    }
    void cancel() override { ++cancels; }
    void pause() override { ++pauses; }
    void resume() override { ++resumes; }
    bool doesNormalize() override { return normalizes; }
    bool hasNormalized() override { return normalized; }
    void applyNormalizedGains() override { ++applied; }
    bool isSucceeded() override { return succeeded; }
    juce::String getLastErrorMessage() override { return error; }

    using ExportSession::notifyEnd;
    using ExportSession::notifyError;
    using ExportSession::notifySongProcessStart;
    using ExportSession::shouldIgnoreWarning;

    bool normalizes = false;
    bool normalized = false;
    bool succeeded = true;
    juce::String error;
    int cancels = 0, pauses = 0, resumes = 0, applied = 0;

private:
    const char* m_key;
};

class MainComponentTest : public paneltest::PanelTest
{
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        m_commands = std::make_unique<Vextal::CommandManager>(*m_host, [] {});
        m_scoped = std::make_unique<ScopedSingletonInstance<Vextal::CommandManager>>(m_commands.get());
        m_content = std::make_unique<MainComponent>(*m_host);
    }
    void TearDown() override
    {
        // The labels' fade-ins (200 ms) end before the labels go.
        Dispatch(300);
        m_content.reset();
        m_scoped.reset();
        m_commands.reset();
        PanelTest::TearDown();
    }

    // Starts a session of the kind through the export manager.
    ScriptedSession& Start(const char* key)
    {
        auto session = std::make_unique<ScriptedSession>(key);
        ScriptedSession& started = *session;
        std::unique_ptr<ExportSession> offered = std::move(session);
        EXPECT_TRUE(ExportManager::GetInstance()->start(offered));
        return started;
    }

    // Active: the command's info does not carry the inactive flag.
    static bool Active(const juce::ApplicationCommandInfo& info)
    {
        return (info.flags & juce::ApplicationCommandInfo::isDisabled) == 0;
    }

    juce::ApplicationCommandInfo Info(int id)
    {
        juce::ApplicationCommandInfo info(id);
        m_content->getCommandInfo(id, info);
        return info;
    }

    bool Type(juce::juce_wchar c) { return m_content->keyPressed(juce::KeyPress(c, 0, c)); }
    bool Press(int keyCode) { return m_content->keyPressed(juce::KeyPress(keyCode)); }
    juce::String Number() { return m_content->getSongNumberLabel().getText(); }

    bool Perform(int id) { return m_content->perform(juce::ApplicationCommandTarget::InvocationInfo(id)); }

    Vextal::ScopedScriptedDialogs m_dialogs;
    std::unique_ptr<Vextal::CommandManager> m_commands;
    std::unique_ptr<ScopedSingletonInstance<Vextal::CommandManager>> m_scoped;
    std::unique_ptr<MainComponent> m_content;
};

// The song number typed over the window: a digit is taken only when the
// number it makes is a song's, '+' and '-' step within the list, Backspace
// and Escape edit, and Return plays the song.
TEST_F(MainComponentTest, TypedSongNumbers)
{
    EXPECT_FALSE(Type('0'));
    EXPECT_TRUE(Type('1'));
    EXPECT_EQ(Number(), "") << "no song to pick in an empty list";
    EXPECT_FALSE(Press(juce::KeyPress::returnKey));

    AddSongs(15);
    EXPECT_FALSE(Type('0'));
    EXPECT_EQ(Number(), "");
    for (juce::juce_wchar c : {'1', '2', '3', '4'})
        EXPECT_TRUE(Type(c));
    EXPECT_EQ(Number(), "12") << "123 and 124 are no song's numbers";
    EXPECT_EQ(m_content->getSongNameLabel().getText(), "s11");

    EXPECT_FALSE(Type('+'));
    EXPECT_EQ(Number(), "13");
    EXPECT_TRUE(Press(juce::KeyPress::backspaceKey));
    EXPECT_EQ(Number(), "1");
    EXPECT_TRUE(Type('5'));
    Type('+');
    EXPECT_EQ(Number(), "15") << "'+' at the last song keeps it";
    EXPECT_TRUE(Press(juce::KeyPress::escapeKey));
    EXPECT_EQ(Number(), "");
    EXPECT_FALSE(Press(juce::KeyPress::escapeKey));
    Type('1');
    Type('-');
    EXPECT_EQ(Number(), "1") << "'-' at the first song keeps it";

    Type('4');
    EXPECT_TRUE(Press(juce::KeyPress::returnKey));
    EXPECT_EQ(Number(), "");
    EXPECT_EQ(m_content->getSongNameLabel().getText(), "s13");
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 13);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPlaying);
}

// While a sheet is open, every command but the user's guide and the safe
// quit is inactive; the export commands follow the running session.
TEST_F(MainComponentTest, CommandStates)
{
    AddSongs(2);
    EXPECT_TRUE(Active(Info(MainComponent::kExport)));
    EXPECT_TRUE(Active(Info(MainComponent::kBurnDisc)));
    EXPECT_FALSE(Active(Info(MainComponent::kSongProperty))) << "nothing selected";

    CZfcSheet::sm_iNumSheetsOpened = 1;
    for (int id = MainComponent::kOpenDisc; id <= MainComponent::kSongProperty; ++id)
        EXPECT_EQ(m_content->shouldBlockCommand(id), id != MainComponent::kQuitSafely) << id;
    EXPECT_FALSE(m_content->shouldBlockCommand(MainComponent::kUsersGuideCommand));
    EXPECT_FALSE(Active(Info(MainComponent::kPreferences)));
    CZfcSheet::sm_iNumSheetsOpened = 0;

    ScriptedSession& session = Start(ExportSessionNames::kFileExport);
    EXPECT_EQ(Info(MainComponent::kExport).shortName, Text("Menu_Item_ExportCancel"));
    EXPECT_TRUE(Active(Info(MainComponent::kExport)));
    EXPECT_FALSE(Active(Info(MainComponent::kBurnDisc)));
    session.notifyEnd(true);
    EXPECT_EQ(Info(MainComponent::kExport).shortName, Text("Menu_Item_Export"));

    ScriptedSession& burn = Start(ExportSessionNames::kDiscBurn);
    EXPECT_EQ(Info(MainComponent::kBurnDisc).shortName, Text("Menu_Item_BurnDiscCancel"));
    EXPECT_TRUE(Active(Info(MainComponent::kBurnDisc)));
    EXPECT_FALSE(Active(Info(MainComponent::kExport)));
    burn.notifyEnd(true);
}

// The end of a file export: completed, failed, cancelled, and the offer to
// apply normalized gains.
TEST_F(MainComponentTest, TheEndOfAFileExport)
{
    struct Case
    {
        bool succeeded;
        bool aborted;
        bool normalized;
        const char* error;
        juce::String message; // empty: no box
    };
    const juce::String apply = "\n" + Text("Export_ApplyNormalizedGain");
    const Case cases[] = {
        {true, false, false, "", Text("Export_Completed")},
        {false, false, false, "", Text("Export_Failed")},
        {false, false, false, "The disk is full.", "The disk is full."},
        {true, true, false, "", ""},
        {true, false, true, "", Text("Export_Completed") + apply},
        {true, true, true, "", apply},
    };
    for (const Case& c : cases)
    {
        const size_t before = m_dialogs->getShownBoxes().size();
        ScriptedSession& session = Start(ExportSessionNames::kFileExport);
        session.succeeded = c.succeeded;
        session.normalized = c.normalized;
        session.error = c.error;
        m_dialogs->answerNextBox(1);
        session.notifyEnd(c.aborted);
        const auto& boxes = m_dialogs->getShownBoxes();
        if (c.message.isEmpty())
        {
            EXPECT_EQ(boxes.size(), before);
            continue;
        }
        ASSERT_EQ(boxes.size(), before + 1) << c.message;
        EXPECT_EQ(boxes.back().message, c.message);
        if (!c.succeeded)
        {
            EXPECT_FALSE(boxes.back().message.contains(Text("Export_Completed"))) << "a failed export";
        }
        if (c.normalized)
        {
            EXPECT_EQ(session.applied, 1);
        }
        EXPECT_EQ(boxes.back().icon == juce::MessageBoxIconType::WarningIcon, !c.succeeded && !c.normalized);
    }
}

// Warnings: an existing file offers Replace, any other warning Continue; the
// song names go to the detail; a refused warning stops the session.
TEST_F(MainComponentTest, WarningsAndErrorsOfASession)
{
    AddSongs(3);
    ScriptedSession& session = Start(ExportSessionNames::kFileExport);
    m_dialogs->answerNextBox(1);
    EXPECT_TRUE(session.shouldIgnoreWarning("Export_AlreadyExists", hosttest::SetOf({0, 2}), {}));
    m_dialogs->answerNextBox(0);
    EXPECT_FALSE(session.shouldIgnoreWarning("Export_Over4GB", hosttest::SetOf({1}), {}));
    session.notifyError("Export_DiskFull", {}, {"3 MB"});

    const auto& boxes = m_dialogs->getShownBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].buttons.back().text, Text("Button_Replace"));
    EXPECT_EQ(boxes[0].buttons.front().text, Text("Button_Stop"));
    EXPECT_EQ(boxes[0].detail, "s0\ns2");
    EXPECT_EQ(boxes[1].buttons.back().text, Text("Button_Continue"));
    EXPECT_EQ(boxes[2].message, Text("Export_DiskFull").replace("%1", "3 MB"));
    EXPECT_EQ(boxes[2].title, Text("Common_ErrorDialogTitle"));
    session.notifyEnd(true);
}

// The safe quit while a session runs: an export or a burn is cancelled on
// Yes and the host quits when it has ended; an erase cannot be stopped.
TEST_F(MainComponentTest, SafeQuitPerSessionKind)
{
    struct Case
    {
        const char* kind;
        int answer;
        bool cancels;
    };
    const Case cases[] = {
        {ExportSessionNames::kFileExport, 1, true},
        {ExportSessionNames::kFileExport, 0, false},
        {ExportSessionNames::kDiscBurn, 1, true},
        {ExportSessionNames::kDiscErase, 1, false},
    };
    for (const Case& c : cases)
    {
        m_host->setQuitOnExportEnd(false);
        ScriptedSession& session = Start(c.kind);
        m_dialogs->answerNextBox(c.answer);
        juce::ApplicationCommandTarget::InvocationInfo info(MainComponent::kQuitSafely);
        EXPECT_TRUE(m_content->perform(info));
        EXPECT_EQ(session.cancels, c.cancels ? 1 : 0) << c.kind;
        EXPECT_EQ(m_host->isQuitOnExportEnd(), c.cancels) << c.kind;
        EXPECT_EQ(session.pauses, 1);
        EXPECT_EQ(session.resumes, 1);
        EXPECT_EQ(m_dialogs->getShownBoxes().back().title, Text(c.kind));
        session.notifyEnd(true);
    }
    m_host->setQuitOnExportEnd(false);
}
// The song-information command opens its sheet once (made on first use);
// the property command shows the viewer in a dialog; selection commands
// work on the host's selection.
TEST_F(MainComponentTest, SheetsDialogsAndSelectionCommands)
{
    AddSongs(4);
    m_host->SetSelectedSongs(hosttest::SetOf({1, 2}), false);
    EXPECT_TRUE(Perform(MainComponent::kInvertSelection));
    EXPECT_EQ(hosttest::RangesOf(m_host->GetSelection()), "0,3");
    EXPECT_TRUE(Perform(MainComponent::kSelectAll));
    EXPECT_EQ(hosttest::RangesOf(m_host->GetSelection()), "0-3");

    EXPECT_TRUE(Perform(MainComponent::kSongProperty));
    ASSERT_EQ(m_dialogs->getShownDialogTitles().size(), 1);
    EXPECT_EQ(m_dialogs->getShownDialogTitles()[0], Text("Menu_Item_Property"));

    EXPECT_EQ(m_content->getInfoEditorSheet(), nullptr);
    EXPECT_TRUE(Perform(MainComponent::kEditSongInformation));
    CZfcSheet* sheet = m_content->getInfoEditorSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_NE(sheet->GetState(), CZfcSheet::kClosed);
    EXPECT_EQ(sheet->getParentComponent(), m_content.get());
    Dispatch(400);
    EXPECT_EQ(sheet->GetState(), CZfcSheet::kOpen);
    EXPECT_TRUE(m_content->shouldBlockCommand(MainComponent::kSelectAll));
    EXPECT_TRUE(Perform(MainComponent::kEditSongInformation));
    EXPECT_EQ(m_content->getInfoEditorSheet(), sheet) << "made once";
    EXPECT_TRUE(sheet->Close());
    Dispatch(400);
    EXPECT_EQ(CZfcSheet::sm_iNumSheetsOpened, 0);
}
} // namespace
