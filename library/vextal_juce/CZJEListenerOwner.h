#pragma once

#include <juce_core/juce_core.h>

#include <algorithm>
#include <cstddef>
#include <vector>

// A list of listeners of the interface T. The listeners are borrowed: the owner
// never deletes them. The list is changed inside the template's own lock and may
// be changed from any thread, also while a notification pass runs.
//
// A notification pass reads each entry under the list lock and calls it outside
// that lock. Every listener that stays in the list is notified exactly once per
// pass, whatever is added or removed meanwhile (by a listener, itself included,
// or by another thread); listeners added during a pass are first notified in the
// next pass. A removed listener may still be in the middle of its notice when
// RemoveListener returns on another thread: owners that delete listeners from
// other threads notify with CallListenersLocked and remove under the same lock.
template <typename T>
class CZJEListenerOwner
{
public:
    CZJEListenerOwner() = default;
    virtual ~CZJEListenerOwner() = default;

    CZJEListenerOwner(const CZJEListenerOwner&) = delete;
    CZJEListenerOwner& operator=(const CZJEListenerOwner&) = delete;

    // The lock an owner holds while it notifies its listeners. Owners that
    // notify under a lock of their own return it; the default is the list lock.
    virtual juce::CriticalSection& ObtainCriticalSection() { return m_listenerLock; }

    // Appends listener; adding it twice makes two entries (and two notices per
    // pass). A null listener is ignored.
    void AddListener(T* listener)
    {
        if (listener == nullptr)
            return;
        const juce::ScopedLock sl(m_listenerLock);
        m_listeners.push_back(listener);
    }

    // Erases the first entry equal to listener; nothing when it is absent.
    void RemoveListener(T* listener)
    {
        const juce::ScopedLock sl(m_listenerLock);
        const auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
        if (it == m_listeners.end())
            return;
        const std::size_t position = static_cast<std::size_t>(it - m_listeners.begin());
        m_listeners.erase(it);
        for (Walk* walk : m_walks)
            walk->Erased(position);
    }

    void RemoveAllListeners()
    {
        const juce::ScopedLock sl(m_listenerLock);
        m_listeners.clear();
        for (Walk* walk : m_walks)
            walk->next = walk->end = 0;
    }

    int GetNumListeners() const
    {
        const juce::ScopedLock sl(m_listenerLock);
        return static_cast<int>(m_listeners.size());
    }

    bool IsListener(const T* listener) const
    {
        const juce::ScopedLock sl(m_listenerLock);
        return std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end();
    }

    // A copy of the list in its order.
    std::vector<T*> GetListeners() const
    {
        const juce::ScopedLock sl(m_listenerLock);
        return m_listeners;
    }

    // Calls f(T&) for every listener in list order, without holding the
    // owner's notification lock.
    template <typename F>
    void CallListeners(F&& f)
    {
        Walk walk;
        WalkRegistration registration(*this, walk);
        for (;;)
        {
            T* listener = nullptr;
            {
                const juce::ScopedLock sl(m_listenerLock);
                if (walk.next >= walk.end)
                    break;
                listener = m_listeners[walk.next++];
            }
            f(*listener);
        }
    }

    // Calls f(T&) for every listener in list order while holding
    // ObtainCriticalSection().
    template <typename F>
    void CallListenersLocked(F&& f)
    {
        const juce::ScopedLock sl(ObtainCriticalSection());
        CallListeners(f);
    }

private:
    // The position of one notification pass in progress: the next entry to
    // notify and the end of the entries that were present when it began.
    // Removals shift both so that no remaining entry is skipped or repeated.
    // Both are read and changed under the list lock only.
    struct Walk
    {
        std::size_t next = 0;
        std::size_t end = 0;

        void Erased(std::size_t position)
        {
            if (position < next)
                --next;
            if (position < end)
                --end;
        }
    };

    // Registers a walk with the owner for as long as it runs (also when a
    // listener throws); the walk starts at the list's current length.
    class WalkRegistration
    {
    public:
        WalkRegistration(CZJEListenerOwner& owner, Walk& walk) : m_owner(owner), m_walk(walk)
        {
            const juce::ScopedLock sl(m_owner.m_listenerLock);
            m_walk.end = m_owner.m_listeners.size();
            m_owner.m_walks.push_back(&m_walk);
        }
        ~WalkRegistration()
        {
            const juce::ScopedLock sl(m_owner.m_listenerLock);
            auto& walks = m_owner.m_walks;
            walks.erase(std::find(walks.begin(), walks.end(), &m_walk));
        }
        WalkRegistration(const WalkRegistration&) = delete;
        WalkRegistration& operator=(const WalkRegistration&) = delete;

    private:
        CZJEListenerOwner& m_owner;
        Walk& m_walk;
    };

    mutable juce::CriticalSection m_listenerLock;
    std::vector<T*> m_listeners;
    std::vector<Walk*> m_walks;
};
