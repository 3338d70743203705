#include "src/jucer_components/PreferencesSheet.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/jucer_components/AudioPreferenceTab.h"
#include "src/jucer_components/OthersPreferenceTab.h"

namespace Vextal
{
PreferencesSheet::PreferencesSheet(CVXAudioDeviceManager& devices, CVXHost& host)
    : m_tabs(juce::TabbedButtonBar::TabsAtTop), m_audioTab(new AudioPreferenceTab(devices, host)),
      m_othersTab(new OthersPreferenceTab())
{
    m_tabs.setTabBarDepth(30);
    m_tabs.addTab(CZJEResource::GetText("Pref_Tab_AudioDevice"), juce::Colours::white, m_audioTab, true);
    m_tabs.addTab(CZJEResource::GetText("Pref_Tab_Others"), juce::Colours::white, m_othersTab, true);
    m_tabs.setCurrentTabIndex(0, false);
    m_ok.setButtonText(CZJEResource::GetText("Button_Ok"));
    m_cancel.setButtonText(CZJEResource::GetText("Button_Cancel"));
    for (juce::Button* b : {&m_ok, &m_cancel})
    {
        b->addListener(this);
        addAndMakeVisible(b);
    }
    addAndMakeVisible(m_tabs);
    setSize(kWidth, kHeight);
}

PreferencesSheet::~PreferencesSheet()
{
    m_tabs.clearTabs();
}

void PreferencesSheet::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colour(kBackgroundColour));
}

void PreferencesSheet::resized()
{
    m_tabs.setBounds(16, 16, 288, 304);
    m_ok.setBounds(208, 336, 96, 24);
    m_cancel.setBounds(16, 336, 96, 24);
}

void PreferencesSheet::DoBeforeOpen()
{
    m_audioTab->initialize();
    m_othersTab->initialize();
    m_ok.addShortcut(juce::KeyPress(',', juce::ModifierKeys::commandModifier, 0));
    m_cancel.addShortcut(juce::KeyPress(juce::KeyPress::escapeKey));
}

void PreferencesSheet::DoBeforeClose()
{
    m_ok.clearShortcuts();
    m_cancel.clearShortcuts();
}

void PreferencesSheet::buttonClicked(juce::Button* button)
{
    if (button == &m_ok)
    {
        m_audioTab->ok();
        m_othersTab->ok();
        Close();
    }
    else if (button == &m_cancel)
    {
        m_audioTab->cancel();
        m_othersTab->cancel();
        Close();
    }
}
} // namespace Vextal
