#include "src/jucer_components/AudioPreferenceTab.h"

#include "common/dsp/CAudioFilePlayer.h"
#include "library/vextal_juce/CZJEText.h"
#include "src/CVXLookAndFeel.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/DialogManager.h"
#include "src/songlist/VXUtil.h"

#include <cmath>

namespace Vextal
{
namespace
{
constexpr float kLabelFontHeight = 15.0f;
// The device box's item of "no device"; devices follow from kFirstDeviceId.
constexpr int kNoDeviceId = 1;
constexpr int kFirstDeviceId = 2;

using CZJEText::Text;

void SetupLabel(juce::Label& label, const char* key)
{
    label.setText(Text(key), juce::dontSendNotification);
    label.setFont(juce::Font(kLabelFontHeight, juce::Font::plain));
    label.setJustificationType(juce::Justification::centredLeft);
    label.setEditable(false, false, false);
    label.setColour(juce::Label::textColourId, juce::Colours::black);
    label.setColour(juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    if (const CVXLookAndFeel* look = CZJESingleton<CVXLookAndFeel>::GetInstance())
        look->applyLocalUIFontToLabel(label);
}

juce::String BufferSizeText(int size)
{
    return juce::String(size) + " " + Text("Pref_Samples");
}
} // namespace

AudioPreferenceTab::AudioPreferenceTab(CVXAudioDeviceManager& devices, CVXHost& host)
    : m_devices(devices), m_host(host), m_look(&m_driverType, CVXLookAndFeel::kFontLocalUI)
{
    SetupLabel(m_driverTypeCaption, "Pref_DriverType");
    SetupLabel(m_deviceCaption, "Pref_DriverName");
    SetupLabel(m_channelsCaption, "Pref_Channels");
    SetupLabel(m_sampleRateCaption, "Pref_SampleRate");
    SetupLabel(m_bufferSizeCaption, "Pref_BufferSize");
    SetupLabel(m_latency, "Pref_Latency");
    m_controlPanel.setButtonText(Text("Pref_ControlPanel"));
    m_controlPanel.addListener(this);

    for (juce::ComboBox* box : {&m_driverType, &m_device, &m_outputPair, &m_sampleRate, &m_bufferSize})
    {
        box->setEditableText(false);
        box->setJustificationType(juce::Justification::centredLeft);
        box->setTextWhenNothingSelected({});
        box->setTextWhenNoChoicesAvailable(TRANS("(no choices)"));
        box->setLookAndFeel(&m_look);
        box->addListener(this);
    }
    const juce::StringArray types = m_devices.GetDriverTypeNames();
    for (int i = 0; i < types.size(); ++i)
        m_driverType.addItem(types[i], i + 1);

    for (juce::Component* c : std::initializer_list<juce::Component*>{
             &m_driverTypeCaption, &m_driverType, &m_deviceCaption, &m_controlPanel, &m_device,
             &m_channelsCaption, &m_outputPair, &m_sampleRateCaption, &m_sampleRate, &m_bufferSizeCaption,
             &m_bufferSize, &m_latency})
        addAndMakeVisible(c);

    m_devices.AddListener(this);
    setSize(kWidth, kHeight);
}

AudioPreferenceTab::~AudioPreferenceTab()
{
    m_devices.RemoveListener(this);
    for (juce::ComboBox* box : {&m_driverType, &m_device, &m_outputPair, &m_sampleRate, &m_bufferSize})
        box->setLookAndFeel(nullptr);
}

double AudioPreferenceTab::chooseRate(const juce::Array<double>& offered, double preferred)
{
    if (offered.isEmpty() || offered.contains(preferred))
        return preferred;
    double best = offered.getFirst();
    for (const double rate : offered)
        if (std::abs(rate - preferred) < std::abs(best - preferred))
            best = rate;
    return best;
}

juce::String AudioPreferenceTab::latencyText(int bufferSize, double rate)
{
    const double ms = rate > 0.0 ? static_cast<double>(bufferSize) / rate * 1000.0 : 0.0;
    return Text("Pref_Latency") + juce::String::formatted(" : %.1f ms", ms);
}

void AudioPreferenceTab::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colours::white);
}

void AudioPreferenceTab::resized()
{
    m_driverTypeCaption.setBounds(8, 8, 150, 24);
    m_driverType.setBounds(8, 32, 272, 24);
    m_deviceCaption.setBounds(8, 64, 150, 24);
    m_controlPanel.setBounds(144, 64, 136, 24);
    m_device.setBounds(8, 88, 272, 24);
    m_channelsCaption.setBounds(8, 120, 104, 24);
    m_outputPair.setBounds(8, 144, 272, 24);
    m_sampleRateCaption.setBounds(8, 184, 128, 24);
    m_sampleRate.setBounds(144, 184, 136, 24);
    m_bufferSizeCaption.setBounds(8, 216, 128, 24);
    m_bufferSize.setBounds(144, 216, 136, 24);
    m_latency.setBounds(144, 248, 134, 16);
}

//==============================================================================
void AudioPreferenceTab::initialize()
{
    m_devices.WritePreferences();
    refresh(false);
}

void AudioPreferenceTab::ok()
{
    m_devices.WritePreferences();
    if (deviceRuns())
        return;
    if (m_devices.Restart().isNotEmpty())
        stopPlayer();
}

void AudioPreferenceTab::cancel()
{
    m_devices.ReadPreferences();
    if (!deviceRuns())
        stopPlayer();
}

bool AudioPreferenceTab::deviceRuns() const
{
    return m_devices.GetCurrentDevice() != nullptr && m_devices.IsRunning();
}

