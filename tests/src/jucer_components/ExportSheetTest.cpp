#include "src/jucer_components/ExportSheet.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/Output/ExportParameter/ExportParameterDialog.h"
#include "src/Output/ExportParameter/ExportParameterDisplay.h"
#include "src/songlist/CVXPreferences.h"
#include "src/songlist/Output/ExportManager.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"
#include "tests/src/SheetTestSupport.h"
#include "tests/support/HostTestSupport.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>
#include <optional>

using namespace hosttest;
using uitest::Choose;
using Vextal::CommonExportParameter;
using Vextal::ExportSheet;
using Vextal::FileExportParameter;

namespace
{
constexpr const char* kCancelProperty = "isCancelled";

// A session that keeps the export manager busy until the test ends it.
class BusySession : public Vextal::ExportSession
{
public:
    const char* getSessionNameKey() override { return Vextal::ExportSessionNames::kFileExport; }
    bool start() override
    {
        notifyStart();
        return true;
    }
    void cancel() override {}
    using ExportSession::notifyEnd;
};

// A host with songs, the export manager, the application's preferences and
// the sheet in a window, in the interface language given.
class ExportSheetTest : public HostTest
{
protected:
    void SetUp() override { SetUpIn("en"); }
    void SetUpIn(const char* language)
    {
        HostTest::SetUp();
        m_ui.emplace(language);
        // The application's preferences, in a folder of this test.
        m_config.emplace("XDG_CONFIG_HOME", Folder("config").getFullPathName());
        CZfcSingleton<CVXPreferences>::CreateInstance();
        MakeSheet();
        uitest::ShowSheetWindow(m_window, *m_sheet, 480, 460);
    }
    void TearDown() override
    {
        uitest::HideSheetWindow(m_window, m_sheet.get());
        m_sheet.reset();
        Vextal::ExportManager::GetInstance()->cancel();
        CZfcSingleton<CVXPreferences>::DestroyInstance();
        m_config.reset();
        m_ui.reset();
        HostTest::TearDown();
    }
    void MakeSheet()
    {
        m_sheet = std::make_unique<ExportSheet>(kCancelProperty, m_host.get());
        m_window.addChildComponent(*m_sheet);
    }

    void Open() { uitest::OpenSheet(*m_sheet); }
    // A click on a control of the open sheet, as the mouse makes it.
    void Click(juce::Component& control) { uitest::ClickControl(m_window, control); }
    // The user's choice of a folder in the destination chooser.
    void ChooseFolder(const juce::File& folder)
    {
        m_sheet->getDestination().setCurrentFile(folder, true, juce::sendNotificationSync);
    }
    juce::File Folder(const std::string& name)
    {
        const juce::File folder((m_folder / name).string());
        folder.createDirectory();
        return folder;
    }
    static CZadPreferences& Store() { return *CZfcSingleton<CVXPreferences>::GetInstance(); }
    juce::var Cancelled() const { return m_sheet->getProperties()[kCancelProperty]; }

    std::optional<uitest::ScopedInterface> m_ui;
    std::optional<uitest::ScopedEnvironment> m_config;
    std::unique_ptr<ExportSheet> m_sheet;
    juce::Component m_window;
};

using ExportSheetDrawing = uitest::InEachLanguage<ExportSheetTest>;
} // namespace

// The bit-depth row shows for the uncompressed formats and the bit-rate row,
// in the same place, for the compressed ones; the row the format brings
// back flashes, as does an enabled combo box the parameters change.
TEST_F(ExportSheetTest, BitDepthAndBitRateRowsSwapWithTheFormat)
{
    Open();
    ExportSheet& s = *m_sheet;
    EXPECT_EQ(s.getBitDepthBox().getBounds(), s.getBitRateBox().getBounds());
    EXPECT_EQ(s.getBitDepthCaption().getBounds(), s.getBitRateCaption().getBounds());
    struct Step
    {
        const char* format;
        bool bitRateShown;
    };
    for (const Step& step : {Step{"AAC", true}, Step{"WAV", false}, Step{"AAC", true}, Step{"AIFF", false}})
    {
        SCOPED_TRACE(step.format);
        const int depthChildren = s.getBitDepthBox().getNumChildComponents();
        Choose(s.getFormatBox(), step.format);
        EXPECT_EQ(s.getBitRateBox().isVisible(), step.bitRateShown);
        EXPECT_EQ(s.getBitRateCaption().isVisible(), step.bitRateShown);
        EXPECT_EQ(s.getBitDepthBox().isVisible(), !step.bitRateShown);
        EXPECT_EQ(s.getBitDepthCaption().isVisible(), !step.bitRateShown);
        EXPECT_EQ(s.getBitRateBox().isEnabled(), step.bitRateShown);
        if (step.bitRateShown)
        {
            EXPECT_GT(s.getBitRateBox().getNumItems(), 0);
        }
        else
        {
            // Coming back from AAC: the bit-depth box carries the flash's
            // fading picture.
            EXPECT_EQ(s.getBitDepthBox().getNumChildComponents(), depthChildren + 1);
        }
    }
}

