#pragma once

#include <juce_events/juce_events.h>

#include <cstdint>
#include <memory>

class CVolumeWatcherLinux;

// The kinds of volume notices.
enum eDeviceChangeType : int
{
    kDeviceChangeVolumeMounted = 0,
    kDeviceChangeVolumeUnmounted = 1,
    // Sent before a volume is unmounted, so that open files can be released.
    kDeviceChangeUnmountRequested = 2,
    // A CD drive's medium may have changed (any disc, a blank one included,
    // came or went): the drive's device node. Only a watcher asked for it
    // sends it (CVolumeWatcherLinux::SetReportsMediumChanges); the
    // broadcaster's does not.
    kDeviceChangeMediumChanged = 3
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
    // The root path of the volume in normalised form (CVolumePath); empty
    // when it was not found.
    const juce::String path;
};

// Turns the system's notices about volumes (mounted, unmounted, about to be
// unmounted) into messages for the parts that care about inserted and
// removed discs. Each registered listener receives every notice as a
// DeviceChangeMessage carrying the id it registered with. The system's
// notices come from CVolumeWatcherLinux: mounts and unmounts, audio CDs
// inserted and removed (their drive's device node), and a drive's eject
// request (unmount requested for the drive and its mounts).
//
// Threads. Listeners are added, removed and notified from any thread; the
// messages are delivered later on the message thread. Locks. The listener
// list is guarded by the broadcaster's lock, which a delivery also holds
// while the listener's handleMessage runs: once removeMessageListener has
// returned, no notice runs in that listener or reaches it later, even one
// posted before. A listener must not wait in handleMessage for a thread
// that notifies. The watcher's thread notifies under the same lock.
class DeviceChangeBroadcaster : public juce::DeletedAtShutdown
{
public:
    // The process-wide broadcaster, watching the system's volumes, created on
    // first use; the framework deletes it at shutdown. Asked again after
    // that, it reports the consistency failure and gives null.
    static DeviceChangeBroadcaster* getInstance();

    // With watchSystem, the system's volume notices are broadcast from the
    // start (when the mount table can be read); without, only what
    // broadcastMessageCallback is given.
    explicit DeviceChangeBroadcaster(bool watchSystem = false);
    ~DeviceChangeBroadcaster() override;

    DeviceChangeBroadcaster(const DeviceChangeBroadcaster&) = delete;
    DeviceChangeBroadcaster& operator=(const DeviceChangeBroadcaster&) = delete;

    // Registers the listener with the id; nothing changes (not even the id)
    // when it is registered already. Null is ignored.
    void addMessageListener(juce::MessageListener* listener, int id);
    // Ends the listener's registration; notices posted to it before and not
    // yet delivered are dropped.
    void removeMessageListener(juce::MessageListener* listener);

    // Posts a notice of the kind (eDeviceChangeType) about the volume at path
    // (normalised first) to every registered listener, in registration
    // order. The system's watcher calls it; so may anyone who learns of a
    // volume change.
    void broadcastMessageCallback(int kind, const juce::String& path);

    // Whether the system's volumes are watched.
    bool isWatchingSystem() const { return m_watcher != nullptr; }

    // The registrations; shared with the notices in flight.
    struct Registry;

private:
    std::shared_ptr<Registry> m_registry;
    std::unique_ptr<CVolumeWatcherLinux> m_watcher;
};
