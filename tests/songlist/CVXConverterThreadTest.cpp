#include "src/songlist/CVXConverterThread.h"

#include "common/disc/CAudioDiscBurnBase.h"
#include "common/disc/linux/CDiscBurnImpSimulated.h"
#include "common/dsp/CAudioFileConverterBase.h"
#include "common/dsp/ConverterSet/CConverterSet.h"
#include "common/file/CSongWrite.h"
#include "library/util/CPcmUtil.h"

#include "tests/support/CheckReports.h"
#include "tests/support/HostTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace
{
using hosttest::HostTest;
using songlisttest::IndexSet;
using songlisttest::Wide;
using PlanarFloat = std::vector<std::vector<float>>;
using PlanarInt = std::vector<std::vector<int32_t>>;

// ---------------------------------------------------------------------------
// A song writer that keeps what it is given in memory

// What a fake writer saw; it outlives the writer, which the thread deletes.
struct WriterLog
{
    std::string song;
    PlanarFloat channels = PlanarFloat(2);
    bool completed = false;
    bool removed = false;
    int64_t Frames() const { return static_cast<int64_t>(channels[0].size()); }
};

// How the fake writer of a song behaves.
struct WriterBehaviour
{
    bool openFails = false;
    // Frames taken before every write takes none; -1 without a limit.
    int64_t writeLimit = -1;
    bool completeFails = false;
    bool throwsOnWrite = false;
    // Called on the converter thread after every write with the song's
    // frames so far.
    std::function<void(int64_t)> onWrite;
};

class FakeWriter : public CSongWrite
{
public:
    FakeWriter(uint32_t rate, std::shared_ptr<WriterLog> log, WriterBehaviour behaviour)
        : CSongWrite("wav", rate, 32, 2, 2, 0), m_log(std::move(log)), m_behaviour(std::move(behaviour))
    {
    }

    bool OpenAudioFile(const wchar_t*, const wchar_t*) override { return !m_behaviour.openFails; }
    bool EjectAllFiles() override
    {
        m_log->completed = !m_behaviour.completeFails;
        return m_log->completed;
    }
    void RemoveFile() override { m_log->removed = true; }
    bool IsFloatingPoint() override { return true; }
    uint32_t WriteAudioData(float** bufs, uint32_t n) override
    {
        if (m_behaviour.throwsOnWrite)
            throw std::runtime_error("the disk went away");
        const int64_t limit = m_behaviour.writeLimit;
        const uint32_t take =
            limit < 0 ? n : static_cast<uint32_t>(std::clamp<int64_t>(limit - m_log->Frames(), 0, n));
        for (int c = 0; c < 2; ++c)
            m_log->channels[c].insert(m_log->channels[c].end(), bufs[c], bufs[c] + take);
        if (m_behaviour.onWrite)
            m_behaviour.onWrite(m_log->Frames());
        return take;
    }
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override
    {
        std::vector<float> left(n), right(n);
        float* floats[2] = {left.data(), right.data()};
        CPcmUtil::SignedIntToFloat(bufs, floats, n, 2, 0, 0);
        return WriteAudioData(floats, n);
    }

private:
    std::shared_ptr<WriterLog> m_log;
    WriterBehaviour m_behaviour;
};

// The converter thread with fake writers, by song name.
class FakeWriterThread : public CVXConverterThread
{
public:
    FakeWriterThread(const ParameterSet& params, CVXHost* host)
        : CVXConverterThread(params, host), m_rate(static_cast<uint32_t>(params.outputSampleRate))
    {
    }
    ~FakeWriterThread() override { stopAndWait(); }

    // Set before the start.
    std::map<std::string, WriterBehaviour> behaviours;
    // One per writer made, in order; read once the thread has finished.
    std::vector<std::shared_ptr<WriterLog>> logs;

    const WriterLog* Log(const std::string& song) const
    {
        for (const auto& log : logs)
            if (log->song == song)
                return log.get();
        return nullptr;
    }

protected:
    std::unique_ptr<CSongWrite> createOutput(const Vextal::TrackInfo& song, bool& opened) override
    {
        auto log = std::make_shared<WriterLog>();
        log->song = song.getText(Vextal::TrackInfo::kSongName).toStdString();
        logs.push_back(log);
        auto writer = std::make_unique<FakeWriter>(m_rate, log, behaviours[log->song]);
        opened = writer->OpenAudioFile(L"unused", L".wav");
        return writer;
    }

private:
    const uint32_t m_rate;
};

// ---------------------------------------------------------------------------
// A burner that keeps its tracks in memory

class FakeBurner : public CAudioDiscBurnBase
{
public:
    struct Track
    {
        std::wstring title;
        bool gaplessWithPrevious;
        bool isLast;
        float gap;
        float secondGap;
        std::string songTitle;
        PlanarInt channels = PlanarInt(2);
    };

    explicit FakeBurner(const std::filesystem::path& folder)
        : CAudioDiscBurnBase(std::make_unique<CDiscBurnImpSimulated>(
              Wide(folder), std::vector<CDiscBurnImpSimulated::Drive>{}, CDiscBurnImpSimulated::Options{}))
    {
    }

    std::vector<Track> tracks;
    bool gapless = true;
    // The OpenTrack call (0 the first) that fails; -1 none.
    int failingOpen = -1;
    int writesWithoutTrack = 0;

    void RemoveFile() override { ADD_FAILURE() << "the converter thread discards the staged disc"; }
    uint32_t GetSampleRate() override { return 44100; }
    uint16_t GetNumChannels() override { return 2; }
    uint16_t GetBitsPerSample() override { return 16; }
    bool CanDoGapless() override { return gapless; }
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override
    {
        if (tracks.empty())
        {
            ++writesWithoutTrack;
            return 0;
        }
        for (int c = 0; c < 2; ++c)
            tracks.back().channels[c].insert(tracks.back().channels[c].end(), bufs[c], bufs[c] + n);
        return n;
    }
    // As the audio-CD burner takes them.
    uint32_t WriteAudioData(float** bufs, uint32_t n) override
    {
        PlanarInt ints(2, std::vector<int32_t>(n));
        int32_t* ptrs[2] = {ints[0].data(), ints[1].data()};
        CPcmUtil::FloatToSignedInt(bufs, ptrs, n, 2, 0, 0);
        return WriteAudioData(ptrs, n);
    }
    void SetMetaDataFixed() override
    {
        if (!tracks.empty())
            tracks.back().songTitle =
                juce::String(m_metaData.GetStringPtr(CAudioMetaData::kTitle)->GetReadPtrWChar())
                    .toStdString();
    }

    const std::vector<eDiscType>& GetSupportedDiscType() override { return m_types; }
    int64_t GetFreeSizeOnDisc() override { return 0; }
    int64_t GetUsedSizeOnDisc() override { return 0; }
    int OpenDisc(const wchar_t*) override { return 0; }
    void CloseDisc() override {}
    int OpenAlbum(const wchar_t*, const wchar_t*, uint32_t, uint16_t, uint16_t) override { return 0; }
    int OpenTrack(const wchar_t* title, bool gaplessWithPrevious, bool isLastTrack, float gap,
                  float secondGap) override
    {
        if (static_cast<int>(tracks.size()) == failingOpen)
        {
            failingOpen = -2;
            return 1;
        }
        tracks.push_back({title, gaplessWithPrevious, isLastTrack, gap, secondGap, {}, PlanarInt(2)});
        return 0;
    }
    int StartBurnDisc() override { return 0; }

private:
    std::vector<eDiscType> m_types{kDiscTypeCDR};
};

// ---------------------------------------------------------------------------
// Audio of the tests

// Writes stereo 24-bit noise, every frame distinct.
bool WriteNoiseFile(const std::filesystem::path& path, int64_t frames, uint32_t rate, uint32_t seed)
{
    std::unique_ptr<CAudioFileWriteBase> w(
        VextalFileUtil::CreateAudioFileWriteObject(Wide(path).c_str(), "wav", rate, 24, 2, 0));
    if (w == nullptr)
        return false;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> sample(-(1 << 22), (1 << 22) - 1);
    PlanarInt data(2, std::vector<int32_t>(static_cast<size_t>(frames)));
    for (auto& channel : data)
        for (int32_t& s : channel)
            s = static_cast<int32_t>(static_cast<uint32_t>(sample(rng)) << 8);
    int32_t* ptrs[2] = {data[0].data(), data[1].data()};
    return w->WriteAudioData(ptrs, static_cast<uint32_t>(frames)) == frames && w->CloseFile();
}

// The output frames of the first n input frames of a chain: ceil(n L / M).
int64_t OutputFrames(int64_t n, uint32_t inRate, uint32_t outRate)
{
    auto converter = CreateConverterForRates(inRate, outRate, 1, false);
    const int64_t up = converter->GetOversamplingRate();
    const int64_t down = converter->GetDecimationRate();
    return (n * up + down - 1) / down;
}

template <typename T>
std::vector<std::vector<T>> Joined(const std::vector<std::vector<std::vector<T>>>& pieces)
{
    std::vector<std::vector<T>> joined(2);
    for (const auto& piece : pieces)
        for (size_t c = 0; c < 2 && c < piece.size(); ++c)
            joined[c].insert(joined[c].end(), piece[c].begin(), piece[c].end());
    return joined;
}

// ---------------------------------------------------------------------------
// The fixture: the host in export mode, songs and an output folder

class ConverterThreadTest : public HostTest
{
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        m_host->SetMode(1);
        m_listener.notices.clear();
        std::filesystem::create_directory(Out());
    }

    std::filesystem::path Out() const { return m_folder / "out"; }

    CVXConverterThread::ParameterSet FileParams(std::initializer_list<int> songs, int32_t rate = 44100,
                                                int32_t bits = 16)
    {
        CVXConverterThread::ParameterSet params;
        for (int s : songs)
            params.songs.addRange({s, s + 1});
        params.outputSampleRate = rate;
        params.outputFolder = juce::File(Out().string());
        params.formatId = "wav";
        params.channelMode = 1;
        params.bitsPerSample = bits;
        return params;
    }

    CVXConverterThread::ParameterSet BurnParams(std::initializer_list<int> songs, FakeBurner& burner,
                                                float gap = 0.0f, float secondGap = 0.0f)
    {
        CVXConverterThread::ParameterSet params = FileParams(songs);
        params.outputFolder = juce::File();
        params.formatId = {};
        params.discBurner = &burner;
        params.gapBetweenSongs = gap;
        params.secondGap = secondGap;
        return params;
    }

    // Starts the thread and dispatches messages until it has finished.
    bool RunToEnd(CVXConverterThread& thread, double seconds = 120.0)
    {
        if (!thread.startThread())
            return false;
        if (!DispatchUntil([&thread] { return thread.hasFinished(); }, seconds, 2))
            return false;
        return thread.waitForThreadToExit(10000);
    }

    // A song of frames first .. stop - 1 of a file, named name (title
    // "Title " + name), appended to the songlist.
    Vextal::TrackInfo* AddPart(const std::string& name, const std::filesystem::path& file, int64_t first,
                               int64_t stop)
    {
        const std::vector<songtest::SectionParts> sections{
            songtest::SectionParts{std::vector<songtest::Part>{songtest::Part{Wide(file), first, stop, 0}}}};
        auto song = songlisttest::SongOfParts(sections);
        song->setText(Vextal::TrackInfo::kSongName, name, false);
        song->setText(Vextal::TrackInfo::kTitle, "Title " + name, false);
        Vextal::TrackInfo* record = song.get();
        m_host->InsertTrack(m_host->GetNumSongs(), std::move(song));
        return record;
    }

    // Three songs that continue each other (the middle one shorter than the
    // converter's delay) and one song of all of them, from a 48000 Hz file.
    void AddChainAndWhole()
    {
        const auto file = m_folder / "chain.wav";
        ASSERT_TRUE(WriteNoiseFile(file, kChainEnd[3], 48000, 5));
        for (int s = 0; s < 3; ++s)
            AddPart("s" + std::to_string(s), file, kChainEnd[s], kChainEnd[s + 1]);
        AddPart("whole", file, 0, kChainEnd[3]);
    }

    // A stereo 16-bit song of its own file at 44100 Hz.
    Vextal::TrackInfo* AddNamedSong(const std::string& name, int64_t frames)
    {
        Vextal::TrackInfo* song = AddSong(WriteSong(name + ".wav", frames));
        song->setText(Vextal::TrackInfo::kSongName, name, false);
        return song;
    }

    std::vector<std::string> OutputFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Out()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<std::string> ExportedSongNotices() const
    {
        std::vector<std::string> current;
        for (const std::string& n : m_listener.notices)
            if (n.rfind("current ", 0) == 0)
                current.push_back(n);
        return current;
    }

    static constexpr int64_t kChainEnd[4] = {0, 30011, 30048, 52000};
};
} // namespace

