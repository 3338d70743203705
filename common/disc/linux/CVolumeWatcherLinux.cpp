#include "common/disc/linux/CVolumeWatcherLinux.h"

#include "common/disc/CVolumePath.h"
#include "common/disc/linux/CCdioDisc.h"

#include <libudev.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
constexpr int kMountedKind = 0;
constexpr int kUnmountedKind = 1;
constexpr int kUnmountRequestedKind = 2;
constexpr int kMediumChangedKind = 3;

std::string CanonicalPath(const std::string& path)
{
    return CVolumePath::Canonical(juce::String::fromUTF8(path.c_str())).toStdString();
}

bool IsCdDriveName(const char* sysname)
{
    return sysname != nullptr && std::strncmp(sysname, "sr", 2) == 0;
}

bool PropertyIs(udev_device* device, const char* name, const char* value)
{
    const char* v = udev_device_get_property_value(device, name);
    return v != nullptr && std::strcmp(v, value) == 0;
}

// Whether the drive holds an audio disc: from the properties the device
// manager's CD rules set, or, where they are missing, from the disc itself.
bool HoldsAudioDisc(udev_device* device, const char* node)
{
    if (udev_device_get_property_value(device, "ID_CDROM_MEDIA") == nullptr)
        return CCdioDisc::Exists(juce::String::fromUTF8(node).toWideCharPointer());
    const char* audio = udev_device_get_property_value(device, "ID_CDROM_MEDIA_TRACK_COUNT_AUDIO");
    return PropertyIs(device, "ID_CDROM_MEDIA", "1") && audio != nullptr && std::atoi(audio) > 0;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
} // namespace

CVolumeWatcherLinux::CVolumeWatcherLinux(NoticeFunction notice, std::string mountTablePath)
    : m_notice(std::move(notice)), m_mountTablePath(std::move(mountTablePath))
{
}

CVolumeWatcherLinux::~CVolumeWatcherLinux()
{
    Stop();
}

bool CVolumeWatcherLinux::Start()
{
    Stop();
    m_mountTableFd = ::open(m_mountTablePath.c_str(), O_RDONLY | O_CLOEXEC);
    std::string text;
    if (m_mountTableFd < 0 || !CMountTable::ReadFile(m_mountTableFd, text))
    {
        CloseFd(m_mountTableFd);
        return false;
    }
    OpenDeviceManager();
    const std::vector<DriveEvent> drives = ListDrives();
    {
        const std::lock_guard<std::mutex> lock(m_stateLock);
        m_mounts = CMountTable::Parse(text);
        m_haveMounts = true;
        m_audioDrives.clear();
        for (const DriveEvent& drive : drives)
            if (drive.audioDisc)
                m_audioDrives.insert(CanonicalPath(drive.deviceNode));
    }
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd >= 0 && StartThread(0))
        return true;
    Stop();
    return false;
}

void CVolumeWatcherLinux::Stop()
{
    if (m_wakeFd >= 0)
    {
        const uint64_t one = 1;
        const ssize_t written = ::write(m_wakeFd, &one, sizeof(one));
        (void)written; // a full counter wakes the thread just the same
    }
    StopThread(-1);
    CloseFd(m_wakeFd);
    CloseFd(m_mountTableFd);
    CloseDeviceManager();
}

void CVolumeWatcherLinux::Run()
{
    pollfd fds[3] = {{m_wakeFd, POLLIN, 0}, {m_mountTableFd, POLLPRI | POLLERR, 0}, {-1, POLLIN, 0}};
    nfds_t count = 2;
    if (m_monitor != nullptr)
    {
        fds[2].fd = udev_monitor_get_fd(m_monitor);
        count = 3;
    }
    while (!ThreadShouldExit())
    {
        if (::poll(fds, count, -1) < 0)
        {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents != 0)
            return;
        std::string text;
        if ((fds[1].revents & (POLLPRI | POLLERR)) != 0 && CMountTable::ReadFile(m_mountTableFd, text))
            OnMountTable(text);
        if (count == 3 && (fds[2].revents & POLLIN) != 0)
            ReadDeviceManagerEvent();
    }
}