void AudioPreferenceTab::stopPlayer()
{
    m_host.SetPlayerStatus(CVXHost::kStatusStopped);
    if (CAudioFilePlayerPcmOutput* player = m_host.GetPlayer())
        player->Stop();
}

void AudioPreferenceTab::reportError(const juce::String& error)
{
    if (error.isEmpty())
        return;
    DBG("Audio device: " << error);
    DialogManager::showMessageBox(juce::MessageBoxIconType::WarningIcon, Text("Common_ErrorDialogTitle"),
                                  Text("Pref_DeviceError"), {}, error);
}

juce::Array<double> AudioPreferenceTab::openDeviceRates() const
{
    if (juce::AudioIODevice* device = m_devices.GetCurrentDevice())
        return device->getAvailableSampleRates();
    return {};
}

//==============================================================================
void AudioPreferenceTab::buttonClicked(juce::Button* button)
{
    if (button == &m_controlPanel)
        m_devices.ShowControlPanel();
}

void AudioPreferenceTab::comboBoxChanged(juce::ComboBox* box)
{
    const int index = box->getSelectedId() - 1;
    if (box == &m_driverType)
    {
        m_devices.SetCurDriverType(index);
    }
    else if (box == &m_device)
    {
        const int deviceIndex = box->getSelectedId() - kFirstDeviceId;
        const double rate = deviceIndex < 0
                                ? kPreferredRate
                                : chooseRate(m_devices.GetDeviceSampleRates(deviceIndex), kPreferredRate);
        reportError(m_devices.Open(deviceIndex, rate, 0, 0));
    }
    else if (box == &m_sampleRate)
    {
        const juce::Array<double> rates = openDeviceRates();
        const double rate = juce::isPositiveAndBelow(index, rates.size()) ? rates[index] : 0.0;
        reportError(m_devices.ChangeSampleRate(rate));
    }
    else if (box == &m_bufferSize)
    {
        const juce::Array<int> sizes = m_devices.GetCurrentDeviceAvailableBufferSize();
        reportError(
            m_devices.ChangeBufferSize(juce::isPositiveAndBelow(index, sizes.size()) ? sizes[index] : 0));
    }
    else if (box == &m_outputPair)
    {
        reportError(m_devices.ChangeOutputPair(index));
    }
    refresh(false);
}

void AudioPreferenceTab::OnVXAudioDeviceDriverTypeChanged(CVXAudioDeviceManager*, int)
{
    refresh(true);
}

void AudioPreferenceTab::OnVXAudioDeviceCurDeviceChanged(CVXAudioDeviceManager*, int)
{
    refresh(false);
}

void AudioPreferenceTab::OnVXAudioDeviceAboutToStart(CVXAudioDeviceManager*, double, int)
{
    refresh(false);
}

//==============================================================================
void AudioPreferenceTab::refresh(bool rebuildDeviceList)
{
    const int previousType = m_driverType.getSelectedId();
    m_driverType.setSelectedId(m_devices.GetDriverType() + 1, juce::dontSendNotification);
    const int current = m_devices.GetCurDeviceIndex();
    if (rebuildDeviceList || previousType != m_driverType.getSelectedId() || m_device.getNumItems() == 0)
    {
        m_device.clear(juce::dontSendNotification);
        m_device.addItem("--", kNoDeviceId);
        const juce::StringArray names = m_devices.GetDeviceNames();
        for (int i = 0; i < names.size(); ++i)
            m_device.addItem(names[i], i + kFirstDeviceId);
    }
    m_device.setSelectedId(current + kFirstDeviceId, juce::dontSendNotification);
    m_controlPanel.setVisible(m_devices.HasControlPanel());
    refreshParameterItems();
    refreshParameters();
}

void AudioPreferenceTab::refreshParameterItems()
{
    m_sampleRate.clear(juce::dontSendNotification);
    const juce::Array<double> rates = openDeviceRates();
    for (int i = 0; i < rates.size(); ++i)
        m_sampleRate.addItem(convertSampleRateToString(rates[i], true), i + 1);

    m_bufferSize.clear(juce::dontSendNotification);
    const juce::Array<int> sizes = m_devices.GetCurrentDeviceAvailableBufferSize();
    for (int i = 0; i < sizes.size(); ++i)
        m_bufferSize.addItem(BufferSizeText(sizes[i]), i + 1);

    m_outputPair.clear(juce::dontSendNotification);
    const juce::StringArray pairs = m_devices.GetOutputPairNames();
    for (int i = 0; i < pairs.size(); ++i)
        m_outputPair.addItem(pairs[i], i + 1);

    const bool chosen = m_devices.GetCurDeviceIndex() >= 0;
    m_sampleRate.setEnabled(chosen);
    m_bufferSize.setEnabled(chosen && !sizes.isEmpty());
    m_outputPair.setEnabled(chosen);
    m_latency.setVisible(chosen);
}

void AudioPreferenceTab::refreshParameters()
{
    if (m_devices.GetCurDeviceIndex() < 0)
    {
        for (juce::ComboBox* box : {&m_sampleRate, &m_bufferSize, &m_outputPair})
            box->setText({}, juce::dontSendNotification);
        return;
    }
    juce::AudioIODevice* device = m_devices.GetCurrentDevice();
    const double rate = device != nullptr ? device->getCurrentSampleRate() : kPreferredRate;
    const int buffer = device != nullptr ? device->getCurrentBufferSizeSamples() : 0;
    m_sampleRate.setText(convertSampleRateToString(rate, true), juce::dontSendNotification);
    m_bufferSize.setText(BufferSizeText(buffer), juce::dontSendNotification);
    m_latency.setText(latencyText(buffer, rate), juce::dontSendNotification);
    m_outputPair.setSelectedId(m_devices.GetOutputPair() + 1, juce::dontSendNotification);
}
} // namespace Vextal