// Three songs that continue each other, exported gaplessly through real
// writers, join into exactly one render of the same audio: each file holds
// its own frames (the short middle song too, whose last frames come out
// while the third song is fed), and the host follows the exported song.
TEST_F(ConverterThreadTest, GaplessChainEqualsOneContinuousRender)
{
    AddChainAndWhole();
    {
        CVXConverterThread chain(FileParams({0, 1, 2}, 44100, 24), m_host.get());
        ASSERT_TRUE(RunToEnd(chain));
        EXPECT_TRUE(chain.getErrorSongs().isEmpty());
        EXPECT_DOUBLE_EQ(chain.getProgressPercent(), 100.0);
    }
    EXPECT_EQ(ExportedSongNotices(),
              (std::vector<std::string>{"current 0", "current 1", "current 2", "current -1"}));
    CVXConverterThread whole(FileParams({3}, 44100, 24), m_host.get());
    ASSERT_TRUE(RunToEnd(whole));
    ASSERT_EQ(OutputFiles(), (std::vector<std::string>{"s0.wav", "s1.wav", "s2.wav", "whole.wav"}));

    std::vector<PlanarFloat> pieces;
    for (int s = 0; s < 3; ++s)
    {
        SCOPED_TRACE("song " + std::to_string(s));
        pieces.push_back(songlisttest::DecodeAll(Out() / ("s" + std::to_string(s) + ".wav")));
        ASSERT_EQ(pieces.back().size(), 2u);
        EXPECT_EQ(static_cast<int64_t>(pieces.back()[0].size()),
                  OutputFrames(kChainEnd[s + 1], 48000, 44100) - OutputFrames(kChainEnd[s], 48000, 44100));
    }
    const PlanarFloat reference = songlisttest::DecodeAll(Out() / "whole.wav");
    const PlanarFloat joined = Joined(pieces);
    ASSERT_EQ(joined[0].size(), reference[0].size());
    EXPECT_TRUE(joined == reference);
}

