// A whole burn without a window: three songs of different formats and rates
// with gaps and album texts burnt to a simulated drive, the disc image read
// back through libcdio and checked against the export engine's own 44.1 kHz
// 16-bit conversion of the same songs.

#include "src/songlist/CVXConverterThread.h"
#include "src/songlist/Output/DiscBurnSession.h"
#include "src/songlist/Output/ExportParameter/CommonExportParameter.h"
#include "src/songlist/Output/ExportParameter/DiscBurnParameter.h"

#include "tests/common/disc/linux/DiscImageCheck.h"
#include "tests/support/HostTestSupport.h"
#include "tests/support/SimulatedBurner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>

using burntest::Drive;
using burntest::Medium;
using burntest::SimulatedBurner;
using Vextal::CommonExportParameter;
using Vextal::DiscBurnParameter;
using Vextal::DiscBurnSession;

namespace
{
class EndListener : public Vextal::ExportSessionListener
{
public:
    void exportEnded(Vextal::ExportSession*, bool wasAborted) override
    {
        aborted = wasAborted;
        ended.store(true);
    }
    std::atomic<bool> ended{false};
    bool aborted = true;
};

class DiscBurnEndToEndTest : public hosttest::HostTest
{
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        m_host->SetMode(1);
        for (const char* folder : {"tmp", "out", "images"})
            std::filesystem::create_directory(m_folder / folder);
    }

    bool DispatchUntil(const std::function<bool()>& done, double seconds = 120.0)
    {
        return HostTest::DispatchUntil(done, seconds, 5);
    }

    // The songs as the export engine writes them: 44.1 kHz 16-bit stereo
    // AIFF files in "out", named after the songs.
    void ExportReference()
    {
        CVXConverterThread::ParameterSet params;
        params.songs.addRange({0, m_host->GetNumSongs()});
        params.outputSampleRate = 44100;
        params.outputFolder = juce::File((m_folder / "out").string());
        params.formatId = "aiff";
        params.channelMode = 1;
        params.bitsPerSample = 16;
        params.gapBetweenSongs = 2.0f;
        CVXConverterThread converter(params, m_host.get());
        converter.startThread();
        ASSERT_TRUE(DispatchUntil([&converter] { return converter.hasFinished(); }));
        EXPECT_TRUE(converter.getErrorSongs().isEmpty());
    }
};
} // namespace

TEST_F(DiscBurnEndToEndTest, ThreeSongsWithGapsAndAlbumTexts)
{
    const auto wav48 = m_folder / "one.wav";
    ASSERT_TRUE(songlisttest::WriteRampFile(wav48, "wav", 48000 * 5, 48000, 2, 1));
    const auto mp3Source = m_folder / "two-source.wav";
    ASSERT_TRUE(songlisttest::WriteRampFile(mp3Source, "wav", 44100 * 9 / 2, 44100, 2, 7));
    const auto mp3 = m_folder / "two.mp3";
    if (!songlisttest::MakeMp3(mp3Source, mp3))
        GTEST_SKIP() << "no MP3 encoder";
    const auto aiff = m_folder / "three.aiff";
    ASSERT_TRUE(songlisttest::WriteRampFile(aiff, "aiff", 44100 * 21 / 5, 44100, 2, 3));
    const char* titles[] = {"First Light", "Second Wind", "Third Eye"};
    const char* artists[] = {"Ana", "Ben", "Cleo"};
    int k = 0;
    for (const auto& path : {wav48, mp3, aiff})
    {
        Vextal::TrackInfo* song = AddSong(path);
        ASSERT_NE(song, nullptr);
        song->setText(Vextal::TrackInfo::kTitle, titles[k], false);
        song->setText(Vextal::TrackInfo::kArtist, artists[k], false);
        ++k;
    }
    ExportReference();

    SimulatedBurner burner(juce::File((m_folder / "images").string()),
                           {Drive::CdWriter("W", Medium::BlankCdR())});
    CommonExportParameter common([] { return false; });
    common.setParameterText(CommonExportParameter::kTempDirectory, (m_folder / "tmp").string(), false);
    DiscBurnParameter disc(*burner.proxy);
    disc.setParameterValue(DiscBurnParameter::kGapBetweenSongs, 2, false);
    disc.setParameterText(DiscBurnParameter::kAlbumTitle, "Album Title", false);
    disc.setParameterText(DiscBurnParameter::kAlbumArtist, "Album Artist", false);
    EndListener listener;
    DiscBurnSession session(*burner.proxy, common, disc, m_host.get());
    session.AddListener(&listener);
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(DispatchUntil([&listener] { return listener.ended.load(); }));
    session.waitForWorkToEnd();
    EXPECT_FALSE(listener.aborted);
    EXPECT_TRUE(session.isSucceeded());

    const std::wstring cue = hosttest::Wide(m_folder / "images" / "Disc 001.cue");
    ASSERT_TRUE(std::filesystem::exists(m_folder / "images" / "Disc 001.cue"));
    disctest::CheckCdText(cue, {{{L"Album Title", L"Album Artist"},
                                 {L"First Light", L"Ana"},
                                 {L"Second Wind", L"Ben"},
                                 {L"Third Eye", L"Cleo"}}});

    // Each track: a two-second pre-gap of silence (the first one's is the
    // disc's own), then the export engine's samples, then silence to the
    // end of the track.
    CCdioDisc image;
    ASSERT_TRUE(image.Open(cue.c_str()));
    ASSERT_EQ(image.GetNumTracks(), 3);
    int32_t previousEnd = 0;
    const char* names[] = {"one", "two", "three"};
    for (int t = 1; t <= 3; ++t)
    {
        SCOPED_TRACE(t);
        const std::vector<disctest::Frame> reference =
            disctest::ReadFrames(m_folder / "out" / (std::string(names[t - 1]) + ".aif"));
        ASSERT_FALSE(reference.empty());
        const int32_t start = image.GetTrackStartLsn(t);
        // A track ends after a whole closing frame of silence.
        const int32_t end = start + static_cast<int32_t>((reference.size() + 587) / 588 + 1);
        EXPECT_EQ(start - previousEnd, t == 1 ? 0 : 150);
        if (start > previousEnd)
        {
            std::vector<uint8_t> gap(static_cast<size_t>(start - previousEnd) * 2352);
            ASSERT_TRUE(
                image.ReadAudioSectors(gap.data(), previousEnd, static_cast<uint32_t>(start - previousEnd)));
            EXPECT_TRUE(std::all_of(gap.begin(), gap.end(), [](uint8_t b) { return b == 0; }));
        }
        std::vector<uint8_t> audio(static_cast<size_t>(end - start) * 2352);
        ASSERT_TRUE(image.ReadAudioSectors(audio.data(), start, static_cast<uint32_t>(end - start)));
        std::vector<disctest::Frame> read(audio.size() / 4);
        for (size_t f = 0; f < read.size(); ++f)
        {
            const uint8_t* p = audio.data() + f * 4;
            read[f] = disctest::Frame{static_cast<int32_t>(static_cast<uint32_t>(p[0] | (p[1] << 8)) << 16),
                                      static_cast<int32_t>(static_cast<uint32_t>(p[2] | (p[3] << 8)) << 16)};
        }
        std::vector<disctest::Frame> want = reference;
        want.resize(read.size(), disctest::Frame{0, 0});
        EXPECT_EQ(disctest::FirstDifference(read, want), -1);
        previousEnd = end;
    }
    EXPECT_EQ(image.GetLeadOutLsn(), previousEnd);
    EXPECT_TRUE(std::filesystem::is_empty(m_folder / "tmp"));
}
