#include "common/disc/linux/CDiscBurnImpLinux.h"

#include "common/disc/CDiscMessageKeys.h"
#include "common/disc/linux/CCdioDisc.h"
#include "common/disc/linux/CLibburnAudioLayout.h"
#include "common/disc/linux/CLibburnJobWatch.h"
#include "common/disc/linux/CLibburnSupport.h"
#include "common/disc/linux/CVolumeWatcherLinux.h"
#include "common/dsp/CThread.h"

#include <juce_core/juce_core.h>

#include <libburn/libburn.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/cdrom.h>
#include <sstream>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace burn;

namespace
{

constexpr int kPollMs = 200;
constexpr const char* kPseudoPrefix = "stdio:";

void CopyText(char (&dst)[1024], const char* text)
{
    std::snprintf(dst, sizeof(dst), "%s", text != nullptr ? text : "");
}

std::wstring Wide(const std::string& text)
{
    return juce::String::fromUTF8(text.c_str()).toWideCharPointer();
}

bool HasProfile(const int* profiles, int count, std::initializer_list<int> wanted)
{
    return std::any_of(profiles, profiles + count,
                       [&](int p) { return std::find(wanted.begin(), wanted.end(), p) != wanted.end(); });
}

// The drive record of what libburn tells of a drive.
CDiscBurnImpLinux::DriveEntry EntryOf(burn_drive_info& info, bool pseudo)
{
    CDiscBurnImpLinux::DriveEntry entry;
    char address[BURN_DRIVE_ADR_LEN] = {};
    burn_drive_get_adr(&info, address);
    entry.address = address;
    entry.pseudo = pseudo;
    std::memset(&entry.info, 0, sizeof(entry.info));
    CopyText(entry.info.vendor, info.vendor);
    CopyText(entry.info.product, info.product);
    CopyText(entry.info.firmware, info.revision);
    int profiles[64] = {};
    char current[64] = {};
    int count = 0;
    if (burn_drive_get_all_profiles(info.drive, &count, profiles, current) <= 0)
        count = 0;
    CDDrive& d = entry.info;
    d.canWriteCDR = info.write_cdr != 0;
    d.canWriteCDRW = info.write_cdrw != 0;
    d.canWriteDVDR = info.write_dvdr != 0;
    d.canWriteDVDRAM = info.write_dvdram != 0;
    d.canTestWriteCD = info.write_simulate != 0 && (d.canWriteCDR || d.canWriteCDRW);
    d.canTestWriteDVD = info.write_simulate != 0 && d.canWriteDVDR;
    d.canWriteDVDRW = HasProfile(profiles, count, {0x13, 0x14});
    d.canWriteDVDRDualLayer = HasProfile(profiles, count, {0x15, 0x16});
    d.canWriteDVDPlusRW = HasProfile(profiles, count, {0x1a});
    d.canWriteDVDPlusR = HasProfile(profiles, count, {0x1b});
    d.canWriteDVDPlusRDoubleLayer = HasProfile(profiles, count, {0x2b});
    d.canWriteDVDPlusRWDoubleLayer = HasProfile(profiles, count, {0x2a});
    entry.sao = (info.sao_block_types & BURN_BLOCK_SAO) != 0;
    return entry;
}

bool CanWrite(const CDDrive& d)
{
    return d.canWriteCDR || d.canWriteCDRW || d.canWriteDVDR || d.canWriteDVDRW || d.canWriteDVDRAM ||
           d.canWriteDVDPlusR || d.canWriteDVDPlusRW || d.canWriteDVDRDualLayer ||
           d.canWriteDVDPlusRDoubleLayer || d.canWriteDVDPlusRWDoubleLayer;
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '\\' && i + 3 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])))
        {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 3), nullptr, 8)));
            i += 3;
        }
        else
        {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Where a device is mounted; empty when it isn't.
std::string MountPointOf(const std::string& device)
{
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    char resolved[PATH_MAX] = {};
    const std::string real = ::realpath(device.c_str(), resolved) != nullptr ? resolved : device;
    while (std::getline(in, line))
    {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string field; fields >> field;)
            f.push_back(field);
        const auto dash = std::find(f.begin(), f.end(), "-");
        if (f.size() < 5 || dash == f.end() || dash + 2 >= f.end())
            continue;
        const std::string source = Unescape(*(dash + 2));
        if (source == device || source == real)
            return Unescape(f[4]);
    }
    return {};
}

