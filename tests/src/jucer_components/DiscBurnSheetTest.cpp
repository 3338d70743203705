#include "src/jucer_components/DiscBurnSheet.h"

#include "common/disc/CAudioCDBurn.h"
#include "common/disc/CAudioDiscBurnProxy.h"
#include "common/disc/linux/CDiscBurnImpSimulated.h"
#include "library/vextal_juce/CZJEText.h"
#include "src/Output/ExportParameter/ExportParameterDisplay.h"
#include "src/songlist/Output/ExportManager.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"
#include "tests/src/SheetTestSupport.h"
#include "tests/support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

using hosttest::Wide;
using Vextal::DiscBurnSheet;
using Medium = CDiscBurnImpSimulated::Medium;
using Drive = CDiscBurnImpSimulated::Drive;

namespace
{
using CZJEText::Text;

using DiscBurnSheetStateText = hosttest::HostTest;

// The text of each kind of medium in the burner's drive, in English and
// Japanese: the burner is asked again every time.
TEST_F(DiscBurnSheetStateText, NamesTheMediumInTheDrive)
{
    for (const char* language : uitest::kInterfaceLanguages)
    {
        SCOPED_TRACE(language);
        uitest::ScopedInterface ui(language);
        const std::filesystem::path folder = m_folder / language;
        std::filesystem::create_directories(folder);
        auto drive = std::make_unique<CDiscBurnImpSimulated>(
            Wide(folder), std::vector<Drive>{Drive::CdWriter("Test CD-RW", Medium::None())},
            CDiscBurnImpSimulated::Options{});
        CDiscBurnImpSimulated* simulated = drive.get();
        CAudioCDBurn burner(std::move(drive));
        ASSERT_EQ(burner.OpenDrive(0), 0);

        Medium unknown;
        unknown.type = kDiscTypeUnknown;
        const struct
        {
            Medium medium;
            juce::String expected;
        } cases[] = {
            {Medium::InTransition(), Text("DiscBurn_InTransition")},
            {Medium::None(), Text("DiscBurn_NoDisc")},
            {unknown, Text("DiscBurn_Unknown")},
            {Medium::BlankCdR(), "CD-R" + Text("DiscBurn_Disc_Blank")},
            {Medium::UsedCdRw(), "CD-RW" + Text("DiscBurn_Disc_Used")},
            {Medium::BlankCdRw(), "CD-RW" + Text("DiscBurn_Disc_Blank")},
        };
        for (const auto& c : cases)
        {
            simulated->SetMedium(0, c.medium);
            EXPECT_EQ(DiscBurnSheet::discStateText(burner), c.expected);
        }
        if (juce::String(language) == "en")
        {
            simulated->SetMedium(0, Medium::BlankCdR());
            EXPECT_EQ(DiscBurnSheet::discStateText(burner), "CD-R (blank)");
        }
    }
}

// The sheet in a window over the simulated drive (one CD writer holding a
// blank CD-R, a new blank disc loaded after every eject), its drive open.
class DiscBurnSheetTest : public hosttest::HostTest
{
protected:
    void SetUp() override { SetUpIn("en"); }
    void SetUpIn(const char* language)
    {
        hosttest::HostTest::SetUp();
        m_ui.emplace(language);
        m_manager = Vextal::ExportManager::CreateInstance();
        m_simulatedDrive.emplace("VEXTAL_SIMULATED_DRIVE", juce::String((m_folder / "images").string()));
        m_burner = std::make_unique<CAudioDiscBurnProxy>();
        ASSERT_NE(m_burner->GetInstance(), nullptr);
        m_drive = dynamic_cast<CDiscBurnImpSimulated*>(&m_burner->GetInstance()->GetBackEnd());
        ASSERT_NE(m_drive, nullptr);
        ASSERT_EQ(m_burner->GetInstance()->OpenDrive(0), 0);
        m_sheet = std::make_unique<DiscBurnSheet>("cancelled", m_host.get(), m_burner.get());
        uitest::ShowSheetWindow(m_window, *m_sheet, 480, 440);
    }
    void TearDown() override
    {
        uitest::HideSheetWindow(m_window, m_sheet.get());
        m_sheet.reset();
        Vextal::ExportManager::DestroyInstance();
        // The manager goes here with its last session, which may hold the
        // burner.
        hosttest::HostTest::TearDown();
        m_burner.reset();
        m_simulatedDrive.reset();
        m_ui.reset();
    }
    void Open() { uitest::OpenSheet(*m_sheet); }
    // A click on a control of the open sheet, as the mouse makes it.
    void Click(juce::Component& control) { uitest::ClickControl(m_window, control); }
    // Stages a burn in the test's own folder: the system's temporary folder
    // is shared with the tests running beside it, which may stage or clear
    // staging folders of the same stamp there.
    void StageInOwnFolder()
    {
        const juce::File staging((m_folder / "staging").string());
        ASSERT_TRUE(staging.createDirectory().wasOk());
        m_sheet->getCommonParameter().setParameterText(Vextal::CommonExportParameter::kTempDirectory,
                                                       staging.getFullPathName(), true);
    }
    bool StateShows(const juce::String& text)
    {
        return uitest::PumpUntil([&] { return m_sheet->getDiscStateLabel().getText() == text; });
    }

