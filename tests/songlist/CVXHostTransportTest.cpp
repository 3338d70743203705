#include "tests/support/HostTestSupport.h"

#include "common/dsp/CPanControl.h"
#include "library/util/CDataUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

using namespace hosttest;
using Vextal::TrackInfo;

namespace
{
class CVXHostTransportTest : public HostTest
{
protected:
    // Plays the current song to its end (the player then wants the next
    // song, or has stopped).
    bool PlayToEnd()
    {
        return PlayUntil([this] { return Player()->WantsNextSong() || !Player()->IsPlaying(); });
    }
};
} // namespace

// The songs SkipSong tries, by play mode, repeat and direction: the next
// ones, or the previous ones nearest first; with repeat in play modes 1 and
// 2 the list wraps around and the current song comes last. In play mode 2
// the order is the shuffle order, and the shuffle position moves by the
// candidates passed. Songs that do not load are passed over when asked; a
// playing song keeps playing in the new one, or stops when none loads.
TEST_F(CVXHostTransportTest, SkipSongCandidateOrder)
{
    struct Case
    {
        const char* name;
        int mode;
        bool repeat;
        bool next;
        int start;                // song index; in play mode 2 a place in the shuffle order
        std::set<int> unloadable; // likewise
        bool tryUntilLoaded;
        bool result;
        int current; // likewise
        int status;
    };
    const int playing = CVXHost::kStatusPlaying;
    const int stopped = CVXHost::kStatusStopped;
    const Case cases[] = {
        {"all, next", 1, false, true, 1, {}, true, true, 2, playing},
        {"all, next from the last", 1, false, true, 4, {}, true, false, 4, playing},
        {"all, previous from the first", 1, false, false, 0, {}, true, false, 0, playing},
        {"all, previous", 1, false, false, 3, {}, true, true, 2, playing},
        {"all, next past two that fail", 1, false, true, 1, {2, 3}, true, true, 4, playing},
        {"all, next when none loads", 1, false, true, 1, {2, 3, 4}, true, true, 4, stopped},
        {"all, next without trying on", 1, false, true, 1, {2}, false, true, 2, stopped},
        {"all repeat, next from the last", 1, true, true, 4, {}, true, true, 0, playing},
        {"all repeat, next when only itself loads", 1, true, true, 4, {0, 1, 2, 3}, true, true, 4, playing},
        {"all repeat, previous from the first", 1, true, false, 0, {}, true, true, 4, playing},
        {"all repeat, previous past two that fail", 1, true, false, 2, {1, 0}, true, true, 4, playing},
        {"one song, next", 0, false, true, 1, {}, true, true, 2, playing},
        {"one song with repeat does not wrap", 0, true, true, 4, {}, true, false, 4, playing},
        {"shuffle, next", 2, false, true, 1, {}, true, true, 2, playing},
        {"shuffle, next from the last place", 2, false, true, 4, {}, true, false, 4, playing},
        {"shuffle repeat, previous from place 0", 2, true, false, 0, {4}, true, true, 3, playing},
        {"shuffle repeat, next wraps past two", 2, true, true, 3, {4, 0}, true, true, 1, playing},
        {"shuffle, previous past one", 2, false, false, 2, {1}, true, true, 0, playing},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        MakeHost();
        AddSongs(5);
        m_host->setPlayerMode(c.mode);
        m_host->setRepeat(c.repeat);
        const bool shuffle = c.mode == CVXHost::kPlayShuffle;
        m_host->SetCurPlayTrack(shuffle ? 0 : c.start, true, shuffle);
        for (int i = 0; shuffle && i < c.start; ++i)
            ASSERT_TRUE(m_host->SkipNext(true));
        ASSERT_EQ(m_host->GetShufflePosition(), shuffle ? c.start : 0);
        const std::vector<int> order = m_host->GetShuffleOrder();
        const auto song = [&](int place) { return shuffle ? order[static_cast<size_t>(place)] : place; };
        for (int u : c.unloadable)
            MakeUnloadable(m_host->GetSong(song(u)));
        m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
        ASSERT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPlaying);

        EXPECT_EQ(m_host->SkipSong(c.next, c.tryUntilLoaded), c.result);
        EXPECT_EQ(m_host->GetCurPlayTrack(0), song(c.current));
        if (shuffle)
        {
            EXPECT_EQ(m_host->GetShufflePosition(), c.current);
        }
        EXPECT_EQ(m_host->GetPlayerStatus(), c.status);
    }
}