// The kernel's view of a CD drive: -1 no disc, -2 not ready, 1 a disc, 0
// unknown (not a CD device).
int KernelDriveStatus(const std::string& device, bool* changed)
{
    *changed = true;
    const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const int status = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    *changed = ::ioctl(fd, CDROM_MEDIA_CHANGED, CDSL_CURRENT) != 0;
    ::close(fd);
    switch (status)
    {
    case CDS_NO_DISC:
    case CDS_TRAY_OPEN:
        return -1;
    case CDS_DRIVE_NOT_READY:
        return -2;
    case CDS_DISC_OK:
        return 1;
    default:
        return 0;
    }
}

std::vector<uint32_t> WriteSpeedsOf(burn_drive* drive, int profile)
{
    std::vector<uint32_t> speeds;
    burn_speed_descriptor* list = nullptr;
    if (burn_drive_get_speedlist(drive, &list) > 0)
    {
        for (burn_speed_descriptor* s = list; s != nullptr; s = s->next)
        {
            if (s->write_speed > 0 && (s->profile_loaded == profile || s->profile_loaded < 0))
                speeds.push_back(static_cast<uint32_t>(s->write_speed));
        }
    }
    burn_drive_free_speedlist(&list);
    std::sort(speeds.begin(), speeds.end());
    speeds.erase(std::unique(speeds.begin(), speeds.end()), speeds.end());
    return speeds;
}

// A drive grabbed for a look at its medium or for a job.
class DriveGrab
{
public:
    explicit DriveGrab(const std::string& address)
    {
        if (CLibburnSupport::Initialize() && Grab(address))
            m_drive = m_infos[0].drive;
        else
            m_infos = nullptr;
    }
    ~DriveGrab() { Release(false); }
    DriveGrab(const DriveGrab&) = delete;
    DriveGrab& operator=(const DriveGrab&) = delete;

    burn_drive* Drive() const { return m_drive; }

    // The disc's state once the drive has settled (10 s at the most);
    // BURN_DISC_UNREADY when it hasn't or the wait was abandoned.
    burn_disc_status Status(CDriveSettleWait& settle) const
    {
        burn_disc_status status = burn_disc_get_status(m_drive);
        for (int i = 0; i < 100 && status == BURN_DISC_UNREADY && settle.Pause(100); ++i)
            status = burn_disc_get_status(m_drive);
        return status;
    }

    void Release(bool eject)
    {
        if (m_drive != nullptr)
            burn_drive_release(m_drive, eject ? 1 : 0);
        if (m_infos != nullptr)
            burn_drive_info_free(m_infos);
        m_drive = nullptr;
        m_infos = nullptr;
    }

private:
    bool Grab(const std::string& address)
    {
        const std::lock_guard<std::mutex> drives(CLibburnSupport::DriveListLock());
        const bool grabbed = burn_drive_scan_and_grab(&m_infos, const_cast<char*>(address.c_str()), 0) == 1;
        // The grab leaves the address as libburn's only allowed drive; later
        // scans list every drive again.
        burn_drive_clear_whitelist();
        return grabbed;
    }

    burn_drive_info* m_infos = nullptr;
    burn_drive* m_drive = nullptr;
};

// libburn's look at the medium of a drive (see CDiscBurnImpLinux::MediumLook).
CDiscBurnImpLinux::Media LookAtMedium(const CDiscBurnImpLinux::DriveEntry& entry, CDriveSettleWait& settle)
{
    CDiscBurnImpLinux::Media media;
    DriveGrab grab(entry.address);
    if (grab.Drive() != nullptr)
    {
        const burn_disc_status status = grab.Status(settle);
        if (status == BURN_DISC_UNREADY)
        {
            media.type = kDiscTypeInTransition;
            return media;
        }
        int profile = 0;
        char name[80] = {};
        burn_disc_get_profile(grab.Drive(), &profile, name);
        media.known = true;
        media.type = status == BURN_DISC_EMPTY ? kDiscTypeNone : CLibburnSupport::DiscTypeOfProfile(profile);
        media.blank = status == BURN_DISC_BLANK;
        media.erasable = status != BURN_DISC_EMPTY && burn_disc_erasable(grab.Drive()) != 0;
        if (status == BURN_DISC_BLANK || status == BURN_DISC_APPENDABLE)
            media.freeBlocks = burn_disc_available_space(grab.Drive(), nullptr) / kDataBlockBytes;
        if (burn_disc* disc = burn_drive_get_disc(grab.Drive()))
        {
            media.usedBlocks = std::max(burn_disc_get_sectors(disc), 0);
            burn_disc_free(disc);
        }
        media.speeds = WriteSpeedsOf(grab.Drive(), profile);
    }
    CLibburnSupport::DrainMessages(nullptr);
    return media;
}

