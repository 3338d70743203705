#include "common/disc/linux/CVolumeWatcherLinux.h"

#include "tests/common/disc/linux/MountTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

using Change = CMountTable::Change;

void PrintTo(const Change& change, std::ostream* os)
{
    *os << "{" << change.kind << ", \"" << change.path << "\"}";
}

namespace
{
constexpr int kMounted = 0;
constexpr int kUnmounted = 1;
constexpr int kUnmountRequested = 2;
constexpr int kMediumChanged = 3;

// A mount table line as the kernel writes it.
std::string Line(int id, const std::string& mountPoint, const std::string& source = "/dev/sda1",
                 const std::string& optional = "shared:1")
{
    return std::to_string(id) + " 1 8:1 / " + mountPoint + " rw,relatime " + optional + " - ext4 " + source +
           " rw\n";
}

const std::string kBase = Line(21, "/proc", "proc", "") + Line(27, "/") + Line(40, "/home");

// Collects the watcher's notices.
struct Notices
{
    CVolumeWatcherLinux::NoticeFunction Function()
    {
        return [this](int kind, const std::string& path) { got.push_back({kind, path}); };
    }
    std::vector<Change> got;
};
} // namespace

// The kernel's escapes in paths are undone; optional fields may be absent or
// many; lines that are not entries are skipped.
TEST(CMountTable, ParsesEscapedPathsAndSkipsBrokenLines)
{
    const std::string text =
        Line(50, "/media/My\\040Disc") +
        Line(51, "/mnt/tab\\011and\\134slash", "/dev/sr0", "shared:7 master:2 propagate_from:3") +
        "52 1 8:1 / /short\n" + "x 1 8:1 / /bad rw - ext4 /dev/sda rw\n" + Line(53, "/mnt/end\\04") + "\n";
    const std::vector<CMountTable::Entry> entries = CMountTable::Parse(text);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].id, 50);
    EXPECT_EQ(entries[0].mountPoint, "/media/My Disc");
    EXPECT_EQ(entries[1].mountPoint, "/mnt/tab\tand\\slash");
    EXPECT_EQ(entries[1].source, "/dev/sr0");
    EXPECT_EQ(entries[1].type, "ext4");
    // An escape cut short stays as it is.
    EXPECT_EQ(entries[2].mountPoint, "/mnt/end\\04");
}

