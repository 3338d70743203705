#pragma once

#include "library/zfc/CZfcSheet.h"

#include <juce_gui_basics/juce_gui_basics.h>

class CVXAudioDeviceManager;
class CVXHost;

namespace Vextal
{
class AudioPreferenceTab;
class OthersPreferenceTab;

// The modal sheet of the Preferences command: the audio-device tab and the
// other-preferences tab, with OK and Cancel. Every opening fills both tabs
// from the stored preferences and the device manager; OK keeps and stores
// what the tabs changed, Cancel takes the audio device back to the settings
// stored when the sheet opened (a temporary folder changed and cancelled is
// simply not stored).
//
// The main content makes it once and sets the folder chooser's title
// (CVXLookAndFeel::setFilenameComponentDialogMessage) before each opening.
//
// Message thread only.
class PreferencesSheet : public CZfcSheet, public juce::Button::Listener
{
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 376;
    static constexpr juce::uint32 kBackgroundColour = 0xC0FFFFFF;

    // Over the device manager, stopping host's player when the device does
    // not run after OK or Cancel; both are borrowed and outlive the sheet.
    PreferencesSheet(CVXAudioDeviceManager& devices, CVXHost& host);
    ~PreferencesSheet() override;

    juce::TabbedComponent& getTabs() { return m_tabs; }
    AudioPreferenceTab& getAudioTab() { return *m_audioTab; }
    OthersPreferenceTab& getOthersTab() { return *m_othersTab; }
    juce::TextButton& getOkButton() { return m_ok; }
    juce::TextButton& getCancelButton() { return m_cancel; }

    void paint(juce::Graphics& g) override;
    void resized() override;
    void buttonClicked(juce::Button* button) override;

protected:
    void DoBeforeOpen() override;
    void DoBeforeClose() override;

private:
    juce::TabbedComponent m_tabs;
    // Owned by the tabbed component.
    AudioPreferenceTab* m_audioTab;
    OthersPreferenceTab* m_othersTab;
    juce::TextButton m_ok;
    juce::TextButton m_cancel;

    JUCE_DECLARE_NON_COPYABLE(PreferencesSheet)
};
} // namespace Vextal
