#include "src/songlist/Output/FileExportSession.h"

#include "common/dsp/CAudioFileConverterBase.h"
#include "common/dsp/CNormalizeGainDetect.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/Output/ExportManager.h"
#include "src/songlist/VXUtil.h"

#include "tests/support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using Vextal::CommonExportParameter;
using Vextal::ExportManager;
using Vextal::ExportSession;
using Vextal::FileExportParameter;
using Vextal::FileExportSession;
using Vextal::TrackInfo;

namespace
{
using hosttest::HostTest;
using hosttest::RangesOf;
namespace fs = std::filesystem;

constexpr int kWavFormat = 0;
constexpr int kAiffFormat = 2;
constexpr int kAacFormat = 8;
constexpr int kDitherTpdf = 1;
constexpr int kNormalizeEach = 1;
constexpr int kNormalizeAll = 2;

// The notices the export manager relays, as text, and how warnings are
// answered.
class RecordingListener : public Vextal::ExportSessionListener
{
public:
    void exportAboutToStart(ExportSession*) override { notices.push_back("start"); }
    void exportSongProcessAboutToStart(ExportSession*) override
    {
        notices.push_back("songs");
        ++songProcessStarts;
    }
    void exportEnded(ExportSession*, bool aborted) override
    {
        notices.push_back(aborted ? "end aborted" : "end");
        ended = true;
        endedAborted = aborted;
    }
    void exportErrorOccured(ExportSession*, const char* key, const juce::SparseSet<int>& songs,
                            const juce::StringArray& args) override
    {
        notices.push_back(std::string("error ") + key + " " + RangesOf(songs));
        errorArgs = args;
    }
    bool exportShouldIgnoreWarning(ExportSession*, const char* key, const juce::SparseSet<int>& songs,
                                   const juce::StringArray&) override
    {
        notices.push_back(std::string("warning ") + key + " " + RangesOf(songs));
        return answer;
    }
    void exportProgressUpdated(ExportSession*, double, const char* key,
                               const juce::StringArray& args) override
    {
        if (key == nullptr)
            ++conversionProgress;
        else
            normalizeTexts.add(args[0]);
    }

    // The errors and warnings, in order, joined by "; ".
    std::string Questions() const
    {
        std::string all;
        for (const auto& n : notices)
            if (n.rfind("error", 0) == 0 || n.rfind("warning", 0) == 0)
                all += (all.empty() ? "" : "; ") + n;
        return all;
    }

    std::vector<std::string> notices;
    juce::StringArray errorArgs;
    juce::StringArray normalizeTexts;
    int conversionProgress = 0;
    int songProcessStarts = 0;
    bool ended = false;
    bool endedAborted = false;
    bool answer = true;
};

// The session with the free space of its volume given by the test.
class TestSession : public FileExportSession
{
public:
    using FileExportSession::FileExportSession;

