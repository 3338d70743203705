#include "common/disc/linux/CDiscBurnImpSimulated.h"

#include "common/disc/CAudioCDTempFileCreator.h"
#include "common/disc/CDiscJob.h"

#include "tests/common/disc/DiscBurnTestSupport.h"
#include "tests/common/disc/linux/DiscImageCheck.h"
#include "tests/common/disc/linux/SimulatedDriveSupport.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace disctest;
using cdtest::TempFolder;
using cdtest::Wide;

namespace
{
// A drive and a folder of staged tracks, with a stager that writes them.
class SimulatedDrive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(m_folder / "images");
        std::filesystem::create_directory(m_folder / "staged");
        m_drive = MakeDrive(Medium::BlankCdR(), 1e6);
        ASSERT_EQ(m_drive->OpenDrive(0), 0);
    }

    std::unique_ptr<CDiscBurnImpSimulated> MakeDrive(const Medium& medium, double speedup)
    {
        return MakeSimulatedCdWriter(m_folder / "images", medium, speedup);
    }

    // Stages songs of the ramp, each with its pre-gap and texts.
    const AudioCDAlbumTrackList& Stage(const std::wstring& title, const std::wstring& performer,
                                       const std::vector<SongSpec>& songs)
    {
        return StageAlbum(m_stager, m_folder / "staged", title, performer, songs);
    }

    const AudioCDAlbumTrackList& StageShortAlbum()
    {
        return Stage(L"Album", L"Band", {{44100, 150, L"One", L"Band"}, {44100, 75, L"Two", L"Band"}});
    }

    size_t ImageCount() const
    {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(m_folder / "images"),
                                                 std::filesystem::directory_iterator()));
    }

    TempFolder m_folder;
    CAudioCDTempFileCreator m_stager;
    std::unique_ptr<CDiscBurnImpSimulated> m_drive;
};
} // namespace

TEST_F(SimulatedDrive, WithNoDriveOpenEveryOperationAnswersAtOnce)
{
    m_drive->CloseDrive();
    ExpectNoDriveAnswers(*m_drive, StageShortAlbum());
    EXPECT_EQ(m_drive->OpenDrive(1), 1) << "past the list";
    EXPECT_EQ(m_drive->GetAvailableCDDrives().size(), 1u);
    EXPECT_STREQ(m_drive->GetAvailableCDDrives()[0].product, "Test CD-RW");
    EXPECT_TRUE(m_drive->GetAvailableCDDrives()[0].canWriteCDR);
    EXPECT_EQ(ImageCount(), 0u);
}

TEST_F(SimulatedDrive, TheMediumDecidesTypeSizesAndSpeeds)
{
    const struct
    {
        const char* name;
        Medium medium;
        eDiscType type;
        bool blank;
        bool erasable;
        int64_t freeAudioBytes;
    } cases[] = {
        {"none", Medium::None(), kDiscTypeNone, false, false, 0},
        {"being loaded", Medium::InTransition(), kDiscTypeInTransition, false, false, 0},
        {"blank CD-R", Medium::BlankCdR(80), kDiscTypeCDR, true, false, 360000LL * 2352},
        {"blank CD-RW", Medium::BlankCdRw(), kDiscTypeCDRW, true, true, 360000LL * 2352},
        {"used CD-R", Medium::UsedCdR(), kDiscTypeCDR, false, false, 0},
        {"used CD-RW", Medium::UsedCdRw(), kDiscTypeCDRW, false, true, 0},
        {"CD-ROM", Medium::CdRom(), kDiscTypeCDROM, false, false, 0},
        {"DVD", Medium::Dvd(), kDiscTypeDVDR, true, false, 2295104LL * 2352},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_drive->SetMedium(0, c.medium);
        EXPECT_EQ(m_drive->ReloadDisc(), c.type >= 0 ? 0 : 1);
        EXPECT_EQ(m_drive->GetInsertedDiscType(), c.type);
        EXPECT_EQ(m_drive->IsBlankDisc(), c.blank);
        EXPECT_EQ(m_drive->IsErasableDisc(), c.erasable);
        EXPECT_EQ(m_drive->GetFreeSizeOnDisc(kDiscRecordingModeAudio), c.freeAudioBytes);
        EXPECT_EQ(m_drive->GetFreeSizeOnDisc(kDiscRecordingModeData), c.freeAudioBytes / 2352 * 2048);
    }

    m_drive->SetMedium(0, Medium::BlankCdRw());
    const std::vector<uint32_t> speeds = m_drive->GetAvailableWriteSpeedsKbps();
    ASSERT_FALSE(speeds.empty());
    EXPECT_TRUE(std::is_sorted(speeds.begin(), speeds.end()));
    EXPECT_EQ(m_drive->SetWriteSpeed(0), 0) << "the maximum is always allowed";
    EXPECT_EQ(m_drive->SetWriteSpeed(speeds.front()), 0);
    EXPECT_EQ(m_drive->SetWriteSpeed(speeds.front() + 1), 1);
    EXPECT_EQ(std::string(kDiscTypeNames[m_drive->GetInsertedDiscType()]), "CD-RW");
}

