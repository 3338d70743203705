#pragma once

#include "library/vextal_juce/CZJEListenerOwner.h"
#include "library/vextal_juce/CZJESingleton.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_events/juce_events.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class CVXAudioDeviceManager;

// Told of the output device's changes. The start and stop notices arrive on the
// thread that starts or stops the device (the message thread), the others on
// the thread that opens or closes it.
class CVXAudioDeviceManagerListener
{
public:
    virtual ~CVXAudioDeviceManagerListener() = default;

    // The device is about to start calling back.
    virtual void OnVXAudioDeviceAboutToStart(CVXAudioDeviceManager*, double /*sampleRate*/,
                                             int /*bufferSize*/)
    {
    }
    // The device stopped.
    virtual void OnVXAudioDeviceStopped(CVXAudioDeviceManager*) {}
    // Never sent: there is one driver type.
    virtual void OnVXAudioDeviceDriverTypeChanged(CVXAudioDeviceManager*, int /*driverType*/) {}
    // A device was opened (its index in the device list) or closed (-1).
    virtual void OnVXAudioDeviceCurDeviceChanged(CVXAudioDeviceManager*, int /*deviceIndex*/) {}
    // Never sent: a rate change reopens the device, which is told as above.
    virtual void OnVXAudioDeviceCurSampleRateChanged(CVXAudioDeviceManager*, double /*sampleRate*/) {}
};

// The one consumer of the device's audio callback. Called on the audio thread
// with the manager's processor lock held and at least two outputs; it must fill
// every output it is given and must not allocate or block.
class CVXAudioDeviceManagerProcessor
{
public:
    virtual ~CVXAudioDeviceManagerProcessor() = default;

    virtual void OnVXAudioDeviceIOCallback(const float* const* /*in*/, int /*numIn*/, float* const* /*out*/,
                                           int /*numOut*/, int /*numSamples*/)
    {
    }
};

