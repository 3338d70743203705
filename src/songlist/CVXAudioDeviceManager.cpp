#include "src/songlist/CVXAudioDeviceManager.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/CVXPreferences.h"
#include "src/songlist/linux/CNullAudioIODeviceType.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <mutex>
#include <string>
#include <system_error>

namespace
{
std::mutex& ExcludedTextSourceMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::function<juce::String()>& ExcludedTextSource()
{
    static std::function<juce::String()> source;
    return source;
}

constexpr double kDefaultSampleRate = 44100.0;
// The buffer size of the settings fallen back on when no device was open.
constexpr int kFallbackBufferSize = 2048;

bool IsPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

// The buffer size asked for when none is stored: larger at higher rates, so a
// block lasts about as long at every rate.
int DefaultBufferSizeForRate(double rate)
{
    if (rate >= 176400.0)
        return 4096;
    if (rate >= 88200.0)
        return 2048;
    return 1024;
}

// The smallest offered size at least wanted; the largest when every offered
// size is smaller.
int ChooseOfferedBufferSize(int wanted, const juce::Array<int>& offered)
{
    int above = 0;
    int largest = 0;
    for (const int size : offered)
    {
        if (size >= wanted && (above == 0 || size < above))
            above = size;
        largest = std::max(largest, size);
    }
    return above != 0 ? above : largest;
}

// The buffer size that keeps a block's duration roughly constant across a rate
// change: the rates fall into three bands (up to 96 kHz with 48 kHz and below
// as the base, 88.2 to 96 kHz, 176.4 kHz and above), and each band up doubles
// the size, each band down halves it.
int ScaleBufferSizeForRate(double currentRate, double newRate, int size)
{
    if (currentRate < 88200.0)
    {
        if (newRate <= 48000.0)
            return size;
        if (newRate <= 96000.0)
            return size * 2;
        return size * 4;
    }
    if (currentRate < 176400.0)
    {
        if (newRate < 88200.0)
            return size / 2;
        if (newRate <= 96000.0)
            return size;
        return size * 2;
    }
    if (newRate >= 176400.0)
        return size;
    if (newRate >= 88200.0)
        return size / 2;
    return size / 4;
}

// A whole rate is written without decimals ("44100"); any other in the
// shortest text that reads back as the same number.
juce::String RateToText(double rate)
{
    if (std::isfinite(rate) && rate == std::floor(rate) && std::fabs(rate) < 1.0e15)
        return juce::String(static_cast<juce::int64>(rate));
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof(buffer), rate);
    if (result.ec != std::errc())
        return juce::String(static_cast<juce::int64>(kDefaultSampleRate));
    return juce::String(buffer, static_cast<size_t>(result.ptr - buffer));
}

// The rate a stored text names; 44100 for an empty text or one that is not a
// positive number.
double TextToRate(const juce::String& text)
{
    const std::string s = text.trim().toStdString();
    if (s.empty())
        return kDefaultSampleRate;
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(s.data(), s.data() + s.size(), value);
    if (result.ec != std::errc() || result.ptr != s.data() + s.size() || !std::isfinite(value) ||
        value <= 0.0)
        return kDefaultSampleRate;
    return value;
}
} // namespace

//==============================================================================
void CVXAudioDeviceManager::SetExcludedDeviceTextSource(std::function<juce::String()> source)
{
    const std::lock_guard<std::mutex> lock(ExcludedTextSourceMutex());
    ExcludedTextSource() = std::move(source);
}

juce::StringArray CVXAudioDeviceManager::DefaultExcludedDeviceNames()
{
    return {
        "Discard all samples (playback) or generate zero samples (capture)",
        "JACK Audio Connection Kit",
        "Rate Converter Plugin Using Libav/FFmpeg Library",
        "Rate Converter Plugin Using Samplerate Library",
        "Rate Converter Plugin Using Speex Resampler",
        "Plugin using Speex DSP (resample, agc, denoise, echo, dereverb)",
        "Plugin for channel upmix (4,6,8)",
        "Plugin for channel downmix (stereo) with a simple spacialization",
        "Open Sound System",
    };
}

