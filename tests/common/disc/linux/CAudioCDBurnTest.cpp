#include "common/disc/CAudioCDBurn.h"
#include "common/disc/CAudioDiscBurnProxy.h"
#include "common/disc/CDiscJob.h"
#include "common/disc/linux/CDiscBurnImpSimulated.h"

#include "tests/common/disc/DiscBurnTestSupport.h"
#include "tests/common/disc/linux/DiscImageCheck.h"
#include "tests/common/disc/linux/SimulatedDriveSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sys/resource.h>
#include <thread>

using namespace disctest;
using cdtest::TempFolder;
using cdtest::Wide;

namespace
{
// A song as the converter thread renders it into the burner: the track's
// gaps and texts, then its audio (a stretch of the ramp), as integers or as
// floats.
struct Song
{
    int64_t frames;
    bool gaplessWithPrevious;
    float preGapSeconds;
    const wchar_t* title;
    const wchar_t* performer;
    bool asFloats = false;
};

// The burner over a simulated drive, running far faster than real time.
class BurnerOnSimulatedDrive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(m_folder / "images");
        std::filesystem::create_directory(m_folder / "staged");
        auto drive = MakeSimulatedCdWriter(m_folder / "images", Medium::BlankCdR(), 1e6);
        m_drive = drive.get();
        m_burner = std::make_unique<CAudioCDBurn>(std::move(drive));
        ASSERT_EQ(m_burner->OpenDrive(0), 0);
        ASSERT_EQ(m_burner->OpenDisc(Wide(m_folder / "staged").c_str()), 0);
        ASSERT_EQ(m_burner->OpenAlbum(L"Caf\u00e9 Sessions", L"Ana M\u00fcller", 44100, 16, 2), 0);
        ASSERT_EQ(m_burner->SetWriteSpeed(0), 0);
    }

    // Renders the songs; the last track stays open, as the converter leaves
    // it for StartBurnDisc.
    void Render(const std::vector<Song>& songs)
    {
        int64_t first = 0;
        for (size_t i = 0; i < songs.size(); ++i)
        {
            const Song& song = songs[i];
            ASSERT_EQ(m_burner->OpenTrack(song.title, song.gaplessWithPrevious, i + 1 == songs.size(),
                                          song.preGapSeconds, 0.0f),
                      0);
            m_burner->GetMetaDataPtr()
                ->GetStringPtr(CAudioMetaData::kTitle)
                ->SetString(song.title, -1, false);
            m_burner->GetMetaDataPtr()
                ->GetStringPtr(CAudioMetaData::kArtist)
                ->SetString(song.performer, -1, false);
            m_burner->SetMetaDataFixed();
            ASSERT_EQ(WriteRamp(song.asFloats ? WriteAsFloats() : WriteAsIntegers(), first, song.frames),
                      song.frames);
            first += song.frames;
        }
    }

    std::function<uint32_t(int32_t**, uint32_t)> WriteAsIntegers()
    {
        return [this](int32_t** f, uint32_t n) { return m_burner->WriteAudioData(f, n); };
    }

    // The converter hands the burner floats; their integers come back
    // exactly.
    std::function<uint32_t(int32_t**, uint32_t)> WriteAsFloats()
    {
        return [this](int32_t** f, uint32_t n)
        {
            std::vector<float> left(n);
            std::vector<float> right(n);
            for (uint32_t i = 0; i < n; ++i)
            {
                left[i] = static_cast<float>(f[0][i]) / 2147483648.0f;
                right[i] = static_cast<float>(f[1][i]) / 2147483648.0f;
            }
            float* channels[2] = {left.data(), right.data()};
            const uint32_t written = m_burner->WriteAudioData(channels, n);
            EXPECT_EQ(left[0], static_cast<float>(f[0][0]) / 2147483648.0f)
                << "the caller's buffers are kept";
            return written;
        };
    }

    void RenderThreeSongs()
    {
        Render({{5 * 44100 + 100, false, 2.0f, L"Opening", L"Ana M\u00fcller"},
                {5 * 44100 + 300, false, 1.0f, L"\u591c\u660e\u3051", L"\u6771\u4eac Trio", true},
                {3 * 44100, true, 0.0f, L"Coda", L"Band"}});
    }

    bool WaitForEnd() { return disctest::WaitForEnd(*m_burner); }

    // The bytes of every staged file, by name.
    std::map<std::string, rifftest::Bytes> StagedFiles() const
    {
        std::map<std::string, rifftest::Bytes> files;
        for (const auto& entry : std::filesystem::directory_iterator(m_folder / "staged"))
            files[entry.path().filename().string()] = rifftest::ReadBytes(entry.path());
        return files;
    }

    TempFolder m_folder;
    CDiscBurnImpSimulated* m_drive = nullptr;
    std::unique_ptr<CAudioCDBurn> m_burner;
};
} // namespace