// A second song that fails in any way is listed, its output is removed, the
// first song's output is kept and the third song is never started; the run
// ends with the exported song cleared and finished set, and announces its
// end once, on its own thread, with finished already set.
TEST_F(ConverterThreadTest, FailingSecondSongStopsTheRun)
{
    struct Case
    {
        const char* name;
        WriterBehaviour behaviour;
        // Something happens to the second song's record or file.
        std::function<void(Vextal::TrackInfo*)> damage;
        bool writerMade;
        // The run reports the unexpected exception as a failed check.
        bool reported = false;
    };
    const Case cases[] = {
        {"sink writes 0 frames", {false, 0, false, false, {}}, {}, true},
        {"sink takes part of the song", {false, 5000, false, false, {}}, {}, true},
        {"output cannot be created", {true, -1, false, false, {}}, {}, true},
        {"output cannot be put in place", {false, -1, true, false, {}}, {}, true},
        {"writer throws", {false, -1, false, true, {}}, {}, true, true},
        {"song missing (files not present)",
         {},
         [this](Vextal::TrackInfo* song)
         {
             MakeUnloadable(song);
             song->reload(false);
         },
         false},
        {"song's file gone since it was read",
         {},
         [this](Vextal::TrackInfo* song) { MakeUnloadable(song); },
         true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        while (m_host->GetNumSongs() > 0)
            m_host->RemoveTrack(0, false, false);
        AddNamedSong("first", 22050);
        Vextal::TrackInfo* second = AddNamedSong("second", 22050);
        AddNamedSong("third", 22050);
        if (c.damage)
            c.damage(second);
        m_listener.notices.clear();

        const TestSupport::ScopedCheckReports reports;
        FakeWriterThread thread(FileParams({0, 1, 2}), m_host.get());
        thread.behaviours["second"] = c.behaviour;
        std::atomic<int> endNotices{0};
        std::atomic<bool> endNoticeAfterFinish{false};
        thread.onFinished = [&]
        {
            ++endNotices;
            endNoticeAfterFinish = thread.hasFinished() && juce::Thread::getCurrentThread() == &thread;
        };
        ASSERT_TRUE(RunToEnd(thread));
        EXPECT_TRUE(thread.hasFinished());
        EXPECT_EQ(endNotices, 1);
        EXPECT_TRUE(endNoticeAfterFinish);
        EXPECT_EQ(thread.getErrorSongs(), IndexSet({1}));
        ASSERT_NE(thread.Log("first"), nullptr);
        EXPECT_TRUE(thread.Log("first")->completed);
        EXPECT_FALSE(thread.Log("first")->removed);
        EXPECT_EQ(thread.Log("first")->Frames(), 22050);
        ASSERT_EQ(thread.Log("second") != nullptr, c.writerMade);
        if (c.writerMade)
        {
            EXPECT_TRUE(thread.Log("second")->removed);
            EXPECT_FALSE(thread.Log("second")->completed);
        }
        EXPECT_EQ(thread.Log("third"), nullptr);
        EXPECT_EQ(ExportedSongNotices().back(), "current -1");
        EXPECT_EQ(reports.Count(), c.reported ? 1 : 0);
    }
}

// With real writers: a failing song leaves no file, not even a partial one,
// while the songs before it are in place.
TEST_F(ConverterThreadTest, FailedSongLeavesNoFile)
{
    AddNamedSong("first", 22050);
    MakeUnloadable(AddNamedSong("second", 22050));
    AddNamedSong("third", 22050);
    CVXConverterThread thread(FileParams({0, 1, 2}), m_host.get());
    ASSERT_TRUE(RunToEnd(thread));
    EXPECT_EQ(thread.getErrorSongs(), IndexSet({1}));
    EXPECT_EQ(OutputFiles(), std::vector<std::string>{"first.wav"});
}

// Songs outside the songlist are failed songs, not skipped silently.
TEST_F(ConverterThreadTest, SongsOutsideTheSonglistFail)
{
    AddNamedSong("first", 4410);
    CVXConverterThread thread(FileParams({0, 7}), m_host.get());
    ASSERT_TRUE(RunToEnd(thread));
    EXPECT_EQ(thread.getErrorSongs(), IndexSet({7}));
    EXPECT_EQ(OutputFiles(), std::vector<std::string>{"first.wav"});
}

// Song names become file names only through the safe-name function: no
// name reaches outside the folder; two songs that would share a file (also
// in letter case) fail together before anything is written.
TEST_F(ConverterThreadTest, FileNamesAreSafeAndNeverShared)
{
    AddNamedSong("a", 4410)->setText(Vextal::TrackInfo::kSongName, "../up/a", false);
    AddNamedSong("b", 4410)->setText(Vextal::TrackInfo::kSongName, "..", false);
    {
        CVXConverterThread thread(FileParams({0, 1}), m_host.get());
        ASSERT_TRUE(RunToEnd(thread));
        EXPECT_TRUE(thread.getErrorSongs().isEmpty());
    }
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{".._up_a.wav", "__.wav"}));
    EXPECT_FALSE(std::filesystem::exists(m_folder / "up"));

    std::filesystem::remove_all(Out());
    std::filesystem::create_directory(Out());
    AddNamedSong("Mix", 4410);
    AddNamedSong("mix", 4410);
    CVXConverterThread thread(FileParams({0, 2, 3}), m_host.get());
    ASSERT_TRUE(RunToEnd(thread));
    EXPECT_EQ(thread.getErrorSongs(), IndexSet({2, 3}));
    EXPECT_TRUE(OutputFiles().empty());
}

