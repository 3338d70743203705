#pragma once

#include "common/disc/linux/CMountTable.h"
#include "common/dsp/CThread.h"

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct udev;
struct udev_device;
struct udev_monitor;

// Watches the system's volumes and reports each change as a notice of a kind
// (eDeviceChangeType) and a path:
// - mounts and unmounts, from the process's mount table
//   ("/proc/self/mountinfo", which wakes poll() with POLLPRI on every
//   change): the mount point;
// - audio CDs inserted into and removed from a drive (they are no mounts),
//   from the device manager's events of the CD drives: the drive's device
//   node, which is the disc's volume path;
// - an eject request of a drive (its button, the only warning Linux gives
//   before a disc goes): "unmount requested" for the drive's device node and
//   for every mount point of that drive.
// - on request, every change of a CD drive's medium (blank and data discs
//   too): "medium changed" for the drive's device node, whatever else the
//   event is reported as.
// Without the device manager (no udev daemon, as in containers) only the
// mount table is watched.
//
// Threads. Start and Stop run on the owner's thread; the watcher thread reads
// the sources and calls the notice function, which must be safe to call
// from that thread. Locks. The mount table and the drive state are guarded by
// one mutex, held while a change is worked out (so the test entry points may
// be called from any thread) but never while notices are delivered.
class CVolumeWatcherLinux : public CThread
{
public:
    using NoticeFunction = std::function<void(int kind, const std::string& path)>;

    // A device manager event of a CD drive, as far as the watcher uses it.
    struct DriveEvent
    {
        // The drive's device node ("/dev/sr0").
        std::string deviceNode;
        // The drive's button asked for the disc.
        bool ejectRequest = false;
        // The drive holds a disc with at least one audio track.
        bool audioDisc = false;
    };

    // mountTablePath: the mount table to watch (a test may give a file of
    // its own).
    explicit CVolumeWatcherLinux(NoticeFunction notice, std::string mountTablePath = "/proc/self/mountinfo");
    ~CVolumeWatcherLinux() override;

    CVolumeWatcherLinux(const CVolumeWatcherLinux&) = delete;
    CVolumeWatcherLinux& operator=(const CVolumeWatcherLinux&) = delete;

    // Reads the present mounts and drives (no notices for them) and starts
    // the watcher thread. False, with nothing started, when the mount table
    // cannot be read.
    bool Start();
    // Stops and joins the watcher thread; nothing when it does not run.
    void Stop();
    // Whether drive events are also reported as "medium changed"
    // (kDeviceChangeMediumChanged); off unless set before Start.
    void SetReportsMediumChanges(bool reports) { m_bReportsMediumChanges = reports; }

    // What the thread does with a new reading of the mount table and with a
    // drive event: works out the changes against the state it holds and
    // reports them; the first reading, when Start has read none, only sets
    // the state. Public so that readings and events can be given by hand.
    void OnMountTable(const std::string& text);
    void OnDriveEvent(const DriveEvent& event);

protected:
    void Run() override;

private:
    void OpenDeviceManager();
    void CloseDeviceManager();
    // Every CD drive the device manager knows, as events without a request.
    std::vector<DriveEvent> ListDrives();
    DriveEvent EventOf(udev_device* device);
    void ReadDeviceManagerEvent();
    void Report(const std::vector<CMountTable::Change>& changes);

    NoticeFunction m_notice;
    bool m_bReportsMediumChanges = false;
    std::string m_mountTablePath;
    int m_mountTableFd = -1;
    // Written by Stop to wake the thread.
    int m_wakeFd = -1;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;

    std::mutex m_stateLock;
    std::vector<CMountTable::Entry> m_mounts;
    bool m_haveMounts = false;
    // Device nodes of the drives known to hold an audio disc.
    std::set<std::string> m_audioDrives;
};
