#include "common/disc/linux/CDiscBurnImpLinux.h"

#include "common/disc/CAudioCDTempFileCreator.h"
#include "common/disc/CDiscJob.h"

#include "tests/common/disc/DiscBurnTestSupport.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>

using namespace disctest;
using cdtest::TempFolder;
using cdtest::Wide;

namespace
{
// libburn's own pseudo-drive on a file holding a megabyte of data, listed
// after the system's drives (none on a machine without a burner).
class LibburnPseudoDrive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_image = m_folder / "pseudo.iso";
        m_data = pcmtest::Interleave(pcmtest::MakeSamples(2, 262144, 16, 7), 16);
        rifftest::WriteBytes(m_image, m_data);
        m_drive = std::make_unique<CDiscBurnImpLinux>(std::vector<std::string>{"stdio:" + m_image.string()});
        const std::vector<CDDrive>& drives = m_drive->GetAvailableCDDrives();
        ASSERT_FALSE(drives.empty());
        m_index = static_cast<uint32_t>(drives.size() - 1);
        ASSERT_EQ(m_drive->OpenDrive(m_index), 0);
    }

    const AudioCDAlbumTrackList& StageOneSong()
    {
        std::filesystem::create_directory(m_folder / "staged");
        EXPECT_TRUE(m_stager.OpenDisc(Wide(m_folder / "staged").c_str()));
        EXPECT_TRUE(m_stager.OpenAlbum(L"Album", L"Band"));
        EXPECT_TRUE(m_stager.OpenNewTrack(150, 0));
        const auto write = [this](int32_t** f, uint32_t n) { return m_stager.WriteAudioData(f, n); };
        EXPECT_EQ(WriteRamp(write, 0, 44100), 44100);
        EXPECT_TRUE(m_stager.CloseTrack(false));
        return m_stager.GetAlbumTrackList();
    }

    bool ImageUntouched() const { return rifftest::ReadBytes(m_image) == m_data; }

    TempFolder m_folder;
    std::filesystem::path m_image;
    rifftest::Bytes m_data;
    CAudioCDTempFileCreator m_stager;
    std::unique_ptr<CDiscBurnImpLinux> m_drive;
    uint32_t m_index = 0;
};
} // namespace

TEST_F(LibburnPseudoDrive, IsListedAndOpensByItsIndex)
{
    const CDDrive& drive = m_drive->GetAvailableCDDrives()[m_index];
    EXPECT_GT(std::strlen(drive.vendor), 0u);
    EXPECT_GT(std::strlen(drive.product), 0u);
    EXPECT_EQ(m_drive->OpenDrive(m_index + 1), 1) << "past the list";
    EXPECT_EQ(m_drive->GetInsertedDiscType(), kDiscTypeNone) << "a refused open leaves no drive open";
    m_drive->RefreshCDDriveList();
    EXPECT_EQ(m_drive->GetAvailableCDDrives().size(), m_index + 1u);
    EXPECT_EQ(m_drive->OpenDrive(m_index), 0);
}

TEST_F(LibburnPseudoDrive, WithNoDriveOpenEveryOperationAnswersAtOnce)
{
    const AudioCDAlbumTrackList& album = StageOneSong();
    m_drive->CloseDrive();
    ExpectNoDriveAnswers(*m_drive, album);
    EXPECT_TRUE(ImageUntouched());
}

// A file is a medium of no disc type that libburn writes at random, blank
// and not erasable, with all the free space of its file system.
TEST_F(LibburnPseudoDrive, ReportsItsMedium)
{
    EXPECT_EQ(m_drive->ReloadDisc(), 0);
    EXPECT_EQ(m_drive->GetInsertedDiscType(), kDiscTypeUnknown);
    EXPECT_STREQ(kDiscTypeNames[m_drive->GetInsertedDiscType()], "Unknown disc type");
    EXPECT_TRUE(m_drive->IsBlankDisc());
    EXPECT_FALSE(m_drive->IsErasableDisc());
    // Sizes are whole blocks of the mode (the free space itself moves with
    // what other programs write meanwhile).
    const int64_t data = m_drive->GetFreeSizeOnDisc(kDiscRecordingModeData);
    const int64_t audio = m_drive->GetFreeSizeOnDisc(kDiscRecordingModeAudio);
    EXPECT_GT(data, 0);
    EXPECT_EQ(data % 2048, 0);
    EXPECT_GT(audio, data);
    EXPECT_EQ(audio % 2352, 0);
    EXPECT_EQ(m_drive->SetWriteSpeed(0), 0);
    EXPECT_EQ(m_drive->SetWriteSpeed(7056), 1) << "a speed the medium doesn't offer";
    EXPECT_EQ(m_drive->GetCurrentDriveRootPath(), nullptr);
    EXPECT_FALSE(m_drive->CanBurnCDText());
    EXPECT_TRUE(m_drive->AudioCdGapSettingsMayFail());
}