    std::optional<uitest::ScopedInterface> m_ui;
    Vextal::ExportManager* m_manager = nullptr;
    std::optional<uitest::ScopedEnvironment> m_simulatedDrive;
    std::unique_ptr<CAudioDiscBurnProxy> m_burner;
    CDiscBurnImpSimulated* m_drive = nullptr;
    std::unique_ptr<DiscBurnSheet> m_sheet;
    juce::Component m_window;
};

using DiscBurnSheetDrawing = uitest::InEachLanguage<DiscBurnSheetTest>;

// The open sheet follows the medium in the drive; Eject ejects it (the
// simulated drive then loads a blank disc); Cancel stops watching, closes the
// drive and the sheet and tells the owner it was cancelled.
TEST_F(DiscBurnSheetTest, WatchesTheDiscWhileOpen)
{
    EXPECT_FALSE(m_sheet->isPolling());
    Open();
    EXPECT_TRUE(m_sheet->isPolling());
    EXPECT_TRUE(StateShows("CD-R (blank)"));
    m_drive->SetMedium(0, Medium::UsedCdRw());
    EXPECT_TRUE(StateShows("CD-RW (used)"));
    m_drive->SetMedium(0, Medium::None());
    EXPECT_TRUE(StateShows(Text("DiscBurn_NoDisc")));

    m_drive->SetMedium(0, Medium::UsedCdRw());
    EXPECT_TRUE(StateShows("CD-RW (used)"));
    Click(m_sheet->getEjectButton());
    EXPECT_TRUE(uitest::PumpUntil([&] { return m_drive->GetMedium(0).type == kDiscTypeCDR; }));
    EXPECT_TRUE(StateShows("CD-R (blank)"));

    Click(m_sheet->getCancelButton());
    ASSERT_TRUE(uitest::PumpUntil([&] { return m_sheet->GetState() == CZfcSheet::kClosed; }));
    EXPECT_TRUE(static_cast<bool>(m_sheet->getProperties()["cancelled"]));
    EXPECT_FALSE(m_sheet->isPolling());
    EXPECT_EQ(m_burner->GetInstance()->GetInsertedDiscType(), kDiscTypeNone);
}

// A drive that takes an hour to settle holds the burner while the watcher
// looks at it: Cancel still closes the sheet at once (the look is abandoned,
// never killed), and the drive answers afterwards.
TEST_F(DiscBurnSheetTest, ClosesWhileASlowDriveIsBeingLookedAt)
{
    Open();
    ASSERT_TRUE(StateShows("CD-R (blank)"));
    m_drive->SetSettleDelay(3600 * 1000);
    ASSERT_TRUE(m_drive->WaitUntilSettling(60000));

    Click(m_sheet->getCancelButton());
    ASSERT_TRUE(uitest::PumpUntil([&] { return m_sheet->GetState() == CZfcSheet::kClosed; }));
    EXPECT_FALSE(m_sheet->isPolling());

    m_drive->SetSettleDelay(1);
    CAudioDiscBurnBase& burner = *m_burner->GetInstance();
    ASSERT_EQ(burner.OpenDrive(0), 0);
    EXPECT_EQ(burner.ReloadDisc(), 0) << "a look after the abandoned one waits again";
    EXPECT_TRUE(burner.IsBlankDisc());
}

// Eject never waits on the drive: while the watcher's look holds a drive
// that is slow to settle, the click returns with the eject still to come and
// the button disabled; the eject is done once the drive answers, and its
// notice gives the button back.
TEST_F(DiscBurnSheetTest, EjectsWithoutWaitingForASlowDrive)
{
    Open();
    m_drive->SetMedium(0, Medium::UsedCdRw());
    ASSERT_TRUE(StateShows("CD-RW (used)"));
    m_drive->SetSettleDelay(3600 * 1000);
    ASSERT_TRUE(m_drive->WaitUntilSettling(60000));

    // The click has returned while the look still holds the drive (the
    // medium can't even be asked for now): the eject waits on the worker.
    Click(m_sheet->getEjectButton());
    EXPECT_FALSE(m_sheet->getEjectButton().isEnabled());

    m_drive->SetSettleDelay(0);
    m_drive->SetMediumWaitsAbandoned(true);
    EXPECT_TRUE(uitest::PumpUntil([&] { return m_sheet->getEjectButton().isEnabled(); }));
    EXPECT_EQ(m_drive->GetMedium(0).type, kDiscTypeCDR);
    m_drive->SetMediumWaitsAbandoned(false);
    EXPECT_TRUE(StateShows("CD-R (blank)"));
}

// A session about to start stops the watching (the burner is the session's
// then); its end starts it again while the sheet is showing.
TEST_F(DiscBurnSheetTest, StopsWatchingWhileASessionRuns)
{
    Open();
    ASSERT_TRUE(StateShows("CD-R (blank)"));
    m_sheet->exportAboutToStart(nullptr);
    EXPECT_FALSE(m_sheet->isPolling());
    m_drive->SetMedium(0, Medium::UsedCdRw());
    uitest::Pump(3 * DiscBurnSheet::kPollMs);
    EXPECT_EQ(m_sheet->getDiscStateLabel().getText(), "CD-R (blank)");
    m_sheet->exportEnded(nullptr, false);
    EXPECT_TRUE(m_sheet->isPolling());
    EXPECT_TRUE(StateShows("CD-RW (used)"));
}

// Burn clicked while the burner scans the drives returns at once with the
// button disabled and nothing started; the burn starts, and the button comes
// back, when the scan has ended.
TEST_F(DiscBurnSheetTest, BurnClickedDuringAScanStartsWhenTheScanEnds)
{
    AddSongs(1);
    Open();
    StageInOwnFolder();
    ASSERT_TRUE(StateShows("CD-R (blank)"));
    m_drive->SetScanHeld(true);
    Click(m_sheet->getBurnButton());
    EXPECT_FALSE(m_sheet->getBurnButton().isEnabled());
    EXPECT_EQ(m_manager->getCurrentSession(), nullptr);
    EXPECT_TRUE(m_sheet->isPolling());

    m_drive->SetScanHeld(false);
    ASSERT_TRUE(uitest::PumpUntil([&] { return m_manager->getCurrentSession() != nullptr; }, 60000));
    EXPECT_TRUE(m_sheet->getBurnButton().isEnabled());
    ASSERT_TRUE(uitest::PumpUntil([&] { return !m_manager->isBusy(); }, 60000));
    EXPECT_TRUE(m_manager->getCurrentSession()->isSucceeded());
}

// Burn starts a disc-burn session over the sheet's choices: the songs are
// burnt onto the simulated drive's blank disc (its image holds a track per
// song and the album title among its CD-Text), the choices are stored and the owner
// hears that the sheet was not cancelled; after the burn the sheet watches
// the drive again.
TEST_F(DiscBurnSheetTest, BurnsTheSongsOntoTheDisc)
{
    AddSongs(2);
    Open();
    StageInOwnFolder();
    ASSERT_TRUE(StateShows("CD-R (blank)"));
    m_sheet->getBurnParameter().setParameterText(Vextal::DiscBurnParameter::kAlbumTitle, "Sheet Album", true);
    for (int row = 0; row < m_sheet->getOptionTable().getNumRows(); ++row)
        EXPECT_TRUE(m_sheet->getOptionTable().getRow(row)->isVisible()) << row;

    Click(m_sheet->getBurnButton());
    EXPECT_FALSE(static_cast<bool>(m_sheet->getProperties()["cancelled"]));
    EXPECT_FALSE(m_sheet->isPolling());
    ASSERT_TRUE(uitest::PumpUntil([&] { return !m_manager->isBusy(); }, 60000));
    ASSERT_NE(m_manager->getCurrentSession(), nullptr);
    EXPECT_TRUE(m_manager->getCurrentSession()->isSucceeded());

    const juce::File cue((m_folder / "images" / "Disc 001.cue").string());
    ASSERT_TRUE(cue.existsAsFile());
    const juce::String sheet = cue.loadFileAsString();
    EXPECT_TRUE(sheet.contains("TRACK 01 AUDIO"));
    EXPECT_TRUE(sheet.contains("TRACK 02 AUDIO"));
    juce::MemoryBlock cdText;
    ASSERT_TRUE(juce::File((m_folder / "images" / "Disc 001.cdt").string()).loadFileAsData(cdText));
    const std::string packs(static_cast<const char*>(cdText.getData()), cdText.getSize());
    EXPECT_NE(packs.find("Sheet Album"), std::string::npos);
    EXPECT_TRUE(m_sheet->isPolling());
}

// Erase checks the disc first: without a disc it shows the reason as an
// error and starts nothing. With a used rewritable disc it asks, offering a
// quick erase (the stored choice); cancelled, nothing starts and the sheet
// goes on watching the drive. Confirmed with the quick erase unticked, a full
// erase starts and the choice is kept.
TEST_F(DiscBurnSheetTest, EraseChecksAndAsksFirst)
{
    Vextal::ScopedScriptedDialogs dialogs;
    Open();
    m_drive->SetMedium(0, Medium::None());
    ASSERT_TRUE(StateShows(Text("DiscBurn_NoDisc")));
    Click(m_sheet->getEraseButton());
    ASSERT_EQ(dialogs->getShownBoxes().size(), 1u);
    EXPECT_EQ(dialogs->getShownBoxes()[0].title, Text("Common_ErrorDialogTitle"));
    EXPECT_EQ(dialogs->getShownBoxes()[0].icon, juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ(m_manager->getCurrentSessionClass(), Vextal::ExportManager::kNoSession);

    m_drive->SetMedium(0, Medium::UsedCdRw());
    ASSERT_TRUE(StateShows("CD-RW (used)"));
    ASSERT_EQ(m_sheet->getBurnParameter().getEraseMode(), 0);
    dialogs->answerNextBox(0);
    Click(m_sheet->getEraseButton());
    ASSERT_EQ(dialogs->getShownBoxes().size(), 2u);
    const Vextal::DialogBox& confirm = dialogs->getShownBoxes()[1];
    EXPECT_EQ(confirm.title, Text("DiscErase_Title"));
    EXPECT_EQ(confirm.icon, juce::MessageBoxIconType::QuestionIcon);
    ASSERT_EQ(confirm.buttons.size(), 2u);
    EXPECT_EQ(confirm.buttons[1].text, Text("Button_Erase"));
    ASSERT_TRUE(confirm.checkBox.has_value());
    EXPECT_EQ(confirm.checkBox->text, Text("DiscErase_Quick"));
    EXPECT_TRUE(confirm.checkBox->ticked);
    EXPECT_EQ(m_manager->getCurrentSessionClass(), Vextal::ExportManager::kNoSession);
    EXPECT_EQ(m_drive->GetMedium(0).type, kDiscTypeCDRW);
    EXPECT_TRUE(m_sheet->isPolling());

    // The erase fails as it begins, so the test need not wait for it.
    m_drive->InjectFailure(CDiscBurnImpSimulated::kPointErasing, L"stopped by the test");
    dialogs->answerNextBox(1, false);
    Click(m_sheet->getEraseButton());
    EXPECT_EQ(dialogs->getShownBoxes().size(), 3u);
    EXPECT_EQ(m_sheet->getBurnParameter().getEraseMode(), 1);
    ASSERT_TRUE(uitest::PumpUntil([&] { return !m_manager->isBusy(); }, 60000));
    ASSERT_NE(m_manager->getCurrentSession(), nullptr);
    EXPECT_STREQ(m_manager->getCurrentSession()->getSessionNameKey(), Vextal::ExportSessionNames::kDiscErase);
    EXPECT_EQ(dialogs->getUnansweredCount(), 1) << "only the error box has no answer";
}

// The sheet over two drives that may not write the gaps as set, which the
// sheet warns about.
class DiscBurnSheetGapWarningTest : public DiscBurnSheetTest
{
protected:
    void SetUp() override
    {
        DiscBurnSheetTest::SetUp();
        std::vector<Drive> drives = {Drive::CdWriter("Gap CD-RW", Medium::BlankCdR()),
                                     Drive::CdWriter("Other Gap CD-RW", Medium::BlankCdR())};
        for (Drive& drive : drives)
            drive.canBurnGapless = false;
        m_gapBurner = std::make_unique<CAudioDiscBurnProxy>(
            std::make_unique<CAudioCDBurn>(std::make_unique<CDiscBurnImpSimulated>(
                Wide(m_folder / "gap"), drives, CDiscBurnImpSimulated::Options{})));
        ASSERT_EQ(m_gapBurner->GetInstance()->OpenDrive(0), 0);
        m_sheet = std::make_unique<DiscBurnSheet>("cancelled", m_host.get(), m_gapBurner.get());
        m_window.addChildComponent(*m_sheet);
    }

    std::unique_ptr<CAudioDiscBurnProxy> m_gapBurner;
};

// The warning shows as the sheet opens. A change of the drive or disc format
// shows it again, but only once the change's notice has returned: the choice
// of another drive returns first and the box follows from the message loop,
// once however many changes came before it. A sheet deleted before then
// shows nothing.
TEST_F(DiscBurnSheetGapWarningTest, WarnsAfterAChangeHasReturned)
{
    Vextal::ScopedScriptedDialogs dialogs;
    Open();
    ASSERT_EQ(dialogs->getShownBoxes().size(), 1u);
    const Vextal::DialogBox& warning = dialogs->getShownBoxes()[0];
    EXPECT_EQ(warning.message, Text("DiscBurn_AudioCdGapSettingsMayFail"));
    ASSERT_TRUE(warning.checkBox.has_value());
    EXPECT_EQ(warning.checkBox->text, Text("DiscBurn_AudioCdGapSettingsMayFail_CheckBox"));
    EXPECT_FALSE(warning.checkBox->ticked);

    juce::ComboBox& drives = m_sheet->getDriveBox();
    ASSERT_EQ(drives.getNumItems(), 2);
    ASSERT_EQ(drives.getSelectedItemIndex(), 0);
    drives.setSelectedItemIndex(1, juce::sendNotificationSync);
    EXPECT_EQ(m_sheet->getBurnParameter().getDriveIndex(), 1);
    m_sheet->exportParameterChanged(&m_sheet->getBurnParameter(), Vextal::DiscBurnParameter::kDiscFormat);
    EXPECT_EQ(dialogs->getShownBoxes().size(), 1u) << "no box while the changes were heard";
    ASSERT_TRUE(uitest::PumpUntil([&] { return dialogs->getShownBoxes().size() == 2u; }));
    ASSERT_TRUE(uitest::Drain());
    EXPECT_EQ(dialogs->getShownBoxes().size(), 2u);

    m_sheet->exportParameterChanged(&m_sheet->getBurnParameter(), Vextal::DiscBurnParameter::kDrive);
    uitest::HideSheetWindow(m_window, m_sheet.get());
    m_sheet.reset();
    ASSERT_TRUE(uitest::Drain());
    EXPECT_EQ(dialogs->getShownBoxes().size(), 2u);
}

// The sheet drawn open over the blank disc, in each language.
TEST_P(DiscBurnSheetDrawing, DrawsTheSheet)
{
    Open();
    ASSERT_TRUE(StateShows("CD-R" + Text("DiscBurn_Disc_Blank")));
    const juce::Image drawn = uitest::Snapshot(*m_sheet);
    EXPECT_TRUE(uitest::IsDrawn(drawn));
    uitest::SavePng(drawn, juce::String("DiscBurnSheet_") + GetParam());
}

INSTANTIATE_TEST_SUITE_P(Languages, DiscBurnSheetDrawing, testing::ValuesIn(uitest::kInterfaceLanguages));
} // namespace