// The write options of a burn.
class BurnWriteOptions
{
public:
    ~BurnWriteOptions()
    {
        if (m_opts != nullptr)
            burn_write_opts_free(m_opts);
    }
    burn_write_opts* Get() const { return m_opts; }
    void Reset(burn_write_opts* opts) { m_opts = opts; }

private:
    burn_write_opts* m_opts = nullptr;
};

// The body of a burn job: writes the layout and watches the drive to the
// end, then releases it.
CDiscJob::Outcome RunBurnJob(DriveGrab& grab, CLibburnAudioLayout& layout, BurnWriteOptions& opts,
                             CDiscJob::Control& control)
{
    burn_disc_write(opts.Get(), layout.Disc());
    const std::unique_ptr<CLibburnJobWatch::Drive> drive = CLibburnJobWatch::Of(grab.Drive());
    CLibburnJobWatch watch(*drive, layout.TrackSectors(), kPollMs);
    const CLibburnJobWatch::Result result =
        watch.Watch([&] { return control.IsCancelRequested(); },
                    [&](eBurnStatus phase, float percent) { control.SetProgress(phase, percent); });
    std::wstring failures;
    CLibburnSupport::DrainMessages(&failures);
    grab.Release(false);
    if (result.ok)
        return {true, {}};
    if (result.cancelled || control.IsCancelRequested())
        return {false, CDiscJob::Text(DiscMessageKeys::kCancelled)};
    return {false, CDiscJob::WithDetail(CDiscJob::Text(DiscMessageKeys::kFailed), failures)};
}

// The body of an erase job.
CDiscJob::Outcome RunEraseJob(DriveGrab& grab, bool quick, CDiscJob::Control& control)
{
    burn_disc_erase(grab.Drive(), quick ? 1 : 0);
    const std::unique_ptr<CLibburnJobWatch::Drive> drive = CLibburnJobWatch::Of(grab.Drive());
    CLibburnJobWatch watch(*drive, {}, kPollMs);
    const CLibburnJobWatch::Result result =
        watch.Watch(nullptr, [&](eBurnStatus phase, float percent) { control.SetProgress(phase, percent); });
    std::wstring failures;
    CLibburnSupport::DrainMessages(&failures);
    grab.Release(false);
    if (result.ok)
        return {true, {}};
    return {false, CDiscJob::WithDetail(CDiscJob::Text(DiscMessageKeys::kEraseFailed), failures)};
}

// Why a burn cannot start on the grabbed drive; empty when it may.
std::wstring CheckBurnStart(DriveGrab& grab, CDriveSettleWait& settle, const AudioCDAlbumTrackList* album)
{
    if (album == nullptr || album->tracks.empty())
        return CDiscJob::Text(DiscMessageKeys::kNoSongToExport);
    if (grab.Drive() == nullptr)
        return CDiscJob::Text(DiscMessageKeys::kCannotOpenDrive);
    const burn_disc_status status = grab.Status(settle);
    if (status == BURN_DISC_EMPTY || status == BURN_DISC_UNREADY)
        return CDiscJob::Text(DiscMessageKeys::kDiscNotFound);
    if (status != BURN_DISC_BLANK)
        return CDiscJob::Text(burn_disc_erasable(grab.Drive()) != 0 ? DiscMessageKeys::kUsedErasableDisc
                                                                    : DiscMessageKeys::kUsedDisc);
    return {};
}