// The clip state of a peak: only above 0 dB is a clip, and +3 dB is the
// hard one. Through the player: a full-scale song is no clip, raised by
// 1.5 dB it clips, raised by 3 dB it clips hard.
TEST_F(CVXHostTransportTest, ClipStatesAtTheThresholds)
{
    const struct
    {
        float peak;
        int state;
    } peaks[] = {{-100.0f, 0}, {-0.5f, 0}, {0.0f, 0}, {0.01f, 1}, {2.99f, 1}, {3.0f, 2}, {6.0f, 2}};
    for (const auto& p : peaks)
        EXPECT_EQ(CVXHost::ClipStateForPeak(p.peak), p.state) << p.peak;

    // A song whose ramp reaches the lowest 16-bit sample, -1.0 exactly; it
    // is played in play mode 1, where the player idles at its end with the
    // peaks still measured.
    AddSong(WriteSong("full.wav", 2205, 32768 - 2000, 1));
    m_host->setPlayerMode(CVXHost::kPlayAllSongs);
    const struct
    {
        float gain;
        int state;
    } gains[] = {{0.0f, 0}, {1.5f, 1}, {3.0f, 2}};
    for (const auto& g : gains)
    {
        SCOPED_TRACE(g.gain);
        m_host->GetSong(0)->setControl(TrackInfo::kGain, g.gain, true);
        m_host->SetCurPlayTrack(0, true, false);
        m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
        ASSERT_TRUE(PlayToEnd());
        m_host->UpdateLevelAndClip();
        EXPECT_EQ(m_listener.clipStates.back(), g.state);
        EXPECT_NEAR(m_listener.levels[0], g.gain, 0.5);
        // Nothing measured since: the meters rest at their floor.
        m_host->UpdateLevelAndClip();
        EXPECT_EQ(m_listener.levels[0], -100.0);
        EXPECT_EQ(m_listener.clipStates.back(), 0);
    }
}

// A device that restarts (a new rate, a new buffer size) finds the host
// playing, paused or stopped as it was, at the same place.
TEST_F(CVXHostTransportTest, ADeviceRestartKeepsThePlayerStatus)
{
    AddSong(WriteSong("long.wav", 44100 * 4));
    m_host->SetCurPlayTrack(0, true, false);
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    ASSERT_TRUE(PlayUntil([this] { return Player()->GetCurTimeSecond() > 0.5; }));

    const double before = Player()->GetCurTimeSecond();
    EXPECT_EQ(m_devices->ChangeSampleRate(48000.0), "");
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPlaying);
    EXPECT_TRUE(Player()->IsPlaying());
    EXPECT_EQ(Player()->GetOutputSampleRate(), 48000.0f);
    EXPECT_NEAR(Player()->GetCurTimeSecond(), before, 0.001);
    ASSERT_TRUE(PlayUntil([&] { return Player()->GetCurTimeSecond() > before + 0.2; }));

    m_host->SetPlayerStatus(CVXHost::kStatusPaused);
    const double paused = Player()->GetCurTimeSecond();
    EXPECT_EQ(m_devices->ChangeBufferSize(256), "");
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPaused);
    EXPECT_FALSE(Player()->IsPlaying());
    EXPECT_NEAR(Player()->GetCurTimeSecond(), paused, 0.001);

    m_host->SetPlayerStatus(CVXHost::kStatusStopped);
    EXPECT_EQ(m_devices->ChangeSampleRate(44100.0), "");
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusStopped);

    // Without a running device a play request stops.
    m_devices->Close();
    m_listener.notices.clear();
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusStopped);
    EXPECT_EQ(m_listener.notices, std::vector<std::string>{"status 2"});
}

// At the end of a song in play mode 1, one listener that does not let the
// current song change postpones the move to the next song to a later tick.
TEST_F(CVXHostTransportTest, AVetoPostponesTheMoveToTheNextSong)
{
    AddSongs(2);
    m_host->setPlayerMode(CVXHost::kPlayAllSongs);
    m_host->SetCurPlayTrack(0, true, false);
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    RecordingHostListener second;
    m_host->AddListener(&second);
    ASSERT_TRUE(PlayToEnd());
    ASSERT_TRUE(Player()->WantsNextSong());

    m_listener.canChange = false;
    for (int tick = 0; tick < 3; ++tick)
        m_host->timerCallback();
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);
    EXPECT_EQ(m_listener.asked, 3);
    EXPECT_EQ(second.asked, 0); // the first false ends the asking

    m_listener.canChange = true;
    m_host->timerCallback();
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 1);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPlaying);
    EXPECT_EQ(second.asked, 1);
    m_host->RemoveListener(&second);
}