juce::StringArray CVXAudioDeviceManager::SplitDeviceNameLines(const juce::String& text)
{
    juce::StringArray lines;
    lines.addTokens(text, "\n", "");
    for (juce::String& line : lines)
        if (line.endsWithChar('\r'))
            line = line.dropLastCharacters(1);
    lines.removeEmptyStrings(false);
    return lines;
}

CVXAudioDeviceManager::Setup CVXAudioDeviceManager::MakeDefaultSetup()
{
    Setup setup;
    if (juce::AudioIODeviceType* alsa = juce::AudioIODeviceType::createAudioIODeviceType_ALSA())
        setup.deviceTypes.emplace_back(alsa);
    if (juce::AudioIODeviceType* jack = juce::AudioIODeviceType::createAudioIODeviceType_JACK())
        setup.deviceTypes.emplace_back(jack);
    auto nullType = std::make_unique<CNullAudioIODeviceType>();
    // For tests of the whole application on machines without sound hardware:
    // the null output keeps its first minute and writes it to this file.
    const juce::String capture = juce::SystemStats::getEnvironmentVariable(kNullCaptureVariable, {});
    if (juce::File::isAbsolutePath(capture))
    {
        nullType->GetControl()->SetCaptureCapacity(kNullCaptureSeconds * 48000);
        nullType->GetControl()->SetCaptureFile(juce::File(capture));
    }
    setup.deviceTypes.push_back(std::move(nullType));

    std::function<juce::String()> source;
    {
        const std::lock_guard<std::mutex> lock(ExcludedTextSourceMutex());
        source = ExcludedTextSource();
    }
    const juce::String text = source ? source() : CZJEResource::GetText(kExcludedDeviceKey);
    setup.excludedDeviceNames = text.isEmpty() ? DefaultExcludedDeviceNames() : SplitDeviceNameLines(text);
    return setup;
}

CVXAudioDeviceManager::CVXAudioDeviceManager() : CVXAudioDeviceManager(MakeDefaultSetup()) {}

CVXAudioDeviceManager::CVXAudioDeviceManager(Setup setup)
{
    for (std::unique_ptr<juce::AudioIODeviceType>& type : setup.deviceTypes)
        if (type != nullptr)
            m_deviceTypes.push_back(std::move(type));
    BuildDeviceList(setup.excludedDeviceNames);
}

CVXAudioDeviceManager::~CVXAudioDeviceManager()
{
    Close();
    stopTimer();
    m_stoppedNotice.cancelPendingUpdate();
    m_deviceTypes.clear();
}

void CVXAudioDeviceManager::BuildDeviceList(const juce::StringArray& excluded)
{
    for (size_t t = 0; t < m_deviceTypes.size(); ++t)
    {
        juce::AudioIODeviceType& type = *m_deviceTypes[t];
        const int typeIndex = static_cast<int>(t);
        type.scanForDevices();

        juce::String firstListed;
        for (const juce::String& name : type.getDeviceNames(false))
        {
            if (name.isEmpty() || excluded.contains(name))
                continue;
            juce::String listed = name;
            if (m_platformDeviceNames.contains(listed))
                listed = name + " (" + type.getTypeName() + ")";
            if (m_platformDeviceNames.contains(listed))
                continue;
            m_platformDeviceNames.add(listed);
            m_platformDeviceEntries.push_back({typeIndex, name});
            if (firstListed.isEmpty())
                firstListed = listed;
        }

        if (firstListed.isEmpty())
            continue;
        if (m_platformTypeIndex < 0)
            m_platformTypeIndex = typeIndex;
        if (m_nullDeviceName.isEmpty() && type.getTypeName() == CNullAudioIODeviceType::kTypeName)
            m_nullDeviceName = firstListed;
    }
    if (m_platformTypeIndex < 0 && !m_deviceTypes.empty())
        m_platformTypeIndex = 0;

    // The platform type's own default device when it is listed, else its first.
    if (m_platformTypeIndex >= 0)
    {
        juce::AudioIODeviceType& type = *m_deviceTypes[static_cast<size_t>(m_platformTypeIndex)];
        const juce::String preferred = type.getDeviceNames(false)[type.getDefaultDeviceIndex(false)];
        for (size_t i = 0; i < m_platformDeviceEntries.size(); ++i)
        {
            const DeviceEntry& entry = m_platformDeviceEntries[i];
            if (entry.typeIndex != m_platformTypeIndex)
                continue;
            if (m_defaultDeviceName.isEmpty() || entry.typeDeviceName == preferred)
                m_defaultDeviceName = m_platformDeviceNames[static_cast<int>(i)];
            if (entry.typeDeviceName == preferred)
                break;
        }
    }
}