// Mounts are told apart by id: a second mount on a folder already mounted
// (a bind mount over it) is a mount of its own, and its removal an unmount,
// while the first stays; changes read together are all reported, the
// unmounts first.
TEST(CMountTable, ChangesAreFoundByMountId)
{
    const auto table = [](const std::string& extra) { return CMountTable::Parse(kBase + extra); };
    struct Case
    {
        const char* name;
        std::string before;
        std::string after;
        std::vector<Change> changes;
    };
    const std::vector<Case> cases = {
        {"nothing changed", "", "", {}},
        {"a mount", "", Line(60, "/media/usb"), {{kMounted, "/media/usb"}}},
        {"an unmount", Line(60, "/media/usb"), "", {{kUnmounted, "/media/usb"}}},
        {"a mount and an unmount in one read",
         Line(60, "/media/usb"),
         Line(61, "/media/My\\040Disc"),
         {{kUnmounted, "/media/usb"}, {kMounted, "/media/My Disc"}}},
        {"a bind mount over a mounted folder",
         Line(60, "/srv/data"),
         Line(60, "/srv/data") + Line(61, "/srv/data", "/dev/sdb1"),
         {{kMounted, "/srv/data"}}},
        {"the bind mount removed again",
         Line(60, "/srv/data") + Line(61, "/srv/data", "/dev/sdb1"),
         Line(60, "/srv/data"),
         {{kUnmounted, "/srv/data"}}},
        {"an unmount and a new mount on the same folder",
         Line(60, "/media/disc"),
         Line(63, "/media/disc"),
         {{kUnmounted, "/media/disc"}, {kMounted, "/media/disc"}}},
        {"a mount moved elsewhere",
         Line(60, "/mnt/a"),
         Line(60, "/mnt/b"),
         {{kUnmounted, "/mnt/a"}, {kMounted, "/mnt/b"}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CMountTable::Diff(table(c.before), table(c.after)), c.changes);
    }
}

// Readings given one after another are each compared with the one before.
TEST(CVolumeWatcherLinux, ReportsEachReadingAgainstTheLast)
{
    Notices notices;
    CVolumeWatcherLinux watcher(notices.Function());
    watcher.OnMountTable(kBase);
    watcher.OnMountTable(kBase + Line(60, "/media/usb"));
    watcher.OnMountTable(kBase + Line(60, "/media/usb"));
    watcher.OnMountTable(kBase);
    EXPECT_EQ(notices.got, (std::vector<Change>{{kMounted, "/media/usb"}, {kUnmounted, "/media/usb"}}));
}

// An audio disc is reported once when it comes and once when it goes, under
// its drive's device node; an eject request asks to release the drive and
// every folder mounted from it, the mount's source found also when it names
// the drive through a link.
TEST(CVolumeWatcherLinux, DriveEventsReportDiscsAndEjectRequests)
{
    const rifftest::TempFolder folder;
    const std::filesystem::path drive = folder.Path() / "sr0";
    std::ofstream(drive).put('x');
    const std::filesystem::path link = folder.Path() / "cdrom";
    std::filesystem::create_symlink(drive, link);

    Notices notices;
    CVolumeWatcherLinux watcher(notices.Function());
    watcher.OnMountTable(kBase + Line(70, "/media/data\\040disc", link.string()) +
                         Line(71, "/media/other", (folder.Path() / "sr1").string()));
    ASSERT_TRUE(notices.got.empty());

    const std::string node = drive.string();
    watcher.OnDriveEvent({node, false, true});
    watcher.OnDriveEvent({node, false, true});
    watcher.OnDriveEvent({node, true, false});
    watcher.OnDriveEvent({node, false, false});
    watcher.OnDriveEvent({node, false, false});
    EXPECT_EQ(notices.got, (std::vector<Change>{{kMounted, node},
                                                {kUnmountRequested, node},
                                                {kUnmountRequested, "/media/data disc"},
                                                {kUnmounted, node}}));
}

// Asked for, every drive event but an eject request also says the drive's
// medium changed: a blank disc, which is no volume, as well as an audio one.
TEST(CVolumeWatcherLinux, ReportsMediumChangesWhenAsked)
{
    const rifftest::TempFolder folder;
    const std::filesystem::path drive = folder.Path() / "sr0";
    std::ofstream(drive).put('x');
    const std::string node = drive.string();

    Notices notices;
    CVolumeWatcherLinux watcher(notices.Function());
    watcher.SetReportsMediumChanges(true);
    watcher.OnMountTable(kBase);
    watcher.OnDriveEvent({node, false, false}); // a blank disc came
    watcher.OnDriveEvent({node, true, false});  // its eject button
    watcher.OnDriveEvent({node, false, true});  // an audio disc came
    EXPECT_EQ(
        notices.got,
        (std::vector<Change>{
            {kMediumChanged, node}, {kUnmountRequested, node}, {kMounted, node}, {kMediumChanged, node}}));
}

// A real mount and unmount reach the notice function within a second each.
TEST(CVolumeWatcherLinux, SeesARealMountAndUnmount)
{
    const rifftest::TempFolder folder;
    mounttest::TmpfsMount mount(folder / "mnt");
    if (!mount.CanMount())
        GTEST_SKIP() << mount.WhyNot();

    mounttest::NoticeQueue queue;
    CVolumeWatcherLinux watcher(queue.Function());
    ASSERT_TRUE(watcher.Start());
    ASSERT_TRUE(mount.Mount());
    EXPECT_TRUE(queue.WaitFor(kMounted, mount.Path(), 1000));
    ASSERT_TRUE(mount.Unmount());
    EXPECT_TRUE(queue.WaitFor(kUnmounted, mount.Path(), 1000));
    watcher.Stop();
}
