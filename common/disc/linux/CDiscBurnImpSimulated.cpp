#include "common/disc/linux/CDiscBurnImpSimulated.h"

#include "common/disc/CAudioCDTempFileCreator.h"
#include "common/disc/CDiscMessageKeys.h"
#include "common/disc/linux/CCdImageWriter.h"
#include "common/disc/linux/CLibburnSupport.h"

#include <juce_core/juce_core.h>

#include <libburn/libburn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace
{

constexpr int64_t kSectorsPerMinute = 60 * 75;
// The lead-in and the preparation before it, and the lead-out.
constexpr double kLeadInSeconds = 2.0;
constexpr double kLeadOutSeconds = 2.0;
constexpr double kQuickEraseSeconds = 30.0;
// 1x CD speed in kilobytes a second is 176.4; a drive names speeds by it.
constexpr uint32_t kCd4x = 706;
constexpr int64_t kSectorsPerStep = 75;
// The sectors before the first track that every disc has.
constexpr int64_t kLeadPreGap = 150;

double Now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::vector<uint32_t> CdSpeeds(int maxFactor)
{
    std::vector<uint32_t> speeds;
    for (int factor : {4, 8, 16, 24, 32, 40, 48})
    {
        if (factor <= maxFactor)
            speeds.push_back(static_cast<uint32_t>((factor * 1764 + 5) / 10));
    }
    return speeds;
}

void CopyText(char (&dst)[1024], const char* text)
{
    std::snprintf(dst, sizeof(dst), "%s", text);
}

bool IsPresent(eDiscType type)
{
    return type >= kDiscTypeUnknown;
}
} // namespace

CDiscBurnImpSimulated::Medium CDiscBurnImpSimulated::Medium::None()
{
    return Medium();
}

CDiscBurnImpSimulated::Medium CDiscBurnImpSimulated::Medium::InTransition()
{
    Medium medium;
    medium.type = kDiscTypeInTransition;
    return medium;
}

CDiscBurnImpSimulated::Medium CDiscBurnImpSimulated::Medium::BlankCdR(int minutes)
{
    Medium medium;
    medium.type = kDiscTypeCDR;
    medium.blank = true;
    medium.capacitySectors = minutes * kSectorsPerMinute;
    medium.speedsKbps = CdSpeeds(48);
    return medium;
}

CDiscBurnImpSimulated::Medium CDiscBurnImpSimulated::Medium::BlankCdRw()
{
    Medium medium = BlankCdR(80);
    medium.type = kDiscTypeCDRW;
    medium.erasable = true;
    medium.speedsKbps = CdSpeeds(24);
    return medium;
}

CDiscBurnImpSimulated::Medium CDiscBurnImpSimulated::Medium::UsedCdR()
{
    Medium medium = BlankCdR(80);
    medium.blank = false;
    medium.usedSectors = 40 * kSectorsPerMinute;
    return medium;
}

CDiscBurnImpSimulated::Medium CDiscBurnImpSimulated::Medium::UsedCdRw()
{
    Medium medium = BlankCdRw();
    medium.blank = false;
    medium.usedSectors = 40 * kSectorsPerMinute;
    return medium;
}

CDiscBurnImpSimulated::Medium CDiscBurnImpSimulated::Medium::CdRom()
{
    Medium medium;
    medium.type = kDiscTypeCDROM;
    medium.capacitySectors = 74 * kSectorsPerMinute;
    medium.usedSectors = medium.capacitySectors;
    return medium;
}

CDiscBurnImpSimulated::Medium CDiscBurnImpSimulated::Medium::Dvd()
{
    Medium medium;
    medium.type = kDiscTypeDVDR;
    medium.blank = true;
    // 4.7 GB in sectors of 2048 bytes.
    medium.capacitySectors = 2295104;
    medium.speedsKbps = {11080, 22160};
    return medium;
}

