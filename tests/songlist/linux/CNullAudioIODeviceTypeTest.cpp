#include "src/songlist/linux/CNullAudioIODeviceType.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <atomic>
#include <cmath>
#include <memory>

namespace
{
// Counts the blocks it is given and checks that every output arrives unwritten.
class CountingCallback : public juce::AudioIODeviceCallback
{
public:
    void audioDeviceIOCallbackWithContext(const float* const*, int, float* const* out, int numOut,
                                          int numSamples, const juce::AudioIODeviceCallbackContext&) override
    {
        for (int ch = 0; ch < numOut; ++ch)
        {
            if (!std::isnan(out[ch][0]) || !std::isnan(out[ch][numSamples - 1]))
                ++written;
            juce::FloatVectorOperations::fill(out[ch], 0.5f, numSamples);
        }
        lastNumOut.store(numOut);
        if (++blocks >= 3)
            enough.signal();
    }
    void audioDeviceAboutToStart(juce::AudioIODevice*) override { ++starts; }
    void audioDeviceStopped() override { ++stops; }

    std::atomic<int> blocks{0};
    std::atomic<int> written{0};
    std::atomic<int> lastNumOut{0};
    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
    juce::WaitableEvent enough;
};
} // namespace

TEST(CNullAudioIODeviceType, OffersNullOutputWithTwoPairsAndChecksWhatItOpens)
{
    CNullAudioIODeviceType type;
    type.scanForDevices();
    EXPECT_EQ(type.getTypeName(), "Null");
    EXPECT_EQ(type.getDeviceNames(), juce::StringArray({"Null Output"}));
    EXPECT_TRUE(type.getDeviceNames(true).isEmpty());
    EXPECT_EQ(type.createDevice("Other", ""), nullptr);

    std::unique_ptr<juce::AudioIODevice> device(type.createDevice("Null Output", ""));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(type.getIndexOfDevice(device.get(), false), 0);
    EXPECT_EQ(device->getOutputChannelNames().size(), 4);
    EXPECT_EQ(device->getAvailableSampleRates(), juce::Array<double>({44100.0, 48000.0, 88200.0, 96000.0}));

    juce::BigInteger outputs;
    outputs.setRange(2, 4, true); // channels 2 to 5; the device has 0 to 3
    EXPECT_NE(device->open({}, outputs, 192000.0, 512), "");
    EXPECT_FALSE(device->isOpen());
    EXPECT_EQ(device->open({}, outputs, 96000.0, 1000), "");
    EXPECT_EQ(device->getCurrentSampleRate(), 96000.0);
    EXPECT_EQ(device->getCurrentBufferSizeSamples(), 1024);
    juce::BigInteger expected;
    expected.setRange(2, 2, true);
    EXPECT_EQ(device->getActiveOutputChannels(), expected);

    type.GetControl()->SetOpenError("Null Output", "Gone.");
    EXPECT_EQ(device->open({}, outputs, 96000.0, 1000), "Gone.");
    EXPECT_EQ(device->getLastError(), "Gone.");
}

TEST(CNullAudioIODeviceType, PlaysInRealTimeUntilStopped)
{
    CNullAudioIODeviceType type;
    std::unique_ptr<juce::AudioIODevice> device(type.createDevice("Null Output", ""));
    juce::BigInteger outputs;
    outputs.setRange(0, 2, true);
    ASSERT_EQ(device->open({}, outputs, 48000.0, 64), "");

    CountingCallback callback;
    device->start(&callback);
    EXPECT_EQ(callback.starts.load(), 1);
    EXPECT_TRUE(device->isPlaying());
    EXPECT_TRUE(callback.enough.wait(10000));
    device->stop();
    EXPECT_FALSE(device->isPlaying());
    EXPECT_EQ(callback.stops.load(), 1);

    const int blocks = callback.blocks.load();
    EXPECT_GE(blocks, 3);
    EXPECT_EQ(callback.written.load(), 0);
    EXPECT_EQ(callback.lastNumOut.load(), 2);
    juce::Thread::sleep(20);
    EXPECT_EQ(callback.blocks.load(), blocks);
}

// With a capture file, what the device played is in that file once it
// closes: the channels of the device, at its rate, as played.
TEST(CNullAudioIODeviceType, WritesItsCaptureToAFileWhenItCloses)
{
    const juce::File file = juce::File::createTempFile(".wav");
    CNullAudioIODeviceType type;
    type.GetControl()->SetManualPump(true);
    type.GetControl()->SetCaptureCapacity(1000);
    type.GetControl()->SetCaptureFile(file);
    std::unique_ptr<juce::AudioIODevice> device(type.createDevice("Null Output", ""));
    auto* null = dynamic_cast<CNullAudioIODevice*>(device.get());
    juce::BigInteger outputs;
    outputs.setRange(0, 2, true);
    ASSERT_EQ(device->open({}, outputs, 48000.0, 64), "");
    CountingCallback callback;
    device->start(&callback);
    EXPECT_EQ(null->Pump(3), 3);
    device->close();

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader(
        wav.createReaderFor(file.createInputStream().release(), true));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->sampleRate, 48000.0);
    EXPECT_EQ(reader->lengthInSamples, 3 * 64);
    juce::AudioBuffer<float> read(static_cast<int>(reader->numChannels), 3 * 64);
    reader->read(&read, 0, 3 * 64, 0, true, true);
    EXPECT_EQ(read.getSample(0, 100), 0.5f);
    EXPECT_EQ(read.getSample(1, 191), 0.5f);
    reader.reset();
    file.deleteFile();
}
