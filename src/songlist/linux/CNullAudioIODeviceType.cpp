#include "src/songlist/linux/CNullAudioIODeviceType.h"

#include "common/dsp/CThread.h"
#include "library/util/CCheckUtil.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <chrono>
#include <limits>

namespace
{
// Scheduling priority asked for the clock thread; without the privilege for
// real-time scheduling it keeps the default policy.
constexpr int kClockPriority = 8;
} // namespace

//==============================================================================
void CNullAudioIODeviceType::Control::SetOpenError(const juce::String& deviceName, const juce::String& error)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (error.isEmpty())
        m_openErrors.erase(deviceName);
    else
        m_openErrors[deviceName] = error;
}

juce::String CNullAudioIODeviceType::Control::GetOpenError(const juce::String& deviceName) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_openErrors.find(deviceName);
    return it == m_openErrors.end() ? juce::String() : it->second;
}

void CNullAudioIODeviceType::Control::SetCreateError(const juce::String& deviceName,
                                                     const juce::String& error)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (error.isEmpty())
        m_createErrors.erase(deviceName);
    else
        m_createErrors[deviceName] = error;
}

juce::String CNullAudioIODeviceType::Control::GetCreateError(const juce::String& deviceName) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_createErrors.find(deviceName);
    return it == m_createErrors.end() ? juce::String() : it->second;
}

//==============================================================================
CNullAudioIODeviceType::DeviceSpec CNullAudioIODeviceType::DefaultDeviceSpec()
{
    DeviceSpec spec;
    spec.name = kDeviceName;
    spec.numOutputChannels = 4;
    spec.sampleRates = {44100.0, 48000.0, 88200.0, 96000.0};
    spec.bufferSizes = {32, 64, 128, 256, 480, 512, 960, 1024, 2048, 4096, 8192};
    spec.defaultBufferSize = 512;
    return spec;
}

CNullAudioIODeviceType::CNullAudioIODeviceType() : CNullAudioIODeviceType({DefaultDeviceSpec()}) {}

CNullAudioIODeviceType::CNullAudioIODeviceType(std::vector<DeviceSpec> devices, const juce::String& typeName)
    : juce::AudioIODeviceType(typeName), m_devices(std::move(devices)), m_control(std::make_shared<Control>())
{
}

CNullAudioIODeviceType::~CNullAudioIODeviceType() = default;

void CNullAudioIODeviceType::Control::SetCaptureFile(const juce::File& file)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_captureFile = file;
}

juce::File CNullAudioIODeviceType::Control::GetCaptureFile() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_captureFile;
}

juce::StringArray CNullAudioIODeviceType::getDeviceNames(bool wantInputNames) const
{
    juce::StringArray names;
    if (!wantInputNames)
        for (const DeviceSpec& spec : m_devices)
            names.add(spec.name);
    return names;
}

int CNullAudioIODeviceType::getDefaultDeviceIndex(bool forInput) const
{
    return forInput || m_devices.empty() ? -1 : 0;
}

int CNullAudioIODeviceType::getIndexOfDevice(juce::AudioIODevice* device, bool asInput) const
{
    if (asInput || dynamic_cast<CNullAudioIODevice*>(device) == nullptr)
        return -1;
    return getDeviceNames(false).indexOf(device->getName());
}

juce::AudioIODevice* CNullAudioIODeviceType::createDevice(const juce::String& outputDeviceName,
                                                          const juce::String&)
{
    for (const DeviceSpec& spec : m_devices)
        if (spec.name == outputDeviceName)
            return new CNullAudioIODevice(spec, m_control, getTypeName(),
                                          m_control->GetCreateError(outputDeviceName));
    return nullptr;
}

//==============================================================================
// Calls back once per block at the real rate: each deadline is counted from a
// fixed origin, so waiting never accumulates drift; a block that ends more than
// a period late starts a new origin rather than catching up in a burst.
class CNullAudioIODevice::Clock : public CThread
{
public:
    explicit Clock(CNullAudioIODevice& device) : m_device(device) {}
    ~Clock() override { StopThread(-1); }

protected:
    void Run() override
    {
        try
        {
            m_device.RunClock();
        }
        catch (...)
        {
            CCheckUtil::ReportFailure(__FILE__, __LINE__, "the clock of the null device never throws");
        }
    }

private:
    CNullAudioIODevice& m_device;
};

