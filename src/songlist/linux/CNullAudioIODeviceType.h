#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class CNullAudioIODevice;

// A device type whose devices play into nowhere: output-only devices that call
// their callback once per block at the real rate of the open sample rate, so the
// application runs and plays on a machine without sound hardware.
//
// For tests the type carries a Control shared with every device it creates: a
// manual pump mode (no thread; blocks are delivered by CNullAudioIODevice::Pump),
// errors to report on creation or open, and a capture of the output.
class CNullAudioIODeviceType : public juce::AudioIODeviceType
{
public:
    static constexpr const char* kTypeName = "Null";
    static constexpr const char* kDeviceName = "Null Output";

    // What one device offers.
    struct DeviceSpec
    {
        juce::String name;
        int numOutputChannels = 4;
        juce::Array<double> sampleRates;
        juce::Array<int> bufferSizes;
        int defaultBufferSize = 512;
    };

    // "Null Output": two output pairs, 44100 to 96000 Hz, 32 to 8192 samples.
    static DeviceSpec DefaultDeviceSpec();

    // Settings and test hooks shared by the type and its devices; safe to use
    // from any thread.
    class Control
    {
    public:
        // Devices started while this is on deliver blocks only through Pump().
        void SetManualPump(bool on) { m_manualPump.store(on); }
        bool IsManualPump() const { return m_manualPump.load(); }

        // open() of the named device fails with error (an empty error clears it).
        void SetOpenError(const juce::String& deviceName, const juce::String& error);
        juce::String GetOpenError(const juce::String& deviceName) const;

        // A device of that name is created reporting error as its last error.
        void SetCreateError(const juce::String& deviceName, const juce::String& error);
        juce::String GetCreateError(const juce::String& deviceName) const;

        // Devices opened afterwards keep the first frames of their output, up
        // to this many per channel (0: no capture).
        void SetCaptureCapacity(int frames) { m_captureCapacity.store(juce::jmax(0, frames)); }
        int GetCaptureCapacity() const { return m_captureCapacity.load(); }
        // Devices write what they captured to this file (a 32-bit float WAV
        // file) when they close; File() writes nothing.
        void SetCaptureFile(const juce::File& file);
        juce::File GetCaptureFile() const;

        // The number of successful opens of any device of the type.
        int GetOpenCount() const { return m_openCount.load(); }
        void CountOpen() { ++m_openCount; }

    private:
        std::atomic<bool> m_manualPump{false};
        std::atomic<int> m_captureCapacity{0};
        std::atomic<int> m_openCount{0};
        mutable std::mutex m_mutex;
        juce::File m_captureFile;
        std::map<juce::String, juce::String> m_openErrors;
        std::map<juce::String, juce::String> m_createErrors;
    };

    // The type "Null" with the one device "Null Output".
    CNullAudioIODeviceType();
    // A type of the given name offering the given devices, in order.
    explicit CNullAudioIODeviceType(std::vector<DeviceSpec> devices,
                                    const juce::String& typeName = kTypeName);
    ~CNullAudioIODeviceType() override;

    const std::shared_ptr<Control>& GetControl() const { return m_control; }

    void scanForDevices() override {}
    juce::StringArray getDeviceNames(bool wantInputNames = false) const override;
    int getDefaultDeviceIndex(bool forInput) const override;
    int getIndexOfDevice(juce::AudioIODevice* device, bool asInput) const override;
    bool hasSeparateInputsAndOutputs() const override { return false; }
    // A new CNullAudioIODevice for a listed output name; null otherwise.
    juce::AudioIODevice* createDevice(const juce::String& outputDeviceName,
                                      const juce::String& inputDeviceName) override;

private:
    std::vector<DeviceSpec> m_devices;
    std::shared_ptr<Control> m_control;
};

