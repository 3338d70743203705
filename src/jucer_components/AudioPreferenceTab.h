#pragma once

#include "src/ComboBoxLookAndFeel.h"
#include "src/songlist/CVXAudioDeviceManager.h"

#include <juce_gui_basics/juce_gui_basics.h>

class CVXHost;

namespace Vextal
{
// The audio-device tab of the preferences sheet: the driver type, the output
// device, the output channel pair, the sample rate and the buffer size of the
// device manager, the resulting latency, and a button that opens the
// device's own control panel. Every choice is applied to the device at once
// (a change the device refuses is reported to the user in a message box and
// the tab shows what the manager reports afterwards); initialize() takes a
// snapshot of the running settings into the preferences, ok() keeps the
// current ones there and cancel() goes back to the snapshot.
//
// A device chosen from the list opens at 44100 Hz when it offers that rate,
// else at the offered rate nearest to it.
//
// Message thread only; the manager's notices redraw the tab.
class AudioPreferenceTab : public juce::Component,
                           public CVXAudioDeviceManagerListener,
                           public juce::ComboBox::Listener,
                           public juce::Button::Listener
{
public:
    static constexpr int kWidth = 288;
    static constexpr int kHeight = 272;
    static constexpr double kPreferredRate = 44100.0;

    // Over the device manager, stopping host's player when the device does
    // not run; both are borrowed and outlive the tab.
    AudioPreferenceTab(CVXAudioDeviceManager& devices, CVXHost& host);
    ~AudioPreferenceTab() override;

    // The rate to open a device with: preferred when the device offers it
    // (or offers no list), else the offered rate nearest to it.
    static double chooseRate(const juce::Array<double>& offered, double preferred);
    // "<Pref_Latency> : 11.6 ms" for a buffer of samples at rate.
    static juce::String latencyText(int bufferSize, double rate);

    // Stores the running settings as the state cancel() returns to, then
    // shows them.
    void initialize();
    // Stores the current settings; a device that does not run is restarted,
    // and when that fails the player stops.
    void ok();
    // Reopens the stored settings; when no device runs then, the player stops.
    void cancel();

    juce::ComboBox& getDriverTypeBox() { return m_driverType; }
    juce::ComboBox& getDeviceBox() { return m_device; }
    juce::ComboBox& getOutputPairBox() { return m_outputPair; }
    juce::ComboBox& getSampleRateBox() { return m_sampleRate; }
    juce::ComboBox& getBufferSizeBox() { return m_bufferSize; }
    juce::TextButton& getControlPanelButton() { return m_controlPanel; }
    juce::Label& getLatencyLabel() { return m_latency; }

    void paint(juce::Graphics& g) override;
    void resized() override;
    void buttonClicked(juce::Button* button) override;
    void comboBoxChanged(juce::ComboBox* box) override;

    void OnVXAudioDeviceDriverTypeChanged(CVXAudioDeviceManager*, int) override;
    void OnVXAudioDeviceCurDeviceChanged(CVXAudioDeviceManager*, int) override;
    void OnVXAudioDeviceAboutToStart(CVXAudioDeviceManager*, double, int) override;

private:
    // Shows the manager's state; rebuildDeviceList fills the device list anew.
    void refresh(bool rebuildDeviceList);
    void refreshParameterItems();
    void refreshParameters();
    // Tells the user that a change of the device failed, with the error.
    void reportError(const juce::String& error);
    void stopPlayer();
    bool deviceRuns() const;
    juce::Array<double> openDeviceRates() const;

    CVXAudioDeviceManager& m_devices;
    CVXHost& m_host;

    juce::Label m_driverTypeCaption;
    juce::ComboBox m_driverType;
    juce::Label m_deviceCaption;
    juce::TextButton m_controlPanel;
    juce::ComboBox m_device;
    juce::Label m_channelsCaption;
    juce::ComboBox m_outputPair;
    juce::Label m_sampleRateCaption;
    juce::ComboBox m_sampleRate;
    juce::Label m_bufferSizeCaption;
    juce::ComboBox m_bufferSize;
    juce::Label m_latency;
    // Set on the combo boxes (and taken off them in the destructor).
    ComboBoxLookAndFeel m_look;

    JUCE_DECLARE_NON_COPYABLE(AudioPreferenceTab)
};
} // namespace Vextal