// Three songs with gaps and texts in both character codes: the image read
// back holds every track where the pre-gaps put it, the audio bit for bit,
// the CD-Text in ISO 8859-1 and MS-JIS and the identifier of its table.
TEST_F(SimulatedDrive, ABurnWritesTheAlbumAsAnImageThatReadsBackExactly)
{
    const AudioCDAlbumTrackList& album = Stage(L"Caf\u00e9 Sessions", L"Ana M\u00fcller",
                                               {{5 * 44100 + 100, 150, L"Opening", L"Ana M\u00fcller"},
                                                {3 * 44100, 75, L"\u591c\u660e\u3051", L"\u6771\u4eac Trio"},
                                                {6 * 44100 + 7, 0, L"Last Song", L"Band"}});
    ASSERT_EQ(album.tracks.size(), 3u);
    ASSERT_EQ(m_drive->StartBurnAudioCD(&album), 0);
    ASSERT_TRUE(WaitForEnd(*m_drive));
    ASSERT_EQ(m_drive->GetLastProcessErrorCode(), 0) << juce::String(m_drive->GetLastProcessErrorMessage());
    EXPECT_STREQ(m_drive->GetLastProcessErrorMessage(), L"");

    const wchar_t* root = m_drive->GetCurrentDriveRootPath();
    ASSERT_NE(root, nullptr);
    const std::wstring cue = root;
    EXPECT_EQ(cue, Wide(m_folder / "images" / "Disc 001.cue"));
    CheckImage(cue, album);
    // Block 0 holds what ISO 8859-1 can write; block 1 the rest, every
    // character in two bytes.
    CheckCdText(cue, {{{L"Caf\u00e9 Sessions", L"Ana M\u00fcller"},
                       {L"Opening", L"Ana M\u00fcller"},
                       {L"", L""},
                       {L"Last Song", L"Band"}},
                      {{L"", L""},
                       {L"", L""},
                       {L"\u591c\u660e\u3051", L"\u6771\u4eac\u3000\uff34\uff52\uff49\uff4f"},
                       {L"", L""}}});
    EXPECT_FALSE(m_drive->IsBlankDisc());
    EXPECT_GT(m_drive->GetUsedSizeOnDisc(kDiscRecordingModeAudio), 0);
}

TEST_F(SimulatedDrive, AnAlbumInIsoLatinAloneHasOneCdTextBlockAndAFirstPreGapBeyondTwoSeconds)
{
    const AudioCDAlbumTrackList& album = Stage(L"Album", L"Band", {{44100, 300, L"One", L"Band"}});
    ASSERT_EQ(m_drive->StartBurnAudioCD(&album), 0);
    ASSERT_TRUE(WaitForEnd(*m_drive));
    ASSERT_EQ(m_drive->GetLastProcessErrorCode(), 0);
    CheckImage(m_drive->GetCurrentDriveRootPath(), album);
    CheckCdText(m_drive->GetCurrentDriveRootPath(), {{{L"Album", L"Band"}, {L"One", L"Band"}}});
}

