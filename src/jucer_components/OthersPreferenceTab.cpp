#include "src/jucer_components/OthersPreferenceTab.h"
#include "src/Output/ExportParameter/ExportParameterComponentBinder.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/CVXLookAndFeel.h"
#include "src/songlist/CVXPreferences.h"

namespace Vextal
{
namespace
{
constexpr float kLabelFontHeight = 15.0f;

void SetupLabel(juce::Label& label, const char* key)
{
    label.setText(CZJEResource::GetText(key), juce::dontSendNotification);
    label.setFont(juce::Font(kLabelFontHeight, juce::Font::plain));
    label.setJustificationType(juce::Justification::centredLeft);
    label.setEditable(false, false, false);
    label.setColour(juce::Label::textColourId, juce::Colours::black);
    label.setColour(juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    if (const CVXLookAndFeel* look = CZJESingleton<CVXLookAndFeel>::GetInstance())
        look->applyLocalUIFontToLabel(label);
}
} // namespace

OthersPreferenceTab::OthersPreferenceTab()
    : m_folder("TempFolder", juce::File(), true, true, false, {}, {}, {}),
      m_folderLook(&m_folder, CVXLookAndFeel::kFontLocalText)
{
    SetupLabel(m_folderCaption, "Pref_TempFolder");
    SetupLabel(m_resetCaption, "Pref_ResetWarnings");
    m_folder.setLookAndFeel(&m_folderLook);
    m_reset.setButtonText(CZJEResource::GetText("Button_Reset"));
    m_reset.addListener(this);
    for (juce::Component* c :
         std::initializer_list<juce::Component*>{&m_folderCaption, &m_folder, &m_resetCaption, &m_reset})
        addAndMakeVisible(c);
    bindComponent(m_parameter, CommonExportParameter::kTempDirectory, &m_folder);
    setSize(kWidth, kHeight);
}

OthersPreferenceTab::~OthersPreferenceTab()
{
    m_parameter.unbindComponent(&m_folder);
    m_folder.setLookAndFeel(nullptr);
}

void OthersPreferenceTab::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colours::white);
}

void OthersPreferenceTab::resized()
{
    m_folderCaption.setBounds(8, 8, 272, 24);
    m_folder.setBounds(8, 32, 272, 24);
    m_resetCaption.setBounds(8, 64, 272, 24);
    m_reset.setBounds(184, 88, 96, 24);
}

void OthersPreferenceTab::initialize()
{
    // A folder the user changed without storing it must not survive as the
    // shown value when nothing is stored: start from the defaults.
    m_parameter.copyValue(CommonExportParameter([] { return false; }));
    m_parameter.readPreferences();
    m_parameter.updateBoundComponent(CommonExportParameter::kTempDirectory);
    m_folder.setRecentlyUsedFilenames(m_parameter.tempDirectoryHistory);
}

void OthersPreferenceTab::ok()
{
    m_parameter.tempDirectoryHistory = m_folder.getRecentlyUsedFilenames();
    m_parameter.writePreferences();
}

void OthersPreferenceTab::clearDrivesWhichHidesWarnings()
{
    CVXPreferences* store = CZfcSingleton<CVXPreferences>::GetInstance();
    if (store == nullptr || !store->IsOpen())
        return;
    store->WriteInteger(kNumDrivesHidingWarningsKey, 0);
    store->Synchronize();
}

void OthersPreferenceTab::buttonClicked(juce::Button* button)
{
    if (button == &m_reset)
        clearDrivesWhichHidesWarnings();
}
} // namespace Vextal
