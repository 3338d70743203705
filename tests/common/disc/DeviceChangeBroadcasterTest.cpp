#include "common/disc/DeviceChangeBroadcaster.h"

#include <gtest/gtest.h>

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
} // namespace

// Each notice reaches every registered listener on the message thread, with
// the id that listener registered with; a listener registers once (its
// first id stays), and after removal it receives nothing more.
TEST(DeviceChangeBroadcaster, PostsToEveryListenerWithItsId)
{
    juce::ScopedJuceInitialiser_GUI gui;
    RecordingListener a, b;
    DeviceChangeBroadcaster broadcaster;
    broadcaster.broadcastMessageCallback(kDeviceChangeVolumeMounted, "/none");
    broadcaster.addMessageListener(&a, 1);
    broadcaster.addMessageListener(&a, 5);
    broadcaster.addMessageListener(&b, 0);
    broadcaster.addMessageListener(nullptr, 3);
    broadcaster.broadcastMessageCallback(kDeviceChangeUnmountRequested, "/media/disc");
    broadcaster.removeMessageListener(&b);
    broadcaster.broadcastMessageCallback(kDeviceChangeVolumeUnmounted, "/media/disc");
    juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
    EXPECT_EQ(a.got, (std::vector<std::string>{"1 2 /media/disc", "1 1 /media/disc"}));
    EXPECT_EQ(b.got, (std::vector<std::string>{"0 2 /media/disc"}));
}
