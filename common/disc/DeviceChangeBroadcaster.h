#pragma once

#include <juce_events/juce_events.h>

#include <vector>

// The kinds of volume notices.
enum eDeviceChangeType : int
{
    kDeviceChangeVolumeMounted = 0,
    kDeviceChangeVolumeUnmounted = 1,
    // Sent before a volume is unmounted, so that open files can be released.
    kDeviceChangeUnmountRequested = 2
};

// A volume notice as it reaches a listener's handleMessage on the message
// thread.
class DeviceChangeMessage : public juce::Message
{
public:
    DeviceChangeMessage(int listenerId, int kind, const juce::String& volumePath)
        : intParameter1(listenerId), intParameter2(kind), path(volumePath)
    {
    }

    // The id the receiving listener registered with.
    const int intParameter1;
    // The eDeviceChangeType.
    const int intParameter2;
    const int intParameter3 = 0;
    void* const pointerParameter = nullptr;
    // The root path of the volume; empty when it was not found.
    const juce::String path;
};

// Turns the system's notices about volumes (mounted, unmounted, about to be
// unmounted) into messages for the parts that care about inserted and
// removed discs. Each registered listener receives every notice as a
// DeviceChangeMessage posted to it, carrying the id it registered with.
//
// Threads. Listeners are added, removed and notified under the broadcaster's
// lock, from any thread; the messages are delivered later on the message
// thread, and a listener deleted meanwhile receives nothing.
class DeviceChangeBroadcaster : public juce::DeletedAtShutdown
{
public:
    // The process-wide broadcaster, created on first use; the framework
    // deletes it at shutdown. Asked again after that, it reports the
    // consistency failure and gives null.
    static DeviceChangeBroadcaster* getInstance();

    DeviceChangeBroadcaster();
    ~DeviceChangeBroadcaster() override;

    DeviceChangeBroadcaster(const DeviceChangeBroadcaster&) = delete;
    DeviceChangeBroadcaster& operator=(const DeviceChangeBroadcaster&) = delete;

    // Registers the listener with the id; nothing changes (not even the id)
    // when it is registered already. Null is ignored.
    void addMessageListener(juce::MessageListener* listener, int id);
    void removeMessageListener(juce::MessageListener* listener);

    // Posts a notice of the kind (eDeviceChangeType) about the volume at path
    // to every registered listener, in registration order. The system's
    // watchers call it; so may anyone who learns of a volume change.
    void broadcastMessageCallback(int kind, const juce::String& path);

private:
    struct Registration
    {
        juce::MessageListener* listener;
        int id;
    };

    juce::CriticalSection m_lock;
    std::vector<Registration> m_listeners;
};
