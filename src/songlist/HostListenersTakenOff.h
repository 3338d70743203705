#pragma once

#include "src/songlist/CVXHost.h"

#include <vector>

// Takes every listener off the host for the life of the object and puts them
// back in their order: for work that changes many songs in a row (adding
// songs, opening a songlist), after which the listeners get one notice.
// Message thread.
class HostListenersTakenOff
{
public:
    explicit HostListenersTakenOff(CVXHost& host) : m_host(host), m_listeners(host.GetListeners())
    {
        for (CVXHostListener* listener : m_listeners)
            m_host.RemoveListener(listener);
    }
    ~HostListenersTakenOff()
    {
        for (CVXHostListener* listener : m_listeners)
            m_host.AddListener(listener);
    }
    HostListenersTakenOff(const HostListenersTakenOff&) = delete;
    HostListenersTakenOff& operator=(const HostListenersTakenOff&) = delete;

private:
    CVXHost& m_host;
    std::vector<CVXHostListener*> m_listeners;
};
