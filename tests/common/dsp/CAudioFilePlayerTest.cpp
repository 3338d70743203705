#include "common/dsp/CAudioFilePlayer.h"

#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

constexpr uint32_t kRate = 44100;
constexpr uint32_t kThreshold = CAudioFilePlayerPcmOutput::kStartThreshold;

// A source whose samples tell their own frame index. In the plain form
// channel 0 holds index + 1, channel 1 the negative, further channels
// 1000 + index (never played), so silence (0.0) is never mistaken for a
// frame. The phase form carries the index through any filter: channels 0 and
// 1 hold the sine and cosine of a 0.2 Hz phase, whose angle is the index.
//
// Test controls: a budget of frames it will still deliver (reads beyond it
// return 0 as if the data were late), a gate that holds the next read inside
// ReadAudioData until it is opened, and a read error.
class IndexSource : public CAudioPlayerInput
{
public:
    IndexSource(uint32_t rate, uint16_t channels, int64_t frames, bool phaseForm = false)
        : m_rate(rate), m_channels(channels), m_frames(frames), m_phaseForm(phaseForm)
    {
    }

    // Radians per frame of the phase form.
    static double PhaseStep(uint32_t rate) { return 2.0 * 3.14159265358979323846 * 0.2 / rate; }

    uint32_t GetSampleRate() override { return m_rate; }
    uint16_t GetBitsPerSample() override { return 32; }
    uint16_t GetNumChannels() override { return m_channels; }
    bool IsFloatingPoint() override { return true; }
    int64_t GetNumSamples() override { return m_frames; }
    int64_t GetCurSamplePosition() override { return m_position.load(); }
    void SetCurSamplePosition(int64_t frame) override
    {
        m_position.store(std::min(std::max<int64_t>(frame, 0), m_frames));
    }
    bool AudioDataReadErrorOccured() override { return m_error.load(); }

    uint32_t ReadAudioData(float** bufs, uint32_t n, uint32_t dstOffset) override
    {
        WaitAtGate();
        const int64_t position = m_position.load();
        int64_t take = std::min<int64_t>(n, m_frames - position);
        const int64_t budget = m_budget.load();
        take = std::max<int64_t>(0, std::min(take, budget));
        m_budget.fetch_sub(take);
        for (uint32_t i = 0; i < n; ++i)
        {
            const bool real = i < take;
            const float index = static_cast<float>(position + i + 1);
            const double angle = static_cast<double>(position + i) * PhaseStep(m_rate);
            for (uint16_t c = 0; c < m_channels; ++c)
            {
                float value = 0.0f;
                if (real && m_phaseForm)
                    value = static_cast<float>(c == 0 ? std::sin(angle) : std::cos(angle));
                else if (real)
                    value = c == 0 ? index : c == 1 ? -index : 1000.0f + index;
                bufs[c][dstOffset + i] = value;
            }
        }
        m_position.store(position + take);
        ++m_reads;
        return static_cast<uint32_t>(take);
    }

    void SetBudget(int64_t frames) { m_budget.store(frames); }
    void AddBudget(int64_t frames) { m_budget.fetch_add(frames); }
    void SetError() { m_error.store(true); }
    int ReadCount() const { return m_reads.load(); }

    // The next read waits inside ReadAudioData until OpenGate.
    void CloseGate()
    {
        std::lock_guard<std::mutex> lock(m_gateMutex);
        m_gateClosed = true;
        m_waiting = false;
    }
    void OpenGate()
    {
        {
            std::lock_guard<std::mutex> lock(m_gateMutex);
            m_gateClosed = false;
        }
        m_gateChanged.notify_all();
    }
    // True once a read is held at the gate (waits up to 5 s).
    bool WaitUntilHeld()
    {
        std::unique_lock<std::mutex> lock(m_gateMutex);
        return m_gateChanged.wait_for(lock, std::chrono::seconds(5), [this] { return m_waiting; });
    }

private:
    void WaitAtGate()
    {
        std::unique_lock<std::mutex> lock(m_gateMutex);
        if (!m_gateClosed)
            return;
        m_waiting = true;
        m_gateChanged.notify_all();
        m_gateChanged.wait(lock, [this] { return !m_gateClosed; });
        m_waiting = false;
    }

