#include "common/disc/DeviceChangeBroadcaster.h"

#include "tests/common/disc/linux/MountTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
class RecordingListener : public juce::MessageListener
{
public:
    void handleMessage(const juce::Message& m) override
    {
        const auto* notice = dynamic_cast<const DeviceChangeMessage*>(&m);
        ASSERT_NE(notice, nullptr);
        EXPECT_TRUE(juce::MessageManager::existsAndIsCurrentThread());
        got.push_back(std::to_string(notice->intParameter1) + " " + std::to_string(notice->intParameter2) +
                      " " + notice->path.toStdString());
    }
    std::vector<std::string> got;
};

void Dispatch()
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
}
} // namespace

// Each notice reaches every registered listener on the message thread, with
// the id that listener registered with; a listener registers once (its
// first id stays); paths arrive in normalised form.
TEST(DeviceChangeBroadcaster, PostsToEveryListenerWithItsId)
{
    juce::ScopedJuceInitialiser_GUI gui;
    RecordingListener a, b;
    DeviceChangeBroadcaster broadcaster;
    EXPECT_FALSE(broadcaster.isWatchingSystem());
    broadcaster.broadcastMessageCallback(kDeviceChangeVolumeMounted, "/none");
    broadcaster.addMessageListener(&a, 1);
    broadcaster.addMessageListener(&a, 5);
    broadcaster.addMessageListener(&b, 0);
    broadcaster.addMessageListener(nullptr, 3);
    broadcaster.broadcastMessageCallback(kDeviceChangeUnmountRequested, "/media//disc/");
    broadcaster.broadcastMessageCallback(kDeviceChangeVolumeUnmounted, "/media/./x/../disc");
    Dispatch();
    EXPECT_EQ(a.got, (std::vector<std::string>{"1 2 /media/disc", "1 1 /media/disc"}));
    EXPECT_EQ(b.got, (std::vector<std::string>{"0 2 /media/disc", "0 1 /media/disc"}));
}

// Once a listener is removed nothing reaches it, not even a notice posted
// while it was registered; registered again (with another id), it receives
// only what comes after, with the new id. A listener deleted with notices on
// their way receives nothing, and nothing fails.
TEST(DeviceChangeBroadcaster, NothingReachesARemovedListener)
{
    juce::ScopedJuceInitialiser_GUI gui;
    RecordingListener kept, removed;
    auto deleted = std::make_unique<RecordingListener>();
    DeviceChangeBroadcaster broadcaster;
    broadcaster.addMessageListener(&kept, 1);
    broadcaster.addMessageListener(&removed, 0);
    broadcaster.addMessageListener(deleted.get(), 7);
    broadcaster.broadcastMessageCallback(kDeviceChangeVolumeMounted, "/media/a");
    broadcaster.removeMessageListener(&removed);
    broadcaster.addMessageListener(&removed, 4);
    broadcaster.broadcastMessageCallback(kDeviceChangeVolumeUnmounted, "/media/a");
    broadcaster.removeMessageListener(deleted.get());
    deleted.reset();
    Dispatch();
    EXPECT_EQ(kept.got, (std::vector<std::string>{"1 0 /media/a", "1 1 /media/a"}));
    EXPECT_EQ(removed.got, (std::vector<std::string>{"4 1 /media/a"}));
}

// Notices posted before the broadcaster is deleted are dropped with it.
TEST(DeviceChangeBroadcaster, NoticesEndWithTheBroadcaster)
{
    juce::ScopedJuceInitialiser_GUI gui;
    RecordingListener listener;
    {
        DeviceChangeBroadcaster broadcaster;
        broadcaster.addMessageListener(&listener, 1);
        broadcaster.broadcastMessageCallback(kDeviceChangeVolumeMounted, "/media/a");
    }
    Dispatch();
    EXPECT_TRUE(listener.got.empty());
}

// Watching the system, a real mount and its unmount reach a listener on the
// message thread within a second each.
TEST(DeviceChangeBroadcaster, ReportsARealMountAndUnmount)
{
    juce::ScopedJuceInitialiser_GUI gui;
    rifftest::TempFolder folder;
    mounttest::TmpfsMount mount(folder / "volume");
    if (!mount.CanMount())
        GTEST_SKIP() << mount.WhyNot();
    RecordingListener listener;
    DeviceChangeBroadcaster broadcaster(true);
    ASSERT_TRUE(broadcaster.isWatchingSystem());
    broadcaster.addMessageListener(&listener, 1);
    const auto arrives = [&](const std::string& notice)
    {
        const auto end = juce::Time::getMillisecondCounter() + 1000;
        while (juce::Time::getMillisecondCounter() < end)
        {
            juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
            for (const std::string& got : listener.got)
                if (got == notice)
                    return true;
        }
        return false;
    };
    ASSERT_TRUE(mount.Mount());
    EXPECT_TRUE(arrives("1 0 " + mount.Path()));
    ASSERT_TRUE(mount.Unmount());
    EXPECT_TRUE(arrives("1 1 " + mount.Path()));
}