//==============================================================================
juce::String CVXAudioDeviceManager::ReadPreferences()
{
    juce::String name;
    double rate = kDefaultSampleRate;
    int bufferSize = 0;
    int pair = 0;
    if (CVXPreferences* prefs = CZfcSingleton<CVXPreferences>::GetInstance())
    {
        // The stored driver type is read for completeness; there is one type.
        juce::ignoreUnused(prefs->ReadInteger(kDriverTypeKey, 0));
        name = prefs->ReadString(kDeviceKey).value_or(juce::String());
        rate = TextToRate(prefs->ReadString(kSampleRateKey).value_or(juce::String()));
        bufferSize = prefs->ReadInteger(kBufferSizeKey, 0);
        pair = prefs->ReadInteger(kChannelIndexKey, 0);
    }

    const juce::ScopedLock sl(m_deviceLock);
    if (name.isNotEmpty())
    {
        if (m_device != nullptr && m_device->getCurrentBufferSizeSamples() == bufferSize &&
            m_device->getCurrentSampleRate() == rate && m_outputPair == pair && GetCurDeviceName() == name)
            return {};
    }
    else
    {
        name = m_defaultDeviceName;
    }

    const juce::String result = Open(name, rate, pair, bufferSize, true);
    if (result.isEmpty())
        StartDevice();
    return result;
}

void CVXAudioDeviceManager::WritePreferences()
{
    CVXPreferences* prefs = CZfcSingleton<CVXPreferences>::GetInstance();
    if (prefs == nullptr)
        return;

    const juce::ScopedLock sl(m_deviceLock);
    prefs->WriteInteger(kDriverTypeKey, m_driverType);
    // The null device opened in place of every other keeps the stored device:
    // the user's own device is tried again at the next start.
    if (!m_onLastResortDevice)
    {
        prefs->WriteString(kDeviceKey, m_device != nullptr ? GetCurDeviceName() : juce::String());
        prefs->WriteString(kSampleRateKey, RateToText(m_device != nullptr ? m_device->getCurrentSampleRate()
                                                                          : kDefaultSampleRate));
        prefs->WriteInteger(kBufferSizeKey,
                            m_device != nullptr ? m_device->getCurrentBufferSizeSamples() : 0);
        prefs->WriteInteger(kChannelIndexKey, m_outputPair);
    }
    prefs->Synchronize();
}

//==============================================================================
juce::String CVXAudioDeviceManager::Open(const juce::String& name, double rate, int outputPair,
                                         int bufferSize, bool retry)
{
    const juce::ScopedLock sl(m_deviceLock);

    Settings fallback{m_defaultDeviceName, kDefaultSampleRate, 0, kFallbackBufferSize};
    if (m_device != nullptr)
    {
        const int firstChannel = m_device->getActiveOutputChannels().findNextSetBit(0);
        fallback.name = GetCurDeviceName();
        fallback.rate = m_device->getCurrentSampleRate();
        fallback.pair = firstChannel >= 0 ? firstChannel / 2 : m_outputPair;
        fallback.bufferSize = m_device->getCurrentBufferSizeSamples();
    }
    const bool wasLastResort = m_onLastResortDevice;

    Close();

    const Settings requested{name, rate, outputPair, bufferSize};
    const juce::String result = OpenClosed(requested);
    DBG("Audio device \"" << name << "\": " << (result.isEmpty() ? juce::String("opened") : result));
    if (result.isEmpty() || m_device != nullptr || !retry)
        return result;

    // The previous device with its settings (or the platform's default device
    // when none was open), then the platform's default device, then the null
    // device; settings already tried are skipped.
    const Settings candidates[] = {
        fallback,
        {m_defaultDeviceName, kDefaultSampleRate, 0, kFallbackBufferSize},
        {m_nullDeviceName, kDefaultSampleRate, 0, kFallbackBufferSize},
    };
    std::vector<Settings> tried{requested};
    for (size_t i = 0; i < std::size(candidates) && m_device == nullptr; ++i)
    {
        const Settings& candidate = candidates[i];
        if (candidate.name.isEmpty() || std::find(tried.begin(), tried.end(), candidate) != tried.end())
            continue;
        tried.push_back(candidate);
        const juce::String fallbackResult = OpenClosed(candidate);
        DBG("Audio device \"" << candidate.name << "\" (fall-back): "
                              << (fallbackResult.isEmpty() ? juce::String("opened") : fallbackResult));
        if (m_device != nullptr)
            m_onLastResortDevice = (i == 0 && wasLastResort) || (i == 2 && candidate.name != fallback.name);
    }
    return result;
}