    const uint32_t m_rate;
    const uint16_t m_channels;
    const int64_t m_frames;
    const bool m_phaseForm;
    std::atomic<int64_t> m_position{0};
    std::atomic<int64_t> m_budget{INT64_MAX / 2};
    std::atomic<bool> m_error{false};
    std::atomic<int> m_reads{0};

    std::mutex m_gateMutex;
    std::condition_variable m_gateChanged;
    bool m_gateClosed = false;
    bool m_waiting = false;
};

class CountingListener : public CAudioFileTransportListener
{
public:
    void OnAudioFileTransportStopped(CAudioFileTransport*) override { ++stopped; }
    void OnAudioFileTransportErrorOccured(CAudioFileTransport*) override { ++errors; }

    std::atomic<int> stopped{0};
    std::atomic<int> errors{0};
};

bool WaitFor(const std::function<bool()>& condition, int seconds = 10)
{
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!condition())
    {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// Calls the player's callback as the audio thread would, on a stereo output.
class Device
{
public:
    explicit Device(CAudioFilePlayerPcmOutput& player) : m_player(player) {}

    // One callback of n frames. Checks that every output sample was written
    // and that the frames after the returned count are silent.
    int Call(uint32_t n)
    {
        for (auto& c : m_out)
            c.assign(n + 1, kUnwritten);
        float* out[2] = {m_out[0].data(), m_out[1].data()};
        const int r = m_player.Process(nullptr, out, n);
        EXPECT_GE(r, 0);
        EXPECT_LE(static_cast<uint32_t>(r), n);
        for (auto& c : m_out)
        {
            for (uint32_t i = static_cast<uint32_t>(r); i < n; ++i)
            {
                if (c[i] != 0.0f)
                {
                    ADD_FAILURE() << "frame " << i << " after the " << r << " taken is " << c[i];
                    break;
                }
            }
            EXPECT_EQ(c[n], kUnwritten) << "wrote past the block";
        }
        return r;
    }

    const std::vector<float>& Out(int c) const { return m_out[c]; }

    // Calls back in blocks of `block` frames, waiting out buffering, until
    // `frames` frames were taken from the player (or `stop` says so); returns
    // channel 0 of what was taken.
    std::vector<float> Take(uint32_t frames, uint32_t block = 512,
                            const std::function<bool()>& stop = nullptr)
    {
        std::vector<float> taken;
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (taken.size() < frames && Clock::now() < deadline && !(stop && stop()))
        {
            const uint32_t n = std::min<uint32_t>(block, frames - static_cast<uint32_t>(taken.size()));
            const int r = Call(n);
            taken.insert(taken.end(), m_out[0].begin(), m_out[0].begin() + r);
            if (r == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return taken;
    }

    // Waits until the player has buffered enough to play.
    bool WaitPlayable()
    {
        return WaitFor([this] { return !m_player.IsBuffering(); });
    }

private:
    static constexpr float kUnwritten = 12345.0f;
    CAudioFilePlayerPcmOutput& m_player;
    std::vector<float> m_out[2];
};

// The 1-based frame index carried by channel 0 of the plain form.
int64_t Index(float value)
{
    return static_cast<int64_t>(value);
}

struct AudioFilePlayer : public ::testing::Test
{
    void Load(int64_t frames, uint16_t channels = 2)
    {
        source = std::make_unique<IndexSource>(kRate, channels, frames);
        player.AddListener(&listener);
        player.SetOutputSampleRate(static_cast<float>(kRate));
        player.SetPlayerInput(source.get());
    }

    void TearDown() override { player.SetPlayerInput(nullptr); }

    CAudioFilePlayerPcmOutput player{2};
    CountingListener listener;
    std::unique_ptr<IndexSource> source;
    Device device{player};
};
} // namespace

// ---------------------------------------------------------------------------
// The audio path

struct LayoutCase
{
    uint16_t channels;
    const char* name;
};

class AudioFilePlayerLayouts : public AudioFilePlayer, public ::testing::WithParamInterface<LayoutCase>
{
};

// Callbacks of random sizes get every frame of the song once, in order, with
// silence only after the frames taken; at the end the player stops by
// itself, returns to the start and tells its listeners. A mono song plays on
// both channels; a source with more channels than the player plays its first
// two.
TEST_P(AudioFilePlayerLayouts, RandomCallbacksDeliverConsecutiveFramesThenStopAtTheEnd)
{
    const int64_t frames = 300000;
    Load(frames, GetParam().channels);
    player.Play();

    std::mt19937 rng(7);
    std::uniform_int_distribution<uint32_t> size(0, 4096);
    int64_t next = 1;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (next <= frames && Clock::now() < deadline)
    {
        const int r = device.Call(size(rng));
        for (int i = 0; i < r; ++i, ++next)
        {
            ASSERT_EQ(Index(device.Out(0)[i]), next);
            const float second = GetParam().channels == 1 ? device.Out(0)[i] : -device.Out(0)[i];
            ASSERT_EQ(device.Out(1)[i], second);
        }
        if (r == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_EQ(next, frames + 1);

    ASSERT_TRUE(WaitFor([&] { return listener.stopped.load() == 1; }));
    EXPECT_EQ(player.GetTransportState(), kTransportIdle);
    EXPECT_EQ(player.GetCurTimeSecond(), 0.0);
    EXPECT_FALSE(player.WantsNextSong());
    EXPECT_EQ(device.Call(512), 0);
    EXPECT_EQ(device.Out(0)[0], 0.0f);
}

// A mono song has no balance: it plays the same on both channels whatever the
// pan, as it is exported.
TEST_F(AudioFilePlayer, AMonoSongIgnoresTheBalance)
{
    Load(200000, 1);
    player.GetDynamicControlParamsPtr()->SetPan(1.0f);
    player.Play();
    int checked = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (checked < 100000 && Clock::now() < deadline)
    {
        const int r = device.Call(1024);
        for (int i = 0; i < r; ++i, ++checked)
        {
            ASSERT_NE(device.Out(0)[i], 0.0f);
            ASSERT_EQ(device.Out(1)[i], device.Out(0)[i]);
        }
        if (r == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_GE(checked, 100000);
}

INSTANTIATE_TEST_SUITE_P(CAudioFilePlayer, AudioFilePlayerLayouts,
                         ::testing::Values(LayoutCase{2, "Stereo"}, LayoutCase{1, "Mono"},
                                           LayoutCase{4, "FourChannels"}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

struct RateCase
{
    uint32_t sourceRate;
    uint32_t outputRate;
};

class AudioFilePlayerRates : public ::testing::TestWithParam<RateCase>
{
};

// With a rate conversion the source frame carried by each frame taken rises
// at every step by source rate / output rate, with no gap or repeat at any
// callback boundary, up to the end of the song less the converter's delay.
TEST_P(AudioFilePlayerRates, ConvertedFramesRiseSteadilyAcrossRandomCallbacks)
{
    const RateCase rates = GetParam();
    const int64_t frames = static_cast<int64_t>(rates.sourceRate) * 4;
    IndexSource source(rates.sourceRate, 2, frames, true);
    CAudioFilePlayerPcmOutput player(2);
    CountingListener listener;
    player.AddListener(&listener);
    player.SetOutputSampleRate(static_cast<float>(rates.outputRate));
    player.SetPlayerInput(&source);
    player.Play();

    // The source frame of each frame taken, from the angle of its phase.
    Device device(player);
    std::mt19937 rng(11);
    std::uniform_int_distribution<uint32_t> size(0, 3000);
    std::vector<double> taken;
    ASSERT_TRUE(WaitFor(
        [&]
        {
            const int r = device.Call(size(rng));
            for (int i = 0; i < r; ++i)
            {
                double angle = std::atan2(device.Out(0)[i], device.Out(1)[i]);
                if (angle < -1.0)
                    angle += 2.0 * 3.14159265358979323846;
                taken.push_back(angle / IndexSource::PhaseStep(rates.sourceRate));
            }
            if (r == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            return listener.stopped.load() > 0;
        },
        30));
    player.SetPlayerInput(nullptr);

    const double step = static_cast<double>(rates.sourceRate) / rates.outputRate;
    const size_t settle = 200; // the filter's start from silence
    ASSERT_GT(taken.size(), 2 * settle);
    for (size_t i = settle; i + 1 < taken.size(); ++i)
        ASSERT_NEAR(taken[i + 1] - taken[i], step, 0.05 * step) << "at output frame " << i;
    const double expected = static_cast<double>(frames) * rates.outputRate / rates.sourceRate;
    EXPECT_NEAR(static_cast<double>(taken.size()), expected, 0.001 * expected);
    EXPECT_NEAR(taken.back(), static_cast<double>(frames), 0.001 * static_cast<double>(frames));
}

INSTANTIATE_TEST_SUITE_P(
    CAudioFilePlayer, AudioFilePlayerRates,
    ::testing::Values(RateCase{44100, 48000}, RateCase{48000, 44100}, RateCase{96000, 44100}),
    [](const ::testing::TestParamInfo<RateCase>& info)
    { return std::to_string(info.param.sourceRate) + "To" + std::to_string(info.param.outputRate); });

// The callback stays silent until more than 65535 frames are buffered: after
// the start, after a seek and after an underrun; then it goes on with the
// next frame.
TEST_F(AudioFilePlayer, SilentUntilMoreThan65535FramesAreBufferedAfterStartSeekAndUnderrun)
{
    source = std::make_unique<IndexSource>(kRate, 2, 20 * kRate);
    source->SetBudget(kThreshold);
    player.SetOutputSampleRate(static_cast<float>(kRate));
    player.SetPlayerInput(source.get());
    player.Play();

    // Holds the source back at `budget` frames, checks the callback is
    // silent with exactly 65535 frames buffered, then releases one more frame
    // and expects playback to start at `first`.
    auto expectThreshold = [&](const char* when, int64_t first)
    {
        SCOPED_TRACE(when);
        ASSERT_TRUE(WaitFor([&] { return player.GetBufferFilledFrames() == kThreshold; }));
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_EQ(device.Call(512), 0);
            EXPECT_EQ(device.Out(0)[0], 0.0f);
            EXPECT_TRUE(player.IsBuffering());
        }
        source->AddBudget(1);
        ASSERT_TRUE(device.WaitPlayable());
        ASSERT_EQ(device.Call(512), 512);
        EXPECT_EQ(Index(device.Out(0)[0]), first);
        EXPECT_EQ(Index(device.Out(0)[511]), first + 511);
    };

    expectThreshold("start", 1);

    // The source delivers nothing now, so the seek starts from an empty ring.
    player.SetCurTimeSecond(1.0);
    source->SetBudget(kThreshold);
    expectThreshold("seek", kRate + 1);

    // Underrun: nothing more arrives, the ring runs dry mid-block.
    const int64_t next = kRate + 513;
    int64_t taken = 0;
    int r = 0;
    do
    {
        r = device.Call(1000);
        taken += r;
    } while (r == 1000);
    EXPECT_EQ(taken, static_cast<int64_t>(kThreshold + 1 - 512));
    source->SetBudget(kThreshold);
    expectThreshold("underrun", next + taken);
}

// ---------------------------------------------------------------------------
// The transport table

class AudioFilePlayerTransport : public AudioFilePlayer
{
protected:
    static constexpr int64_t kSongFrames = 20 * kRate;
    void SetUp() override { Load(kSongFrames); }

    // Waits until the player is ready, then takes `seconds` of frames.
    std::vector<float> PlaySeconds(double seconds, uint32_t block = 512)
    {
        EXPECT_TRUE(device.WaitPlayable());
        return device.Take(static_cast<uint32_t>(seconds * kRate), block);
    }
};

// Cue forward from 0.0 stays at 0.0, then plays half-second pieces with
// 3.0-second jumps; the displayed time follows the material heard.
TEST_F(AudioFilePlayerTransport, FastForwardFromTheStartJumpsThreeSecondsAfterEveryHalfSecond)
{
    player.FastForward();
    EXPECT_EQ(player.GetTransportState(), kTransportCueForward);
    EXPECT_EQ(player.GetCurTimeSecond(), 0.0);

    const uint32_t piece = kRate / 2;
    const std::vector<float> heard = PlaySeconds(2.25);
    ASSERT_EQ(heard.size(), static_cast<size_t>(2.25 * kRate));
    EXPECT_EQ(Index(heard[0]), 1);
    int jumps = 0;
    size_t runStart = 0;
    for (size_t i = 1; i < heard.size(); ++i)
    {
        const int64_t d = Index(heard[i]) - Index(heard[i - 1]);
        if (d == 1)
            continue;
        EXPECT_EQ(d, 1 + 3 * static_cast<int64_t>(kRate)) << "at " << i;
        EXPECT_NEAR(static_cast<double>(i - runStart), piece, 1023.0);
        runStart = i;
        ++jumps;
    }
    EXPECT_EQ(jumps, 4);
    // 2.25 s heard, four jumps of 3.0 s.
    EXPECT_NEAR(player.GetCurTimeSecond(), 2.25 + 12.0, 1e-9);
    EXPECT_NEAR(Index(heard.back()) / static_cast<double>(kRate), player.GetCurTimeSecond(), 0.05);

    // From the middle of a song the cue starts 2.0 s later; Play returns to
    // normal playback at the displayed time.
    player.Pause();
    player.SetCurTimeSecond(5.0);
    player.FastForward();
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 7.0);
    player.Play();
    EXPECT_EQ(player.GetTransportState(), kTransportPlaying);
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 7.0);
    EXPECT_EQ(Index(PlaySeconds(0.01).front()), 7 * kRate + 1);
}

// Cue backward moves the time back 2.5 s per half second heard and never
// below 0.0; at the start it keeps playing the first half second, and with
// continuous playback it asks for the previous song there.
TEST_F(AudioFilePlayerTransport, RewindStepsBackAndIsClampedAtTheStart)
{
    player.SetCurTimeSecond(10.0);
    player.Rewind();
    EXPECT_EQ(player.GetTransportState(), kTransportCueBackward);
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 7.0);
    std::vector<float> heard = PlaySeconds(1.25);
    EXPECT_EQ(Index(heard.front()), 7 * kRate + 1);
    EXPECT_NEAR(player.GetCurTimeSecond(), 7.0 + 1.25 - 6.0, 1e-9);
    int backJumps = 0;
    for (size_t i = 1; i < heard.size(); ++i)
    {
        const int64_t d = Index(heard[i]) - Index(heard[i - 1]);
        if (d != 1)
        {
            EXPECT_EQ(d, 1 - 3 * static_cast<int64_t>(kRate));
            ++backJumps;
        }
    }
    EXPECT_EQ(backJumps, 2);

    // Near the start: the rewind seeks to 0.0, not before it.
    player.Pause();
    player.SetCurTimeSecond(1.0);
    player.Rewind();
    EXPECT_EQ(player.GetCurTimeSecond(), 0.0);
    EXPECT_FALSE(player.WantsPreviousSong());
    player.SetContinuousPlayback(true);
    EXPECT_TRUE(player.WantsPreviousSong());
    heard = PlaySeconds(1.6);
    EXPECT_EQ(player.GetCurTimeSecond(), 0.0);
    for (float v : heard)
        ASSERT_LE(Index(v), static_cast<int64_t>(kRate)) << "heard beyond the first second";
}

struct PreviewCase
{
    const char* name;
    bool playFrom;
    double at;            // time when the preview is asked for
    double firstHeard;    // material start, seconds
    double lengthSeconds; // preview length
    double timeAfter;     // the time once it has ended
};

class AudioFilePlayerPreviews : public AudioFilePlayerTransport,
                                public ::testing::WithParamInterface<PreviewCase>
{
};

// Play-from plays min(2.0 s, the rest of the song) from the current time and
// returns there; play-to plays the 2.0 s (or less, near the start) before the
// current time and stays at it. Each ends idle with one stopped notice.
TEST_P(AudioFilePlayerPreviews, PreviewPlaysItsStretchAndEndsIdle)
{
    const PreviewCase c = GetParam();
    player.SetCurTimeSecond(c.at);
    if (c.playFrom)
        player.PlayFrom();
    else
        player.PlayTo();
    EXPECT_EQ(player.GetTransportState(), c.playFrom ? kTransportPlayFrom : kTransportPlayTo);

    ASSERT_TRUE(device.WaitPlayable());
    const std::vector<float> heard =
        device.Take(UINT32_MAX / 2, 512, [&] { return player.GetTransportState() == kTransportIdle; });
    const size_t expectedFrames = static_cast<size_t>(c.lengthSeconds * kRate + 0.5);
    ASSERT_EQ(heard.size(), expectedFrames);
    if (!heard.empty())
    {
        EXPECT_EQ(Index(heard.front()), static_cast<int64_t>(c.firstHeard * kRate) + 1);
        EXPECT_EQ(Index(heard.back()), Index(heard.front()) + static_cast<int64_t>(heard.size()) - 1);
    }
    EXPECT_NEAR(player.GetCurTimeSecond(), c.timeAfter, 1e-9);
    ASSERT_TRUE(WaitFor([&] { return listener.stopped.load() == 1; }));
    EXPECT_NEAR(player.GetCurTimeSecond(), c.timeAfter, 1e-9);

    // The ring was refilled from the time shown: Play goes on from there.
    player.Play();
    if (c.timeAfter < 20.0)
    {
        EXPECT_EQ(Index(PlaySeconds(0.01).front()), static_cast<int64_t>(c.timeAfter * kRate) + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(CAudioFilePlayer, AudioFilePlayerPreviews,
                         ::testing::Values(PreviewCase{"FromMiddle", true, 5.0, 5.0, 2.0, 5.0},
                                           PreviewCase{"FromNearEnd", true, 19.5, 19.5, 0.5, 19.5},
                                           PreviewCase{"FromTheEnd", true, 20.0, 0.0, 0.0, 20.0},
                                           PreviewCase{"ToMiddle", false, 5.0, 3.0, 2.0, 5.0},
                                           PreviewCase{"ToNearStart", false, 0.5, 0.0, 0.5, 0.5},
                                           PreviewCase{"ToTheStart", false, 0.0, 0.0, 0.0, 0.0}),
                         [](const ::testing::TestParamInfo<PreviewCase>& info) { return info.param.name; });

// Marker jumps: by index, next and previous, idle and playing.
TEST_F(AudioFilePlayerTransport, MarkerJumps)
{
    CMarker* markers = player.GetMarkerPtr();
    ASSERT_NE(markers, nullptr);
    markers->Add(2.0);
    markers->Add(4.0);
    markers->Add(6.0);

    player.SetCurTimeSecond(3.0);
    EXPECT_FALSE(player.JumpToMarker(3));
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 3.0);
    EXPECT_TRUE(player.JumpToMarker(-1));
    EXPECT_EQ(player.GetCurTimeSecond(), 0.0);

    EXPECT_TRUE(player.JumpToMarker(1));
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 4.0);
    EXPECT_EQ(player.GetCurrentMarkerIndex(), 1);
    EXPECT_TRUE(player.JumpToNextMarker());
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 6.0);
    EXPECT_FALSE(player.JumpToNextMarker());
    // Idle on a marker: previous goes to the marker before it.
    EXPECT_TRUE(player.JumpToPreviousMarker());
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 4.0);
    // Idle between markers: previous goes to the start of the current one.
    player.SetCurTimeSecond(5.0);
    EXPECT_TRUE(player.JumpToPreviousMarker());
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 4.0);
    player.SetCurTimeSecond(1.0);
    EXPECT_TRUE(player.JumpToPreviousMarker());
    EXPECT_EQ(player.GetCurTimeSecond(), 0.0);

    // Playing: within the first second after marker 2 (at 4.0) previous goes
    // to marker 1, later to marker 2 itself.
    player.JumpToMarker(1);
    player.Play();
    PlaySeconds(0.5);
    EXPECT_TRUE(player.JumpToPreviousMarker());
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 2.0);
    player.JumpToMarker(1);
    PlaySeconds(1.5);
    EXPECT_TRUE(player.JumpToPreviousMarker());
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 4.0);
    EXPECT_EQ(Index(PlaySeconds(0.01).front()), 4 * kRate + 1);
}

// The song's end with continuous playback: the player keeps its state, stays
// silent, sends no notice and asks for the next song.
TEST_F(AudioFilePlayerTransport, SongEndWithContinuousPlaybackIdlesAndWantsTheNextSong)
{
    EXPECT_TRUE(player.SetContinuousPlayback(true));
    player.SetCurTimeSecond(19.0);
    player.Play();
    const std::vector<float> heard = PlaySeconds(1.0);
    ASSERT_EQ(heard.size(), static_cast<size_t>(kRate));
    EXPECT_EQ(Index(heard.back()), kSongFrames);

    ASSERT_TRUE(WaitFor([&] { return player.WantsNextSong(); }));
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ(device.Call(512), 0);
        EXPECT_EQ(device.Out(0)[0], 0.0f);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(player.GetTransportState(), kTransportPlaying);
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 20.0);
    EXPECT_DOUBLE_EQ(player.GetCurPositionPercent(), 100.0);
    EXPECT_EQ(listener.stopped.load(), 0);
    EXPECT_TRUE(player.WantsNextSong());
}