// The write options of an SAO audio burn at a speed (0: the most); the
// refusal of libburn's check of the job against drive and medium, empty
// when it may start.
std::wstring PrepareWrite(DriveGrab& grab, CLibburnAudioLayout& layout, BurnWriteOptions& opts, uint32_t kbps)
{
    opts.Reset(burn_write_opts_new(grab.Drive()));
    burn_write_opts_set_write_type(opts.Get(), BURN_WRITE_SAO, BURN_BLOCK_SAO);
    burn_write_opts_set_perform_opc(opts.Get(), 1);
    burn_write_opts_set_underrun_proof(opts.Get(), 1);
    burn_write_opts_set_simulate(opts.Get(), 0);
    layout.SetLeadInText(opts.Get());
    burn_drive_set_speed(grab.Drive(), 0, static_cast<int>(kbps));
    char reasons[BURN_REASONS_LEN] = {};
    if (burn_precheck_write(opts.Get(), layout.Disc(), reasons, 0) > 0)
        return {};
    return CDiscJob::WithDetail(CDiscJob::Text(DiscMessageKeys::kFailed),
                                Wide(juce::String(reasons).trim().toStdString()));
}

} // namespace

class CDiscBurnImpLinux::ScanThread : public CThread
{
public:
    explicit ScanThread(CDiscBurnImpLinux& owner) : m_owner(owner) {}
    ~ScanThread() override { StopThread(-1); }

protected:
    void Run() override
    {
        std::vector<DriveEntry> entries;
        if (CLibburnSupport::Initialize())
        {
            const std::lock_guard<std::mutex> drives(CLibburnSupport::DriveListLock());
            ScanSystemDrives(entries);
            for (const std::string& address : m_owner.m_extraAddresses)
                AddPseudoDrive(address, entries);
            CLibburnSupport::DrainMessages(nullptr);
        }
        m_owner.WatchSystemDrives();
        m_owner.TakeScanResult(std::move(entries));
    }

private:
    static void ScanSystemDrives(std::vector<DriveEntry>& entries)
    {
        burn_drive_info* infos = nullptr;
        unsigned int count = 0;
        int result = 0;
        while ((result = burn_drive_scan(&infos, &count)) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (result < 0 || infos == nullptr)
            return;
        for (unsigned int i = 0; i < count; ++i)
        {
            DriveEntry entry = EntryOf(infos[i], false);
            if (CanWrite(entry.info))
                entries.push_back(std::move(entry));
            // Other programs may use the drives until one is needed.
            burn_drive_info_forget(&infos[i], 0);
        }
        burn_drive_info_free(infos);
    }

    static void AddPseudoDrive(const std::string& address, std::vector<DriveEntry>& entries)
    {
        burn_drive_info* infos = nullptr;
        const bool grabbed = burn_drive_scan_and_grab(&infos, const_cast<char*>(address.c_str()), 0) == 1;
        // The grab leaves the address as libburn's only allowed drive; later
        // scans list every drive again.
        burn_drive_clear_whitelist();
        if (!grabbed)
            return;
        DriveEntry entry = EntryOf(infos[0], true);
        // libburn names a pseudo-drive by its path alone.
        entry.address = address;
        entries.push_back(std::move(entry));
        burn_drive_release(infos[0].drive, 0);
        burn_drive_info_free(infos);
    }

    CDiscBurnImpLinux& m_owner;
};

CDiscBurnImpLinux::CDiscBurnImpLinux(std::vector<std::string> extraAddresses, MediumLook look)
    : m_extraAddresses(std::move(extraAddresses)), m_look(look ? std::move(look) : MediumLook(LookAtMedium))
{
    m_job.SetEndNotice([this] { SendJobEnd(); });
    StartScan();
}

CDiscBurnImpLinux::~CDiscBurnImpLinux()
{
    m_job.RequestCancel();
    m_job.Join();
    WaitForScan();
    m_scan.reset();
    m_watcher.reset();
}

void CDiscBurnImpLinux::WatchSystemDrives()
{
    if (m_watcher != nullptr)
        return;
    // Every notice of the system's volumes and drives may concern the open
    // drive: a waiter looks again, cheaply when nothing changed. Without a
    // device manager only mounts are seen.
    m_watcher =
        std::make_unique<CVolumeWatcherLinux>([this](int, const std::string&) { m_mediumChanged.Send(); });
    m_watcher->SetReportsMediumChanges(true);
    if (!m_watcher->Start())
        m_watcher.reset();
}

void CDiscBurnImpLinux::StartScan()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_bScanning)
            return;
        m_bScanning = true;
    }
    if (m_scan != nullptr)
        m_scan->StopThread(-1);
    m_scan = std::make_unique<ScanThread>(*this);
    if (!m_scan->StartThread(0))
    {
        std::vector<DriveEntry> unchanged;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            unchanged = m_entries;
        }
        TakeScanResult(std::move(unchanged));
    }
}