juce::String CVXAudioDeviceManager::Open(int deviceIndex, double rate, int outputPair, int bufferSize)
{
    if (deviceIndex < 0)
    {
        Close();
        return {};
    }
    return Open(GetDeviceNames()[deviceIndex], rate, outputPair, bufferSize, true);
}

juce::String CVXAudioDeviceManager::OpenClosed(const Settings& settings)
{
    m_onLastResortDevice = false;

    const int index = GetDeviceNames().indexOf(settings.name);
    if (index < 0 || m_driverType != 0 || static_cast<size_t>(index) >= m_platformDeviceEntries.size())
        return kErrorDeviceNotFound;

    const DeviceEntry& entry = m_platformDeviceEntries[static_cast<size_t>(index)];
    juce::AudioIODeviceType& type = *m_deviceTypes[static_cast<size_t>(entry.typeIndex)];
    m_device.reset(type.createDevice(entry.typeDeviceName, {}));
    if (m_device == nullptr)
        return kErrorCannotCreate;
    const juce::String createError = m_device->getLastError();
    if (createError.isNotEmpty())
    {
        m_device.reset();
        Close();
        return createError;
    }

    // Output pair: channels 2 x pair and 2 x pair + 1; a pair the device does
    // not have becomes pair 0.
    const juce::StringArray channelNames = m_device->getOutputChannelNames();
    const int numPairs = channelNames.size() / 2;
    int pair = std::max(settings.pair, 0);
    if (pair >= numPairs)
        pair = 0;
    juce::BigInteger outputs;
    outputs.setBit(2 * pair);
    outputs.setBit(2 * pair + 1);

    int bufferSize = settings.bufferSize >= 1 ? settings.bufferSize : DefaultBufferSizeForRate(settings.rate);
    const juce::Array<int> offered = GetCurrentDeviceAvailableBufferSize();
    if (!offered.isEmpty())
        bufferSize = ChooseOfferedBufferSize(bufferSize, offered);

    const juce::String openError = m_device->open({}, outputs, settings.rate, bufferSize);
    if (openError.isNotEmpty())
    {
        m_device.reset();
        return openError;
    }

    m_outputPair = pair;
    m_outputPairNames.clearQuick();
    for (int p = 0; p < numPairs; ++p)
        m_outputPairNames.add(channelNames[2 * p] + "/" + channelNames[2 * p + 1]);
    m_deviceIndex = index;
    CallListenersLocked([this](CVXAudioDeviceManagerListener& listener)
                        { listener.OnVXAudioDeviceCurDeviceChanged(this, m_deviceIndex); });
    if (m_device == nullptr)
        return kErrorDeviceNotFound;
    m_sampleRate = m_device->getCurrentSampleRate();

    if (m_device->getAvailableSampleRates().isEmpty())
    {
        Close();
        return kErrorCannotBeRunning;
    }
    m_device->start(this);
    return {};
}

juce::String CVXAudioDeviceManager::Close()
{
    const juce::ScopedLock sl(m_deviceLock);
    if (m_device == nullptr)
        return {};
    Stop();
    m_device->close();
    m_device.reset();
    m_deviceIndex = -1;
    m_sampleRate = 0.0;
    m_onLastResortDevice = false;
    CallListenersLocked([this](CVXAudioDeviceManagerListener& listener)
                        { listener.OnVXAudioDeviceCurDeviceChanged(this, -1); });
    return {};
}