// Every refusal answers 1 at once, with a text, and writes nothing.
TEST_F(SimulatedDrive, AStartTheMediumOrTheDriveCannotTakeIsRefusedWithItsReason)
{
    const AudioCDAlbumTrackList& album = StageShortAlbum();
    const struct
    {
        const char* name;
        Medium medium;
        bool locked;
        const char* key;
    } cases[] = {
        {"no disc", Medium::None(), false, "DiscBurn_DiscNotFound"},
        {"disc being loaded", Medium::InTransition(), false, "DiscBurn_DiscNotFound"},
        {"used CD-R", Medium::UsedCdR(), false, "DiscBurn_UsedDisc"},
        {"used CD-RW", Medium::UsedCdRw(), false, "DiscBurn_UsedErasableDisc"},
        {"CD-ROM", Medium::CdRom(), false, "DiscBurn_UsedDisc"},
        {"DVD", Medium::Dvd(), false, "DiscBurn_UnsuitableForAudioCD"},
        {"too small", Medium::BlankCdR(0), false, "DiscBurn_OverDiscSize"},
        {"drive held by another program", Medium::BlankCdR(), true, "DiscBurn_CannotOpenDrive"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_drive->SetMedium(0, c.medium);
        m_drive->SetDriveLocked(c.locked);
        EXPECT_EQ(m_drive->StartBurnAudioCD(&album), 1);
        EXPECT_FALSE(m_drive->IsProcessing());
        EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 1);
        const std::wstring want = CDiscJob::Text(c.key);
        EXPECT_EQ(std::wstring(m_drive->GetLastProcessErrorMessage()).substr(0, want.find(L"%1")),
                  want.substr(0, want.find(L"%1")));
    }
    m_drive->SetDriveLocked(false);
    EXPECT_EQ(ImageCount(), 0u);

    const AudioCDAlbumTrackList empty;
    m_drive->SetMedium(0, Medium::BlankCdR());
    EXPECT_EQ(m_drive->StartBurnAudioCD(&empty), 1);
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 1);
    EXPECT_EQ(m_drive->StartBurnDataDvd(nullptr), 1);
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 1);
    EXPECT_NE(std::wstring(m_drive->GetLastProcessErrorMessage()), L"");
}

// A start while a job runs is refused and leaves the running job alone; the
// next start resets the result.
TEST_F(SimulatedDrive, AStartWhileAJobRunsIsRefusedWithoutDisturbingIt)
{
    const AudioCDAlbumTrackList& album = StageShortAlbum();
    m_drive->HoldAt(CDiscBurnImpSimulated::kPointWriting);
    ASSERT_EQ(m_drive->StartBurnAudioCD(&album), 0);
    ASSERT_TRUE(m_drive->WaitUntilHeld(30000));
    EXPECT_EQ(m_drive->GetCurrentBurnStatus(), kBurnStatusWriting);
    EXPECT_GE(m_drive->GetBurnProgressPercent(), 50.0f);
    EXPECT_EQ(m_drive->StartBurnAudioCD(&album), 1);
    EXPECT_EQ(m_drive->StartEraseDisc(true), 1);
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 1);
    EXPECT_EQ(std::wstring(m_drive->GetLastProcessErrorMessage()), CDiscJob::Text("DiscBurn_DriveBusy"));
    EXPECT_TRUE(m_drive->IsProcessing());

    m_drive->ReleaseHold();
    ASSERT_TRUE(WaitForEnd(*m_drive));
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 0) << "the running burn ends as it ends";
    EXPECT_EQ(m_drive->GetCurrentBurnStatus(), kBurnStatusIdle);
    EXPECT_EQ(m_drive->GetBurnProgressPercent(), 0.0f);
}

TEST_F(SimulatedDrive, AFailureInjectedMidBurnEndsTheJobAsAFailureWithItsMessage)
{
    const AudioCDAlbumTrackList& album = StageShortAlbum();
    m_drive->InjectFailure(CDiscBurnImpSimulated::kPointWriting, L"Power calibration area error");
    ASSERT_EQ(m_drive->StartBurnAudioCD(&album), 0);
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 0) << "a started job has no failure yet";
    ASSERT_TRUE(WaitForEnd(*m_drive));
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 1);
    EXPECT_STREQ(m_drive->GetLastProcessErrorMessage(), L"Power calibration area error");
    EXPECT_EQ(m_drive->GetCurrentDriveRootPath(), nullptr);
    EXPECT_FALSE(m_drive->IsBlankDisc()) << "a disc spoilt while writing";
    EXPECT_EQ(ImageCount(), 0u);

    // The next start begins from a clean result.
    m_drive->SetMedium(0, Medium::BlankCdR());
    ASSERT_EQ(m_drive->StartBurnAudioCD(&album), 0);
    ASSERT_TRUE(WaitForEnd(*m_drive));
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 0) << juce::String(m_drive->GetLastProcessErrorMessage());
}