void CDiscBurnImpLinux::TakeScanResult(std::vector<DriveEntry> entries)
{
    std::lock_guard<std::mutex> guard(m_lock);
    // Indexes stay those of the list the caller saw while a drive is open.
    if (!IsOpen())
    {
        m_entries = std::move(entries);
        m_driveList.clear();
        for (const DriveEntry& entry : m_entries)
            m_driveList.push_back(entry.info);
    }
    m_bScanning = false;
    m_scanDone.notify_all();
    m_mediumChanged.Send();
}

void CDiscBurnImpLinux::WaitForScan()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_scanDone.wait(lock, [this] { return !m_bScanning.load(); });
}

const std::vector<CDDrive>& CDiscBurnImpLinux::GetAvailableCDDrives()
{
    WaitForScan();
    return m_driveList;
}

void CDiscBurnImpLinux::RefreshCDDriveList()
{
    // libburn rescans only while no drive is grabbed; a job keeps the list.
    if (m_job.IsProcessing())
        return;
    WaitForScan();
    StartScan();
    WaitForScan();
}

int CDiscBurnImpLinux::OpenDrive(uint32_t index)
{
    CloseDrive();
    WaitForScan();
    std::lock_guard<std::mutex> guard(m_lock);
    if (index >= m_entries.size())
        return 1;
    const std::string& address = m_entries[index].address;
    if (address.rfind(kPseudoPrefix, 0) != 0 && ::access(address.c_str(), F_OK) != 0)
        return 1;
    m_open = static_cast<int>(index);
    ++m_openGeneration;
    m_media = Media();
    m_writeSpeed = 0;
    m_job.SetResult(true, {});
    m_mediumChanged.Send();
    return 0;
}

void CDiscBurnImpLinux::CloseDrive()
{
    // Forgotten first: a start on another thread has then either launched its
    // job (cancelled and waited for here) or finds the drive closed and is
    // refused (m_openGeneration).
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_open = -1;
        ++m_openGeneration;
        m_media = Media();
    }
    m_job.RequestCancel();
    m_job.Join();
    m_job.IsProcessing();
}

const wchar_t* CDiscBurnImpLinux::GetCurrentDriveRootPath()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!IsOpen() || OpenEntry().pseudo)
        return nullptr;
    const std::string& device = OpenEntry().address;
    std::string root = MountPointOf(device);
    if (root.empty() && CCdioDisc::Exists(Wide(device).c_str()))
        root = device;
    if (root.empty())
        return nullptr;
    const std::wstring wide = Wide(root);
    const size_t n = std::min(wide.size(), sizeof(m_rootPath) / sizeof(m_rootPath[0]) - 1);
    std::copy_n(wide.data(), n, m_rootPath);
    m_rootPath[n] = 0;
    return m_rootPath;
}

bool CDiscBurnImpLinux::CanBurnGaplessAudioCD()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() && OpenEntry().sao && !OpenEntry().pseudo;
}

bool CDiscBurnImpLinux::CanBurnCDTextLocked() const
{
    return IsOpen() && OpenEntry().sao && !OpenEntry().pseudo &&
           (OpenEntry().info.canWriteCDR || OpenEntry().info.canWriteCDRW);
}

bool CDiscBurnImpLinux::CanBurnCDText()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return CanBurnCDTextLocked();
}

bool CDiscBurnImpLinux::CanControlAudioCDPreGaps()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen();
}

bool CDiscBurnImpLinux::AudioCdGapSettingsMayFail()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() && !(OpenEntry().sao && !OpenEntry().pseudo);
}

void CDiscBurnImpLinux::WaitForDriveLocked(std::unique_lock<std::mutex>& lock)
{
    m_driveFree.wait(lock, [this] { return !m_bDriveInUse; });
}