CDiscBurnImpSimulated::Drive CDiscBurnImpSimulated::Drive::CdWriter(const char* product, const Medium& medium)
{
    Drive drive;
    std::memset(&drive.info, 0, sizeof(drive.info));
    CopyText(drive.info.vendor, "Vextal");
    CopyText(drive.info.product, product);
    CopyText(drive.info.firmware, "1.0");
    drive.info.canTestWriteCD = true;
    drive.info.canWriteCDR = true;
    drive.info.canWriteCDRW = true;
    drive.medium = medium;
    return drive;
}

CDiscBurnImpSimulated::CDiscBurnImpSimulated(const std::wstring& imageFolder, std::vector<Drive> drives,
                                             const Options& options)
    : m_imageFolder(imageFolder), m_options(options), m_drives(std::move(drives))
{
    m_job.SetEndNotice([this] { SendJobEnd(); });
    RefreshCDDriveList();
}

CDiscBurnImpSimulated::~CDiscBurnImpSimulated()
{
    ReleaseHold();
    m_job.RequestCancel();
    m_job.Join();
}

std::unique_ptr<CDiscBurnImpSimulated> CDiscBurnImpSimulated::CreateDefault(const std::wstring& imageFolder)
{
    Options options;
    options.blankAfterEject = true;
    return std::make_unique<CDiscBurnImpSimulated>(
        imageFolder, std::vector<Drive>{Drive::CdWriter("Simulated CD-RW", Medium::BlankCdR())}, options);
}

void CDiscBurnImpSimulated::SetMedium(uint32_t drive, const Medium& medium)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (drive < m_drives.size())
            m_drives[drive].medium = medium;
    }
    m_mediumChanged.Send();
}

CDiscBurnImpSimulated::Medium CDiscBurnImpSimulated::GetMedium(uint32_t drive)
{
    std::lock_guard<std::mutex> guard(m_lock);
    return drive < m_drives.size() ? m_drives[drive].medium : Medium();
}

void CDiscBurnImpSimulated::InjectFailure(Point point, const std::wstring& message)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_armed[point].fail = true;
    m_armed[point].failMessage = message;
}

void CDiscBurnImpSimulated::HoldAt(Point point)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_armed[point].hold = true;
}

bool CDiscBurnImpSimulated::WaitUntilHeld(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_holdChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] {
                                      return std::any_of(std::begin(m_armed), std::end(m_armed),
                                                         [](const Armed& a) { return a.held; });
                                  });
}

void CDiscBurnImpSimulated::ReleaseHold()
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (Armed& armed : m_armed)
        armed.hold = false;
    m_holdChanged.notify_all();
}

void CDiscBurnImpSimulated::SetDriveLocked(bool locked)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_bDriveLocked = locked;
}

const std::vector<CDDrive>& CDiscBurnImpSimulated::GetAvailableCDDrives()
{
    std::unique_lock<std::mutex> lock(m_scanLock);
    m_scanChanged.wait(lock, [this] { return !m_bScanHeld; });
    return m_driveList;
}

bool CDiscBurnImpSimulated::IsScanningDrives()
{
    std::lock_guard<std::mutex> guard(m_scanLock);
    return m_bScanHeld;
}

void CDiscBurnImpSimulated::SetScanHeld(bool held)
{
    {
        std::lock_guard<std::mutex> guard(m_scanLock);
        m_bScanHeld = held;
    }
    m_scanChanged.notify_all();
}

void CDiscBurnImpSimulated::RefreshCDDriveList()
{
    std::unique_lock<std::mutex> scan(m_scanLock);
    m_scanChanged.wait(scan, [this] { return !m_bScanHeld; });
    std::lock_guard<std::mutex> guard(m_lock);
    m_driveList.clear();
    for (const Drive& drive : m_drives)
        m_driveList.push_back(drive.info);
}

void CDiscBurnImpSimulated::AddDrive(const Drive& drive)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_drives.push_back(drive);
}

int CDiscBurnImpSimulated::OpenDrive(uint32_t index)
{
    CloseDrive();
    {
        // As on the system's drives, an index is one of the list a running
        // scan is about to replace.
        std::unique_lock<std::mutex> scan(m_scanLock);
        m_scanChanged.wait(scan, [this] { return !m_bScanHeld; });
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (index >= m_drives.size())
            return 1;
        m_open = static_cast<int>(index);
        m_writeSpeed = 0;
        m_job.SetResult(true, {});
    }
    m_mediumChanged.Send();
    return 0;
}