// The single owner of the audio output device.
//
// The device list holds the output devices of the ALSA, JACK and Null device
// types, in that order, without the excluded names; a name that an earlier type
// already uses gets the type's name appended in parentheses. The platform type
// (the driver type name shown to the user, whose default device is opened when
// nothing is stored) is the first of ALSA, JACK and Null that lists a device.
// The Null type's "Null Output" plays in real time into nowhere: when neither
// the requested device, nor the previous one, nor the platform's default device
// opens, the manager opens it, so the application runs on a machine without
// sound hardware.
//
// Every operation runs on the message thread and returns an error text, empty
// on success. A failed change of device, rate, buffer size or output pair
// reopens the previous device with its previous settings and still returns the
// first error.
class CVXAudioDeviceManager : public juce::AudioIODeviceCallback,
                              public CZJEListenerOwner<CVXAudioDeviceManagerListener>,
                              public CZJESingleton<CVXAudioDeviceManager>,
                              public juce::Timer
{
public:
    // The localized text listing the names hidden from the device list, one
    // name per line.
    static constexpr const char* kExcludedDeviceKey = "Mac_ExcludedAudioDevice";

    // Preference keys.
    static constexpr const char* kDriverTypeKey = "AudioDriverType";
    static constexpr const char* kDeviceKey = "AudioDevice";
    static constexpr const char* kSampleRateKey = "AudioSampleRate";
    static constexpr const char* kBufferSizeKey = "AudioBufferSize";
    static constexpr const char* kChannelIndexKey = "AudioChannelIndex";

    // Error texts.
    // The environment variable naming the file into which the null output
    // writes the first kNullCaptureSeconds it played (see MakeDefaultSetup).
    static constexpr const char* kNullCaptureVariable = "VEXTAL_NULL_CAPTURE";
    static constexpr int kNullCaptureSeconds = 60;
    static constexpr const char* kErrorDeviceNotFound = "Device not found.";
    static constexpr const char* kErrorCannotBeRunning = "Device cannot be running.";
    static constexpr const char* kErrorCannotRestart = "Cannot Restart";
    static constexpr const char* kErrorNoDevice = "No Device";
    static constexpr const char* kErrorCannotCreate = "Device cannot be created.";

    // The watchdog's period and the idle ticks after which it reopens the device.
    static constexpr int kWatchdogIntervalMs = 250;
    static constexpr int kWatchdogIdleTicks = 3;

    // What a manager is built from: its device types, in the order their
    // devices are listed, and the exact names to leave out of the list.
    struct Setup
    {
        std::vector<std::unique_ptr<juce::AudioIODeviceType>> deviceTypes;
        juce::StringArray excludedDeviceNames;
    };

    // Supplies the text of kExcludedDeviceKey to managers created afterwards,
    // in place of the localized text of the resources (CZJEResource). When
    // the text is empty (no resources, or no such key),
    // DefaultExcludedDeviceNames() applies.
    static void SetExcludedDeviceTextSource(std::function<juce::String()> source);
    // The names hidden when no localized list is given: ALSA's pseudo-devices
    // (rate converters, channel mixers, the discarding "null" device, OSS
    // emulation, the bridge to JACK, whose devices are listed themselves) that
    // no user would pick as an output.
    static juce::StringArray DefaultExcludedDeviceNames();
    // Splits a list text into its non-empty lines (line ends "\n" or "\r\n").
    static juce::StringArray SplitDeviceNameLines(const juce::String& text);

    // A manager over the given types; the singleton's instance is made by the
    // default constructor, over ALSA, JACK and Null.
    explicit CVXAudioDeviceManager(Setup setup);
    ~CVXAudioDeviceManager() override;

    // Opens and starts the stored device; falls back as Open does.
    // Returns the error of the stored device, empty when it opened.
    juce::String ReadPreferences();
    // Stores driver type, device name, rate, buffer size and output pair.
    void WritePreferences();

    // Opens the named device of the list at rate, with the buffer size chosen
    // by the buffer-size rule from bufferSize (below 1: by rate), on output
    // pair outputPair (out of range: pair 0), and starts it. With retry a
    // failure reopens the previous device (or the platform's default device),
    // then the null device.
    juce::String Open(const juce::String& name, double rate, int outputPair, int bufferSize, bool retry);
    // Index below 0 closes the device; otherwise opens the name at that index
    // with retry.
    juce::String Open(int deviceIndex, double rate, int outputPair, int bufferSize);
    juce::String Close();
    juce::String Stop();
    // Reopens a device that stopped playing with its current settings.
    juce::String Restart();

    juce::String ChangeBufferSize(int size);
    juce::String ChangeOutputPair(int pair);
    // Scales the buffer size with the rate (a 1024-sample buffer at 44100 Hz
    // becomes 2048 at 96000 Hz) and reopens.
    juce::String ChangeSampleRate(double rate);

    bool HasControlPanel() const;
    void ShowControlPanel();

    // Empty without a device; the device's default size alone when it offers
    // one size; otherwise its offered sizes that are powers of two.
    juce::Array<int> GetCurrentDeviceAvailableBufferSize() const;
    // The rates the device at that index of the list offers: the open
    // device's own, or those of a device made (and not opened) to ask; empty
    // when the index is out of range or the device cannot be made.
    juce::Array<double> GetDeviceSampleRates(int deviceIndex);
    // The name of the platform type.
    juce::StringArray GetDriverTypeNames() const;
    // Does nothing: there is one driver type.
    void SetCurDriverType(int) {}

    // The current type's device list, the open device's index in it (-1 none)
    // and its name (empty none).
    const juce::StringArray& GetDeviceNames() const;
    int GetCurDeviceIndex() const { return m_deviceIndex; }
    juce::String GetCurDeviceName() const;
    int GetDriverType() const { return m_driverType; }
    double GetSampleRate() const { return m_sampleRate; }
    int GetOutputPair() const { return m_outputPair; }
    // Per output pair of the open device: "first channel/second channel".
    const juce::StringArray& GetOutputPairNames() const { return m_outputPairNames; }
    // The open device, or null; owned by the manager.
    juce::AudioIODevice* GetCurrentDevice() const { return m_device.get(); }
    // The device has started and has not been stopped.
    bool IsRunning() const { return m_running.load(); }

    // Sets the processor (null: silence); waits for an audio callback in
    // progress to end.
    void SetProcessor(CVXAudioDeviceManagerProcessor* processor);
    CVXAudioDeviceManagerProcessor* GetProcessor() const;
    juce::CriticalSection& GetProcessorLock() { return m_processorLock; }

    // juce::AudioIODeviceCallback
    void audioDeviceIOCallbackWithContext(const float* const* in, int numIn, float* const* out, int numOut,
                                          int numSamples,
                                          const juce::AudioIODeviceCallbackContext& context) override;
    void audioDeviceAboutToStart(juce::AudioIODevice* device) override;
    void audioDeviceStopped() override;

    // The watchdog: on the third tick without playback since the last start
    // the device is reopened.
    void timerCallback() override;

    juce::CriticalSection& ObtainCriticalSection() override { return m_listenerLock; }

private:
    friend class CZJESingleton<CVXAudioDeviceManager>;

    CVXAudioDeviceManager();

    // Settings to open a device with.
    struct Settings
    {
        juce::String name;
        double rate = 44100.0;
        int pair = 0;
        int bufferSize = 0;

        bool operator==(const Settings& other) const
        {
            return name == other.name && rate == other.rate && pair == other.pair &&
                   bufferSize == other.bufferSize;
        }
    };

    // One entry of the device list: the type it belongs to and the name the
    // type knows it by.
    struct DeviceEntry
    {
        int typeIndex = -1;
        juce::String typeDeviceName;
    };

    // Posts a stop that a device reports on a thread of its own (a JACK server
    // that went away) to the message thread.
    class StoppedNotice : public juce::AsyncUpdater
    {
    public:
        explicit StoppedNotice(CVXAudioDeviceManager& owner) : m_owner(owner) {}
        void handleAsyncUpdate() override { m_owner.NotifyStopped(); }

    private:
        CVXAudioDeviceManager& m_owner;
    };

    static Setup MakeDefaultSetup();
    void BuildDeviceList(const juce::StringArray& excluded);
    // Steps of Open after the previous device is closed.
    juce::String OpenClosed(const Settings& settings);
    juce::String ChangeRateAndBufferSize(double rate, int bufferSize);
    void StartDevice();
    void NotifyStopped();

    CVXAudioDeviceManagerProcessor* m_pProcessor = nullptr;
    std::vector<std::unique_ptr<juce::AudioIODeviceType>> m_deviceTypes;
    int m_platformTypeIndex = -1;
    int m_asioTypeIndex = -1;
    std::unique_ptr<juce::AudioIODevice> m_device;
    int m_driverType = 0;
    int m_deviceIndex = -1;
    double m_sampleRate = 0.0;
    int m_outputPair = 0;
    juce::StringArray m_platformDeviceNames;
    juce::StringArray m_asioDeviceNames;
    juce::StringArray m_outputPairNames;
    juce::CriticalSection m_deviceLock;
    juce::CriticalSection m_processorLock;
    std::atomic<bool> m_running{false};
    int m_idleTicks = 0;
    juce::CriticalSection m_listenerLock;

    // Parallel to m_platformDeviceNames.
    std::vector<DeviceEntry> m_platformDeviceEntries;
    // The platform type's default device and the null device, as listed
    // (empty when not listed).
    juce::String m_defaultDeviceName;
    juce::String m_nullDeviceName;
    // The open device is the null device, opened because neither the requested,
    // the previous nor the default device opened.
    bool m_onLastResortDevice = false;
    StoppedNotice m_stoppedNotice{*this};
};