// The end of the song in play mode 0: with repeat it starts over, without
// it the player stops by itself and the listeners are told.
TEST_F(CVXHostTransportTest, OneSongModeEndsOrStartsOver)
{
    AddSongs(2);
    m_host->setRepeat(true);
    m_host->SetCurPlayTrack(0, true, false);
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    ASSERT_TRUE(PlayToEnd());
    m_host->timerCallback();
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);
    EXPECT_TRUE(Player()->IsPlaying());
    EXPECT_LT(Player()->GetCurTimeSecond(), 0.001);

    m_host->setRepeat(false);
    m_listener.notices.clear();
    ASSERT_TRUE(PlayUntil([this] { return m_listener.Saw("status 2"); }));
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusStopped);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);
}

// Cueing while paused moves a second per tick and crosses into the next
// song in play mode 1; the wheel moves back into the previous song's end.
TEST_F(CVXHostTransportTest, CueAndWheelCrossSongs)
{
    AddSong(WriteSong("a.wav", 44100 * 3 / 2));
    AddSong(WriteSong("b.wav", 44100 * 2));
    m_host->setPlayerMode(CVXHost::kPlayAllSongs);
    m_host->SetCurPlayTrack(0, true, false);

    m_host->SetPlayerSpeedStatus(1); // from a stop: pauses
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPaused);
    EXPECT_EQ(m_host->GetPlayerSpeedStatus(), 0);
    m_host->SetPlayerSpeedStatus(1);
    m_host->timerCallback();
    EXPECT_NEAR(Player()->GetCurTimeSecond(), 1.0, 0.001);
    m_host->timerCallback();
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 1);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPaused);

    m_host->SetPlayerSpeedStatus(0);
    m_host->SkipByWheel(10.0, false);
    m_host->SkipByWheel(-30.0, false);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);
    EXPECT_NEAR(Player()->GetCurTimeSecond(), 1.5, 0.001);

    // Staying in the song, or in play mode 0, limits the move to the song.
    m_host->SkipByWheel(100.0, true);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);
    EXPECT_NEAR(Player()->GetCurTimeSecond(), 1.5, 0.001);
    m_host->setPlayerMode(CVXHost::kPlayOneSong);
    m_host->SkipByWheel(-100.0, false);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);
    EXPECT_EQ(Player()->GetCurTimeSecond(), 0.0);
}

// A control changed on the current song reaches the player at once; one of
// another song does not.
TEST_F(CVXHostTransportTest, ControlsOfTheCurrentSongReachThePlayer)
{
    AddSongs(2);
    m_host->SetCurPlayTrack(0, true, false);
    m_host->GetSong(0)->setControl(TrackInfo::kGain, -3.0f, true);
    m_host->GetSong(1)->setControl(TrackInfo::kGain, 5.0f, true);
    EXPECT_FLOAT_EQ(Player()->GetDynamicControlParamsPtr()->GetGaindB(), -3.0f);
    m_host->GetSong(0)->addMarker(0.01, true);
    ASSERT_EQ(Player()->GetMarkerPtr()->GetNumMarkers(), 1);
}