void CDiscBurnImpSimulated::CloseDrive()
{
    // Forgotten first: a start on another thread has then either launched its
    // job (cancelled and waited for here) or finds the drive closed.
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_open = -1;
    }
    m_job.RequestCancel();
    m_job.Join();
    m_job.IsProcessing();
}

const wchar_t* CDiscBurnImpSimulated::GetCurrentDriveRootPath()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!IsOpen() || !IsPresent(OpenMedium().type) || OpenMedium().imagePath.empty())
        return nullptr;
    const std::wstring& path = OpenMedium().imagePath;
    const size_t n = std::min(path.size(), sizeof(m_rootPath) / sizeof(m_rootPath[0]) - 1);
    std::copy_n(path.data(), n, m_rootPath);
    m_rootPath[n] = 0;
    return m_rootPath;
}

bool CDiscBurnImpSimulated::CanBurnGaplessAudioCD()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() && m_drives[static_cast<size_t>(m_open)].canBurnGapless;
}

bool CDiscBurnImpSimulated::CanBurnCDText()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() && m_drives[static_cast<size_t>(m_open)].canBurnCdText;
}

bool CDiscBurnImpSimulated::CanControlAudioCDPreGaps()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen();
}

bool CDiscBurnImpSimulated::AudioCdGapSettingsMayFail()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() && !m_drives[static_cast<size_t>(m_open)].canBurnGapless;
}

void CDiscBurnImpSimulated::SetSettleDelay(int ms)
{
    m_settleMs = ms;
}

bool CDiscBurnImpSimulated::WaitUntilSettling(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_settleLock);
    return m_settlingChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [this] { return m_settling > 0; });
}

bool CDiscBurnImpSimulated::Settle()
{
    const int ms = m_settleMs.load();
    if (ms <= 0)
        return true;
    {
        std::lock_guard<std::mutex> guard(m_settleLock);
        ++m_settling;
    }
    m_settlingChanged.notify_all();
    const bool settled = m_settle.Pause(ms);
    {
        std::lock_guard<std::mutex> guard(m_settleLock);
        --m_settling;
    }
    m_settlingChanged.notify_all();
    return settled;
}

int CDiscBurnImpSimulated::ReloadDisc()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!IsOpen() || !IsPresent(OpenMedium().type))
        return 1;
    return Settle() ? 0 : 1;
}

eDiscType CDiscBurnImpSimulated::GetInsertedDiscType()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() ? OpenMedium().type : kDiscTypeNone;
}

bool CDiscBurnImpSimulated::IsErasableDisc()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() && IsPresent(OpenMedium().type) && OpenMedium().erasable;
}

bool CDiscBurnImpSimulated::IsBlankDisc()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() && IsPresent(OpenMedium().type) && OpenMedium().blank;
}

int64_t CDiscBurnImpSimulated::GetFreeSizeOnDisc(eDiscRecordingMode mode)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!IsOpen() || !IsPresent(OpenMedium().type) || !OpenMedium().blank)
        return 0;
    return (OpenMedium().capacitySectors - OpenMedium().usedSectors) * BlockBytesOf(mode);
}

int64_t CDiscBurnImpSimulated::GetUsedSizeOnDisc(eDiscRecordingMode mode)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!IsOpen() || !IsPresent(OpenMedium().type))
        return 0;
    return OpenMedium().usedSectors * BlockBytesOf(mode);
}

const std::vector<uint32_t>& CDiscBurnImpSimulated::GetAvailableWriteSpeedsKbps()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_speeds.clear();
    if (IsOpen() && IsPresent(OpenMedium().type))
        m_speeds = OpenMedium().speedsKbps;
    std::sort(m_speeds.begin(), m_speeds.end());
    return m_speeds;
}