// Progress counts the finished songs and the time within the current one:
// half-way through the second of two equal songs it passes 75 %; it never
// goes back and ends at 100 %.
TEST_F(ConverterThreadTest, ProgressPassesThreeQuarters)
{
    AddNamedSong("first", 88200);
    AddNamedSong("second", 88200);
    FakeWriterThread thread(FileParams({0, 1}), m_host.get());
    std::vector<double> samples;
    double atHalf = -1.0;
    thread.behaviours["first"].onWrite = [&](int64_t) { samples.push_back(thread.getProgressPercent()); };
    thread.behaviours["second"].onWrite = [&](int64_t frames)
    {
        samples.push_back(thread.getProgressPercent());
        if (atHalf < 0.0 && frames >= 44100)
            atHalf = samples.back();
    };
    ASSERT_TRUE(RunToEnd(thread));
    EXPECT_GE(atHalf, 75.0);
    EXPECT_LT(atHalf, 80.0);
    EXPECT_TRUE(std::is_sorted(samples.begin(), samples.end()));
    EXPECT_DOUBLE_EQ(thread.getProgressPercent(), 100.0);
}

// A paused conversion writes nothing until it is resumed, then completes.
TEST_F(ConverterThreadTest, PauseHoldsTheConversionUntilResumed)
{
    AddNamedSong("first", 44100);
    FakeWriterThread thread(FileParams({0}, 48000), m_host.get());
    std::atomic<int64_t> atPause{-1};
    thread.behaviours["first"].onWrite = [&](int64_t frames)
    {
        if (atPause.load() < 0)
        {
            thread.pause();
            atPause = frames;
        }
    };
    ASSERT_TRUE(thread.startThread());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (atPause.load() < 0 && std::chrono::steady_clock::now() < deadline)
        Dispatch(2);
    ASSERT_GE(atPause.load(), 0);
    const double progress = thread.getProgressPercent();
    Dispatch(600);
    EXPECT_FALSE(thread.hasFinished());
    EXPECT_EQ(thread.getProgressPercent(), progress);
    thread.resume();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!thread.hasFinished() && std::chrono::steady_clock::now() < end)
        Dispatch(2);
    ASSERT_TRUE(thread.hasFinished());
    ASSERT_TRUE(thread.waitForThreadToExit(10000));
    ASSERT_NE(thread.Log("first"), nullptr);
    EXPECT_TRUE(thread.Log("first")->completed);
    EXPECT_EQ(thread.Log("first")->Frames(), OutputFrames(44100, 44100, 48000));
}