// Cancelled while preparing, the disc stays blank; while writing, the disc
// is spoilt; while closing, the cancel comes too late and the burn
// completes. Each ends with its result set once the job is over.
TEST_F(SimulatedDrive, CancellingInEachPhase)
{
    const AudioCDAlbumTrackList& album = StageShortAlbum();
    const struct
    {
        CDiscBurnImpSimulated::Point point;
        eBurnStatus phase;
        bool completes;
        bool blankAfter;
    } cases[] = {
        {CDiscBurnImpSimulated::kPointPreparing, kBurnStatusPreparing, false, true},
        {CDiscBurnImpSimulated::kPointWriting, kBurnStatusWriting, false, false},
        {CDiscBurnImpSimulated::kPointClosing, kBurnStatusClosing, true, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.phase);
        m_drive->SetMedium(0, Medium::BlankCdR());
        m_drive->HoldAt(c.point);
        ASSERT_EQ(m_drive->StartBurnAudioCD(&album), 0);
        ASSERT_TRUE(m_drive->WaitUntilHeld(30000));
        EXPECT_EQ(m_drive->GetCurrentBurnStatus(), c.phase);
        m_drive->Cancel();
        if (c.completes)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_TRUE(m_drive->IsProcessing()) << "closing goes on after a cancel";
            m_drive->ReleaseHold();
        }
        ASSERT_TRUE(WaitForEnd(*m_drive));
        EXPECT_EQ(m_drive->GetLastProcessErrorCode(), c.completes ? 0 : 1)
            << juce::String(m_drive->GetLastProcessErrorMessage());
        if (!c.completes)
        {
            EXPECT_EQ(std::wstring(m_drive->GetLastProcessErrorMessage()),
                      CDiscJob::Text("DiscBurn_Cancelled"));
        }
        EXPECT_EQ(m_drive->IsBlankDisc(), c.blankAfter);
        EXPECT_EQ(m_drive->GetCurrentDriveRootPath() != nullptr, c.completes);
    }
}

TEST_F(SimulatedDrive, ErasingARewritableDiscBlanksItAndCannotBeCancelled)
{
    const AudioCDAlbumTrackList& album = StageShortAlbum();
    m_drive->SetMedium(0, Medium::BlankCdRw());
    ASSERT_EQ(m_drive->StartBurnAudioCD(&album), 0);
    ASSERT_TRUE(WaitForEnd(*m_drive));
    ASSERT_FALSE(m_drive->IsBlankDisc());
    EXPECT_TRUE(m_drive->IsErasableDisc());

    m_drive->HoldAt(CDiscBurnImpSimulated::kPointErasing);
    ASSERT_EQ(m_drive->StartEraseDisc(false), 0);
    ASSERT_TRUE(m_drive->WaitUntilHeld(30000));
    m_drive->Cancel();
    EXPECT_EQ(m_drive->GetCurrentBurnStatus(), kBurnStatusIdle) << "an erase has no burn phase";
    m_drive->ReleaseHold();
    ASSERT_TRUE(WaitForEnd(*m_drive));
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 0);
    EXPECT_TRUE(m_drive->IsBlankDisc());
    EXPECT_EQ(m_drive->GetCurrentDriveRootPath(), nullptr);

    m_drive->SetMedium(0, Medium::UsedCdR());
    EXPECT_EQ(m_drive->StartEraseDisc(true), 1);
    EXPECT_EQ(std::wstring(m_drive->GetLastProcessErrorMessage()),
              CDiscJob::Text("DiscErase_NotErasableDisc"));
    m_drive->SetMedium(0, Medium::None());
    EXPECT_EQ(m_drive->StartEraseDisc(true), 1);
    m_drive->SetMedium(0, Medium::UsedCdRw());
    m_drive->InjectFailure(CDiscBurnImpSimulated::kPointErasing, L"");
    ASSERT_EQ(m_drive->StartEraseDisc(true), 0);
    ASSERT_TRUE(WaitForEnd(*m_drive));
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 1);
    EXPECT_EQ(std::wstring(m_drive->GetLastProcessErrorMessage()), CDiscJob::Text("DiscBurn_Failed"));
}