void CDiscBurnImpLinux::RefreshMedia(std::unique_lock<std::mutex>& lock)
{
    WaitForDriveLocked(lock);
    if (!IsOpen() || m_job.GetState() != CDiscJob::kIdle)
        return;
    const DriveEntry entry = OpenEntry();
    if (!entry.pseudo)
    {
        bool changed = true;
        const int status = KernelDriveStatus(entry.address, &changed);
        if (status < 0)
        {
            m_media = Media();
            m_media.type = status == -2 ? kDiscTypeInTransition : kDiscTypeNone;
            return;
        }
        if (status == 1 && m_media.known && !changed)
            return;
    }
    const uint64_t generation = m_openGeneration;
    m_bDriveInUse = true;
    lock.unlock();
    // The drive may take seconds to settle: no lock is held meanwhile.
    const Media media = m_look(entry, m_settle);
    lock.lock();
    m_bDriveInUse = false;
    m_driveFree.notify_all();
    // A start waits for the look, so no job has begun; the drive may have
    // been closed or another opened, and then the answer is not its.
    if (generation == m_openGeneration && IsOpen())
        m_media = media;
}

int CDiscBurnImpLinux::ReloadDisc()
{
    std::unique_lock<std::mutex> lock(m_lock);
    RefreshMedia(lock);
    return IsOpen() && m_media.type >= kDiscTypeUnknown ? 0 : 1;
}

eDiscType CDiscBurnImpLinux::GetInsertedDiscType()
{
    std::unique_lock<std::mutex> lock(m_lock);
    RefreshMedia(lock);
    return IsOpen() ? m_media.type : kDiscTypeNone;
}

bool CDiscBurnImpLinux::IsErasableDisc()
{
    std::unique_lock<std::mutex> lock(m_lock);
    RefreshMedia(lock);
    return IsOpen() && m_media.erasable;
}

bool CDiscBurnImpLinux::IsBlankDisc()
{
    std::unique_lock<std::mutex> lock(m_lock);
    RefreshMedia(lock);
    return IsOpen() && m_media.blank;
}

int64_t CDiscBurnImpLinux::GetFreeSizeOnDisc(eDiscRecordingMode mode)
{
    std::unique_lock<std::mutex> lock(m_lock);
    RefreshMedia(lock);
    return IsOpen() ? m_media.freeBlocks * BlockBytesOf(mode) : 0;
}

int64_t CDiscBurnImpLinux::GetUsedSizeOnDisc(eDiscRecordingMode mode)
{
    std::unique_lock<std::mutex> lock(m_lock);
    RefreshMedia(lock);
    return IsOpen() ? m_media.usedBlocks * BlockBytesOf(mode) : 0;
}

const std::vector<uint32_t>& CDiscBurnImpLinux::GetAvailableWriteSpeedsKbps()
{
    std::unique_lock<std::mutex> lock(m_lock);
    RefreshMedia(lock);
    m_speeds = IsOpen() ? m_media.speeds : std::vector<uint32_t>();
    return m_speeds;
}

int CDiscBurnImpLinux::SetWriteSpeed(uint32_t kbps)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!IsOpen())
        return 1;
    if (kbps != 0 && std::find(m_media.speeds.begin(), m_media.speeds.end(), kbps) == m_media.speeds.end())
        return 1;
    m_writeSpeed = kbps;
    return 0;
}

int CDiscBurnImpLinux::StartBurnDataDvd(const CUdfFileList*)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!IsOpen() || !m_job.TryBegin())
        return 1;
    m_job.Refuse(CDiscJob::Text(DiscMessageKeys::kFormatNotSupported));
    return 1;
}

int CDiscBurnImpLinux::StartBurnAudioCD(const AudioCDAlbumTrackList* album)
{
    std::unique_lock<std::mutex> lock(m_lock);
    WaitForDriveLocked(lock);
    if (!IsOpen() || !m_job.TryBegin())
        return 1;
    // The job is starting, so no look or eject grabs the drive until it has
    // launched or been refused: m_lock is released while the drive is
    // grabbed and settles.
    const std::string address = OpenEntry().address;
    const bool cdText = CanBurnCDTextLocked();
    const uint32_t kbps = m_writeSpeed;
    const uint64_t generation = m_openGeneration;
    m_media = Media();
    lock.unlock();
    auto grab = std::make_shared<DriveGrab>(address);
    std::wstring refusal = CheckBurnStart(*grab, m_settle, album);
    auto layout = std::make_shared<CLibburnAudioLayout>();
    auto opts = std::make_shared<BurnWriteOptions>();
    std::wstring error;
    if (refusal.empty() && !layout->Build(*album, cdText, &error))
        refusal = CDiscJob::WithDetail(CDiscJob::Text(DiscMessageKeys::kFailed), error);
    if (refusal.empty())
        refusal = PrepareWrite(*grab, *layout, *opts, kbps);
    CLibburnSupport::DrainMessages(nullptr);
    lock.lock();
    if (refusal.empty() && generation != m_openGeneration)
        refusal = CDiscJob::Text(DiscMessageKeys::kCannotOpenDrive);
    if (!refusal.empty())
        grab->Release(false);
    return m_job.LaunchUnlessRefused(refusal, CDiscJob::kBurning,
                                     [grab, layout, opts](CDiscJob::Control& control)
                                     { return RunBurnJob(*grab, *layout, *opts, control); });
}

