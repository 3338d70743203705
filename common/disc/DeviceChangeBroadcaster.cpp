#include "common/disc/DeviceChangeBroadcaster.h"

#include "library/util/CCheckUtil.h"

#include <algorithm>

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
} // namespace

DeviceChangeBroadcaster* DeviceChangeBroadcaster::getInstance()
{
    const juce::ScopedLock sl(InstanceLock());
    if (s_instance != nullptr)
        return s_instance;
    if (!VX_CHECK(!s_instanceDeleted))
        return nullptr;
    s_instance = new DeviceChangeBroadcaster();
    return s_instance;
}

DeviceChangeBroadcaster::DeviceChangeBroadcaster() = default;

DeviceChangeBroadcaster::~DeviceChangeBroadcaster()
{
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
    const juce::ScopedLock sl(m_lock);
    const bool known = std::any_of(m_listeners.begin(), m_listeners.end(),
                                   [listener](const Registration& r) { return r.listener == listener; });
    if (!known)
        m_listeners.push_back({listener, id});
}

void DeviceChangeBroadcaster::removeMessageListener(juce::MessageListener* listener)
{
    const juce::ScopedLock sl(m_lock);
    m_listeners.erase(std::remove_if(m_listeners.begin(), m_listeners.end(),
                                     [listener](const Registration& r) { return r.listener == listener; }),
                      m_listeners.end());
}

void DeviceChangeBroadcaster::broadcastMessageCallback(int kind, const juce::String& path)
{
    const juce::ScopedLock sl(m_lock);
    for (const Registration& r : m_listeners)
        r.listener->postMessage(new DeviceChangeMessage(r.id, kind, path));
}