juce::String CVXAudioDeviceManager::Stop()
{
    const juce::ScopedLock sl(m_deviceLock);
    stopTimer();
    m_running.store(false);
    if (m_device != nullptr)
        m_device->stop();
    return {};
}

juce::String CVXAudioDeviceManager::Restart()
{
    const juce::ScopedLock sl(m_deviceLock);
    if (m_device == nullptr)
        return kErrorCannotRestart;
    if (m_device->isPlaying())
        return {};
    const juce::String result = Open(m_deviceIndex, m_device->getCurrentSampleRate(), m_outputPair,
                                     m_device->getCurrentBufferSizeSamples());
    if (result.isEmpty())
        StartDevice();
    return result;
}

void CVXAudioDeviceManager::StartDevice()
{
    const juce::ScopedLock sl(m_deviceLock);
    if (m_device != nullptr)
        m_device->start(this);
}

//==============================================================================
juce::String CVXAudioDeviceManager::ChangeBufferSize(int size)
{
    const juce::ScopedLock sl(m_deviceLock);
    if (m_device == nullptr)
        return kErrorNoDevice;
    if (size == m_device->getCurrentBufferSizeSamples())
        return {};
    return Open(m_deviceIndex, m_device->getCurrentSampleRate(), m_outputPair, size);
}

juce::String CVXAudioDeviceManager::ChangeOutputPair(int pair)
{
    const juce::ScopedLock sl(m_deviceLock);
    if (m_device == nullptr)
        return kErrorNoDevice;
    if (pair == m_outputPair)
        return {};
    return Open(m_deviceIndex, m_device->getCurrentSampleRate(), pair,
                m_device->getCurrentBufferSizeSamples());
}

juce::String CVXAudioDeviceManager::ChangeSampleRate(double rate)
{
    const juce::ScopedLock sl(m_deviceLock);
    if (m_device == nullptr)
        return kErrorNoDevice;
    if (rate == m_device->getCurrentSampleRate())
        return {};
    return ChangeRateAndBufferSize(rate, m_device->getCurrentBufferSizeSamples());
}

juce::String CVXAudioDeviceManager::ChangeRateAndBufferSize(double rate, int bufferSize)
{
    if (m_device == nullptr)
        return kErrorNoDevice;
    const double currentRate = m_device->getCurrentSampleRate();
    if (rate == currentRate && bufferSize == m_device->getCurrentBufferSizeSamples())
        return {};
    return Open(m_deviceIndex, rate, m_outputPair, ScaleBufferSizeForRate(currentRate, rate, bufferSize));
}

//==============================================================================
bool CVXAudioDeviceManager::HasControlPanel() const
{
    return m_device != nullptr && m_device->hasControlPanel();
}

void CVXAudioDeviceManager::ShowControlPanel()
{
    if (HasControlPanel())
        m_device->showControlPanel();
}

juce::Array<int> CVXAudioDeviceManager::GetCurrentDeviceAvailableBufferSize() const
{
    juce::Array<int> sizes;
    if (m_device == nullptr)
        return sizes;
    const juce::Array<int> offered = m_device->getAvailableBufferSizes();
    if (offered.size() == 1)
    {
        sizes.add(m_device->getDefaultBufferSize());
        return sizes;
    }
    for (const int size : offered)
        if (IsPowerOfTwo(size))
            sizes.add(size);
    return sizes;
}

juce::Array<double> CVXAudioDeviceManager::GetDeviceSampleRates(int deviceIndex)
{
    const juce::ScopedLock sl(m_deviceLock);
    if (m_device != nullptr && deviceIndex == m_deviceIndex)
        return m_device->getAvailableSampleRates();
    if (m_driverType != 0 || deviceIndex < 0 ||
        static_cast<size_t>(deviceIndex) >= m_platformDeviceEntries.size())
        return {};
    const DeviceEntry& entry = m_platformDeviceEntries[static_cast<size_t>(deviceIndex)];
    const std::unique_ptr<juce::AudioIODevice> device(
        m_deviceTypes[static_cast<size_t>(entry.typeIndex)]->createDevice(entry.typeDeviceName, {}));
    if (device == nullptr || device->getLastError().isNotEmpty())
        return {};
    return device->getAvailableSampleRates();
}