// The option table shows the normalization only; Edit opens the option
// dialog, whose Cancel puts the previous choice back, and whose OK keeps the
// new one.
TEST_F(ExportSheetTest, OptionDialogCancelRestoresTheNormalization)
{
    Open();
    CommonExportParameter& common = m_sheet->getCommonParameter();
    Vextal::ExportParameterDisplay& table = m_sheet->getOptionTable();
    EXPECT_EQ(table.getHeight(), 16);
    EXPECT_EQ(table.getNumChildComponents(), 1);
    EXPECT_EQ(table.getRow(1)->getParentComponent(), &table);

    for (const juce::String& button :
         {CZJEResource::GetText("Button_Cancel"), CZJEResource::GetText("Button_Ok")})
    {
        SCOPED_TRACE(button);
        uitest::ModalDriver driver({[&]
                                    {
                                        auto* dialog = uitest::ModalOfType<Vextal::ExportParameterDialog>();
                                        if (dialog == nullptr)
                                            return false;
                                        auto* box = uitest::FindComponent<juce::ComboBox>(dialog);
                                        if (box == nullptr)
                                            return false;
                                        box->setSelectedItemIndex(2, juce::sendNotificationSync);
                                        return true;
                                    },
                                    [&]
                                    {
                                        EXPECT_EQ(
                                            table.getValueLabel(1)->getText(),
                                            common.getParameterText(CommonExportParameter::kNormalizeMode));
                                        auto* dialog = uitest::ModalOfType<Vextal::ExportParameterDialog>();
                                        juce::Button* b = uitest::FindButton(dialog, button);
                                        if (b == nullptr)
                                            return false;
                                        b->triggerClick();
                                        return true;
                                    }});
        Click(m_sheet->getEditButton());
        ASSERT_TRUE(uitest::PumpUntil([&] { return driver.succeeded(); }));
        uitest::Pump(50);
        const bool cancelled = button == CZJEResource::GetText("Button_Cancel");
        EXPECT_EQ(common.getParameterValue(CommonExportParameter::kNormalizeMode), cancelled ? 0 : 2);
        EXPECT_EQ(table.getValueLabel(1)->getText(),
                  common.getParameterText(CommonExportParameter::kNormalizeMode));
        EXPECT_EQ(table.getNumChildComponents(), 1);
    }
}

// Cancel closes the sheet and says so through the property; the choices
// made are not kept: the next opening shows the stored preferences (or the
// defaults where nothing is stored). The shortcuts of OK and Cancel hold
// while the sheet is open.
TEST_F(ExportSheetTest, CancelledChoicesAreNotKept)
{
    const juce::KeyPress okKey('e', juce::ModifierKeys::ctrlModifier | juce::ModifierKeys::shiftModifier, 0);
    const juce::KeyPress escape(juce::KeyPress::escapeKey);
    Store().WriteInteger("Export_File_SampleRate", 48000);
    Open();
    ExportSheet& s = *m_sheet;
    EXPECT_TRUE(s.getOkButton().isRegisteredForShortcut(okKey));
    EXPECT_TRUE(s.getCancelButton().isRegisteredForShortcut(escape));
    EXPECT_EQ(s.getFileParameter().getSampleRate(), 48000u);
    Choose(s.getFormatBox(), "AIFF");
    Choose(s.getSampleRateBox(), s.getSampleRateBox().getItemText(3));
    Click(s.getCancelButton());
    ASSERT_TRUE(uitest::PumpUntil([&] { return s.GetState() == CZfcSheet::kClosed; }));
    EXPECT_TRUE(static_cast<bool>(Cancelled()));
    EXPECT_EQ(Store().ReadInteger("Export_File_Format", -1), -1);
    EXPECT_FALSE(s.getOkButton().isRegisteredForShortcut(okKey));
    EXPECT_FALSE(s.getCancelButton().isRegisteredForShortcut(escape));

    Open();
    EXPECT_EQ(s.getFormatBox().getText(), "WAV");
    EXPECT_EQ(s.getFileParameter().getSampleRate(), 48000u);
    EXPECT_EQ(s.getSampleRateBox().getSelectedItemIndex(), 1);
}

