// The whole application, started as its own process on the test display and
// driven by real X input (xdotool): it plays into the null output, whose
// capture file the test reads, edits and undoes, saves, quits, starts again
// and recovers from a kill. Pictures of the main window at each step go to
// the test output folder as "e2e_<step>_<language>.png".

#include "tests/src/XDriver.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SonglistTestSupport.h"
#include "tests/support/UiTestSupport.h"

#include "library/vextal_juce/common/CZJEXmlReader.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace
{
using vxtest::ChildProcess;

// Places in the main window's own coordinates (the menu bar takes its top
// 24 pixels): the player panel's Play button, the first song's row, the gain
// value of the selected songs and the File menu with its Open Recent item.
constexpr int kPlayX = 68;
constexpr int kPlayY = 66;
constexpr int kFirstRowX = 150;
constexpr int kFirstRowY = 191;
constexpr int kGainX = 541;
constexpr int kGainY = 181;
constexpr int kFileMenuX = 27;
constexpr int kMenuY = 12;
constexpr int kOpenRecentX = 76;
constexpr int kOpenRecentY = 81;
constexpr int kRecentSubmenuX = 480;
// The first recent songlist, below the submenu's Open Last Songlist item and
// its separator.
constexpr int kFirstRecentY = 119;

// Writes a stereo 16-bit WAV file of a sine wave.
bool WriteSine(const juce::File& file, double frequency, double seconds, double amplitude,
               double rate = 44100.0)
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
        const float v = static_cast<float>(
            amplitude * std::sin(2.0 * juce::MathConstants<double>::pi * frequency * i / rate));
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
    std::unique_ptr<juce::AudioFormatReader> reader(
        wav.createReaderFor(file.createInputStream().release(), true));
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

// The gain of the first song in a songlist file; NaN when it has none.
double FirstGain(const juce::File& songlist)
{
    const std::unique_ptr<juce::XmlElement> root = CZJEXmlReader::ParseFile(songlist);
    const juce::XmlElement* track = root != nullptr ? root->getChildByName("Track") : nullptr;
    const juce::XmlElement* control = track != nullptr ? track->getChildByName("Control") : nullptr;
    const juce::XmlElement* gain = control != nullptr ? control->getChildByName("Gain") : nullptr;
    return gain != nullptr ? gain->getAllSubText().getDoubleValue() : std::nan("");
}

int SongCount(const juce::File& songlist)
{
    const std::unique_ptr<juce::XmlElement> root = CZJEXmlReader::ParseFile(songlist);
    return root != nullptr ? root->getNumChildElements() - 1 : -1;
}

template <typename Predicate>
bool WaitFor(Predicate done, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 100)
    {
        if (done())
            return true;
        xdrive::Sleep(100);
    }
    return false;
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

    juce::File Data(const std::string& name) const
    {
        return juce::File((m_folder / "data" / "Vextal" / name).string());
    }

    std::string Path(const juce::File& file) const { return file.getFullPathName().toStdString(); }

    // Starts the application with the files and waits for its main window.
    std::string StartAndFind(std::unique_ptr<ChildProcess>& app, const std::vector<std::string>& arguments)
    {
        app = Start(arguments);
        return xdrive::FindWindow(" - Vextal", 60000);
    }

    // Answers the dialog box or chooser in front of the main window with a
    // key, e.g. "Return".
    void AnswerBox(const std::string& window, const std::string& key)
    {
        const std::string box = xdrive::OtherWindow(window, 20000);
        ASSERT_FALSE(box.empty()) << "no box in front";
        xdrive::Sleep(300);
        EXPECT_TRUE(xdrive::Key(box, key));
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
        const juce::File file =
            uitest::OutputFolder().getChildFile("e2e_" + step + "_" + GetParam() + ".png");
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

    // Started with three files: an untitled songlist of three, marked as
    // modified once the songs are in (the window may show before they are).
    std::unique_ptr<ChildProcess> app;
    const std::string window =
        StartAndFind(app, {Path(Music("first.wav")), Path(Music("second.wav")), Path(Music("third.wav"))});
    ASSERT_FALSE(window.empty()) << "no main window";
    EXPECT_TRUE(xdrive::WaitForName(
        window, [](const std::string& name) { return name.rfind("*untitled.vxsl - Vextal", 0) == 0; }, 30000))
        << xdrive::WindowName(window);
    xdrive::Sleep(1000);
    Photograph(window, "started");

    // Play for two seconds: the null output hears the first song.
    ASSERT_TRUE(xdrive::Click(window, kPlayX, kPlayY));
    xdrive::Sleep(2000);
    Photograph(window, "playing");
    ASSERT_TRUE(xdrive::Click(window, kPlayX, kPlayY));
    xdrive::Sleep(300);

    // The first song's gain dragged up, then undone: the backup written half
    // a second after each edit shows both.
    ASSERT_TRUE(xdrive::Click(window, kFirstRowX, kFirstRowY));
    ASSERT_TRUE(xdrive::Drag(window, kGainX, kGainY, kGainX, kGainY - 25));
    EXPECT_TRUE(WaitFor([&] { return FirstGain(Data("VextalBackup.vxsl")) > 0.5; }, 10000))
        << FirstGain(Data("VextalBackup.vxsl"));
    Photograph(window, "gain");
    ASSERT_TRUE(xdrive::Key(window, "ctrl+z"));
    EXPECT_TRUE(WaitFor([&] { return FirstGain(Data("VextalBackup.vxsl")) == 0.0; }, 10000))
        << FirstGain(Data("VextalBackup.vxsl"));

    // Saved through the file chooser: its name in the title.
    const juce::File saved = Music("saved.vxsl");
    ASSERT_TRUE(xdrive::Key(window, "ctrl+s"));
    const std::string chooser = xdrive::OtherWindow(window, 20000);
    ASSERT_FALSE(chooser.empty()) << "no file chooser";
    xdrive::Sleep(500);
    const auto [width, height] = xdrive::WindowSize(chooser);
    ASSERT_TRUE(xdrive::Click(chooser, width / 2, height - 64));
    ASSERT_TRUE(xdrive::Type(chooser, Path(saved)));
    ASSERT_TRUE(xdrive::Click(chooser, width - 56, height - 26));
    EXPECT_TRUE(xdrive::WaitForName(
        window, [](const std::string& name) { return name.rfind("saved.vxsl - Vextal", 0) == 0; }, 10000))
        << xdrive::WindowName(window);
    EXPECT_EQ(SongCount(saved), 3);
    Photograph(window, "saved");

    // Quit: the capture is written when the output closes.
    ASSERT_TRUE(xdrive::Key(window, "ctrl+q"));
    EXPECT_EQ(app->WaitForExit(30000), 0);
    const Heard heard = Listen(juce::File((m_folder / "capture.wav").string()));
    EXPECT_NEAR(heard.peak, 0.5f, 0.02f);
    EXPECT_NEAR(heard.frequency, 441.0, 5.0);
    EXPECT_GT(heard.loudSeconds, 1.5);
    EXPECT_LT(heard.loudSeconds, 4.0);

    // Started again, the songlist reopens from File > Open Recent.
    const std::string again = StartAndFind(app, {});
    ASSERT_FALSE(again.empty()) << "no main window";
    xdrive::Sleep(1000);
    // The menus open at the pace of the machine: on a loaded one a step can
    // miss a menu that has not shown yet, so the walk is tried again (from
    // closed menus) until the songlist's name is in the title.
    const auto reopened = [](const std::string& name) { return name.rfind("saved.vxsl - Vextal", 0) == 0; };
    bool opened = false;
    for (int attempt = 0; attempt < 4 && !opened; ++attempt)
    {
        if (attempt > 0)
            ASSERT_TRUE(xdrive::Key(again, "Escape Escape"));
        ASSERT_TRUE(xdrive::Click(again, kFileMenuX, kMenuY));
        xdrive::Sleep(500 * (attempt + 1));
        ASSERT_TRUE(xdrive::Hover(again, kOpenRecentX, kOpenRecentY));
        xdrive::Sleep(500 * (attempt + 1));
        ASSERT_TRUE(xdrive::Hover(again, kRecentSubmenuX, kOpenRecentY));
        xdrive::Sleep(500 * (attempt + 1));
        ASSERT_TRUE(xdrive::Hover(again, kRecentSubmenuX, kFirstRecentY));
        xdrive::Sleep(300 * (attempt + 1));
        ASSERT_TRUE(xdrive::Click(again, kRecentSubmenuX, kFirstRecentY));
        opened = xdrive::WaitForName(again, reopened, 10000);
    }
    EXPECT_TRUE(opened) << xdrive::WindowName(again);
    xdrive::Sleep(500);
    Photograph(again, "reopened");
    ASSERT_TRUE(xdrive::Key(again, "ctrl+q"));
    EXPECT_EQ(app->WaitForExit(30000), 0);
}

// Two songs exported through the export sheet into the music folder: WAV
// files of the songs' length, as sox reads them.
TEST_P(EndToEndTest, ExportsThroughTheSheet)
{
    if (!xdrive::HaveTools() || xdrive::Run("command -v soxi").empty())
        GTEST_SKIP() << "xdotool, ImageMagick and sox are needed";
    ASSERT_TRUE(WriteSine(Music("one.wav"), 441.0, 2.0, 0.5));
    ASSERT_TRUE(WriteSine(Music("two.wav"), 882.0, 3.0, 0.25, 48000.0));
    const juce::File destination((m_folder / "home" / "Music").string());
    ASSERT_TRUE(destination.createDirectory());

    std::unique_ptr<ChildProcess> app;
    const std::string window = StartAndFind(app, {Path(Music("one.wav")), Path(Music("two.wav"))});
    ASSERT_FALSE(window.empty()) << "no main window";
    xdrive::Sleep(1000);
    ASSERT_TRUE(xdrive::Key(window, "ctrl+a"));
    ASSERT_TRUE(xdrive::Key(window, "ctrl+shift+e"));
    xdrive::Sleep(1500);
    Photograph(window, "exportsheet");
    ASSERT_TRUE(xdrive::Key(window, "ctrl+shift+e"));

    const juce::File one = destination.getChildFile("one.wav");
    const juce::File two = destination.getChildFile("two.wav");
    // The end of the export is told in a box.
    AnswerBox(window, "Return");
    EXPECT_TRUE(WaitFor([&] { return one.existsAsFile() && two.existsAsFile(); }, 30000));
    EXPECT_EQ(xdrive::Run("soxi -s '" + Path(one) + "'"), "88200");
    EXPECT_EQ(xdrive::Run("soxi -r '" + Path(two) + "'"), "44100");
    EXPECT_EQ(xdrive::Run("soxi -s '" + Path(two) + "'"), "132300");
    xdrive::Sleep(500);
    Photograph(window, "exported");
    ASSERT_TRUE(xdrive::Key(window, "ctrl+q"));
    EXPECT_EQ(app->WaitForExit(30000), 0);
}

// Killed after an edit, the next start asks whether to restore; restored,
// the songlist holds the edit.
TEST_P(EndToEndTest, RestoresAfterAKill)
{
    if (!xdrive::HaveTools())
        GTEST_SKIP() << "xdotool and ImageMagick are needed";
    ASSERT_TRUE(WriteSine(Music("one.wav"), 441.0, 2.0, 0.5));
    ASSERT_TRUE(WriteSine(Music("two.wav"), 882.0, 2.0, 0.25));

    std::unique_ptr<ChildProcess> app;
    const std::string window = StartAndFind(app, {Path(Music("one.wav")), Path(Music("two.wav"))});
    ASSERT_FALSE(window.empty()) << "no main window";
    xdrive::Sleep(1000);
    ASSERT_TRUE(xdrive::Click(window, kFirstRowX, kFirstRowY));
    ASSERT_TRUE(xdrive::Drag(window, kGainX, kGainY, kGainX, kGainY - 25));
    ASSERT_TRUE(WaitFor([&] { return FirstGain(Data("VextalBackup.vxsl")) > 0.5; }, 10000));
    const double gain = FirstGain(Data("VextalBackup.vxsl"));
    app->Kill();

    const std::string again = StartAndFind(app, {});
    ASSERT_FALSE(again.empty()) << "no main window";
    const std::string box = xdrive::OtherWindow(again, 20000);
    ASSERT_FALSE(box.empty()) << "no restore question";
    xdrive::Sleep(500);
    Photograph(box, "restorequestion");
    ASSERT_TRUE(xdrive::Key(box, "Return"));
    xdrive::Sleep(1500);
    Photograph(again, "restored");
    // Quit normally: the songlist of the session is kept as the last one.
    ASSERT_TRUE(xdrive::Key(again, "ctrl+q"));
    EXPECT_EQ(app->WaitForExit(30000), 0);
    EXPECT_EQ(SongCount(Data("VextalLast.vxsl")), 2);
    EXPECT_DOUBLE_EQ(FirstGain(Data("VextalLast.vxsl")), gain);
}

// Two songs burnt through the disc-burn sheet onto the simulated drive,
// declining a second copy: the disc's image holds two tracks of the songs'
// length at 44.1 kHz.
TEST_P(EndToEndTest, BurnsToTheSimulatedDrive)
{
    if (!xdrive::HaveTools())
        GTEST_SKIP() << "xdotool and ImageMagick are needed";
    ASSERT_TRUE(WriteSine(Music("one.wav"), 441.0, 4.0, 0.5));
    ASSERT_TRUE(WriteSine(Music("two.wav"), 882.0, 5.0, 0.25, 48000.0));
    const juce::File drive((m_folder / "drive").string());
    ASSERT_TRUE(drive.createDirectory());
    m_environment["VEXTAL_SIMULATED_DRIVE"] = Path(drive);

    std::unique_ptr<ChildProcess> app;
    const std::string window = StartAndFind(app, {Path(Music("one.wav")), Path(Music("two.wav"))});
    ASSERT_FALSE(window.empty()) << "no main window";
    xdrive::Sleep(1000);
    ASSERT_TRUE(xdrive::Key(window, "ctrl+a"));
    ASSERT_TRUE(xdrive::Key(window, "ctrl+shift+b"));
    xdrive::Sleep(2000);
    Photograph(window, "burnsheet");
    ASSERT_TRUE(xdrive::Key(window, "ctrl+shift+b"));

    // The progress window asks for another copy once the disc is done.
    const juce::File cue = drive.getChildFile("Disc 001.cue");
    const juce::File bin = drive.getChildFile("Disc 001.bin");
    ASSERT_TRUE(WaitFor([&] { return cue.existsAsFile(); }, 90000)) << "no disc image";
    const std::string progress = xdrive::OtherWindow(window, 5000);
    ASSERT_FALSE(progress.empty()) << "no progress window";
    Photograph(progress, "burning");
    // "n" declines the copy once the question shows; until then the window
    // has no use for the key. The window goes when the session has ended.
    EXPECT_TRUE(WaitFor(
        [&]
        {
            if (xdrive::OtherWindow(window, 0).empty())
                return true;
            xdrive::Key(progress, "n");
            return false;
        },
        120000))
        << "the progress window stayed";
    xdrive::Sleep(500);
    Photograph(window, "burnt");
    const juce::String sheet = cue.loadFileAsString();
    EXPECT_TRUE(sheet.contains("TRACK 01 AUDIO")) << sheet;
    EXPECT_TRUE(sheet.contains("TRACK 02 AUDIO")) << sheet;
    EXPECT_FALSE(sheet.contains("TRACK 03")) << sheet;
    // 9 s of audio in whole CD frames of 2352 bytes (the pre-gap is in the
    // cue sheet).
    EXPECT_GE(bin.getSize(), static_cast<int64_t>(9 * 75 * 2352));
    EXPECT_LE(bin.getSize(), static_cast<int64_t>(12 * 75 * 2352));
    ASSERT_TRUE(xdrive::Key(window, "ctrl+q"));
    EXPECT_EQ(app->WaitForExit(30000), 0);
}

INSTANTIATE_TEST_SUITE_P(Languages, EndToEndTest, testing::Values("en", "ja"));