int CDiscBurnImpLinux::StartEraseDisc(bool quick)
{
    std::unique_lock<std::mutex> lock(m_lock);
    WaitForDriveLocked(lock);
    if (!IsOpen() || !m_job.TryBegin())
        return 1;
    // As a burn's start: m_lock is released while the drive is grabbed.
    const std::string address = OpenEntry().address;
    const uint64_t generation = m_openGeneration;
    m_media = Media();
    lock.unlock();
    auto grab = std::make_shared<DriveGrab>(address);
    std::wstring refusal;
    if (grab->Drive() == nullptr)
        refusal = CDiscJob::Text(DiscMessageKeys::kCannotOpenDrive);
    else if (const burn_disc_status status = grab->Status(m_settle);
             status == BURN_DISC_EMPTY || status == BURN_DISC_UNREADY)
        refusal = CDiscJob::Text(DiscMessageKeys::kDiscNotFound);
    else if (burn_disc_erasable(grab->Drive()) == 0)
        refusal = CDiscJob::Text(DiscMessageKeys::kNotErasableDisc);
    CLibburnSupport::DrainMessages(nullptr);
    // A blank rewritable disc is erased as well (libburn asks for a written
    // one).
    if (refusal.empty() && grab->Status(m_settle) == BURN_DISC_BLANK)
        burn_disc_pretend_full(grab->Drive());
    lock.lock();
    if (refusal.empty() && generation != m_openGeneration)
        refusal = CDiscJob::Text(DiscMessageKeys::kCannotOpenDrive);
    if (!refusal.empty())
        grab->Release(false);
    return m_job.LaunchUnlessRefused(refusal, CDiscJob::kErasing,
                                     [grab, quick](CDiscJob::Control& control)
                                     { return RunEraseJob(*grab, quick, control); });
}

eBurnStatus CDiscBurnImpLinux::GetCurrentBurnStatus()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() ? m_job.GetBurnStatus() : kBurnStatusIdle;
}

bool CDiscBurnImpLinux::IsProcessing()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() && m_job.IsProcessing();
}

void CDiscBurnImpLinux::Cancel()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (IsOpen() && m_job.GetState() == CDiscJob::kBurning)
        m_job.RequestCancel();
}

void CDiscBurnImpLinux::EjectDisc()
{
    std::unique_lock<std::mutex> lock(m_lock);
    WaitForDriveLocked(lock);
    if (!IsOpen() || OpenEntry().pseudo || m_job.IsProcessing())
        return;
    const std::string address = OpenEntry().address;
    m_bDriveInUse = true;
    m_media = Media();
    lock.unlock();
    // The tray may take seconds: no lock is held meanwhile.
    {
        DriveGrab grab(address);
        grab.Release(true);
        CLibburnSupport::DrainMessages(nullptr);
    }
    lock.lock();
    m_bDriveInUse = false;
    m_media = Media();
    m_driveFree.notify_all();
    lock.unlock();
    m_mediumChanged.Send();
}

float CDiscBurnImpLinux::GetBurnProgressPercent()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() ? m_job.GetBurnProgressPercent() : 0.0f;
}

float CDiscBurnImpLinux::GetEraseProgressPercent()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() ? m_job.GetEraseProgressPercent() : 0.0f;
}

int CDiscBurnImpLinux::GetLastProcessErrorCode()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() ? m_job.GetLastErrorCode() : 1;
}

const wchar_t* CDiscBurnImpLinux::GetLastProcessErrorMessage()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return IsOpen() ? m_job.GetLastErrorMessage() : nullptr;
}
