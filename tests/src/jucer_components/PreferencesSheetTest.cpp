#include "src/jucer_components/PreferencesSheet.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/jucer_components/AudioPreferenceTab.h"
#include "src/jucer_components/OthersPreferenceTab.h"
#include "src/songlist/CVXPreferences.h"
#include "src/songlist/ScriptedDialogPresenter.h"
#include "tests/src/ModalDriver.h"
#include "tests/src/ScopedInterface.h"
#include "tests/src/SheetTestSupport.h"
#include "tests/support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace hosttest;
using uitest::Choose;
using Vextal::AudioPreferenceTab;
using Vextal::CommonExportParameter;
using Vextal::OthersPreferenceTab;
using Vextal::PreferencesSheet;

namespace
{
using Preferences = CZfcSingleton<CVXPreferences>;

CNullAudioIODeviceType::DeviceSpec Spec(const juce::String& name, juce::Array<double> rates = {})
{
    CNullAudioIODeviceType::DeviceSpec spec = CNullAudioIODeviceType::DefaultDeviceSpec();
    spec.name = name;
    if (!rates.isEmpty())
        spec.sampleRates = rates;
    return spec;
}

// A host whose device manager lists three null devices (the second offers
// 48000 and 96000 Hz only, the third may be made to fail), the application's
// preferences store, and the sheet in a window, in the interface language
// given.
class PreferencesSheetTest : public HostTest
{
protected:
    void SetUp() override { SetUpIn("en"); }
    void SetUpIn(const char* language)
    {
        HostTest::SetUp();
        m_host.reset();
        CVXAudioDeviceManager::Setup setup;
        auto type = std::make_unique<CNullAudioIODeviceType>(std::vector<CNullAudioIODeviceType::DeviceSpec>{
            Spec(CNullAudioIODeviceType::kDeviceName), Spec("Studio Output", {48000.0, 96000.0}),
            Spec("Busy Output")});
        m_control = type->GetControl();
        m_control->SetManualPump(true);
        setup.deviceTypes.push_back(std::move(type));
        m_devices = std::make_unique<CVXAudioDeviceManager>(std::move(setup));
        ASSERT_EQ(m_devices->Open(CNullAudioIODeviceType::kDeviceName, 44100.0, 0, 512, false), "");
        MakeHost();
        m_store = Preferences::CreateInstance();
        m_ui.emplace(language);
        m_sheet = std::make_unique<PreferencesSheet>(*m_devices, *m_host);
        uitest::ShowSheetWindow(m_window, *m_sheet, 400, 420);
    }
    void TearDown() override
    {
        uitest::HideSheetWindow(m_window, m_sheet.get());
        m_sheet.reset();
        m_ui.reset();
        Preferences::DestroyInstance();
        HostTest::TearDown();
    }

    void Open() { uitest::OpenSheet(*m_sheet); }
    void Press(juce::Button& button)
    {
        button.triggerClick();
        ASSERT_TRUE(uitest::PumpUntil([&] { return m_sheet->GetState() == CZfcSheet::kClosed; }));
    }
    AudioPreferenceTab& Tab() { return m_sheet->getAudioTab(); }
    int Buffer() const { return m_devices->GetCurrentDevice()->getCurrentBufferSizeSamples(); }
    double Rate() const { return m_devices->GetCurrentDevice()->getCurrentSampleRate(); }
    juce::String Samples(int n) const
    {
        return juce::String(n) + " " + CZJEResource::GetText("Pref_Samples");
    }

    CVXPreferences* m_store = nullptr;
    std::optional<uitest::ScopedInterface> m_ui;
    std::unique_ptr<PreferencesSheet> m_sheet;
    juce::Component m_window;
};

using PreferencesSheetDrawing = uitest::InEachLanguage<PreferencesSheetTest>;
} // namespace