// A cancel stops the run at once: cancelled before it starts nothing is
// written; cancelled during a song that song's output is removed, the
// songs before it stay, no song after it starts, and nothing is failed.
TEST_F(ConverterThreadTest, CancelStopsAtOnce)
{
    AddNamedSong("first", 22050);
    AddNamedSong("second", 88200);
    AddNamedSong("third", 22050);
    {
        CVXConverterThread thread(FileParams({0, 1, 2}), m_host.get());
        thread.cancel();
        ASSERT_TRUE(RunToEnd(thread));
        EXPECT_TRUE(thread.getErrorSongs().isEmpty());
        EXPECT_TRUE(OutputFiles().empty());
    }
    FakeWriterThread thread(FileParams({0, 1, 2}), m_host.get());
    thread.behaviours["second"].onWrite = [&](int64_t) { thread.cancel(); };
    ASSERT_TRUE(RunToEnd(thread));
    EXPECT_TRUE(thread.getErrorSongs().isEmpty());
    EXPECT_TRUE(thread.Log("first")->completed);
    EXPECT_TRUE(thread.Log("second")->removed);
    EXPECT_FALSE(thread.Log("second")->completed);
    EXPECT_LT(thread.Log("second")->Frames(), 88200);
    EXPECT_EQ(thread.Log("third"), nullptr);
}

