#include "common/disc/DeviceChangeBroadcaster.h"

#include "common/disc/CVolumePath.h"
#include "common/disc/linux/CVolumeWatcherLinux.h"
#include "library/util/CCheckUtil.h"

#include <algorithm>
#include <vector>

struct DeviceChangeBroadcaster::Registry
{
    struct Registration
    {
        juce::MessageListener* listener;
        // Made here, once: the deliveries copy it (which any thread may do).
        juce::WeakReference<juce::MessageListener> weak;
        int id;
        // Unique over the registry's life: a listener removed and added again
        // gets a new token, so notices of its old registration are dropped.
        uint64_t token;
    };

    bool IsRegistered(uint64_t token) const
    {
        return std::any_of(listeners.begin(), listeners.end(),
                           [token](const Registration& r) { return r.token == token; });
    }

    juce::CriticalSection lock;
    std::vector<Registration> listeners;
    uint64_t nextToken = 1;
};

namespace
{
juce::CriticalSection& InstanceLock()
{
    static juce::CriticalSection lock;
    return lock;
}

DeviceChangeBroadcaster* s_instance = nullptr;
// Set once the instance made by getInstance has been deleted.
bool s_instanceDeleted = false;

// Delivers one notice on the message thread, under the registry's lock, to a
// listener that is still registered under the same token and still exists.
class Delivery : public juce::MessageManager::MessageBase
{
public:
    Delivery(std::shared_ptr<DeviceChangeBroadcaster::Registry> registry, uint64_t token,
             juce::WeakReference<juce::MessageListener> listener, DeviceChangeMessage* notice)
        : m_registry(std::move(registry)), m_token(token), m_listener(std::move(listener)), m_notice(notice)
    {
    }

    void messageCallback() override
    {
        const juce::ScopedLock sl(m_registry->lock);
        if (juce::MessageListener* listener = m_listener.get())
            if (m_registry->IsRegistered(m_token))
                listener->handleMessage(*m_notice);
    }

private:
    std::shared_ptr<DeviceChangeBroadcaster::Registry> m_registry;
    uint64_t m_token;
    juce::WeakReference<juce::MessageListener> m_listener;
    juce::Message::Ptr m_notice;
};
} // namespace

DeviceChangeBroadcaster* DeviceChangeBroadcaster::getInstance()
{
    const juce::ScopedLock sl(InstanceLock());
    if (s_instance != nullptr)
        return s_instance;
    if (!VX_CHECK(!s_instanceDeleted))
        return nullptr;
    s_instance = new DeviceChangeBroadcaster(true);
    return s_instance;
}

DeviceChangeBroadcaster::DeviceChangeBroadcaster(bool watchSystem) : m_registry(std::make_shared<Registry>())
{
    if (!watchSystem)
        return;
    m_watcher = std::make_unique<CVolumeWatcherLinux>(
        [this](int kind, const std::string& path)
        { broadcastMessageCallback(kind, juce::String::fromUTF8(path.c_str())); });
    if (!m_watcher->Start())
        m_watcher.reset();
}

DeviceChangeBroadcaster::~DeviceChangeBroadcaster()
{
    m_watcher.reset();
    {
        const juce::ScopedLock sl(m_registry->lock);
        m_registry->listeners.clear();
    }
    const juce::ScopedLock sl(InstanceLock());
    if (s_instance == this)
    {
        s_instance = nullptr;
        s_instanceDeleted = true;
    }
}

void DeviceChangeBroadcaster::addMessageListener(juce::MessageListener* listener, int id)
{
    if (listener == nullptr)
        return;
    const juce::ScopedLock sl(m_registry->lock);
    auto& listeners = m_registry->listeners;
    const bool known =
        std::any_of(listeners.begin(), listeners.end(),
                    [listener](const Registry::Registration& r) { return r.listener == listener; });
    if (!known)
        listeners.push_back(
            {listener, juce::WeakReference<juce::MessageListener>(listener), id, m_registry->nextToken++});
}

void DeviceChangeBroadcaster::removeMessageListener(juce::MessageListener* listener)
{
    const juce::ScopedLock sl(m_registry->lock);
    auto& listeners = m_registry->listeners;
    listeners.erase(std::remove_if(listeners.begin(), listeners.end(),
                                   [listener](const Registry::Registration& r)
                                   { return r.listener == listener; }),
                    listeners.end());
}

void DeviceChangeBroadcaster::broadcastMessageCallback(int kind, const juce::String& path)
{
    const juce::String volume = CVolumePath::Normalise(path);
    const juce::ScopedLock sl(m_registry->lock);
    for (const Registry::Registration& r : m_registry->listeners)
        (new Delivery(m_registry, r.token, r.weak, new DeviceChangeMessage(r.id, kind, volume)))->post();
}