// The latency is the buffer over the rate, in milliseconds with one decimal;
// a device opens at 44100 Hz when it offers it, else at its nearest rate.
TEST(AudioPreferenceTabValues, LatencyAndRateChoice)
{
    EXPECT_TRUE(AudioPreferenceTab::latencyText(512, 44100.0).endsWith(" : 11.6 ms"));
    EXPECT_TRUE(AudioPreferenceTab::latencyText(256, 96000.0).endsWith(" : 2.7 ms"));
    EXPECT_TRUE(AudioPreferenceTab::latencyText(512, 0.0).endsWith(" : 0.0 ms"));
    EXPECT_EQ(AudioPreferenceTab::chooseRate({44100.0, 48000.0}, 44100.0), 44100.0);
    EXPECT_EQ(AudioPreferenceTab::chooseRate({48000.0, 96000.0}, 44100.0), 48000.0);
    EXPECT_EQ(AudioPreferenceTab::chooseRate({88200.0, 96000.0}, 44100.0), 88200.0);
    EXPECT_EQ(AudioPreferenceTab::chooseRate({}, 44100.0), 44100.0);
}

// The tab shows the running device: rate, buffer, latency and output pair;
// a null device has no control panel.
TEST_F(PreferencesSheetTest, ShowsTheRunningDevice)
{
    ASSERT_EQ(m_devices->Open(CNullAudioIODeviceType::kDeviceName, 96000.0, 1, 256, false), "");
    Open();
    EXPECT_EQ(Tab().getDeviceBox().getText(), CNullAudioIODeviceType::kDeviceName);
    EXPECT_EQ(Tab().getDriverTypeBox().getText(), CNullAudioIODeviceType::kTypeName);
    EXPECT_EQ(Tab().getSampleRateBox().getText(), "96.0 kHz");
    EXPECT_EQ(Tab().getSampleRateBox().getNumItems(), 4);
    EXPECT_EQ(Tab().getBufferSizeBox().getText(), Samples(256));
    EXPECT_EQ(Tab().getLatencyLabel().getText(), CZJEResource::GetText("Pref_Latency") + " : 2.7 ms");
    EXPECT_EQ(Tab().getOutputPairBox().getSelectedId(), 2);
    EXPECT_FALSE(Tab().getControlPanelButton().isVisible());

    Choose(Tab().getSampleRateBox(), "44.1 kHz");
    Choose(Tab().getBufferSizeBox(), Samples(512));
    EXPECT_EQ(Rate(), 44100.0);
    EXPECT_EQ(Buffer(), 512);
    EXPECT_EQ(Tab().getLatencyLabel().getText(), CZJEResource::GetText("Pref_Latency") + " : 11.6 ms");
}

// "--" closes the device and disables and empties its boxes; a device chosen
// then opens at 44100 Hz even after one ran at 48000 Hz, or at the rate
// nearest to it when it does not offer 44100 Hz.
TEST_F(PreferencesSheetTest, ChoosingDevices)
{
    ASSERT_EQ(m_devices->Open(CNullAudioIODeviceType::kDeviceName, 48000.0, 0, 512, false), "");
    Open();
    Choose(Tab().getDeviceBox(), "--");
    EXPECT_EQ(m_devices->GetCurrentDevice(), nullptr);
    for (juce::ComboBox* box :
         {&Tab().getSampleRateBox(), &Tab().getBufferSizeBox(), &Tab().getOutputPairBox()})
    {
        EXPECT_FALSE(box->isEnabled());
        EXPECT_EQ(box->getText(), "");
    }
    EXPECT_FALSE(Tab().getLatencyLabel().isVisible());

    Choose(Tab().getDeviceBox(), CNullAudioIODeviceType::kDeviceName);
    ASSERT_NE(m_devices->GetCurrentDevice(), nullptr);
    EXPECT_EQ(Rate(), 44100.0);
    EXPECT_TRUE(Tab().getSampleRateBox().isEnabled());
    EXPECT_TRUE(Tab().getLatencyLabel().isVisible());

    Choose(Tab().getDeviceBox(), "Studio Output");
    EXPECT_EQ(m_devices->GetCurDeviceName(), "Studio Output");
    EXPECT_EQ(Rate(), 48000.0);
    EXPECT_EQ(Tab().getSampleRateBox().getText(), "48.0 kHz");
}

