// The whole application, started as its own process on the test display and
// driven by real X input (xdotool): it plays into the null output, whose
// capture file the test reads, edits and undoes, saves, quits, starts again
// and recovers from a kill. Pictures of the main window at each step go to
// the test output folder as "e2e_<step>_<language>.png".

#include "tests/src/ChildProcess.h"
#include "tests/src/SonglistTestSupport.h"
#include "tests/src/UiTestSupport.h"
#include "tests/src/XDriver.h"

#include "library/vextal_juce/common/CZJEXmlReader.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace
{
using vxtest::ChildProcess;

// Where the player panel's Play button is, in the window's own coordinates.
constexpr int kPlayX = 68;
constexpr int kPlayY = 66;

// Writes a stereo 16-bit WAV file of a sine wave.
bool WriteSine(const juce::File& file, double frequency, double seconds, double amplitude, double rate = 44100.0)
{
    file.deleteFile();
    std::unique_ptr<juce::OutputStream> stream = file.createOutputStream();
    if (stream == nullptr)
        return false;
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(wav.createWriterFor(stream.get(), rate, 2, 16, {}, 0));
    if (writer == nullptr)
        return false;
    stream.release();
    const int frames = static_cast<int>(seconds * rate);
    juce::AudioBuffer<float> buffer(2, frames);
    for (int i = 0; i < frames; ++i)
    {
        const float v = static_cast<float>(amplitude * std::sin(2.0 * juce::MathConstants<double>::pi * frequency * i / rate));
        buffer.setSample(0, i, v);
        buffer.setSample(1, i, v);
    }
    return writer->writeFromAudioSampleBuffer(buffer, 0, frames);
}

// What a capture holds: its peak and the frequency of its loud part,
// counted from the rising zero crossings.
struct Heard
{
    double rate = 0.0;
    float peak = 0.0f;
    double frequency = 0.0;
    double loudSeconds = 0.0;
};

Heard Listen(const juce::File& file)
{
    Heard heard;
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader(wav.createReaderFor(file.createInputStream().release(), true));
    if (reader == nullptr)
        return heard;
    heard.rate = reader->sampleRate;
    const int frames = static_cast<int>(reader->lengthInSamples);
    juce::AudioBuffer<float> buffer(static_cast<int>(reader->numChannels), frames);
    reader->read(&buffer, 0, frames, 0, true, true);
    int first = -1, last = -1, crossings = 0;
    for (int i = 0; i < frames; ++i)
    {
        const float v = buffer.getSample(0, i);
        heard.peak = std::max(heard.peak, std::abs(v));
        if (std::abs(v) > 0.05f)
        {
            first = first < 0 ? i : first;
            last = i;
        }
        if (i > 0 && buffer.getSample(0, i - 1) < 0.0f && v >= 0.0f)
            ++crossings;
    }
    if (first >= 0 && last > first)
    {
        heard.loudSeconds = (last - first) / heard.rate;
        heard.frequency = crossings / heard.loudSeconds;
    }
    return heard;
}

class EndToEndTest : public testing::TestWithParam<const char*>
{
protected:
    EndToEndTest()
    {
        for (const char* sub : {"home", "config", "data", "run", "music"})
            std::filesystem::create_directories(m_folder / sub);
        ::chmod((m_folder / "run").c_str(), 0700);
        m_environment = {{"HOME", (m_folder / "home").string()},
                         {"XDG_CONFIG_HOME", (m_folder / "config").string()},
                         {"XDG_DATA_HOME", (m_folder / "data").string()},
                         {"XDG_RUNTIME_DIR", (m_folder / "run").string()},
                         {"LANGUAGE", GetParam()},
                         {"LANG", std::string(GetParam()) == "ja" ? "ja_JP.UTF-8" : "en_US.UTF-8"},
                         {"VEXTAL_NULL_CAPTURE", (m_folder / "capture.wav").string()}};
    }

    juce::File Music(const std::string& name) const
    {
        return juce::File((m_folder / "music" / name).string());
    }

    std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> command = {VEXTAL_APP_BINARY};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return std::make_unique<ChildProcess>(command, m_environment);
    }

    void Photograph(const std::string& window, const std::string& step)
    {
        const juce::File file = uitest::OutputFolder().getChildFile("e2e_" + step + "_" + GetParam() + ".png");
        EXPECT_TRUE(xdrive::Screenshot(window, file.getFullPathName().toStdString())) << step;
        const juce::Image image = juce::ImageFileFormat::loadFrom(file);
        EXPECT_TRUE(uitest::IsDrawn(image)) << step;
    }

    songlisttest::TempFolder m_folder;
    std::map<std::string, std::string> m_environment;
};
} // namespace

TEST_P(EndToEndTest, PlaysEditsSavesAndReopens)
{
    if (!xdrive::HaveTools())
        GTEST_SKIP() << "xdotool and ImageMagick are needed";
    ASSERT_TRUE(WriteSine(Music("first.wav"), 441.0, 6.0, 0.5));
    ASSERT_TRUE(WriteSine(Music("second.wav"), 882.0, 3.0, 0.25));
    ASSERT_TRUE(WriteSine(Music("third.wav"), 1323.0, 3.0, 0.25, 48000.0));

    // Started with three files: an untitled, modified songlist of three.
    std::unique_ptr<ChildProcess> app = Start({Music("first.wav").getFullPathName().toStdString(),
                                               Music("second.wav").getFullPathName().toStdString(),
                                               Music("third.wav").getFullPathName().toStdString()});
    const std::string window = xdrive::FindWindow(" - Vextal", 60000);
    ASSERT_FALSE(window.empty()) << "no main window";
    EXPECT_TRUE(xdrive::WaitForName(window, [](const std::string& name) { return name.rfind("*", 0) == 0; }, 10000))
        << xdrive::WindowName(window);
    xdrive::Sleep(500);
    Photograph(window, "started");

    // Play for two seconds: the null output hears the first song.
    ASSERT_TRUE(xdrive::Click(window, kPlayX, kPlayY));
    xdrive::Sleep(2000);
    Photograph(window, "playing");
    ASSERT_TRUE(xdrive::Click(window, kPlayX, kPlayY));
    xdrive::Sleep(300);

    // Quit: the capture is written when the output closes.
    ASSERT_TRUE(xdrive::Key(window, "ctrl+q"));
    EXPECT_EQ(app->WaitForExit(30000), 0);
    const Heard heard = Listen(juce::File((m_folder / "capture.wav").string()));
    EXPECT_NEAR(heard.peak, 0.5f, 0.02f);
    EXPECT_NEAR(heard.frequency, 441.0, 5.0);
    EXPECT_GT(heard.loudSeconds, 1.5);
    EXPECT_LT(heard.loudSeconds, 4.0);
}

INSTANTIATE_TEST_SUITE_P(Languages, EndToEndTest, testing::Values("en", "ja"));
