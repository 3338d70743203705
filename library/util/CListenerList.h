#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// A lock that does nothing, for lists used on one thread only.
struct CNoLock
{
    void enter() const noexcept {}
    void exit() const noexcept {}
};

// A list of borrowed listeners of the interface T, guarded by Lock (any type
// with const enter() and exit(), such as juce::CriticalSection or CNoLock).
//
// A notification pass reads each entry under the lock and calls it outside
// the lock. Every listener that stays in the list is notified exactly once
// per pass, whatever is added or removed meanwhile (by a listener, itself
// included, or by another thread when the lock is real); listeners added
// during a pass are first notified in the next pass.
template <typename T, typename Lock>
class CListenerList
{
public:
    CListenerList() = default;
    CListenerList(const CListenerList&) = delete;
    CListenerList& operator=(const CListenerList&) = delete;

    Lock& GetLock() const { return m_lock; }

    // Appends listener; adding it twice makes two entries. Null is ignored.
    void Add(T* listener)
    {
        if (listener == nullptr)
            return;
        const Guard guard(m_lock);
        m_listeners.push_back(listener);
    }

    // Erases the first entry equal to listener; nothing when it is absent.
    void Remove(T* listener)
    {
        const Guard guard(m_lock);
        const auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
        if (it == m_listeners.end())
            return;
        const std::size_t position = static_cast<std::size_t>(it - m_listeners.begin());
        m_listeners.erase(it);
        for (Walk* walk : m_walks)
            walk->Erased(position);
    }

    void RemoveAll()
    {
        const Guard guard(m_lock);
        m_listeners.clear();
        for (Walk* walk : m_walks)
            walk->next = walk->end = 0;
    }

    int Size() const
    {
        const Guard guard(m_lock);
        return static_cast<int>(m_listeners.size());
    }

    bool Contains(const T* listener) const
    {
        const Guard guard(m_lock);
        return std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end();
    }

    // A copy of the list in its order.
    std::vector<T*> Copy() const
    {
        const Guard guard(m_lock);
        return m_listeners;
    }

    // Calls f(T&) for every listener in list order.
    template <typename F>
    void Call(F&& f)
    {
        Walk walk;
        const WalkRegistration registration(*this, walk);
        for (;;)
        {
            T* listener = nullptr;
            {
                const Guard guard(m_lock);
                if (walk.next >= walk.end)
                    break;
                listener = m_listeners[walk.next++];
            }
            f(*listener);
        }
    }

private:
    class Guard
    {
    public:
        explicit Guard(const Lock& lock) : m_held(lock) { m_held.enter(); }
        ~Guard() { m_held.exit(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        const Lock& m_held;
    };

    // The position of one notification pass in progress: the next entry to
    // notify and the end of the entries that were present when it began.
    // Removals shift both so that no remaining entry is skipped or repeated.
    // Both are read and changed under the lock only.
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

    // Registers a walk with the list for as long as it runs (also when a
    // listener throws); the walk starts at the list's current length.
    class WalkRegistration
    {
    public:
        WalkRegistration(CListenerList& list, Walk& walk) : m_list(list), m_walk(walk)
        {
            const Guard guard(m_list.m_lock);
            m_walk.end = m_list.m_listeners.size();
            m_list.m_walks.push_back(&m_walk);
        }
        ~WalkRegistration()
        {
            const Guard guard(m_list.m_lock);
            auto& walks = m_list.m_walks;
            walks.erase(std::find(walks.begin(), walks.end(), &m_walk));
        }
        WalkRegistration(const WalkRegistration&) = delete;
        WalkRegistration& operator=(const WalkRegistration&) = delete;

    private:
        CListenerList& m_list;
        Walk& m_walk;
    };

    mutable Lock m_lock;
    std::vector<T*> m_listeners;
    std::vector<Walk*> m_walks;
};