CNullAudioIODevice::CNullAudioIODevice(const CNullAudioIODeviceType::DeviceSpec& spec,
                                       std::shared_ptr<CNullAudioIODeviceType::Control> control,
                                       const juce::String& typeName, const juce::String& createError)
    : juce::AudioIODevice(spec.name, typeName), m_spec(spec), m_control(std::move(control)),
      m_lastError(createError)
{
}

CNullAudioIODevice::~CNullAudioIODevice()
{
    close();
}

juce::StringArray CNullAudioIODevice::getOutputChannelNames()
{
    juce::StringArray names;
    for (int i = 0; i < m_spec.numOutputChannels; ++i)
        names.add("Output " + juce::String(i + 1));
    return names;
}

juce::String CNullAudioIODevice::open(const juce::BigInteger&, const juce::BigInteger& outputChannels,
                                      double sampleRate, int bufferSizeSamples)
{
    close();

    m_lastError = m_control->GetOpenError(getName());
    if (m_lastError.isNotEmpty())
        return m_lastError;

    double rate = sampleRate;
    if (rate <= 0.0)
        rate = m_spec.sampleRates.isEmpty() ? 44100.0 : m_spec.sampleRates.getFirst();
    if (!m_spec.sampleRates.isEmpty() && !m_spec.sampleRates.contains(rate))
    {
        m_lastError = "The sample rate " + juce::String(rate) + " Hz is not supported.";
        return m_lastError;
    }

    int size = bufferSizeSamples >= 1 ? bufferSizeSamples : m_spec.defaultBufferSize;
    if (!m_spec.bufferSizes.isEmpty() && !m_spec.bufferSizes.contains(size))
    {
        int above = 0;
        int largest = 0;
        for (const int offered : m_spec.bufferSizes)
        {
            if (offered >= size && (above == 0 || offered < above))
                above = offered;
            largest = juce::jmax(largest, offered);
        }
        size = above != 0 ? above : largest;
    }
    if (size < 1)
        size = 512;

    m_activeOutputs = {};
    m_outputChannels.clear();
    for (int ch = 0; ch < m_spec.numOutputChannels; ++ch)
    {
        if (outputChannels[ch])
        {
            m_activeOutputs.setBit(ch);
            m_outputChannels.push_back(ch);
        }
    }

    m_sampleRate = rate;
    m_bufferSize = size;
    m_outputBuffer.setSize(static_cast<int>(m_outputChannels.size()), size);
    m_outputPointers.clear();
    for (int i = 0; i < m_outputBuffer.getNumChannels(); ++i)
        m_outputPointers.push_back(m_outputBuffer.getWritePointer(i));

    {
        const std::lock_guard<std::mutex> lock(m_renderMutex);
        m_capture.setSize(m_spec.numOutputChannels, m_control->GetCaptureCapacity());
        m_capture.clear();
        m_capturedFrames = 0;
    }
    m_blocksDelivered.store(0);
    m_isOpen = true;
    m_control->CountOpen();
    return {};
}

void CNullAudioIODevice::close()
{
    stop();
    if (m_isOpen)
        WriteCaptureFile();
    m_isOpen = false;
}

void CNullAudioIODevice::WriteCaptureFile()
{
    const juce::File file = m_control->GetCaptureFile();
    if (file == juce::File())
        return;
    const juce::AudioBuffer<float> capture = GetCapture();
    file.deleteFile();
    std::unique_ptr<juce::OutputStream> out = file.createOutputStream();
    if (out == nullptr)
        return;
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(wav.createWriterFor(
        out.get(), m_sampleRate, static_cast<unsigned int>(capture.getNumChannels()), 32, {}, 0));
    if (writer == nullptr)
        return;
    out.release(); // the writer owns the stream from here
    writer->writeFromAudioSampleBuffer(capture, 0, capture.getNumSamples());
}