juce::StringArray CVXAudioDeviceManager::GetDriverTypeNames() const
{
    juce::StringArray names;
    if (m_platformTypeIndex >= 0)
        names.add(m_deviceTypes[static_cast<size_t>(m_platformTypeIndex)]->getTypeName());
    return names;
}

const juce::StringArray& CVXAudioDeviceManager::GetDeviceNames() const
{
    return m_driverType == 1 ? m_asioDeviceNames : m_platformDeviceNames;
}

juce::String CVXAudioDeviceManager::GetCurDeviceName() const
{
    return m_device != nullptr ? GetDeviceNames()[m_deviceIndex] : juce::String();
}

//==============================================================================
void CVXAudioDeviceManager::SetProcessor(CVXAudioDeviceManagerProcessor* processor)
{
    const juce::ScopedLock sl(m_processorLock);
    m_pProcessor = processor;
}

CVXAudioDeviceManagerProcessor* CVXAudioDeviceManager::GetProcessor() const
{
    const juce::ScopedLock sl(m_processorLock);
    return m_pProcessor;
}

void CVXAudioDeviceManager::audioDeviceIOCallbackWithContext(const float* const* in, int numIn,
                                                             float* const* out, int numOut, int numSamples,
                                                             const juce::AudioIODeviceCallbackContext&)
{
    const juce::ScopedLock sl(m_processorLock);
    if (numSamples <= 0 || out == nullptr)
        return;

    // The device's buffers hold anything on entry: every output starts silent,
    // so a processor that fills only some of them leaves silence in the rest.
    for (int ch = 0; ch < numOut; ++ch)
        if (out[ch] != nullptr)
            juce::FloatVectorOperations::clear(out[ch], numSamples);

    // The processor plays a stereo pair; a device with fewer outputs stays silent.
    if (m_pProcessor != nullptr && numOut >= 2 && out[0] != nullptr && out[1] != nullptr)
        m_pProcessor->OnVXAudioDeviceIOCallback(in, numIn, out, numOut, numSamples);
}

void CVXAudioDeviceManager::audioDeviceAboutToStart(juce::AudioIODevice* device)
{
    const juce::ScopedLock sl(m_deviceLock);
    m_idleTicks = 0;
    const double rate = device != nullptr ? device->getCurrentSampleRate() : 0.0;
    const int bufferSize = device != nullptr ? device->getCurrentBufferSizeSamples() : 0;
    m_running.store(true);
    CallListenersLocked([this, rate, bufferSize](CVXAudioDeviceManagerListener& listener)
                        { listener.OnVXAudioDeviceAboutToStart(this, rate, bufferSize); });
    startTimer(kWatchdogIntervalMs);
}

void CVXAudioDeviceManager::audioDeviceStopped()
{
    // A device may report its stop on a thread of its own (JACK does when its
    // server goes away) while the message thread holds the device lock and
    // waits for that device: the notice is posted to the message thread.
    juce::MessageManager* mm = juce::MessageManager::getInstanceWithoutCreating();
    if (mm != nullptr && !mm->isThisTheMessageThread())
    {
        m_stoppedNotice.triggerAsyncUpdate();
        return;
    }
    NotifyStopped();
}

void CVXAudioDeviceManager::NotifyStopped()
{
    const juce::ScopedLock sl(m_deviceLock);
    CallListenersLocked([this](CVXAudioDeviceManagerListener& listener)
                        { listener.OnVXAudioDeviceStopped(this); });
}

void CVXAudioDeviceManager::timerCallback()
{
    stopTimer();
    const juce::ScopedLock sl(m_deviceLock);
    if (m_device != nullptr && m_running.load() && !m_device->isPlaying())
    {
        // Ticks on which the device plays do not reset the count; a start does.
        if (++m_idleTicks >= kWatchdogIdleTicks)
        {
            m_idleTicks = 0;
            // Whatever device the restart leaves open (the same one, or one
            // fallen back on) has started and set m_running; none left clears it.
            Restart();
        }
    }
    if (m_running.load())
        startTimer(kWatchdogIntervalMs);
}