// The burn's time follows the chosen speed: twenty seconds of audio at 4x
// take five seconds, with two seconds each of lead-in and lead-out; sped up
// twenty times, the burn takes at least 0.45 s, its progress never going
// back.
TEST_F(SimulatedDrive, ProgressIsPacedByTheChosenSpeed)
{
    const AudioCDAlbumTrackList& album = Stage(L"", L"", {{20 * 44100, 150, L"", L""}});
    m_drive = MakeDrive(Medium::BlankCdR(), 20.0);
    ASSERT_EQ(m_drive->OpenDrive(0), 0);
    ASSERT_EQ(m_drive->SetWriteSpeed(706), 0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(m_drive->StartBurnAudioCD(&album), 0);
    float lastPercent = 0.0f;
    bool sawWriting = false;
    while (m_drive->IsProcessing())
    {
        const float percent = m_drive->GetBurnProgressPercent();
        EXPECT_GE(percent, lastPercent);
        lastPercent = percent;
        sawWriting = sawWriting || m_drive->GetCurrentBurnStatus() == kBurnStatusWriting;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(sawWriting);
    EXPECT_GE(seconds, 0.4);
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 0);
}

// The end of a job reaches the back end as a notice on the message thread:
// its result is set there even when nobody asks whether it is still
// running.
TEST_F(SimulatedDrive, TheEndOfAJobIsDeliveredOnTheMessageThread)
{
    juce::MessageManager* mm = juce::MessageManager::getInstance();
    const AudioCDAlbumTrackList& album = StageShortAlbum();
    m_drive->InjectFailure(CDiscBurnImpSimulated::kPointClosing, L"Lead-out failed");
    ASSERT_EQ(m_drive->StartBurnAudioCD(&album), 0);
    for (int i = 0; i < 3000 && m_drive->GetLastProcessErrorCode() == 0; ++i)
        mm->runDispatchLoopUntil(10);
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 1);
    EXPECT_STREQ(m_drive->GetLastProcessErrorMessage(), L"Lead-out failed");
    EXPECT_FALSE(m_drive->IsProcessing());
    m_drive.reset();
    juce::MessageManager::deleteInstance();
}

TEST_F(SimulatedDrive, EjectingEmptiesTheDriveOrLoadsABlankDiscWhenAsked)
{
    m_drive->EjectDisc();
    EXPECT_EQ(m_drive->GetInsertedDiscType(), kDiscTypeNone);
    auto app = CDiscBurnImpSimulated::CreateDefault(Wide(m_folder / "images"));
    ASSERT_EQ(app->OpenDrive(0), 0);
    EXPECT_EQ(app->GetInsertedDiscType(), kDiscTypeCDR);
    EXPECT_TRUE(app->IsBlankDisc());
    EXPECT_TRUE(app->CanBurnGaplessAudioCD());
    EXPECT_TRUE(app->CanBurnCDText());
    app->SetMedium(0, Medium::UsedCdR());
    app->EjectDisc();
    EXPECT_TRUE(app->IsBlankDisc());
}

namespace
{
// What libcdio's cd-info, as a user runs it on an image, prints of a cue
// sheet (its complaints included).
std::string CdInfoOf(const std::wstring& cue)
{
    juce::ChildProcess child;
    const juce::StringArray args{"cd-info", "--no-device-info", "--no-cddb", "--cue-file",
                                 juce::String(cue.c_str())};
    if (!child.start(args, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
        return {};
    return child.readAllProcessOutput().toStdString();
}
} // namespace

// The images read as a user's tools read them: libcdio's own cue reader
// takes the CD-Text file of an English and of a Japanese disc without
// complaint and shows their album, song and performer.
TEST_F(SimulatedDrive, CdInfoReadsTheCdTextOfEnglishAndJapaneseDiscs)
{
    const struct
    {
        const char* name;
        const wchar_t* album;
        const wchar_t* performer;
        const wchar_t* song;
    } cases[] = {
        {"English", L"Summer Sessions", L"The Harbour Band", L"First Light"},
        {"Japanese", L"\u590f\u306e\u6b4c", L"\u6771\u4eac\u30c8\u30ea\u30aa", L"\u591c\u660e\u3051"},
    };
    int number = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_drive->SetMedium(0, Medium::BlankCdR());
        const std::filesystem::path staged = m_folder / ("staged " + std::to_string(++number));
        std::filesystem::create_directory(staged);
        CAudioCDTempFileCreator stager;
        const AudioCDAlbumTrackList& album =
            StageAlbum(stager, staged, c.album, c.performer, {{2 * 44100, 150, c.song, c.performer}});
        ASSERT_EQ(m_drive->StartBurnAudioCD(&album), 0);
        ASSERT_TRUE(WaitForEnd(*m_drive));
        ASSERT_EQ(m_drive->GetLastProcessErrorCode(), 0)
            << juce::String(m_drive->GetLastProcessErrorMessage());
        const wchar_t* root = m_drive->GetCurrentDriveRootPath();
        ASSERT_NE(root, nullptr);

        const std::string info = CdInfoOf(root);
        ASSERT_NE(info.find("CD-TEXT for Disc"), std::string::npos) << info;
        EXPECT_EQ(info.find("CD-Text size is too small"), std::string::npos) << info;
        for (const wchar_t* text : {c.album, c.performer, c.song})
            EXPECT_NE(info.find(juce::String(text).toStdString()), std::string::npos)
                << juce::String(text) << " in\n"
                << info;
    }
}
