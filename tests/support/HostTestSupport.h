#pragma once

// The host under test: a CVXHost over a device manager whose one device is a
// null output in manual pump mode with its output captured, the export
// manager singleton, a volume-change broadcaster and a preferences store of
// its own, all in a temporary folder. The host's timer is stopped: tests
// tick it themselves (or start it again).

#include "common/disc/DeviceChangeBroadcaster.h"
#include "common/dsp/CAudioFilePlayer.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/CSongRead.h"
#include "library/zad/CZadPreferences.h"
#include "src/songlist/CVXAudioDeviceManager.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/Output/ExportManager.h"
#include "src/songlist/linux/CNullAudioIODeviceType.h"

#include "tests/support/SonglistTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace hosttest
{
using songlisttest::TempFolder;
using songlisttest::Wide;

// Records the host's notices as text, in order (the tick and meter notices
// only as counts), and answers currentSongCanBeChanged with canChange.
class RecordingHostListener : public CVXHostListener
{
public:
    void OnVXHostNumTracksChanged(CVXHost*, int count) override { Add("count " + std::to_string(count)); }
    void OnVXHostSelectedSongsChanged(CVXHost*, const juce::SparseSet<int>& s, bool) override
    {
        Add("selection " + std::to_string(s.size()));
    }
    void OnVXHostCurPlayTrackChanged(CVXHost*, int index) override
    {
        Add("current " + std::to_string(index));
    }
    void OnVXHostPlayerStatusChanged(CVXHost*, int status) override
    {
        Add("status " + std::to_string(status));
    }
    void OnVXHostPlayerSpeedStatusChanged(CVXHost*, int speed) override
    {
        Add("speed " + std::to_string(speed));
    }
    void OnVXHostFromToPlayStatusChanged(CVXHost*, int status) override
    {
        Add("preview " + std::to_string(status));
    }
    void OnVXHostMeterLevelChanged(CVXHost*, int channel, double level) override
    {
        levels[channel == 0 ? 0 : 1] = level;
    }
    void OnVXHostMeterClipChanged(CVXHost*, int state) override { clipStates.push_back(state); }
    void OnVXHostTimerCallback(CVXHost*) override { ++ticks; }
    void OnVXHostModeChanged(CVXHost*, int mode) override { Add("mode " + std::to_string(mode)); }
    void OnVXHostDividabilityChanged(CVXHost*, bool can) override { Add(can ? "divide 1" : "divide 0"); }
    void songlistNameChanged(CVXHost*, const juce::String& name) override
    {
        Add("name " + name.toStdString());
    }
    bool currentSongCanBeChanged(CVXHost*) override
    {
        ++asked;
        return canChange;
    }

    bool Saw(const std::string& notice) const
    {
        return std::find(notices.begin(), notices.end(), notice) != notices.end();
    }

    std::vector<std::string> notices;
    std::vector<int> clipStates;
    double levels[2] = {0.0, 0.0};
    int ticks = 0;
    int asked = 0;
    bool canChange = true;

private:
    void Add(const std::string& notice) { notices.push_back(notice); }
};

// A selection of the given song indices.
inline juce::SparseSet<int> SetOf(std::initializer_list<int> values)
{
    juce::SparseSet<int> set;
    for (int v : values)
        set.addRange({v, v + 1});
    return set;
}

// "0-1,4": the ranges of a selection, each as first-last.
inline std::string RangesOf(const juce::SparseSet<int>& set)
{
    std::string s;
    for (int r = 0; r < set.getNumRanges(); ++r)
    {
        const juce::Range<int> range = set.getRange(r);
        s += (s.empty() ? "" : ",") + std::to_string(range.getStart());
        if (range.getLength() > 1)
            s += "-" + std::to_string(range.getEnd() - 1);
    }
    return s;
}

class HostTest : public ::testing::Test
{
protected:
    static constexpr int kBlock = 512;

    void SetUp() override
    {
        CVXAudioDeviceManager::Setup setup;
        auto type = std::make_unique<CNullAudioIODeviceType>();
        m_control = type->GetControl();
        m_control->SetManualPump(true);
        m_control->SetCaptureCapacity(1 << 18);
        setup.deviceTypes.push_back(std::move(type));
        m_devices = std::make_unique<CVXAudioDeviceManager>(std::move(setup));
        ASSERT_EQ(m_devices->Open(CNullAudioIODeviceType::kDeviceName, 44100.0, 0, kBlock, false), "");
        Vextal::ExportManager::CreateInstance();
        ASSERT_TRUE(m_preferences.OpenFile(juce::File((m_folder / "prefs.settings").string())));
        MakeHost();
    }

    void TearDown() override
    {
        m_host.reset();
        Vextal::ExportManager::DestroyInstance();
        m_devices.reset();
    }

    CVXHost::Services Services()
    {
        return {m_devices.get(),
                Vextal::ExportManager::GetInstance(),
                &m_broadcaster,
                &m_preferences,
                juce::File((m_folder / "data").string()),
                [this] { ++m_quitRequests; },
                {}};
    }

    void MakeHost()
    {
        m_host.reset();
        m_host = std::make_unique<CVXHost>(Services());
        m_host->stopTimer();
        m_host->AddListener(&m_listener);
    }

    CNullAudioIODevice* Device() const
    {
        return dynamic_cast<CNullAudioIODevice*>(m_devices->GetCurrentDevice());
    }
    CAudioFilePlayerPcmOutput* Player() const { return m_host->GetPlayer(); }

    // A WAV ramp file of the folder (stereo 16-bit at 44100 Hz).
    std::filesystem::path WriteSong(const std::string& name, int64_t frames, int64_t base = 1,
                                    uint16_t channels = 2)
    {
        const auto path = m_folder / name;
        EXPECT_TRUE(songlisttest::WriteRampFile(path, "wav", frames, 44100, channels, base));
        return path;
    }

    // Appends a song of a file, named after it.
    Vextal::TrackInfo* AddSong(const std::filesystem::path& path)
    {
        auto song = songlisttest::SongOf(path, path.stem().string());
        Vextal::TrackInfo* record = song.get();
        if (song != nullptr)
            m_host->InsertTrack(m_host->GetNumSongs(), std::move(song));
        return record;
    }

    // Appends count short songs "s0", "s1", ...
    void AddSongs(int count, int64_t frames = 2205)
    {
        for (int i = 0; i < count; ++i)
            AddSong(WriteSong("s" + std::to_string(i) + ".wav", frames, 1 + 10000 * i));
    }

    // Points every file of a song at a file that does not exist.
    void MakeUnloadable(Vextal::TrackInfo* song)
    {
        juce::Array<CPlaylistFile*> files;
        song->getAllFiles(files);
        for (CPlaylistFile* f : files)
            f->SetFile(Wide(m_folder / "gone.wav").c_str(), f->GetAbsStartSample(), f->GetAbsStopSample(), 0);
    }

    void Dispatch(int ms = 1) { juce::MessageManager::getInstance()->runDispatchLoopUntil(ms); }

    // Dispatches messages, ms milliseconds at a time, until done() holds;
    // false when the seconds run out first.
    bool DispatchUntil(const std::function<bool()>& done, double seconds, int ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done())
        {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            Dispatch(ms);
        }
        return true;
    }

    // Delivers device blocks until done() holds, dispatching messages in
    // between; a block is delivered only while the player plays with its
    // ring filled (so that no block underruns in the middle of a song).
    // False when the time runs out.
    bool PlayUntil(const std::function<bool()>& done, double seconds = 20.0)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done())
        {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            if (Player()->IsPlaying() && !Player()->IsBuffering())
                Device()->Pump(1);
            else
                Dispatch(1);
        }
        return true;
    }

    juce::ScopedJuceInitialiser_GUI m_gui;
    TempFolder m_folder;
    DeviceChangeBroadcaster m_broadcaster;
    CZadPreferences m_preferences;
    std::shared_ptr<CNullAudioIODeviceType::Control> m_control;
    std::unique_ptr<CVXAudioDeviceManager> m_devices;
    RecordingHostListener m_listener;
    std::unique_ptr<CVXHost> m_host;
    int m_quitRequests = 0;
};
} // namespace hosttest