// A songlist of a WAV, an AIFF and an MP3 file plays through the host into
// the device in play mode 1: the device receives each song's frames as its
// reader decodes them, exactly at unity gain, after gain and balance
// otherwise; the songs follow one another and the list ends stopped on its
// first song.
TEST_F(CVXHostTransportTest, ASonglistPlaysThroughTheDevice)
{
    const auto wav = WriteSong("one.wav", 11025, 1);
    const auto aiff = m_folder / "two.aiff";
    ASSERT_TRUE(songlisttest::WriteRampFile(aiff, "aiff", 7000, 44100, 1, 20000));
    const auto source = WriteSong("three.wav", 9000, 3000);
    const auto mp3 = m_folder / "three.mp3";
    if (!songlisttest::MakeMp3(source, mp3))
        GTEST_SKIP() << "the ffmpeg command is needed to make the MP3 file";
    for (const auto& path : {wav, aiff, mp3})
        ASSERT_NE(AddSong(path), nullptr) << path;
    const float gain = -6.0f;
    const float balance = 0.5f;
    m_host->GetSong(1)->setControl(TrackInfo::kGain, gain, false);
    m_host->GetSong(2)->setControl(TrackInfo::kGain, 1.5f, false);
    m_host->GetSong(2)->setControl(TrackInfo::kBalance, balance, false);

    m_host->setPlayerMode(CVXHost::kPlayAllSongs);
    m_host->SetCurPlayTrack(0, true, false);
    Device()->ClearCapture();
    m_host->startTimer(CVXHost::kTimerIntervalMs);
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    m_listener.notices.clear();
    ASSERT_TRUE(PlayUntil([this] { return m_listener.Saw("current 0"); }));
    EXPECT_EQ(m_listener.notices,
              (std::vector<std::string>{"status 2", "current 1", "status 0", "speed 0", "status 2",
                                        "current 2", "status 0", "speed 0", "status 2", "current 0"}));
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusStopped);

    // Each song starts at a block: the end of the one before fills its last
    // block with silence.
    const juce::AudioBuffer<float> capture = Device()->GetCapture();
    CPanControl pan(2);
    pan.SetPan(balance);
    const struct
    {
        std::filesystem::path path;
        float gain;
        float left, right; // balance gains
    } songs[] = {{wav, 0.0f, 1.0f, 1.0f},
                 {aiff, gain, 1.0f, 1.0f},
                 {mp3, 1.5f, pan.GetLeftGain(), pan.GetRightGain()}};
    int at = 0;
    for (const auto& s : songs)
    {
        SCOPED_TRACE(s.path.filename().string());
        const songlisttest::PlanarFloat decoded = songlisttest::DecodeAll(s.path);
        ASSERT_FALSE(decoded.empty());
        const int frames = static_cast<int>(decoded[0].size());
        ASSERT_LE(at + frames, capture.getNumSamples());
        const float g = CDataUtil::DBToAmplitude(s.gain);
        int mismatches = 0;
        for (int c = 0; c < 2; ++c)
        {
            const std::vector<float>& in = decoded[decoded.size() == 1 ? 0 : static_cast<size_t>(c)];
            const float* out = capture.getReadPointer(c, at);
            const float balanceGain = c == 0 ? s.left : s.right;
            for (int i = 0; i < frames; ++i)
            {
                const float expected = s.gain == 0.0f && balanceGain == 1.0f
                                           ? in[static_cast<size_t>(i)]
                                           : in[static_cast<size_t>(i)] * g * balanceGain;
                const bool same = s.gain == 0.0f && balanceGain == 1.0f
                                      ? out[i] == expected
                                      : std::fabs(out[i] - expected) <= 1e-6f * (1.0f + std::fabs(expected));
                if (!same && mismatches++ < 3)
                    ADD_FAILURE() << "channel " << c << " frame " << i << ": " << out[i] << ", want "
                                  << expected;
            }
        }
        EXPECT_EQ(mismatches, 0);
        const int padded = (frames + kBlock - 1) / kBlock * kBlock;
        for (int i = at + frames; i < at + padded; ++i)
            ASSERT_EQ(capture.getSample(0, i), 0.0f) << i;
        at += padded;
    }
}

// A song whose file becomes unreadable while it plays stops with its files
// released; the song stays current, and nothing hangs.
TEST_F(CVXHostTransportTest, AFileThatBecomesUnreadableStopsThePlayer)
{
    const auto path = WriteSong("long.wav", 44100 * 20);
    AddSong(path);
    m_host->SetCurPlayTrack(0, true, false);
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    ASSERT_TRUE(PlayUntil([this] { return Player()->GetCurTimeSecond() > 0.2; }));

    // Cut the file to one second: the reader, ahead by several seconds,
    // meets the end of the file.
    ASSERT_EQ(::truncate(path.c_str(), 44 + 44100 * 4), 0);
    m_listener.notices.clear();
    ASSERT_TRUE(PlayUntil([this] { return m_listener.Saw("status 2"); }, 30.0));
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusStopped);
    EXPECT_EQ(Player()->GetPlayerInput(), nullptr);
    EXPECT_EQ(m_host->GetSongReader()->GetNumSections(), 0);
    EXPECT_EQ(m_host->GetCurPlayTrack(0), 0);

    // The song can be tried again.
    m_host->SetPlayerStatus(CVXHost::kStatusPlaying);
    EXPECT_EQ(m_host->GetPlayerStatus(), CVXHost::kStatusPlaying);
}