TEST_F(BurnerOnSimulatedDrive, IsASinkOfCdAudio)
{
    EXPECT_EQ(m_burner->GetSampleRate(), 44100u);
    EXPECT_EQ(m_burner->GetNumChannels(), 2u);
    EXPECT_EQ(m_burner->GetBitsPerSample(), 16u);
    EXPECT_FALSE(m_burner->IsFloatingPoint());
    EXPECT_TRUE(m_burner->CanDoGapless());
    EXPECT_EQ(m_burner->GetSupportedDiscType(), (std::vector<eDiscType>{kDiscTypeCDR, kDiscTypeCDRW}));
    int32_t zeros[588] = {};
    int32_t* ptrs[2] = {zeros, zeros};
    EXPECT_EQ(m_burner->WriteAudioData(ptrs, 588), 0u) << "no track open";
    CAudioMetaData* own = m_burner->GetMetaDataPtr();
    ASSERT_EQ(m_burner->OpenTrack(L"", false, true, 0.0f, 0.0f), 0);
    EXPECT_NE(m_burner->GetMetaDataPtr(), own) << "the open track's song information";
    EXPECT_EQ(m_burner->WriteAudioData(ptrs, 588), 588u);
    m_burner->RemoveFile();
    EXPECT_TRUE(StagedFiles().empty());
    EXPECT_EQ(m_burner->GetMetaDataPtr(), own);
}

TEST_F(BurnerOnSimulatedDrive, GapsInSecondsBecomeWholeCdFrames)
{
    const struct
    {
        float seconds;
        uint32_t frames;
    } cases[] = {{-1.0f, 0}, {0.0f, 0}, {0.5f, 37}, {1.99f, 149}, {2.0f, 150}, {5.0f, 375}};
    for (const auto& c : cases)
        ASSERT_EQ(m_burner->OpenTrack(L"", false, false, c.seconds, c.seconds), 0);
    ASSERT_EQ(m_burner->OpenTrack(L"", false, true, 0.0f, 0.0f), 0);
    const AudioCDAlbumTrackList& album = m_burner->GetAlbumTrackList();
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        SCOPED_TRACE(cases[i].seconds);
        EXPECT_EQ(album.tracks[i].preGap, cases[i].frames);
        // Empty tracks: one frame of silence, the trailing silence, and the
        // four-second minimum.
        EXPECT_EQ(album.tracks[i].samples, std::max<int64_t>(588 * (1 + cases[i].frames), kMinTrackFrames));
    }
}

// Three songs with gaps and texts in both character codes go through the
// burner into the simulated drive and read back with libcdio exactly as
// staged: the tracks at their starts after their pre-gaps, every sample,
// the CD-Text and the disc's identifier.
TEST_F(BurnerOnSimulatedDrive, ABurnOfThreeSongsReadsBackExactly)
{
    RenderThreeSongs();
    ASSERT_EQ(m_burner->StartBurnDisc(), 0);
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(m_burner->GetLastProcessErrorCode(), 0)
        << juce::String(m_burner->GetLastProcessErrorMessage().c_str());
    EXPECT_EQ(m_burner->GetLastProcessErrorMessage(), L"");

    const AudioCDAlbumTrackList& album = m_burner->GetAlbumTrackList();
    ASSERT_EQ(album.tracks.size(), 3u);
    EXPECT_EQ(album.tracks[0].preGap, 150u);
    EXPECT_EQ(album.tracks[1].preGap, 75u);
    EXPECT_EQ(album.tracks[2].preGap, 0u);
    EXPECT_EQ(album.tracks[1].samples % 588, 0) << "the gapless join carried the partial frame";
    const wchar_t* root = m_burner->GetCurrentDriveRootPath();
    ASSERT_NE(root, nullptr);
    const std::wstring cue = root;
    CheckImage(cue, album);
    CheckCdText(cue, {{{L"Caf\u00e9 Sessions", L"Ana M\u00fcller"},
                       {L"Opening", L"Ana M\u00fcller"},
                       {L"", L""},
                       {L"Coda", L"Band"}},
                      {{L"", L""},
                       {L"", L""},
                       {L"\u591c\u660e\u3051", L"\u6771\u4eac\u3000\uff34\uff52\uff49\uff4f"},
                       {L"", L""}}});

    // Songs two and three play without a break: the disc holds the ramp
    // from the second song's start to the end of the third.
    CCdioDisc disc;
    ASSERT_TRUE(disc.Open(cue.c_str()));
    const int32_t start = disc.GetTrackStartLsn(2);
    const int32_t sectors = (5 * 44100 + 300 + 3 * 44100) / 588;
    std::vector<uint8_t> bytes(static_cast<size_t>(sectors) * 2352);
    ASSERT_TRUE(disc.ReadAudioSectors(bytes.data(), start, static_cast<uint32_t>(sectors)));
    int64_t mismatches = 0;
    for (int32_t f = 0; f < sectors * 588; ++f)
    {
        const uint8_t* p = bytes.data() + static_cast<size_t>(f) * 4;
        const int32_t left = static_cast<int32_t>(static_cast<uint32_t>(p[0] | (p[1] << 8)) << 16);
        mismatches += left != RampFrame(5 * 44100 + 100 + f).left;
    }
    EXPECT_EQ(mismatches, 0);
}