void CNullAudioIODevice::start(juce::AudioIODeviceCallback* callback)
{
    if (!m_isOpen || callback == m_callback.load())
        return;
    if (callback == nullptr)
    {
        stop();
        return;
    }

    callback->audioDeviceAboutToStart(this);
    juce::AudioIODeviceCallback* previous = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_renderMutex);
        previous = m_callback.exchange(callback);
    }
    if (previous == nullptr && !m_control->IsManualPump())
        StartClock();
    if (previous != nullptr)
        previous->audioDeviceStopped();
}

void CNullAudioIODevice::stop()
{
    juce::AudioIODeviceCallback* previous = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_renderMutex);
        previous = m_callback.exchange(nullptr);
    }
    StopClock();
    if (previous != nullptr)
        previous->audioDeviceStopped();
}

bool CNullAudioIODevice::isPlaying()
{
    return m_callback.load() != nullptr && !m_stalled.load();
}

int CNullAudioIODevice::Pump(int numBlocks)
{
    int delivered = 0;
    for (int i = 0; i < numBlocks; ++i)
        if (RenderBlock())
            ++delivered;
    return delivered;
}

juce::AudioBuffer<float> CNullAudioIODevice::GetCapture() const
{
    const std::lock_guard<std::mutex> lock(m_renderMutex);
    juce::AudioBuffer<float> copy(m_capture.getNumChannels(), m_capturedFrames);
    for (int ch = 0; ch < m_capture.getNumChannels(); ++ch)
        copy.copyFrom(ch, 0, m_capture, ch, 0, m_capturedFrames);
    return copy;
}

void CNullAudioIODevice::ClearCapture()
{
    const std::lock_guard<std::mutex> lock(m_renderMutex);
    m_capture.clear();
    m_capturedFrames = 0;
}

bool CNullAudioIODevice::RenderBlock()
{
    const std::lock_guard<std::mutex> lock(m_renderMutex);
    juce::AudioIODeviceCallback* callback = m_callback.load();
    if (callback == nullptr || m_stalled.load())
        return false;

    const int numSamples = m_bufferSize;
    const int numOutputs = static_cast<int>(m_outputPointers.size());
    for (float* output : m_outputPointers)
        juce::FloatVectorOperations::fill(output, std::numeric_limits<float>::quiet_NaN(), numSamples);

    const juce::AudioIODeviceCallbackContext context;
    callback->audioDeviceIOCallbackWithContext(nullptr, 0, m_outputPointers.data(), numOutputs, numSamples,
                                               context);

    const int frames = juce::jmin(numSamples, m_capture.getNumSamples() - m_capturedFrames);
    if (frames > 0)
    {
        for (int i = 0; i < numOutputs; ++i)
            m_capture.copyFrom(m_outputChannels[static_cast<size_t>(i)], m_capturedFrames,
                               m_outputPointers[i], frames);
        m_capturedFrames += frames;
    }
    ++m_blocksDelivered;
    return true;
}

void CNullAudioIODevice::StartClock()
{
    StopClock();
    {
        const std::lock_guard<std::mutex> lock(m_clockMutex);
        m_clockStop = false;
    }
    m_clock = std::make_unique<Clock>(*this);
    if (!m_clock->StartThread(kClockPriority))
        m_clock.reset();
}

void CNullAudioIODevice::StopClock()
{
    if (m_clock == nullptr)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_clockMutex);
        m_clockStop = true;
    }
    m_clockWake.notify_all();
    m_clock->StopThread(-1);
    m_clock.reset();
}

void CNullAudioIODevice::RunClock()
{
    using SteadyClock = std::chrono::steady_clock;
    const std::chrono::duration<double> period(static_cast<double>(m_bufferSize) / m_sampleRate);

    SteadyClock::time_point origin = SteadyClock::now();
    int64_t block = 0;
    std::unique_lock<std::mutex> lock(m_clockMutex);
    while (!m_clockStop)
    {
        ++block;
        const SteadyClock::time_point deadline =
            origin + std::chrono::duration_cast<SteadyClock::duration>(period * static_cast<double>(block));
        if (m_clockWake.wait_until(lock, deadline, [this] { return m_clockStop; }))
            break;

        lock.unlock();
        RenderBlock();
        lock.lock();

        const SteadyClock::time_point now = SteadyClock::now();
        if (now - deadline > period)
        {
            origin = now;
            block = 0;
        }
    }
}