int CDiscBurnImpSimulated::SetWriteSpeed(uint32_t kbps)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!IsOpen())
        return 1;
    const std::vector<uint32_t>& speeds = OpenMedium().speedsKbps;
    if (kbps != 0 && std::find(speeds.begin(), speeds.end(), kbps) == speeds.end())
        return 1;
    m_writeSpeed = kbps;
    return 0;
}

uint32_t CDiscBurnImpSimulated::PaceSpeedLocked() const
{
    if (m_writeSpeed != 0)
        return m_writeSpeed;
    const std::vector<uint32_t>& speeds = m_drives[static_cast<size_t>(m_open)].medium.speedsKbps;
    return speeds.empty() ? kCd4x : *std::max_element(speeds.begin(), speeds.end());
}

int CDiscBurnImpSimulated::StartBurnDataDvd(const CUdfFileList*)
{
    if (!IsOpen() || !m_job.TryBegin())
        return 1;
    m_job.Refuse(CDiscJob::Text(DiscMessageKeys::kFormatNotSupported));
    return 1;
}

std::wstring CDiscBurnImpSimulated::CheckBurnLocked(const AudioCDAlbumTrackList& album)
{
    const Medium& medium = OpenMedium();
    if (m_bDriveLocked)
        return CDiscJob::Text(DiscMessageKeys::kCannotOpenDrive);
    if (!IsPresent(medium.type))
        return CDiscJob::Text(DiscMessageKeys::kDiscNotFound);
    if (!medium.blank)
        return CDiscJob::Text(medium.erasable ? DiscMessageKeys::kUsedErasableDisc
                                              : DiscMessageKeys::kUsedDisc);
    if (medium.type != kDiscTypeCDR && medium.type != kDiscTypeCDRW)
        return CDiscJob::Text(DiscMessageKeys::kUnsuitableForAudioCD);
    if (album.tracks.empty())
        return CDiscJob::Text(DiscMessageKeys::kNoSongToExport);
    const int64_t needed = CAudioCDTempFileCreator::GetAlbumDiscBytes(album);
    if (needed > (medium.capacitySectors - medium.usedSectors) * kAudioBlockBytes)
        return CDiscJob::TextWithSize(DiscMessageKeys::kOverDiscSize, needed);
    return {};
}

std::wstring CDiscBurnImpSimulated::NextImagePath() const
{
    const juce::File folder(juce::String(m_imageFolder.c_str()));
    for (int n = 1;; ++n)
    {
        const juce::String base = juce::String::formatted("Disc %03d", n);
        if (!folder.getChildFile(base + ".cue").exists() && !folder.getChildFile(base + ".bin").exists())
            return folder.getChildFile(base + ".cue").getFullPathName().toWideCharPointer();
    }
}

int CDiscBurnImpSimulated::StartBurnAudioCD(const AudioCDAlbumTrackList* album)
{
    // The drive is read and the job launched under m_lock, so a close on
    // another thread comes wholly before or after (see CloseDrive).
    std::unique_lock<std::mutex> lock(m_lock);
    if (!IsOpen() || !m_job.TryBegin())
        return 1;
    const AudioCDAlbumTrackList none;
    std::wstring refusal = CheckBurnLocked(album != nullptr ? *album : none);
    auto writer = std::make_shared<CCdImageWriter>();
    const std::wstring cuePath = NextImagePath();
    std::wstring error;
    if (refusal.empty() && !writer->Begin(cuePath, *album, &error))
        refusal = CDiscJob::WithDetail(CDiscJob::Text(DiscMessageKeys::kFailed), error);
    const size_t drive = static_cast<size_t>(m_open);
    const uint32_t kbps = refusal.empty() ? PaceSpeedLocked() : 0;
    const AudioCDAlbumTrackList copy = refusal.empty() ? *album : none;
    return m_job.LaunchUnlessRefused(refusal, CDiscJob::kBurning,
                                     [this, drive, writer, copy, cuePath, kbps](CDiscJob::Control& control)
                                     { return RunBurn(control, drive, writer, copy, cuePath, kbps); });
}