// A DVD, a CD-ROM, a used CD-RW and a speed the disc doesn't offer each
// refuse the start with 1 and its reason, leaving the staged files as they
// were; so does a disc too small for the album. With a blank CD-R the same
// album then burns, its result reset.
TEST_F(BurnerOnSimulatedDrive, AStartTheDiscCannotTakeIsRefusedWithTheStagedFilesUntouched)
{
    RenderThreeSongs();
    const auto staged = StagedFiles();
    const struct
    {
        const char* name;
        Medium medium;
        uint32_t speed;
        const char* key;
    } cases[] = {
        {"DVD", Medium::Dvd(), 0, "DiscBurn_UnsuitableForAudioCD"},
        {"CD-ROM", Medium::CdRom(), 0, "DiscBurn_UsedDisc"},
        {"used CD-RW", Medium::UsedCdRw(), 0, "DiscBurn_UsedErasableDisc"},
        {"no disc", Medium::None(), 0, "DiscBurn_DiscNotFound"},
        {"a speed not offered", Medium::BlankCdR(), 1234, "DiscBurn_WriteSpeedNotOffered"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_drive->SetMedium(0, c.medium);
        EXPECT_EQ(m_burner->SetWriteSpeed(c.speed), 0) << "storing a speed never fails";
        EXPECT_EQ(m_burner->StartBurnDisc(), 1);
        EXPECT_FALSE(m_burner->IsProcessing());
        EXPECT_EQ(m_burner->GetLastProcessErrorCode(), 1);
        const std::wstring want = CDiscJob::Text(c.key);
        EXPECT_EQ(m_burner->GetLastProcessErrorMessage().substr(0, want.find(L"%1")),
                  want.substr(0, want.find(L"%1")));
        EXPECT_EQ(StagedFiles(), staged);
    }
    // The album as staged, its last track completed, must fit.
    m_drive->SetMedium(0, Medium::BlankCdR(0));
    m_burner->SetWriteSpeed(0);
    EXPECT_EQ(m_burner->StartBurnDisc(), 1);
    const std::wstring overSize = CDiscJob::Text("DiscBurn_OverDiscSize");
    EXPECT_EQ(m_burner->GetLastProcessErrorMessage().substr(0, overSize.find(L"%1")),
              overSize.substr(0, overSize.find(L"%1")));

    m_drive->SetMedium(0, Medium::BlankCdR());
    ASSERT_EQ(m_burner->SetWriteSpeed(m_burner->GetAvailableWriteSpeedsKbps().front()), 0);
    ASSERT_EQ(m_burner->StartBurnDisc(), 0);
    EXPECT_EQ(m_burner->GetLastProcessErrorCode(), 0) << "a new start resets the result";
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_burner->GetLastProcessErrorCode(), 0);
}

TEST_F(BurnerOnSimulatedDrive, AFailureInjectedMidBurnEndsAsAFailureWithItsMessage)
{
    RenderThreeSongs();
    m_drive->InjectFailure(CDiscBurnImpSimulated::kPointWriting, L"Write error at sector 4711");
    ASSERT_EQ(m_burner->StartBurnDisc(), 0);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_burner->GetLastProcessErrorCode(), 1);
    EXPECT_EQ(m_burner->GetLastProcessErrorMessage(), L"Write error at sector 4711");
    EXPECT_EQ(m_burner->GetCurrentBurnStatus(), kBurnStatusIdle);
}