TEST_F(LibburnPseudoDrive, AnEraseItCannotDoIsRefusedWithoutTouchingTheData)
{
    EXPECT_EQ(m_drive->StartEraseDisc(true), 1);
    EXPECT_FALSE(m_drive->IsProcessing());
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 1);
    EXPECT_EQ(std::wstring(m_drive->GetLastProcessErrorMessage()),
              CDiscJob::Text("DiscErase_NotErasableDisc"));
    EXPECT_EQ(m_drive->StartEraseDisc(false), 1);
    EXPECT_TRUE(ImageUntouched());
}

// libburn's pseudo-drives take no audio tracks: the start is refused with
// libburn's reason, and nothing is written.
TEST_F(LibburnPseudoDrive, AnAudioBurnIsRefusedWithLibburnsReason)
{
    const AudioCDAlbumTrackList& album = StageOneSong();
    EXPECT_EQ(m_drive->StartBurnAudioCD(&album), 1);
    EXPECT_FALSE(m_drive->IsProcessing());
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 1);
    const std::wstring message = m_drive->GetLastProcessErrorMessage();
    const std::wstring failed = CDiscJob::Text("DiscBurn_Failed");
    EXPECT_EQ(message.substr(0, failed.size()), failed);
    EXPECT_NE(message.find(L"audio"), std::wstring::npos) << juce::String(message.c_str());
    EXPECT_TRUE(ImageUntouched());

    EXPECT_EQ(m_drive->StartBurnDataDvd(nullptr), 1);
    EXPECT_EQ(m_drive->GetLastProcessErrorCode(), 1);
    const AudioCDAlbumTrackList empty;
    EXPECT_EQ(m_drive->StartBurnAudioCD(&empty), 1);
    EXPECT_EQ(std::wstring(m_drive->GetLastProcessErrorMessage()), CDiscJob::Text("DiscBurn_NoSongToExport"));
    EXPECT_TRUE(ImageUntouched());
}

// A look at the medium that waits for the drive to settle holds no lock of
// the back end: meanwhile the other questions are answered, a second look
// waits for the drive instead of grabbing it beside the first, and
// abandoning the wait ends both with the medium still being loaded.
TEST(CDiscBurnImpLinux, ALookWaitingForTheDriveHoldsNoLock)
{
    TempFolder folder;
    const std::filesystem::path image = folder / "pseudo.iso";
    rifftest::WriteBytes(image, rifftest::Bytes(65536, 0));
    std::mutex lock;
    std::condition_variable changed;
    int looking = 0;
    int mostAtOnce = 0;
    // A drive whose disc never settles until the wait is abandoned.
    const auto look = [&](const CDiscBurnImpLinux::DriveEntry&, CDriveSettleWait& settle)
    {
        {
            const std::lock_guard<std::mutex> guard(lock);
            mostAtOnce = std::max(mostAtOnce, ++looking);
        }
        changed.notify_all();
        CDiscBurnImpLinux::Media media;
        media.type = kDiscTypeInTransition;
        if (settle.Pause(600000))
        {
            media.known = true;
            media.type = kDiscTypeCDR;
            media.blank = true;
        }
        {
            const std::lock_guard<std::mutex> guard(lock);
            --looking;
        }
        changed.notify_all();
        return media;
    };
    CDiscBurnImpLinux drive({"stdio:" + image.string()}, look);
    ASSERT_FALSE(drive.GetAvailableCDDrives().empty());
    ASSERT_EQ(drive.OpenDrive(static_cast<uint32_t>(drive.GetAvailableCDDrives().size() - 1)), 0);

    std::future<eDiscType> first =
        std::async(std::launch::async, [&] { return drive.GetInsertedDiscType(); });
    std::future<bool> second;
    std::future<bool> others;
    // Whatever fails, the looks end before the futures wait for them.
    struct Abandon
    {
        CDiscBurnImpLinux& drive;
        ~Abandon() { drive.SetMediumWaitsAbandoned(true); }
    } abandon{drive};
    {
        std::unique_lock<std::mutex> wait(lock);
        ASSERT_TRUE(changed.wait_for(wait, std::chrono::seconds(60), [&] { return looking == 1; }));
    }
    second = std::async(std::launch::async, [&] { return drive.IsBlankDisc(); });
    others = std::async(std::launch::async,
                        [&]
                        {
                            return !drive.IsProcessing() && drive.GetCurrentBurnStatus() == kBurnStatusIdle &&
                                   drive.GetLastProcessErrorCode() == 0 && !drive.CanBurnCDText() &&
                                   drive.SetWriteSpeed(0) == 0;
                        });
    ASSERT_EQ(others.wait_for(std::chrono::seconds(60)), std::future_status::ready)
        << "a question waited for the look";
    EXPECT_TRUE(others.get());

    drive.SetMediumWaitsAbandoned(true);
    EXPECT_EQ(first.get(), kDiscTypeInTransition);
    EXPECT_FALSE(second.get());
    EXPECT_EQ(mostAtOnce, 1);
}

TEST(CDiscBurnImpLinux, ADriveThatCannotBeGrabbedIsNotListed)
{
    TempFolder folder;
    CDiscBurnImpLinux system;
    CDiscBurnImpLinux withMissing({"stdio:" + (folder / "missing" / "pseudo.iso").string()});
    EXPECT_EQ(withMissing.GetAvailableCDDrives().size(), system.GetAvailableCDDrives().size());
}