int CDiscBurnImpSimulated::StartEraseDisc(bool quick)
{
    // As a burn's start: a close comes wholly before or after.
    std::unique_lock<std::mutex> lock(m_lock);
    if (!IsOpen() || !m_job.TryBegin())
        return 1;
    std::wstring refusal;
    if (m_bDriveLocked)
        refusal = CDiscJob::Text(DiscMessageKeys::kCannotOpenDrive);
    else if (!IsPresent(OpenMedium().type))
        refusal = CDiscJob::Text(DiscMessageKeys::kDiscNotFound);
    else if (!OpenMedium().erasable)
        refusal = CDiscJob::Text(DiscMessageKeys::kNotErasableDisc);
    const size_t drive = static_cast<size_t>(m_open);
    const uint32_t kbps = refusal.empty() ? PaceSpeedLocked() : 0;
    return m_job.LaunchUnlessRefused(refusal, CDiscJob::kErasing,
                                     [this, drive, quick, kbps](CDiscJob::Control& control)
                                     { return RunErase(control, drive, quick, kbps); });
}

std::wstring CDiscBurnImpSimulated::ReachPoint(Point point, CDiscJob::Control& control, bool cancellable)
{
    std::unique_lock<std::mutex> lock(m_lock);
    Armed& armed = m_armed[point];
    if (armed.hold)
    {
        armed.held = true;
        m_holdChanged.notify_all();
        while (armed.hold && !(cancellable && control.IsCancelRequested()))
            m_holdChanged.wait_for(lock, std::chrono::milliseconds(5));
        armed.held = false;
        armed.hold = false;
    }
    if (armed.fail)
    {
        armed.fail = false;
        return armed.failMessage.empty() ? CDiscJob::Text(DiscMessageKeys::kFailed) : armed.failMessage;
    }
    if (cancellable && control.IsCancelRequested())
        return CDiscJob::Text(DiscMessageKeys::kCancelled);
    return {};
}

bool CDiscBurnImpSimulated::PaceUntil(double start, double seconds, CDiscJob::Control& control,
                                      bool cancellable)
{
    for (;;)
    {
        if (cancellable && control.IsCancelRequested())
            return false;
        const double remaining = start + seconds - Now();
        if (remaining <= 0.0)
            return true;
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(remaining, 0.01)));
    }
}

void CDiscBurnImpSimulated::SpoilMedium(size_t drive, int64_t written)
{
    std::lock_guard<std::mutex> guard(m_lock);
    Medium& medium = m_drives[drive].medium;
    medium.blank = false;
    medium.usedSectors = kLeadPreGap + written;
    medium.imagePath.clear();
}

CDiscJob::Outcome CDiscBurnImpSimulated::RunBurn(CDiscJob::Control& control, size_t drive,
                                                 std::shared_ptr<CCdImageWriter> writer,
                                                 AudioCDAlbumTrackList album, std::wstring cuePath,
                                                 uint32_t kbps)
{
    const auto fail = [&](const std::wstring& message, bool spoilt) -> CDiscJob::Outcome
    {
        const int64_t written = writer->GetWrittenSectors();
        writer->Abort();
        if (spoilt)
            SpoilMedium(drive, written);
        return {false, message};
    };
    const double speedup = std::max(m_options.speedup, 1e-6);
    control.SetProgress(kBurnStatusPreparing, 0.0f);
    std::wstring stop = ReachPoint(kPointPreparing, control, true);
    if (!stop.empty())
        return fail(stop, false);
    if (!PaceUntil(Now(), kLeadInSeconds / speedup, control, true))
        return fail(CDiscJob::Text(DiscMessageKeys::kCancelled), false);

    const double writeStart = Now();
    const double bytesPerSecond = kbps * 1000.0 * speedup;
    const double total = static_cast<double>(writer->GetTotalSectors());
    bool halfway = false;
    std::wstring error;
    control.SetProgress(kBurnStatusWriting, 0.0f);
    while (!writer->IsComplete())
    {
        if (!writer->WriteSectors(kSectorsPerStep, &error))
            return fail(CDiscJob::WithDetail(CDiscJob::Text(DiscMessageKeys::kFailed), error), true);
        const double written = static_cast<double>(writer->GetWrittenSectors());
        control.SetProgress(kBurnStatusWriting, static_cast<float>(100.0 * written / total));
        if (!halfway && written * 2 >= total)
        {
            halfway = true;
            stop = ReachPoint(kPointWriting, control, true);
            if (!stop.empty())
                return fail(stop, true);
        }
        if (!PaceUntil(writeStart, written * kAudioBlockBytes / bytesPerSecond, control, true))
            return fail(CDiscJob::Text(DiscMessageKeys::kCancelled), true);
    }

    control.SetProgress(kBurnStatusClosing, 100.0f);
    stop = ReachPoint(kPointClosing, control, false);
    if (!stop.empty())
        return fail(stop, true);
    const bool cdText = m_drives[drive].canBurnCdText;
    if (!writer->Finish(cdText ? CLibburnSupport::MakeCdTextPacks(album) : std::vector<uint8_t>(), &error))
        return fail(CDiscJob::WithDetail(CDiscJob::Text(DiscMessageKeys::kFailed), error), true);
    PaceUntil(Now(), kLeadOutSeconds / speedup, control, false);

    std::lock_guard<std::mutex> guard(m_lock);
    Medium& medium = m_drives[drive].medium;
    medium.blank = false;
    medium.usedSectors = kLeadPreGap + writer->GetTotalSectors();
    medium.imagePath = cuePath;
    return {true, {}};
}

