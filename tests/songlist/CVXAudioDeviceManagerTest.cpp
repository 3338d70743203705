#include "src/songlist/CVXAudioDeviceManager.h"

#include "src/songlist/CVXPreferences.h"
#include "src/songlist/linux/CNullAudioIODeviceType.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace
{
using DeviceSpec = CNullAudioIODeviceType::DeviceSpec;

DeviceSpec Spec(const juce::String& name, int channels = 4,
                juce::Array<double> rates = {44100.0, 48000.0, 88200.0, 96000.0},
                juce::Array<int> sizes = {32, 64, 128, 256, 480, 512, 960, 1024, 2048, 4096, 8192},
                int defaultSize = 512)
{
    DeviceSpec spec;
    spec.name = name;
    spec.numOutputChannels = channels;
    spec.sampleRates = rates;
    spec.bufferSizes = sizes;
    spec.defaultBufferSize = defaultSize;
    return spec;
}

const juce::Array<double> kAllRates{44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0};

// Writes a ramp into the first pair it is given: +n/65536 left, -n/65536 right.
class RampProcessor : public CVXAudioDeviceManagerProcessor
{
public:
    void OnVXAudioDeviceIOCallback(const float* const*, int, float* const* out, int numOut,
                                   int numSamples) override
    {
        ++calls;
        lastNumOut = numOut;
        if (numOut < 2)
            return;
        for (int i = 0; i < numSamples; ++i)
        {
            const float v = static_cast<float>(next++) / 65536.0f;
            out[0][i] = v;
            out[1][i] = -v;
        }
    }

    std::atomic<int> calls{0};
    int lastNumOut = 0;
    int next = 1;
};

class RecordingListener : public CVXAudioDeviceManagerListener
{
public:
    void OnVXAudioDeviceAboutToStart(CVXAudioDeviceManager*, double rate, int size) override
    {
        events.push_back("start " + std::to_string(static_cast<int>(rate)) + " " + std::to_string(size));
    }
    void OnVXAudioDeviceStopped(CVXAudioDeviceManager*) override
    {
        events.push_back("stop");
        stoppedOnMessageThread = juce::MessageManager::existsAndIsCurrentThread();
    }
    void OnVXAudioDeviceCurDeviceChanged(CVXAudioDeviceManager*, int index) override
    {
        events.push_back("device " + std::to_string(index));
    }

    std::vector<std::string> events;
    bool stoppedOnMessageThread = false;
};

// Points the preferences store at a temporary folder for the lifetime of the object.
class TemporaryConfig
{
public:
    TemporaryConfig()
    {
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            m_old = old;
        setenv("XDG_CONFIG_HOME", m_dir.getFullPathName().toRawUTF8(), 1);
    }
    ~TemporaryConfig()
    {
        if (m_old.has_value())
            setenv("XDG_CONFIG_HOME", m_old->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

private:
    vxtest::TempFolder m_scratch{"vextal-audio-device-test"};
    const juce::File m_dir{m_scratch.Path().string()};
    std::optional<std::string> m_old;
};

using Preferences = CZfcSingleton<CVXPreferences>;

// A manager over null device types in manual pump mode, with capture on.
class AudioDeviceManagerTest : public ::testing::Test
{
protected:
    void Build(std::vector<DeviceSpec> devices = {Spec(CNullAudioIODeviceType::kDeviceName)},
               const juce::StringArray& excluded = {}, std::vector<DeviceSpec> alsaDevices = {})
    {
        m_manager.reset();
        CVXAudioDeviceManager::Setup setup;
        if (!alsaDevices.empty())
        {
            auto alsa = std::make_unique<CNullAudioIODeviceType>(std::move(alsaDevices), "ALSA");
            m_alsaControl = alsa->GetControl();
            m_alsaControl->SetManualPump(true);
            setup.deviceTypes.push_back(std::move(alsa));
        }
        auto type = std::make_unique<CNullAudioIODeviceType>(std::move(devices));
        m_control = type->GetControl();
        m_control->SetManualPump(true);
        m_control->SetCaptureCapacity(1 << 16);
        setup.deviceTypes.push_back(std::move(type));
        setup.excludedDeviceNames = excluded;
        m_manager = std::make_unique<CVXAudioDeviceManager>(std::move(setup));
    }

    void TearDown() override { m_manager.reset(); }

    CNullAudioIODevice* Device() const
    {
        return dynamic_cast<CNullAudioIODevice*>(m_manager->GetCurrentDevice());
    }
    int BufferSize() const { return m_manager->GetCurrentDevice()->getCurrentBufferSizeSamples(); }
    double Rate() const { return m_manager->GetCurrentDevice()->getCurrentSampleRate(); }

    juce::ScopedJuceInitialiser_GUI m_gui;
    std::shared_ptr<CNullAudioIODeviceType::Control> m_control;
    std::shared_ptr<CNullAudioIODeviceType::Control> m_alsaControl;
    std::unique_ptr<CVXAudioDeviceManager> m_manager;
};
} // namespace

TEST_F(AudioDeviceManagerTest, BufferSizeFollowsTheRateAndTheOfferedSizes)
{
    struct Case
    {
        DeviceSpec spec;
        double rate;
        int requested;
        int expected;
    };
    const Case cases[] = {
        // Nothing stored: 1024 below 88200 Hz, 2048 below 176400 Hz, 4096 above.
        {Spec("A", 4, kAllRates), 44100.0, 0, 1024},
        {Spec("A", 4, kAllRates), 96000.0, 0, 2048},
        {Spec("A", 4, kAllRates), 192000.0, 0, 4096},
        // The nearest power of two at or above; 960 is offered but not a power of two.
        {Spec("A"), 44100.0, 600, 1024},
        {Spec("A"), 44100.0, 256, 256},
        // Every offered size smaller: the largest.
        {Spec("A", 4, kAllRates, {64, 128, 256, 512}), 44100.0, 1024, 512},
        // One offered size: that size, whatever was asked.
        {Spec("A", 4, kAllRates, {470}, 470), 44100.0, 0, 470},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(juce::String(c.rate) + " Hz, " + juce::String(c.requested) + " asked");
        Build({c.spec});
        ASSERT_EQ(m_manager->Open("A", c.rate, 0, c.requested, false), "");
        EXPECT_EQ(BufferSize(), c.expected);
    }

    Build({Spec("A", 4, kAllRates, {470}, 470)});
    EXPECT_TRUE(m_manager->GetCurrentDeviceAvailableBufferSize().isEmpty());
    m_manager->Open("A", 44100.0, 0, 0, false);
    EXPECT_EQ(m_manager->GetCurrentDeviceAvailableBufferSize(), juce::Array<int>({470}));
    Build({Spec("A")});
    m_manager->Open("A", 44100.0, 0, 0, false);
    EXPECT_EQ(m_manager->GetCurrentDeviceAvailableBufferSize(),
              juce::Array<int>({32, 64, 128, 256, 512, 1024, 2048, 4096, 8192}));
}

TEST_F(AudioDeviceManagerTest, ChangingTheRateScalesTheBufferSize)
{
    struct Case
    {
        double fromRate;
        int fromSize;
        double toRate;
        int expected;
    };
    const Case cases[] = {
        {44100.0, 512, 96000.0, 1024},   {96000.0, 1024, 44100.0, 512},  {192000.0, 4096, 48000.0, 1024},
        {44100.0, 512, 48000.0, 512},    {48000.0, 256, 192000.0, 1024}, {88200.0, 1024, 176400.0, 2048},
        {176400.0, 2048, 96000.0, 1024},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(juce::String(c.fromRate) + " -> " + juce::String(c.toRate));
        Build({Spec("A", 4, kAllRates)});
        ASSERT_EQ(m_manager->Open("A", c.fromRate, 1, c.fromSize, false), "");
        ASSERT_EQ(BufferSize(), c.fromSize);
        EXPECT_EQ(m_manager->ChangeSampleRate(c.toRate), "");
        EXPECT_EQ(Rate(), c.toRate);
        EXPECT_EQ(m_manager->GetSampleRate(), c.toRate);
        EXPECT_EQ(BufferSize(), c.expected);
        EXPECT_EQ(m_manager->GetOutputPair(), 1);
    }
}

TEST_F(AudioDeviceManagerTest, AnOutputPairTheDeviceLacksFallsBackToTheFirst)
{
    Build();
    const struct
    {
        int requested;
        int expected;
    } cases[] = {{0, 0}, {1, 1}, {2, 0}, {-1, 0}, {100, 0}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.requested);
        ASSERT_EQ(m_manager->Open("Null Output", 44100.0, c.requested, 512, false), "");
        EXPECT_EQ(m_manager->GetOutputPair(), c.expected);
        juce::BigInteger expectedChannels;
        expectedChannels.setRange(2 * c.expected, 2, true);
        EXPECT_EQ(m_manager->GetCurrentDevice()->getActiveOutputChannels(), expectedChannels);
    }
    EXPECT_EQ(m_manager->GetOutputPairNames(), juce::StringArray({"Output 1/Output 2", "Output 3/Output 4"}));

    EXPECT_EQ(m_manager->ChangeOutputPair(1), "");
    EXPECT_EQ(m_manager->GetOutputPair(), 1);
    EXPECT_EQ(m_manager->ChangeOutputPair(2), "");
    EXPECT_EQ(m_manager->GetOutputPair(), 0);
}

TEST_F(AudioDeviceManagerTest, ExcludedNamesAreNeitherListedNorOpened)
{
    Build({Spec("Null Output"), Spec("Plugin Output"), Spec("Other Output")}, {"Plugin Output"});
    EXPECT_EQ(m_manager->GetDeviceNames(), juce::StringArray({"Null Output", "Other Output"}));
    EXPECT_EQ(m_manager->Open("Plugin Output", 44100.0, 0, 512, false), "Device not found.");
    EXPECT_EQ(m_manager->GetCurrentDevice(), nullptr);
    EXPECT_EQ(m_manager->Open(1, 44100.0, 0, 512), "");
    EXPECT_EQ(m_manager->GetCurDeviceName(), "Other Output");

    EXPECT_EQ(CVXAudioDeviceManager::SplitDeviceNameLines("A\r\nB C\n\nD\n"),
              juce::StringArray({"A", "B C", "D"}));
    // ALSA's discarding device and its plug-ins are hidden by default; the null
    // device the application falls back on is not.
    const juce::StringArray defaults = CVXAudioDeviceManager::DefaultExcludedDeviceNames();
    EXPECT_TRUE(defaults.contains("Discard all samples (playback) or generate zero samples (capture)"));
    EXPECT_TRUE(defaults.contains("Rate Converter Plugin Using Samplerate Library"));
    EXPECT_FALSE(defaults.contains(CNullAudioIODeviceType::kDeviceName));
}

TEST_F(AudioDeviceManagerTest, AFailedChangeReopensThePreviousDeviceAndReturnsTheFirstError)
{
    enum class Failure
    {
        open,
        create
    };
    for (const Failure failure : {Failure::open, Failure::create})
    {
        SCOPED_TRACE(failure == Failure::open ? "open fails" : "creation fails");
        Build({Spec("Null Output"), Spec("Busy Output")});
        RecordingListener listener;
        m_manager->AddListener(&listener);
        if (failure == Failure::open)
            m_control->SetOpenError("Busy Output", "Device is busy.");
        else
            m_control->SetCreateError("Busy Output", "Device is busy.");

        ASSERT_EQ(m_manager->Open("Null Output", 48000.0, 1, 256, true), "");
        EXPECT_EQ(m_manager->Open("Busy Output", 44100.0, 0, 1024, true), "Device is busy.");
        ASSERT_NE(m_manager->GetCurrentDevice(), nullptr);
        EXPECT_EQ(m_manager->GetCurDeviceName(), "Null Output");
        EXPECT_EQ(m_manager->GetCurDeviceIndex(), 0);
        EXPECT_EQ(Rate(), 48000.0);
        EXPECT_EQ(BufferSize(), 256);
        EXPECT_EQ(m_manager->GetOutputPair(), 1);
        EXPECT_TRUE(m_manager->IsRunning());
        EXPECT_TRUE(m_manager->GetCurrentDevice()->isPlaying());
        EXPECT_EQ(listener.events.back(), "start 48000 256");
        m_manager->RemoveListener(&listener);
    }

    // A rate the device refuses brings the previous rate back; without retry
    // nothing is reopened.
    Build();
    ASSERT_EQ(m_manager->Open("Null Output", 44100.0, 0, 512, true), "");
    EXPECT_NE(m_manager->ChangeSampleRate(192000.0), "");
    EXPECT_EQ(Rate(), 44100.0);
    EXPECT_EQ(BufferSize(), 512);
    EXPECT_NE(m_manager->Open("Null Output", 192000.0, 0, 512, false), "");
    EXPECT_EQ(m_manager->GetCurrentDevice(), nullptr);
    EXPECT_FALSE(m_manager->IsRunning());
    EXPECT_EQ(m_manager->GetCurDeviceIndex(), -1);
}

TEST_F(AudioDeviceManagerTest, WithoutAnyOtherDeviceTheNullDevicePlays)
{
    Build({Spec("Null Output")}, {}, {Spec("Card", 2)});
    m_alsaControl->SetOpenError("Card", "No such device.");
    EXPECT_EQ(m_manager->GetDriverTypeNames(), juce::StringArray({"ALSA"}));
    EXPECT_EQ(m_manager->GetDeviceNames(), juce::StringArray({"Card", "Null Output"}));

    // Nothing stored: the platform's default device is asked for first.
    EXPECT_EQ(m_manager->ReadPreferences(), "No such device.");
    EXPECT_EQ(m_manager->GetCurDeviceName(), "Null Output");
    EXPECT_TRUE(m_manager->IsRunning());

    RampProcessor processor;
    m_manager->SetProcessor(&processor);
    EXPECT_EQ(Device()->Pump(2), 2);
    EXPECT_EQ(processor.calls.load(), 2);
    m_manager->SetProcessor(nullptr);
}

TEST_F(AudioDeviceManagerTest, TheWatchdogReopensADeviceOnTheThirdIdleTickSinceItStarted)
{
    Build();
    ASSERT_EQ(m_manager->Open("Null Output", 96000.0, 1, 4096, true), "");
    EXPECT_TRUE(m_manager->isTimerRunning());
    const int opens = m_control->GetOpenCount();

    // Idle ticks count since the last start, not in a row.
    Device()->SetStalled(true);
    m_manager->timerCallback();
    Device()->SetStalled(false);
    m_manager->timerCallback();
    m_manager->timerCallback();
    Device()->SetStalled(true);
    m_manager->timerCallback();
    EXPECT_EQ(m_control->GetOpenCount(), opens);
    m_manager->timerCallback();
    EXPECT_EQ(m_control->GetOpenCount(), opens + 1);
    EXPECT_TRUE(m_manager->GetCurrentDevice()->isPlaying());
    EXPECT_TRUE(m_manager->IsRunning());
    EXPECT_TRUE(m_manager->isTimerRunning());
    EXPECT_EQ(Rate(), 96000.0);
    EXPECT_EQ(BufferSize(), 4096);
    EXPECT_EQ(m_manager->GetOutputPair(), 1);

    // The restart started the count again.
    Device()->SetStalled(true);
    m_manager->timerCallback();
    m_manager->timerCallback();
    EXPECT_EQ(m_control->GetOpenCount(), opens + 1);

    // A device that cannot be reopened ends the watchdog with nothing running.
    m_control->SetOpenError("Null Output", "Device is gone.");
    m_manager->timerCallback();
    EXPECT_EQ(m_manager->GetCurrentDevice(), nullptr);
    EXPECT_FALSE(m_manager->IsRunning());
    EXPECT_FALSE(m_manager->isTimerRunning());
}

TEST_F(AudioDeviceManagerTest, OutputsAreSilentWithoutAProcessorOrWithFewerThanTwoChannels)
{
    // The null device hands out buffers full of NaN: only written zeros pass.
    Build();
    ASSERT_EQ(m_manager->Open("Null Output", 44100.0, 1, 256, true), "");
    ASSERT_EQ(Device()->Pump(3), 3);
    juce::AudioBuffer<float> capture = Device()->GetCapture();
    ASSERT_EQ(capture.getNumSamples(), 3 * 256);
    for (int ch = 0; ch < 4; ++ch)
        for (int i = 0; i < capture.getNumSamples(); ++i)
            ASSERT_EQ(capture.getSample(ch, i), 0.0f) << ch << " " << i;

    Build({Spec("Mono Output", 1)});
    RampProcessor processor;
    m_manager->SetProcessor(&processor);
    ASSERT_EQ(m_manager->Open("Mono Output", 44100.0, 0, 256, true), "");
    EXPECT_TRUE(m_manager->GetOutputPairNames().isEmpty());
    ASSERT_EQ(Device()->Pump(2), 2);
    capture = Device()->GetCapture();
    ASSERT_EQ(capture.getNumChannels(), 1);
    for (int i = 0; i < capture.getNumSamples(); ++i)
        ASSERT_EQ(capture.getSample(0, i), 0.0f) << i;
    EXPECT_EQ(processor.calls.load(), 0);
    m_manager->SetProcessor(nullptr);
}

TEST_F(AudioDeviceManagerTest, TheProcessorPlaysIntoTheChosenPairOnly)
{
    Build();
    RecordingListener listener;
    m_manager->AddListener(&listener);
    RampProcessor processor;
    m_manager->SetProcessor(&processor);
    ASSERT_EQ(m_manager->Open("Null Output", 48000.0, 1, 128, true), "");
    EXPECT_EQ(listener.events, (std::vector<std::string>{"device 0", "start 48000 128"}));

    ASSERT_EQ(Device()->Pump(3), 3);
    EXPECT_EQ(processor.lastNumOut, 2);
    const juce::AudioBuffer<float> capture = Device()->GetCapture();
    ASSERT_EQ(capture.getNumSamples(), 3 * 128);
    for (int i = 0; i < capture.getNumSamples(); ++i)
    {
        const float v = static_cast<float>(i + 1) / 65536.0f;
        ASSERT_EQ(capture.getSample(0, i), 0.0f);
        ASSERT_EQ(capture.getSample(1, i), 0.0f);
        ASSERT_EQ(capture.getSample(2, i), v);
        ASSERT_EQ(capture.getSample(3, i), -v);
    }

    m_manager->Close();
    EXPECT_EQ(listener.events,
              (std::vector<std::string>{"device 0", "start 48000 128", "stop", "device -1"}));
    m_manager->SetProcessor(nullptr);
    m_manager->RemoveListener(&listener);
}

TEST_F(AudioDeviceManagerTest, AStopReportedOnAnotherThreadIsToldOnTheMessageThread)
{
    Build();
    RecordingListener listener;
    m_manager->AddListener(&listener);
    std::thread([this] { m_manager->audioDeviceStopped(); }).join();
    EXPECT_TRUE(listener.events.empty());
    juce::MessageManager::getInstance()->runDispatchLoopUntil(50);
    EXPECT_EQ(listener.events, std::vector<std::string>{"stop"});
    EXPECT_TRUE(listener.stoppedOnMessageThread);
    m_manager->RemoveListener(&listener);
}

TEST_F(AudioDeviceManagerTest, OperationsWithoutADeviceReportIt)
{
    Build();
    EXPECT_EQ(m_manager->Restart(), "Cannot Restart");
    EXPECT_EQ(m_manager->ChangeBufferSize(256), "No Device");
    EXPECT_EQ(m_manager->ChangeOutputPair(1), "No Device");
    EXPECT_EQ(m_manager->ChangeSampleRate(48000.0), "No Device");
    EXPECT_EQ(m_manager->Open("Missing", 44100.0, 0, 0, false), "Device not found.");
    EXPECT_FALSE(m_manager->HasControlPanel());
    EXPECT_EQ(m_manager->Close(), "");
}

TEST_F(AudioDeviceManagerTest, StoredSettingsSurviveARestart)
{
    TemporaryConfig config;
    for (const double rate : {48000.0, 44100.25})
    {
        SCOPED_TRACE(rate);
        {
            Preferences::CreateInstance();
            Build({Spec("Null Output", 4, {44100.0, 44100.25, 48000.0})});
            ASSERT_EQ(m_manager->Open("Null Output", rate, 1, 256, true), "");
            m_manager->WritePreferences();
            m_manager.reset();
            Preferences::DestroyInstance();
        }
        CVXPreferences* prefs = Preferences::CreateInstance();
        Build({Spec("Null Output", 4, {44100.0, 44100.25, 48000.0})});
        EXPECT_EQ(prefs->ReadString("AudioDevice").value_or("?"), "Null Output");
        EXPECT_EQ(prefs->ReadInteger("AudioBufferSize", 0), 256);
        EXPECT_EQ(prefs->ReadInteger("AudioChannelIndex", 0), 1);
        EXPECT_EQ(m_manager->ReadPreferences(), "");
        EXPECT_EQ(m_manager->GetCurDeviceName(), "Null Output");
        EXPECT_EQ(Rate(), rate);
        EXPECT_EQ(BufferSize(), 256);
        EXPECT_EQ(m_manager->GetOutputPair(), 1);
        EXPECT_TRUE(m_manager->IsRunning());
        m_manager.reset();
        Preferences::DestroyInstance();
    }
    Preferences::CreateInstance();
    EXPECT_EQ(Preferences::GetInstance()->ReadString("AudioSampleRate").value_or("?"), "44100.25");
    Preferences::DestroyInstance();
}

TEST_F(AudioDeviceManagerTest, TheNullDeviceOpenedInPlaceOfTheStoredDeviceIsNotStored)
{
    TemporaryConfig config;
    CVXPreferences* prefs = Preferences::CreateInstance();
    prefs->WriteString("AudioDevice", "Card");
    prefs->WriteString("AudioSampleRate", "48000");
    prefs->WriteInteger("AudioBufferSize", 256);

    Build({Spec("Null Output")}, {}, {Spec("Card", 2)});
    m_alsaControl->SetOpenError("Card", "Device is busy.");
    EXPECT_EQ(m_manager->ReadPreferences(), "Device is busy.");
    EXPECT_EQ(m_manager->GetCurDeviceName(), "Null Output");
    m_manager->WritePreferences();
    EXPECT_EQ(prefs->ReadString("AudioDevice").value_or("?"), "Card");
    EXPECT_EQ(prefs->ReadString("AudioSampleRate").value_or("?"), "48000");

    // Once the card is back it is opened with its stored settings.
    Build({Spec("Null Output")}, {}, {Spec("Card", 2)});
    EXPECT_EQ(m_manager->ReadPreferences(), "");
    EXPECT_EQ(m_manager->GetCurDeviceName(), "Card");
    EXPECT_EQ(Rate(), 48000.0);
    EXPECT_EQ(BufferSize(), 256);

    // A null device the user picked is stored like any other.
    EXPECT_EQ(m_manager->Open("Null Output", 44100.0, 0, 512, true), "");
    m_manager->WritePreferences();
    EXPECT_EQ(prefs->ReadString("AudioDevice").value_or("?"), "Null Output");
    m_manager.reset();
    Preferences::DestroyInstance();
}

TEST(CVXAudioDeviceManager, TheApplicationsManagerOffersTheNullDeviceAndHonoursTheExclusionText)
{
    juce::ScopedJuceInitialiser_GUI gui;
    using Singleton = CZJESingleton<CVXAudioDeviceManager>;

    CVXAudioDeviceManager::SetExcludedDeviceTextSource([]
                                                       { return juce::String("Some Card\nAnother Card"); });
    CVXAudioDeviceManager* manager = Singleton::CreateInstance();
    ASSERT_NE(manager, nullptr);
    EXPECT_TRUE(manager->GetDeviceNames().contains("Null Output"));
    EXPECT_FALSE(manager->GetDriverTypeNames().isEmpty());
    // Whatever the machine has, something opens and runs.
    manager->ReadPreferences();
    EXPECT_NE(manager->GetCurrentDevice(), nullptr);
    EXPECT_TRUE(manager->IsRunning());
    Singleton::DestroyInstance();
    EXPECT_EQ(Singleton::sm_pInstance, nullptr);

    CVXAudioDeviceManager::SetExcludedDeviceTextSource([] { return juce::String("Null Output"); });
    manager = Singleton::CreateInstance();
    EXPECT_FALSE(manager->GetDeviceNames().contains("Null Output"));
    Singleton::DestroyInstance();
    CVXAudioDeviceManager::SetExcludedDeviceTextSource(nullptr);
}