// Stop, pause, seeks beyond the song and the device rate.
TEST_F(AudioFilePlayerTransport, StopPauseSeekLimitsAndRateChange)
{
    EXPECT_DOUBLE_EQ(player.SetCurTimeSecond(25.0), 20.0);
    EXPECT_EQ(player.SetCurTimeSecond(-4.0), 0.0);
    EXPECT_DOUBLE_EQ(player.SetCurPositionPercent(50.0), 50.0);
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 10.0);

    player.Play();
    PlaySeconds(0.5);
    player.Pause();
    EXPECT_EQ(player.GetTransportState(), kTransportIdle);
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 10.5);
    player.Play();
    EXPECT_EQ(Index(PlaySeconds(0.01).front()), static_cast<int64_t>(10.5 * kRate) + 1);

    float levels[2] = {};
    player.GetPeakLeveldB(levels);
    PlaySeconds(0.1);
    player.Stop();
    EXPECT_EQ(player.GetCurTimeSecond(), 0.0);
    player.GetPeakLeveldB(levels);
    EXPECT_EQ(levels[0], CDynamicControl::kNoPeakLevel);

    // The same rate changes nothing; another rate stops and returns to 0.
    player.SetCurTimeSecond(3.0);
    player.Play();
    EXPECT_EQ(player.SetOutputSampleRate(static_cast<float>(kRate)), static_cast<float>(kRate));
    EXPECT_EQ(player.GetTransportState(), kTransportPlaying);
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 3.0);
    EXPECT_EQ(player.SetOutputSampleRate(48000.0f), 48000.0f);
    EXPECT_EQ(player.GetTransportState(), kTransportIdle);
    EXPECT_EQ(player.GetCurTimeSecond(), 0.0);
}