// One device of CNullAudioIODeviceType. Every output it hands to the callback
// holds NaN on entry, as undefined as a real device's buffer; channels that are
// not open are silent.
class CNullAudioIODevice : public juce::AudioIODevice
{
public:
    CNullAudioIODevice(const CNullAudioIODeviceType::DeviceSpec& spec,
                       std::shared_ptr<CNullAudioIODeviceType::Control> control, const juce::String& typeName,
                       const juce::String& createError);
    ~CNullAudioIODevice() override;

    juce::StringArray getOutputChannelNames() override;
    juce::StringArray getInputChannelNames() override { return {}; }
    juce::Array<double> getAvailableSampleRates() override { return m_spec.sampleRates; }
    juce::Array<int> getAvailableBufferSizes() override { return m_spec.bufferSizes; }
    int getDefaultBufferSize() override { return m_spec.defaultBufferSize; }

    // Opens the requested outputs that exist (inputs are ignored). A rate that
    // is not offered is an error; 0 means the first offered rate. A buffer size
    // below 1 means the default; one that is not offered becomes the smallest
    // offered size above it, or the largest.
    juce::String open(const juce::BigInteger& inputChannels, const juce::BigInteger& outputChannels,
                      double sampleRate, int bufferSizeSamples) override;
    void close() override;
    bool isOpen() override { return m_isOpen; }

    void start(juce::AudioIODeviceCallback* callback) override;
    void stop() override;
    // Started and not stalled.
    bool isPlaying() override;
    juce::String getLastError() override { return m_lastError; }

    int getCurrentBufferSizeSamples() override { return m_bufferSize; }
    double getCurrentSampleRate() override { return m_sampleRate; }
    int getCurrentBitDepth() override { return 32; }
    juce::BigInteger getActiveOutputChannels() const override { return m_activeOutputs; }
    juce::BigInteger getActiveInputChannels() const override { return {}; }
    int getOutputLatencyInSamples() override { return m_bufferSize; }
    int getInputLatencyInSamples() override { return 0; }

    // Manual pump mode: delivers numBlocks blocks to the callback on the calling
    // thread. Returns the number delivered (0 when not started or stalled).
    int Pump(int numBlocks);

    // A stalled device stops calling back and reports that it is not playing,
    // as a device that was taken away underneath the program does.
    void SetStalled(bool stalled) { m_stalled.store(stalled); }

    // The captured output: every channel of the device, open or not, for the
    // frames captured since open or the last ClearCapture.
    juce::AudioBuffer<float> GetCapture() const;
    void ClearCapture();

    // Blocks delivered since open.
    int GetNumBlocksDelivered() const { return m_blocksDelivered.load(); }

private:
    // Calls the callback for one block and captures the result. Returns false
    // when nothing was delivered.
    bool RenderBlock();
    void WriteCaptureFile();
    void StartClock();
    void StopClock();
    void RunClock();

    const CNullAudioIODeviceType::DeviceSpec m_spec;
    const std::shared_ptr<CNullAudioIODeviceType::Control> m_control;
    juce::String m_lastError;

    bool m_isOpen = false;
    double m_sampleRate = 0.0;
    int m_bufferSize = 0;
    juce::BigInteger m_activeOutputs;
    // Channel numbers of the open outputs, in order, and their buffers.
    std::vector<int> m_outputChannels;
    juce::AudioBuffer<float> m_outputBuffer;
    std::vector<float*> m_outputPointers;

    // Held for each block and while the callback or the capture changes.
    mutable std::mutex m_renderMutex;
    std::atomic<juce::AudioIODeviceCallback*> m_callback{nullptr};
    std::atomic<bool> m_stalled{false};
    std::atomic<int> m_blocksDelivered{0};
    juce::AudioBuffer<float> m_capture;
    int m_capturedFrames = 0;

    // The real-time clock thread.
    class Clock;
    std::unique_ptr<Clock> m_clock;
    std::mutex m_clockMutex;
    std::condition_variable m_clockWake;
    bool m_clockStop = false;
};