void CVolumeWatcherLinux::OnMountTable(const std::string& text)
{
    std::vector<CMountTable::Entry> mounts = CMountTable::Parse(text);
    std::vector<CMountTable::Change> changes;
    {
        const std::lock_guard<std::mutex> lock(m_stateLock);
        if (m_haveMounts)
            changes = CMountTable::Diff(m_mounts, mounts);
        m_mounts = std::move(mounts);
        m_haveMounts = true;
    }
    Report(changes);
}

void CVolumeWatcherLinux::OnDriveEvent(const DriveEvent& event)
{
    const std::string node = CanonicalPath(event.deviceNode);
    if (node.empty())
        return;
    std::vector<CMountTable::Change> changes;
    {
        const std::lock_guard<std::mutex> lock(m_stateLock);
        if (event.ejectRequest)
        {
            // The disc is still in: its state changes with the event that
            // follows its removal.
            changes.push_back({kUnmountRequestedKind, node});
            for (const CMountTable::Entry& mount : m_mounts)
                if (mount.source.size() > 1 && mount.source[0] == '/' && CanonicalPath(mount.source) == node)
                    changes.push_back({kUnmountRequestedKind, mount.mountPoint});
        }
        else if (event.audioDisc && m_audioDrives.insert(node).second)
        {
            changes.push_back({kMountedKind, node});
        }
        else if (!event.audioDisc && m_audioDrives.erase(node) > 0)
        {
            changes.push_back({kUnmountedKind, node});
        }
        if (m_bReportsMediumChanges && !event.ejectRequest)
            changes.push_back({kMediumChangedKind, node});
    }
    Report(changes);
}

void CVolumeWatcherLinux::Report(const std::vector<CMountTable::Change>& changes)
{
    for (const CMountTable::Change& change : changes)
        if (m_notice)
            m_notice(change.kind, change.path);
}

// ---------------------------------------------------------------------------
// The device manager

void CVolumeWatcherLinux::OpenDeviceManager()
{
    m_udev = udev_new();
    if (m_udev == nullptr)
        return;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor != nullptr &&
        (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "block", "disk") < 0 ||
         udev_monitor_enable_receiving(m_monitor) < 0))
    {
        udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
    }
}

void CVolumeWatcherLinux::CloseDeviceManager()
{
    if (m_monitor != nullptr)
        udev_monitor_unref(m_monitor);
    if (m_udev != nullptr)
        udev_unref(m_udev);
    m_monitor = nullptr;
    m_udev = nullptr;
}

std::vector<CVolumeWatcherLinux::DriveEvent> CVolumeWatcherLinux::ListDrives()
{
    std::vector<DriveEvent> drives;
    udev_enumerate* list = m_udev != nullptr ? udev_enumerate_new(m_udev) : nullptr;
    if (list == nullptr)
        return drives;
    udev_enumerate_add_match_subsystem(list, "block");
    udev_enumerate_add_match_sysname(list, "sr*");
    udev_enumerate_scan_devices(list);
    for (udev_list_entry* e = udev_enumerate_get_list_entry(list); e != nullptr;
         e = udev_list_entry_get_next(e))
    {
        udev_device* device = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(e));
        if (device == nullptr)
            continue;
        DriveEvent drive = EventOf(device);
        if (!drive.deviceNode.empty())
            drives.push_back(drive);
        udev_device_unref(device);
    }
    udev_enumerate_unref(list);
    return drives;
}

CVolumeWatcherLinux::DriveEvent CVolumeWatcherLinux::EventOf(udev_device* device)
{
    DriveEvent event;
    const char* node = udev_device_get_devnode(device);
    if (node == nullptr || !IsCdDriveName(udev_device_get_sysname(device)))
        return event;
    event.deviceNode = node;
    event.ejectRequest = PropertyIs(device, "DISK_EJECT_REQUEST", "1");
    const char* action = udev_device_get_action(device);
    const bool removed = action != nullptr && std::strcmp(action, "remove") == 0;
    event.audioDisc = !removed && !event.ejectRequest && HoldsAudioDisc(device, node);
    return event;
}

void CVolumeWatcherLinux::ReadDeviceManagerEvent()
{
    udev_device* device = udev_monitor_receive_device(m_monitor);
    if (device == nullptr)
        return;
    const DriveEvent event = EventOf(device);
    udev_device_unref(device);
    if (!event.deviceNode.empty())
        OnDriveEvent(event);
}