    int64_t freeBytes = int64_t{1} << 50;

protected:
    int64_t freeBytesAt(const juce::File&) const override { return freeBytes; }
};

// A stereo 16-bit 44.1 kHz WAV file of frames frames whose data is not
// written (a sparse file of zeros), for sizes no test writes for real.
bool WriteSparseWav(const fs::path& path, int64_t frames)
{
    const uint32_t dataBytes = static_cast<uint32_t>(frames * 4);
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(dataBytes + 36);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    out.write("data", 4);
    u32(dataBytes);
    out.close();
    std::error_code ec;
    fs::resize_file(path, 44 + static_cast<uintmax_t>(dataBytes), ec);
    return !ec;
}

// A stereo 16-bit WAV square wave whose peak is amplitude (full scale 1).
bool WriteSquareWav(const fs::path& path, int64_t frames, double amplitude)
{
    const int32_t level = static_cast<int32_t>(std::lround(amplitude * 32767.0)) << 16;
    std::unique_ptr<CAudioFileWriteBase> w(
        VextalFileUtil::CreateAudioFileWriteObject(songlisttest::Wide(path).c_str(), "wav", 44100, 16, 2, 0));
    if (w == nullptr)
        return false;
    std::vector<int32_t> data(static_cast<size_t>(frames));
    for (int64_t i = 0; i < frames; ++i)
        data[static_cast<size_t>(i)] = (i / 100) % 2 == 0 ? level : -level;
    int32_t* ptrs[2] = {data.data(), data.data()};
    return w->WriteAudioData(ptrs, static_cast<uint32_t>(frames)) == frames && w->CloseFile();
}

// The names of the files under a folder, sorted, with their folders.
std::vector<std::string> FilesUnder(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Capture(const std::string& cmd)
{
    std::string out = rifftest::RunCapture(cmd);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

class FileExportSessionTest : public HostTest
{
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        fs::create_directories(m_out);
        ExportManager::GetInstance()->AddListener(&m_recorder);
    }

    void TearDown() override
    {
        ExportManager::GetInstance()->cancel();
        WaitForEnd();
        ExportManager::GetInstance()->RemoveListener(&m_recorder);
        HostTest::TearDown();
    }

    // WAV, stereo, 44.1 kHz, 16 bit into the output folder.
    void SetUpParameters(int format = kWavFormat)
    {
        m_file.setParameterText(FileExportParameter::kOutputPath, juce::String(m_out.string()), false);
        m_file.setParameterValue(FileExportParameter::kFormat, format, false);
    }

    std::unique_ptr<TestSession> MakeSession()
    {
        return std::make_unique<TestSession>(m_common, m_file, m_host.get(), m_commands.get());
    }

    // Hands the session to the export manager: start()'s answer.
    bool Start(std::unique_ptr<TestSession> session)
    {
        m_session = session.get();
        std::unique_ptr<ExportSession> s = std::move(session);
        return ExportManager::GetInstance()->start(s);
    }

    bool WaitForEnd(double seconds = 60.0)
    {
        if (!DispatchUntil([] { return !ExportManager::GetInstance()->isBusy(); }, seconds, 5))
            return false;
        Dispatch(5); // progress still posted
        return true;
    }

    bool WaitFor(const std::function<bool()>& done, double seconds = 30.0)
    {
        return DispatchUntil(done, seconds, 1);
    }

    // Adds a song of a ramp file of the given length, named name.
    TrackInfo* AddNamedSong(const std::string& name, int64_t frames = 2205, uint16_t channels = 2)
    {
        const auto path = m_folder / ("src" + std::to_string(m_host->GetNumSongs()) + ".wav");
        EXPECT_TRUE(songlisttest::WriteRampFile(path, "wav", frames, 44100, channels, 1));
        TrackInfo* song = AddSong(path);
        song->setText(TrackInfo::kSongName, juce::String::fromUTF8(name.c_str()), false);
        return song;
    }

    fs::path m_out = m_folder / "out";
    CommonExportParameter m_common{[] { return true; }};
    FileExportParameter m_file;
    std::unique_ptr<Vextal::CommandManager> m_commands;
    RecordingListener m_recorder;
    TestSession* m_session = nullptr;
};

// Every check that refuses an export (or asks first) before a file is
// touched, with the songs it names: a destination that went away, songs
// missing, output names that collide or reach files of the songlist, files
// already there, free space and the 4 GB limit of PCM formats.
TEST_F(FileExportSessionTest, ChecksRefuseOrAskBeforeAnythingIsWritten)
{
    const int64_t smallSong = 2205;
    const int64_t smallSize = CAudioFileConverterBase::GetExportDataSize(smallSong, 44100, 44100, 16, 2, 0);
    // The largest sample count whose WAV estimate is at most 2^32 bytes
    // (the estimate moves in steps of 8 samples).
    const int64_t frames4GB = ((FileExportSession::kMaxPcmFileBytes - 2048) / 32) * 8;
    ASSERT_EQ(CAudioFileConverterBase::GetExportDataSize(frames4GB, 44100, 44100, 16, 2, 0),
              FileExportSession::kMaxPcmFileBytes);

    struct Case
    {
        const char* name;
        std::function<void()> arrange;
        bool starts;
        std::string question;
        int64_t freeBytes = int64_t{1} << 50;
        bool answer = true;
        // The arguments of the error, when given.
        juce::StringArray args = {};
        // Further checks after the start.
        std::function<void()> verify = {};
    };
    const std::vector<Case> cases = {
        {"destination on a disk that went away",
         [&]
         {
             AddNamedSong("a");
             fs::remove_all(m_out);
         },
         false, "error Export_DestinationNotFound "},
        {"some songs missing: asked, the others go on",
         [&]
         {
             AddNamedSong("a");
             MakeUnloadable(AddNamedSong("b"));
             AddNamedSong("c");
         },
         true, "warning Export_FileNotFound 1"},
        {"all songs missing",
         [&]
         {
             MakeUnloadable(AddNamedSong("a"));
             MakeUnloadable(AddNamedSong("b"));
         },
         false, "error Export_NoSongToExport 0-1"},
        {"an output file that the songlist reads, though it does not exist yet",
         [&]
         {
             AddNamedSong("x");
             TrackInfo* other = AddNamedSong("y");
             juce::Array<CPlaylistFile*> files;
             other->getAllFiles(files);
             files[0]->SetFile(songlisttest::Wide(m_out / "x.wav").c_str(), files[0]->GetAbsStartSample(),
                               files[0]->GetAbsStopSample(), 0);
         },
         false, "warning Export_FileNotFound 1; error Export_AlreadyExistsInSonglist 0"},
        {"mono files are named .trk1 and .trk2: an existing .trk2, refused",
         [&]
         {
             m_file.setParameterValue(FileExportParameter::kType, FileExportParameter::kTypeMono, false);
             AddNamedSong("a");
             AddNamedSong("m");
             std::ofstream(m_out / "m.trk2.wav") << "keep";
         },
         false,
         "warning Export_AlreadyExists 1",
         int64_t{1} << 50,
         false,
         {},
         [&]
         {
             std::ifstream in(m_out / "m.trk2.wav");
             std::string text;
             in >> text;
             EXPECT_EQ(text, "keep");
         }},
        {"an existing file, replaced when the user agrees",
         [&]
         {
             AddNamedSong("a");
             std::ofstream(m_out / "a.wav") << "old";
         },
         true, "warning Export_AlreadyExists 0"},
        {"two songs whose safe names are one file",
         [&]
         {
             AddNamedSong("a/b");
             AddNamedSong("c");
             AddNamedSong("a_b");
         },
         false, "error Export_FileNameCollision 0,2"},
        {"two songs whose names differ only in letter case",
         [&]
         {
             AddNamedSong("Song");
             AddNamedSong("song");
         },
         false, "error Export_FileNameCollision 0-1"},
        {"free space exactly the need and the margin", [&] { AddNamedSong("a", smallSong); }, true, "",
         smallSize + FileExportSession::kFreeSpaceMargin},
        {"one byte less, the need told in 1024-based units", [&] { AddNamedSong("a", smallSong); }, false,
         "error Export_DiskFull ", smallSize + FileExportSession::kFreeSpaceMargin - 1, true,
         juce::StringArray(
             Vextal::descriptionOfSizeInBytes(smallSize + FileExportSession::kFreeSpaceMargin, false, 2))},
        {"a WAV file of exactly 4 GB",
         [&]
         {
             ASSERT_TRUE(WriteSparseWav(m_folder / "big.wav", frames4GB));
             AddSong(m_folder / "big.wav");
         },
         true, ""},
        {"the next size up",
         [&]
         {
             ASSERT_TRUE(WriteSparseWav(m_folder / "big.wav", frames4GB + 8));
             AddSong(m_folder / "big.wav");
         },
         false, "error Export_PCMOver4GB 0"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MakeHost();
        fs::remove_all(m_out);
        fs::create_directories(m_out);
        m_file.copyValue(FileExportParameter());
        SetUpParameters();
        m_recorder = RecordingListener();
        m_recorder.answer = c.answer;
        c.arrange();
        const std::vector<std::string> before =
            fs::exists(m_out) ? FilesUnder(m_out) : std::vector<std::string>();
        auto session = MakeSession();
        session->freeBytes = c.freeBytes;
        const bool started = Start(std::move(session));
        EXPECT_EQ(started, c.starts);
        EXPECT_EQ(m_recorder.Questions(), c.question);
        if (!c.args.isEmpty())
        {
            EXPECT_EQ(m_recorder.errorArgs, c.args);
        }
        if (started)
        {
            ExportManager::GetInstance()->cancel();
            EXPECT_TRUE(WaitForEnd());
        }
        else if (fs::exists(m_out))
        {
            // Nothing written, nothing replaced.
            EXPECT_EQ(FilesUnder(m_out), before);
        }
        if (c.verify)
            c.verify();
        fs::remove(m_folder / "big.wav");
    }
}

// A cancel is never lost, whatever stage it meets: right after the start,
// during the normalization scan or during the conversion, the session ends
// aborted, stores no gains and leaves no partial file behind.
TEST_F(FileExportSessionTest, ACancelAtAnyStageEndsAbortedWithoutPartialFiles)
{
    enum Stage
    {
        kAfterStart,
        kNormalizing,
        kConverting
    };
    const int64_t frames = 44100 * 60;
    for (Stage stage : {kAfterStart, kNormalizing, kConverting})
    {
        SCOPED_TRACE(stage);
        MakeHost();
        fs::remove_all(m_out);
        fs::create_directories(m_out);
        m_recorder = RecordingListener();
        SetUpParameters();
        m_common.setParameterValue(CommonExportParameter::kNormalizeMode,
                                   stage == kNormalizing ? kNormalizeEach : 0, false);
        for (int i = 0; i < 3; ++i)
            AddNamedSong("n" + std::to_string(i), frames);
        ASSERT_TRUE(Start(MakeSession()));
        if (stage == kNormalizing)
        {
            ASSERT_TRUE(WaitFor([&] { return !m_recorder.normalizeTexts.isEmpty(); }));
        }
        if (stage == kConverting)
        {
            ASSERT_TRUE(WaitFor([&] { return m_recorder.conversionProgress > 0; }));
        }
        ExportManager::GetInstance()->cancel();
        ASSERT_TRUE(WaitForEnd());
        EXPECT_TRUE(m_recorder.ended);
        EXPECT_TRUE(m_recorder.endedAborted);
        EXPECT_FALSE(m_session->hasNormalized());
        // Songs finished before the cancel stay whole; nothing else is left.
        for (const std::string& name : FilesUnder(m_out))
        {
            SCOPED_TRACE(name);
            EXPECT_EQ(Capture("soxi -s '" + (m_out / name).string() + "'"), std::to_string(frames));
        }
        if (stage == kNormalizing)
        {
            EXPECT_EQ(m_recorder.songProcessStarts, 0);
            EXPECT_EQ(m_recorder.normalizeTexts[0], "n0 (1 / 3)");
            EXPECT_TRUE(FilesUnder(m_out).empty());
        }
    }
}

// Songs the converter fails are told in one error, then the session ends
// aborted. Songs 2 and 5 are renamed to one name after the checks, so the
// converter fails both before it writes anything.
TEST_F(FileExportSessionTest, FailedSongsAreReportedTogether)
{
    SetUpParameters();
    for (int i = 0; i < 6; ++i)
        AddNamedSong("s" + std::to_string(i));
    ASSERT_TRUE(Start(MakeSession()));
    // The session's thread waits for the message thread, which is here.
    m_host->GetSong(2)->setText(TrackInfo::kSongName, "same", false);
    m_host->GetSong(5)->setText(TrackInfo::kSongName, "same", false);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_recorder.Questions(), "error Export_CannotOpenOutputFile 2,5");
    EXPECT_TRUE(m_recorder.endedAborted);
    EXPECT_TRUE(FilesUnder(m_out).empty());
}

// A song that cannot be read by the normalization scan is reported and
// nothing is exported (rather than exported with a gain nobody measured).
TEST_F(FileExportSessionTest, ASongTheScanCannotReadIsReported)
{
    SetUpParameters();
    m_common.setParameterValue(CommonExportParameter::kNormalizeMode, kNormalizeEach, false);
    AddNamedSong("a");
    AddNamedSong("b");
    ASSERT_TRUE(Start(MakeSession()));
    // Gone after the checks, before the scan opens it.
    fs::remove(m_folder / "src1.wav");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_recorder.Questions(), "error Export_CannotReadSongs 1");
    EXPECT_TRUE(m_recorder.endedAborted);
    EXPECT_TRUE(FilesUnder(m_out).empty());
}

// Songs whose peaks call for 3.0, 1.5 and 6.0 dB: Each keeps every song's
// own gain, All gives every song the smallest; applying the gains is one
// undo step.
TEST_F(FileExportSessionTest, NormalizedGainsApplyAsOneUndoStep)
{
    const double gains[] = {3.0, 1.5, 6.0};
    for (int mode : {kNormalizeEach, kNormalizeAll})
    {
        SCOPED_TRACE(mode);
        MakeHost();
        m_commands = std::make_unique<Vextal::CommandManager>(*m_host, [] {});
        fs::remove_all(m_out);
        fs::create_directories(m_out);
        m_recorder = RecordingListener();
        SetUpParameters();
        m_common.setParameterValue(CommonExportParameter::kNormalizeMode, mode, false);
        for (int i = 0; i < 3; ++i)
        {
            const auto path = m_folder / ("peak" + std::to_string(i) + ".wav");
            const double peak = std::pow(
                10.0, -(gains[i] - CNormalizeGainDetectProcessBase::GetNormalizePeakLeveldB()) / 20.0);
            ASSERT_TRUE(WriteSquareWav(path, 22050, peak));
            AddSong(path);
        }
        ASSERT_TRUE(Start(MakeSession()));
        ASSERT_TRUE(WaitForEnd());
        ASSERT_EQ(m_recorder.notices.back(), "end");
        ASSERT_TRUE(m_session->hasNormalized());
        for (int i = 0; i < 3; ++i)
        {
            const TrackInfo* song = m_host->GetSong(i);
            EXPECT_TRUE(song->isNormalize());
            EXPECT_NEAR(song->getNormalizeOffset(), mode == kNormalizeAll ? 1.5 : gains[i], 0.01);
        }
        m_session->applyNormalizedGains();
        for (int i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ(m_host->GetSong(i)->getControlFloat(0),
                            mode == kNormalizeAll ? 1.5f : float(gains[i]));
        EXPECT_TRUE(m_commands->undo());
        EXPECT_FALSE(m_commands->canUndo());
        for (int i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ(m_host->GetSong(i)->getControlFloat(0), 0.0f);
        ExportManager::GetInstance()->cancel();
        m_commands.reset();
    }
}

// Song names become names of files in the output folder only: separators
// and dot names are replaced, nothing is written anywhere else.
TEST_F(FileExportSessionTest, UnsafeSongNamesStayInTheFolder)
{
    SetUpParameters();
    AddNamedSong("../up");
    AddNamedSong("..");
    AddNamedSong("");
    AddNamedSong("a/b/c");
    const auto before = FilesUnder(m_folder.Path());
    ASSERT_TRUE(Start(MakeSession()));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_recorder.notices.back(), "end");
    std::vector<std::string> added;
    const auto after = FilesUnder(m_folder.Path());
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    EXPECT_EQ(added, (std::vector<std::string>{"out/.._up.wav", "out/_.wav", "out/__.wav", "out/a_b_c.wav"}));
}

// WAV, AIFF and MP3 songs exported without a window, checked by other
// programs: WAV at 48 kHz, 24 bit with TPDF dither (length to the sample),
// and AAC.
TEST_F(FileExportSessionTest, ExportsWavAiffAndMp3SongsToWavAndAac)
{
    if (!rifftest::HaveTool("ffprobe") || !rifftest::HaveTool("soxi") || !rifftest::HaveTool("ffmpeg"))
        GTEST_SKIP() << "ffmpeg, ffprobe and sox are needed";
    const int64_t frames = 44100;
    ASSERT_TRUE(songlisttest::WriteRampFile(m_folder / "w.wav", "wav", frames, 44100, 2, 1));
    ASSERT_TRUE(songlisttest::WriteRampFile(m_folder / "a.aiff", "aiff", frames, 44100, 2, 7));
    ASSERT_TRUE(songlisttest::WriteRampFile(m_folder / "m-src.wav", "wav", frames, 44100, 2, 3));
    ASSERT_TRUE(songlisttest::MakeMp3(m_folder / "m-src.wav", m_folder / "m.mp3"));
    for (const char* file : {"w.wav", "a.aiff", "m.mp3"})
        ASSERT_NE(AddSong(m_folder / file), nullptr) << file;

    // WAV, 48 kHz, 24 bit, TPDF dither.
    SetUpParameters(kWavFormat);
    m_file.setParameterValue(FileExportParameter::kSampleRate, 48000, false);
    m_file.setParameterValue(FileExportParameter::kBitDepth, 24, false);
    m_common.setParameterValue(CommonExportParameter::kDitherType, kDitherTpdf, false);
    ASSERT_TRUE(Start(MakeSession()));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(m_recorder.notices.back(), "end");
    for (const char* name : {"w", "a", "m"})
    {
        SCOPED_TRACE(name);
        const fs::path out = m_out / (std::string(name) + ".wav");
        const std::string q = "'" + out.string() + "'";
        EXPECT_EQ(
            Capture(
                "ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels "
                "-of csv=p=0 " +
                q),
            "pcm_s24le,48000,2");
        EXPECT_EQ(Capture("soxi -r " + q), "48000");
        EXPECT_EQ(Capture("soxi -b " + q), "24");
        const int64_t songFrames = m_host->GetSong(name[0] == 'w'   ? 0
                                                   : name[0] == 'a' ? 1
                                                                    : 2)
                                       ->getNumSamples();
        EXPECT_EQ(Capture("soxi -s " + q), std::to_string(songFrames * 48000 / 44100));
    }

    // AAC.
    m_recorder = RecordingListener();
    fs::remove_all(m_out);
    fs::create_directories(m_out);
    SetUpParameters(kAacFormat);
    ASSERT_TRUE(Start(MakeSession()));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(m_recorder.notices.back(), "end");
    for (const char* name : {"w", "a", "m"})
    {
        SCOPED_TRACE(name);
        const std::string q = "'" + (m_out / (std::string(name) + ".m4a")).string() + "'";
        EXPECT_EQ(Capture("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,channels "
                          "-of csv=p=0 " +
                          q),
                  "aac,2");
        const double seconds =
            std::atof(Capture("ffprobe -v error -show_entries format=duration -of csv=p=0 " + q).c_str());
        EXPECT_NEAR(seconds, 1.0, 0.05);
    }
}

// The cover of an MP3 song (an ID3 picture frame) and of an M4A song (the
// MP4 cover item) reaches the ID3 chunk of its AIFF export byte for byte, as
// another program reads it.
TEST_F(FileExportSessionTest, CoversOfMp3AndM4aSongsReachTheirAiffExports)
{
    if (!rifftest::HaveTool("ffmpeg") || !rifftest::HaveTool("exiftool"))
        GTEST_SKIP() << "ffmpeg and exiftool are needed";
    const std::string ffmpeg = "ffmpeg -nostdin -hide_banner -loglevel error -y ";
    const fs::path cover = m_folder / "cover.png";
    ASSERT_EQ(rifftest::RunQuietly(ffmpeg + "-f lavfi -i color=c=teal:s=24x16 -frames:v 1 '" +
                                   cover.string() + "'"),
              0);
    const std::pair<const char*, const char*> sources[] = {
        {"m.mp3", "-c:a libmp3lame -b:a 128k -id3v2_version 3"},
        {"a.m4a", "-c:a aac"},
    };
    for (const auto& [file, codec] : sources)
    {
        const fs::path path = m_folder / file;
        ASSERT_EQ(rifftest::RunQuietly(ffmpeg +
                                       "-f lavfi -i sine=frequency=440:duration=1:sample_rate=44100 -i '" +
                                       cover.string() + "' -map 0 -map 1 -ac 2 " + codec +
                                       " -c:v copy -disposition:v attached_pic '" + path.string() + "'"),
                  0)
            << file;
        ASSERT_NE(AddSong(path), nullptr) << file;
    }

    SetUpParameters(kAiffFormat);
    ASSERT_TRUE(Start(MakeSession()));
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(m_recorder.notices.back(), "end");
    const rifftest::Bytes expected = rifftest::ReadBytes(cover);
    ASSERT_FALSE(expected.empty());
    for (const char* name : {"m", "a"})
    {
        SCOPED_TRACE(name);
        const fs::path out = m_out / (std::string(name) + ".aif");
        const std::string picture = rifftest::RunCapture("exiftool -b -Picture '" + out.string() + "'");
        EXPECT_EQ(rifftest::Bytes(picture.begin(), picture.end()), expected);
    }
}
} // namespace