// Cancelling through the burner in each phase: while preparing and writing
// the burn ends as cancelled; closing the session runs to its end.
TEST_F(BurnerOnSimulatedDrive, CancellingInEachPhase)
{
    RenderThreeSongs();
    const struct
    {
        CDiscBurnImpSimulated::Point point;
        eBurnStatus phase;
        int result;
    } cases[] = {
        {CDiscBurnImpSimulated::kPointPreparing, kBurnStatusPreparing, 1},
        {CDiscBurnImpSimulated::kPointWriting, kBurnStatusWriting, 1},
        {CDiscBurnImpSimulated::kPointClosing, kBurnStatusClosing, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.phase);
        m_drive->SetMedium(0, Medium::BlankCdR());
        m_drive->HoldAt(c.point);
        ASSERT_EQ(m_burner->StartBurnDisc(), 0);
        ASSERT_TRUE(m_drive->WaitUntilHeld(30000));
        EXPECT_EQ(m_burner->GetCurrentBurnStatus(), c.phase);
        m_burner->Cancel();
        m_drive->ReleaseHold();
        ASSERT_TRUE(WaitForEnd());
        EXPECT_EQ(m_burner->GetLastProcessErrorCode(), c.result);
        if (c.result != 0)
        {
            EXPECT_EQ(m_burner->GetLastProcessErrorMessage(), CDiscJob::Text("DiscBurn_Cancelled"));
        }
    }
}

// A full disk while staging shows as a failed song; the album is never
// burnt then.
TEST_F(BurnerOnSimulatedDrive, AnAlbumWithAFailedTrackWriteIsNotBurnt)
{
    struct rlimit old = {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 300 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ASSERT_EQ(m_burner->OpenTrack(L"", false, true, 0.0f, 0.0f), 0);
    const int64_t took = WriteRamp(WriteAsIntegers(), 0, 10 * 44100);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_LT(took, 10 * 44100);

    EXPECT_EQ(m_burner->StartBurnDisc(), 1);
    EXPECT_EQ(m_burner->GetLastProcessErrorCode(), 1);
    EXPECT_EQ(m_burner->GetLastProcessErrorMessage(), CDiscJob::Text("DiscBurn_CannotCreateTempFile"));
    EXPECT_EQ(m_drive->GetMedium(0).blank, true);
}

TEST_F(BurnerOnSimulatedDrive, EraseAsksForTheStoredSpeedFirst)
{
    m_drive->SetMedium(0, Medium::UsedCdRw());
    m_burner->SetWriteSpeed(1234);
    EXPECT_EQ(m_burner->StartEraseDisc(true), 1);
    EXPECT_EQ(m_burner->GetLastProcessErrorCode(), 1);
    EXPECT_EQ(m_burner->GetLastProcessErrorMessage(), CDiscJob::Text("DiscBurn_WriteSpeedNotOffered"));
    m_burner->SetWriteSpeed(0);
    ASSERT_EQ(m_burner->StartEraseDisc(true), 0);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_burner->GetLastProcessErrorCode(), 0);
    EXPECT_TRUE(m_burner->IsBlankDisc());
}

// The application burns to the simulated drive only when
// VEXTAL_SIMULATED_DRIVE names its image folder.
TEST(CAudioDiscBurnProxy, CreatesTheBurnerOnceAndKeepsItForTheSameClass)
{
    TempFolder folder;
    ASSERT_EQ(setenv("VEXTAL_SIMULATED_DRIVE", (folder / "images").c_str(), 1), 0);
    {
        CAudioDiscBurnProxy proxy;
        CAudioDiscBurnBase* burner = proxy.GetInstance();
        ASSERT_NE(burner, nullptr);
        EXPECT_EQ(static_cast<CAudioDiscBurnBase*>(proxy), burner);
        EXPECT_EQ(proxy.SetClass(CAudioDiscBurnProxy::kClassAudioCD), 0);
        EXPECT_EQ(proxy.GetInstance(), burner);
        ASSERT_EQ(proxy->GetAvailableCDDrives().size(), 1u);
        EXPECT_STREQ(proxy->GetAvailableCDDrives()[0].product, "Simulated CD-RW");
        EXPECT_TRUE(std::filesystem::is_directory(folder / "images"));
    }
    unsetenv("VEXTAL_SIMULATED_DRIVE");
}