// A song and its output are opened without the message-manager lock, from a
// copy of the song's record: the window goes on while a compressed song is
// scanned, and the record may be deleted meanwhile without reaching the
// export.
TEST_F(ConverterThreadTest, SongsOpenWithoutTheLockFromACopyOfTheirRecord)
{
    class HeldThread : public FakeWriterThread
    {
    public:
        using FakeWriterThread::FakeWriterThread;
        std::atomic<bool> reached{false};
        std::atomic<bool> lockHeld{false};
        juce::WaitableEvent recordGone;

    protected:
        std::unique_ptr<CSongWrite> createOutput(const Vextal::TrackInfo& song, bool& opened) override
        {
            lockHeld = juce::MessageManager::getInstance()->currentThreadHasLockedMessageManager();
            reached = true;
            // Bounded only so that a binding under the lock, which blocks
            // the message thread, fails instead of hanging.
            recordGone.wait(60000);
            return FakeWriterThread::createOutput(song, opened);
        }
    };
    AddNamedSong("kept", 22050);
    HeldThread thread(FileParams({0}), m_host.get());
    ASSERT_TRUE(thread.startThread());
    ASSERT_TRUE(DispatchUntil([&thread] { return thread.reached.load(); }, 60.0, 2));
    EXPECT_FALSE(thread.lockHeld.load());
    EXPECT_NE(m_host->RemoveTrack(0, true, true), nullptr);
    thread.recordGone.signal();
    ASSERT_TRUE(DispatchUntil([&thread] { return thread.hasFinished(); }, 120.0, 2));
    ASSERT_TRUE(thread.waitForThreadToExit(10000));
    EXPECT_TRUE(thread.getErrorSongs().isEmpty());
    ASSERT_NE(thread.Log("kept"), nullptr);
    EXPECT_TRUE(thread.Log("kept")->completed);
    EXPECT_EQ(thread.Log("kept")->Frames(), 22050);
}