// A read error: the player drops the source, goes idle and tells its
// listeners; the callback is silent.
TEST_F(AudioFilePlayerTransport, ReadErrorDropsTheSourceAndNotifies)
{
    player.Play();
    PlaySeconds(0.1);
    source->SetError();
    ASSERT_TRUE(WaitFor([&] { return listener.errors.load() == 1; }));
    EXPECT_EQ(player.GetPlayerInput(), nullptr);
    EXPECT_EQ(player.GetTransportState(), kTransportIdle);
    EXPECT_EQ(player.GetCurTimeSecond(), 0.0);
    EXPECT_EQ(device.Call(512), 0);
    player.Play();
    EXPECT_EQ(player.GetTransportState(), kTransportIdle);
}

// ---------------------------------------------------------------------------
// Real-time behaviour of the callback

// While the reader is held inside the source's ReadAudioData (with the input
// lock), the callback keeps returning: through normal play, the end of a
// preview (whose seek and notice wait for the reader) and a seek that the
// owner's thread is waiting to make.
TEST_F(AudioFilePlayerTransport, CallbackNeverWaitsForTheReadersIo)
{
    player.SetCurTimeSecond(5.0);
    player.PlayFrom();
    ASSERT_TRUE(device.WaitPlayable());
    ASSERT_TRUE(WaitFor([&] { return player.GetBufferFilledFrames() > 200000; }));

    source->CloseGate();
    std::vector<float> heard;
    std::thread audio;
    std::promise<void> done;
    auto finished = done.get_future();
    audio = std::thread(
        [&]
        {
            // Consume until the reader wants to read and is held, then on to
            // the end of the preview.
            heard = device.Take(UINT32_MAX / 2, 512,
                                [&] { return player.GetTransportState() == kTransportIdle; });
            done.set_value();
        });
    ASSERT_TRUE(source->WaitUntilHeld()) << "the reader never read";
    const bool returned = finished.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    EXPECT_TRUE(returned) << "the callback waited for the reader";
    if (returned)
    {
        EXPECT_EQ(heard.size(), static_cast<size_t>(2 * kRate));
        EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 5.0);
        EXPECT_EQ(listener.stopped.load(), 0) << "the notice comes from the reader";
    }

    // The owner's seek waits for the reader; the callback still returns.
    std::thread owner([&] { player.SetCurTimeSecond(8.0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Device second(player);
    auto callbacks = std::async(std::launch::async,
                                [&]
                                {
                                    for (int i = 0; i < 50; ++i)
                                        second.Call(512);
                                });
    EXPECT_EQ(callbacks.wait_for(std::chrono::seconds(10)), std::future_status::ready);

    source->OpenGate();
    owner.join();
    audio.join();
    callbacks.wait();
    ASSERT_TRUE(WaitFor([&] { return listener.stopped.load() == 1; }));
    EXPECT_DOUBLE_EQ(player.GetCurTimeSecond(), 8.0);
}

// Nothing is allocated on the audio thread, in any state.
TEST_F(AudioFilePlayerTransport, CallbackAllocatesNothing)
{
    if (!TestSupport::ThreadAllocationCounter::Available())
        GTEST_SKIP() << "needs the sanitizer's allocation hooks";
    using TestSupport::ThreadAllocationCounter;

    player.GetDynamicControlParamsPtr()->SetGaindB(-3.0f);
    player.GetDynamicControlParamsPtr()->SetPan(0.3f);
    player.GetDynamicControlParamsPtr()->SetDcCutMode(1);
    player.GetDynamicControlParamsPtr()->SetFadeParams(1, 1.0f, 2, 1.0f);
    std::vector<float> left(4096), right(4096);
    float* out[2] = {left.data(), right.data()};
    auto run = [&](uint32_t total, bool waitPlayable = true)
    {
        if (waitPlayable)
        {
            ASSERT_TRUE(WaitFor([&] { return !player.IsBuffering(); }));
        }
        for (uint32_t done = 0; done < total; done += 512)
        {
            ThreadAllocationCounter::Resume();
            player.Process(nullptr, out, 512);
            ThreadAllocationCounter::Pause();
        }
    };
    ThreadAllocationCounter::Start();
    ThreadAllocationCounter::Pause();
    player.Play();
    run(kRate);
    player.FastForward();
    run(kRate);
    player.Rewind();
    run(kRate);
    player.Pause();
    player.PlayFrom();
    run(3 * kRate); // through the preview's end
    player.Play();
    run(1024);
    source->SetBudget(0);
    run(CAudioFilePlayerPcmOutput::kRingFrames + 2048, false); // through an underrun
    source->SetBudget(INT64_MAX / 2);
    EXPECT_EQ(ThreadAllocationCounter::Stop(), 0);
}