CDiscJob::Outcome CDiscBurnImpSimulated::RunErase(CDiscJob::Control& control, size_t drive, bool quick,
                                                  uint32_t kbps)
{
    control.SetProgress(kBurnStatusIdle, 0.0f);
    const std::wstring stop = ReachPoint(kPointErasing, control, false);
    if (!stop.empty())
        return {false, stop};
    const double capacity = static_cast<double>(GetMedium(static_cast<uint32_t>(drive)).capacitySectors);
    const double seconds = (quick ? kQuickEraseSeconds : capacity * kAudioBlockBytes / (kbps * 1000.0)) /
                           std::max(m_options.speedup, 1e-6);
    const double start = Now();
    for (int percent = 1; percent <= 100; ++percent)
    {
        PaceUntil(start, seconds * percent / 100.0, control, false);
        control.SetProgress(kBurnStatusIdle, static_cast<float>(percent));
    }
    std::lock_guard<std::mutex> guard(m_lock);
    Medium& medium = m_drives[drive].medium;
    medium.blank = true;
    medium.usedSectors = 0;
    medium.imagePath.clear();
    return {true, {}};
}

eBurnStatus CDiscBurnImpSimulated::GetCurrentBurnStatus()
{
    return IsOpen() ? m_job.GetBurnStatus() : kBurnStatusIdle;
}

bool CDiscBurnImpSimulated::IsProcessing()
{
    return IsOpen() && m_job.IsProcessing();
}

void CDiscBurnImpSimulated::Cancel()
{
    if (IsOpen() && m_job.GetState() == CDiscJob::kBurning)
        m_job.RequestCancel();
}

void CDiscBurnImpSimulated::EjectDisc()
{
    if (!IsOpen() || m_job.IsProcessing())
        return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!IsOpen())
            return;
        OpenMedium() = m_options.blankAfterEject ? Medium::BlankCdR() : Medium::None();
    }
    m_mediumChanged.Send();
}

float CDiscBurnImpSimulated::GetBurnProgressPercent()
{
    return IsOpen() ? m_job.GetBurnProgressPercent() : 0.0f;
}

float CDiscBurnImpSimulated::GetEraseProgressPercent()
{
    return IsOpen() ? m_job.GetEraseProgressPercent() : 0.0f;
}

int CDiscBurnImpSimulated::GetLastProcessErrorCode()
{
    return IsOpen() ? m_job.GetLastErrorCode() : 1;
}

const wchar_t* CDiscBurnImpSimulated::GetLastProcessErrorMessage()
{
    return IsOpen() ? m_job.GetLastErrorMessage() : nullptr;
}