// Deleting the thread while it waits for the message-manager lock (the
// message thread is busy deleting it) returns: the wait is abandoned.
TEST_F(ConverterThreadTest, DeletingTheThreadWhileItWaitsForTheLockReturns)
{
    AddNamedSong("first", 22050);
    auto thread = std::make_unique<CVXConverterThread>(FileParams({0}), m_host.get());
    ASSERT_TRUE(thread->startThread());
    // This test is the message thread; it dispatches nothing meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(thread->hasFinished());
    thread.reset();
    Dispatch(50);
    EXPECT_TRUE(OutputFiles().empty());
    EXPECT_EQ(m_host->GetCurPlayTrack(1), -1);
}

// A disc burn opens one burner track per song when the song's own first
// frame arrives: with a gap no song is joined; without one, songs that
// continue each other are joined and each track holds exactly its song's
// frames of one continuous render; the last song's track is the last; the
// title and song information reach their own track.
TEST_F(ConverterThreadTest, DiscBurnOpensATrackPerSong)
{
    AddChainAndWhole();
    FakeBurner whole(m_folder.Path());
    {
        CVXConverterThread thread(BurnParams({3}, whole), m_host.get());
        ASSERT_TRUE(RunToEnd(thread));
        ASSERT_EQ(whole.tracks.size(), 1u);
    }
    struct Case
    {
        const char* name;
        float gap;
        float secondGap;
        bool burnerGapless;
        bool joined;
    };
    const Case cases[] = {
        {"gap of 2 s", 2.0f, 0.5f, true, false},
        {"no gap", 0.0f, 0.0f, true, true},
        {"burner cannot join tracks", 0.0f, 0.0f, false, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        FakeBurner burner(m_folder.Path());
        burner.gapless = c.burnerGapless;
        CVXConverterThread thread(BurnParams({0, 1, 2}, burner, c.gap, c.secondGap), m_host.get());
        ASSERT_TRUE(RunToEnd(thread));
        EXPECT_TRUE(thread.getErrorSongs().isEmpty());
        EXPECT_EQ(burner.writesWithoutTrack, 0);
        ASSERT_EQ(burner.tracks.size(), 3u);
        std::vector<PlanarInt> pieces;
        for (int s = 0; s < 3; ++s)
        {
            SCOPED_TRACE("track " + std::to_string(s));
            const FakeBurner::Track& t = burner.tracks[static_cast<size_t>(s)];
            EXPECT_EQ(t.title, L"Title s" + std::to_wstring(s));
            EXPECT_EQ(t.songTitle, "Title s" + std::to_string(s));
            EXPECT_EQ(t.gaplessWithPrevious, c.joined && s > 0);
            EXPECT_EQ(t.isLast, s == 2);
            EXPECT_EQ(t.gap, c.gap);
            EXPECT_EQ(t.secondGap, c.secondGap);
            pieces.push_back(t.channels);
            if (c.joined)
            {
                EXPECT_EQ(static_cast<int64_t>(t.channels[0].size()),
                          OutputFrames(kChainEnd[s + 1], 48000, 44100) -
                              OutputFrames(kChainEnd[s], 48000, 44100));
            }
        }
        if (c.joined)
        {
            EXPECT_TRUE(Joined(pieces) == whole.tracks[0].channels);
        }
    }
}

// A burner track that cannot be opened fails its song; no later track is
// opened.
TEST_F(ConverterThreadTest, DiscBurnStopsAtATrackThatCannotOpen)
{
    AddChainAndWhole();
    FakeBurner burner(m_folder.Path());
    burner.failingOpen = 1;
    CVXConverterThread thread(BurnParams({0, 1, 2}, burner, 2.0f), m_host.get());
    ASSERT_TRUE(RunToEnd(thread));
    EXPECT_EQ(thread.getErrorSongs(), IndexSet({1}));
    EXPECT_EQ(burner.tracks.size(), 1u);
    EXPECT_EQ(burner.writesWithoutTrack, 0);
}