// A device that cannot be opened is reported to the user with its error; the
// tab then shows the device the manager went back to.
TEST_F(PreferencesSheetTest, AFailedDeviceIsReported)
{
    Vextal::ScopedScriptedDialogs dialogs;
    m_control->SetOpenError("Busy Output", "Device is busy.");
    Open();
    Choose(Tab().getDeviceBox(), "Busy Output");
    ASSERT_EQ(dialogs->getShownBoxes().size(), 1u);
    EXPECT_EQ(dialogs->getShownBoxes()[0].message, CZJEResource::GetText("Pref_DeviceError"));
    EXPECT_EQ(dialogs->getShownBoxes()[0].detail, "Device is busy.");
    EXPECT_EQ(m_devices->GetCurDeviceName(), CNullAudioIODeviceType::kDeviceName);
    EXPECT_EQ(Tab().getDeviceBox().getText(), CNullAudioIODeviceType::kDeviceName);

    // A change that works says nothing.
    Choose(Tab().getBufferSizeBox(), Samples(1024));
    EXPECT_EQ(dialogs->getShownBoxes().size(), 1u);
}

// Cancel brings back the settings stored when the sheet opened; OK stores
// the new ones.
TEST_F(PreferencesSheetTest, CancelRestoresAndOkStoresTheDevice)
{
    Open();
    Choose(Tab().getBufferSizeBox(), Samples(1024));
    Choose(Tab().getSampleRateBox(), "96.0 kHz");
    EXPECT_EQ(Rate(), 96000.0);
    Press(m_sheet->getCancelButton());
    EXPECT_EQ(Buffer(), 512);
    EXPECT_EQ(Rate(), 44100.0);
    EXPECT_TRUE(m_devices->IsRunning());

    Open();
    Choose(Tab().getBufferSizeBox(), Samples(2048));
    Press(m_sheet->getOkButton());
    EXPECT_EQ(Buffer(), 2048);
    EXPECT_EQ(m_store->ReadInteger(CVXAudioDeviceManager::kBufferSizeKey, 0), 2048);

    // Cancel with the device closed: the stored device runs again.
    Open();
    Choose(Tab().getDeviceBox(), "--");
    Press(m_sheet->getCancelButton());
    ASSERT_NE(m_devices->GetCurrentDevice(), nullptr);
    EXPECT_EQ(Buffer(), 2048);
}

// The temporary folder is stored only by OK, with the recently chosen
// folders; Reset clears the hidden burn warnings at once, Cancel or not.
TEST_F(PreferencesSheetTest, OthersTabStoresTheFolderOnlyOnOk)
{
    const juce::File stored(juce::String((m_folder / "stored").string()));
    const juce::File other(juce::String((m_folder / "other").string()));
    ASSERT_TRUE(stored.createDirectory());
    ASSERT_TRUE(other.createDirectory());
    OthersPreferenceTab& tab = m_sheet->getOthersTab();

    Open();
    tab.getFolderChooser().setCurrentFile(stored, true, juce::sendNotificationSync);
    Press(m_sheet->getOkButton());
    CommonExportParameter read([] { return false; });
    read.readPreferences();
    EXPECT_EQ(read.getParameterText(CommonExportParameter::kTempDirectory), stored.getFullPathName());
    EXPECT_TRUE(read.tempDirectoryHistory.contains(stored.getFullPathName()));

    m_store->WriteInteger(OthersPreferenceTab::kNumDrivesHidingWarningsKey, 3);
    Open();
    tab.getFolderChooser().setCurrentFile(other, true, juce::sendNotificationSync);
    EXPECT_EQ(tab.getParameter().getParameterText(CommonExportParameter::kTempDirectory),
              other.getFullPathName());
    tab.getResetButton().triggerClick();
    uitest::Pump(20);
    Press(m_sheet->getCancelButton());
    EXPECT_EQ(m_store->ReadInteger(OthersPreferenceTab::kNumDrivesHidingWarningsKey, -1), 0);

    Open();
    EXPECT_EQ(tab.getFolderChooser().getCurrentFile(), stored);
    EXPECT_TRUE(tab.getFolderChooser().getRecentlyUsedFilenames().contains(stored.getFullPathName()));
}

// The sheet drawn open at each tab, in each language.
TEST_P(PreferencesSheetDrawing, DrawsTheSheet)
{
    Open();
    for (int tab = 0; tab < 2; ++tab)
    {
        m_sheet->getTabs().setCurrentTabIndex(tab);
        uitest::Pump(20);
        const juce::Image drawn = uitest::Snapshot(*m_sheet);
        EXPECT_TRUE(uitest::IsDrawn(drawn));
        uitest::SavePng(drawn,
                        juce::String("PreferencesSheet_") + (tab == 0 ? "Audio_" : "Others_") + GetParam());
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, PreferencesSheetDrawing, testing::ValuesIn(uitest::kInterfaceLanguages));