// OK while another session runs: the manager refuses, nothing is stored,
// the property keeps its value and the sheet stays open.
TEST_F(ExportSheetTest, OkWhileBusyWritesNothing)
{
    AddSongs(1);
    auto* manager = Vextal::ExportManager::GetInstance();
    auto busy = std::make_unique<BusySession>();
    BusySession* running = busy.get();
    std::unique_ptr<Vextal::ExportSession> session = std::move(busy);
    ASSERT_TRUE(manager->start(session));

    m_sheet->getProperties().set(kCancelProperty, true);
    Open();
    const juce::File out = Folder("out");
    ChooseFolder(out);
    Click(m_sheet->getOkButton());
    EXPECT_EQ(manager->getCurrentSession(), running);
    EXPECT_EQ(Store().ReadInteger("Export_File_Format", -1), -1);
    EXPECT_FALSE(Store().ReadString("Export_File_OutputPath").has_value());
    EXPECT_TRUE(static_cast<bool>(Cancelled()));
    EXPECT_EQ(m_sheet->GetState(), CZfcSheet::kOpen);
    EXPECT_EQ(out.getNumberOfChildFiles(juce::File::findFiles), 0);
    running->notifyEnd(false);
}

// OK starts a file export with the sheet's choices: the files are written
// in the chosen folder at the chosen rate and depth, the choices and the
// folder history are stored, and the property says the sheet was not
// cancelled.
TEST_F(ExportSheetTest, OkExportsTheSongsWithTheChosenSettings)
{
    AddSongs(2);
    m_sheet->getProperties().set(kCancelProperty, true);
    Open();
    ExportSheet& s = *m_sheet;
    const juce::File out = Folder("exported");
    ChooseFolder(out);
    Choose(s.getFormatBox(), "WAV");
    Choose(s.getSampleRateBox(), s.getSampleRateBox().getItemText(1));
    Choose(s.getBitDepthBox(), "24 bit");
    Click(s.getOkButton());
    auto* manager = Vextal::ExportManager::GetInstance();
    ASSERT_NE(manager->getCurrentSession(), nullptr);
    ASSERT_TRUE(uitest::PumpUntil([&] { return !manager->isBusy(); }, 30000));
    EXPECT_FALSE(static_cast<bool>(Cancelled()));
    EXPECT_EQ(Store().ReadInteger("Export_File_SampleRate", -1), 48000);
    EXPECT_EQ(Store().ReadInteger("Export_File_BitDepth", -1), 24);
    EXPECT_EQ(Store().ReadString("Export_File_OutputPath").value_or(""), out.getFullPathName());
    EXPECT_EQ(Store().ReadString("Export_File_OutputPath_0").value_or(""), out.getFullPathName());

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    for (const char* name : {"s0.wav", "s1.wav"})
    {
        SCOPED_TRACE(name);
        std::unique_ptr<juce::AudioFormatReader> reader(formats.createReaderFor(out.getChildFile(name)));
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->sampleRate, 48000.0);
        EXPECT_EQ(reader->bitsPerSample, 24u);
        EXPECT_EQ(reader->numChannels, 2u);
        EXPECT_GT(reader->lengthInSamples, 0);
    }
    EXPECT_EQ(out.getNumberOfChildFiles(juce::File::findFiles), 2);
}

// The sheet drawn open, in each language, once with the bit depth and once
// with the bit rate.
TEST_P(ExportSheetDrawing, DrawsTheSheet)
{
    Open();
    for (const char* format : {"WAV", "AAC"})
    {
        Choose(m_sheet->getFormatBox(), format);
        uitest::Pump(600);
        const juce::Image drawn = uitest::Snapshot(*m_sheet);
        EXPECT_TRUE(uitest::IsDrawn(drawn));
        uitest::SavePng(drawn, juce::String("ExportSheet_") + format + "_" + GetParam());
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, ExportSheetDrawing, testing::ValuesIn(uitest::kInterfaceLanguages));
