#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// A list of listeners of the interface T for an owner that lives on the message
// thread. The listeners are borrowed: the owner never deletes them. No lock: the
// list is changed and notified on the message thread only.
//
// A listener may add or remove listeners (itself included) while it is being
// notified: every listener that stays in the list is notified exactly once per
// CallListeners pass, and listeners added during a pass are first notified in
// the next pass.
template <typename T>
class CZfcListenerOwner
{
public:
    CZfcListenerOwner() = default;
    ~CZfcListenerOwner() = default;

    CZfcListenerOwner(const CZfcListenerOwner&) = delete;
    CZfcListenerOwner& operator=(const CZfcListenerOwner&) = delete;

    // Appends listener; adding it twice makes two entries (and two notices per
    // pass). A null listener is ignored.
    void AddListener(T* listener)
    {
        if (listener == nullptr)
            return;
        m_listeners.push_back(listener);
    }

    // Erases the first entry equal to listener; nothing when it is absent.
    void RemoveListener(T* listener)
    {
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
        m_listeners.clear();
        for (Walk* walk : m_walks)
            walk->next = walk->end = 0;
    }

    int GetNumListeners() const { return static_cast<int>(m_listeners.size()); }

    bool IsListener(const T* listener) const
    {
        return std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end();
    }

    // A copy of the list in its order.
    std::vector<T*> GetListeners() const { return m_listeners; }

    // Calls f(T&) for every listener in list order.
    template <typename F>
    void CallListeners(F&& f)
    {
        Walk walk;
        walk.end = m_listeners.size();
        WalkRegistration registration(*this, walk);
        while (walk.next < walk.end)
        {
            T* listener = m_listeners[walk.next++];
            f(*listener);
        }
    }

private:
    // The position of one notification pass in progress: the next entry to
    // notify and the end of the entries that were present when it began.
    // Removals shift both so that no remaining entry is skipped or repeated.
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

    // Keeps a walk in the owner's list of active walks while it runs, also
    // when a listener throws.
    class WalkRegistration
    {
    public:
        WalkRegistration(CZfcListenerOwner& owner, Walk& walk) : m_owner(owner), m_walk(walk)
        {
            m_owner.m_walks.push_back(&m_walk);
        }
        ~WalkRegistration()
        {
            auto& walks = m_owner.m_walks;
            walks.erase(std::find(walks.begin(), walks.end(), &m_walk));
        }
        WalkRegistration(const WalkRegistration&) = delete;
        WalkRegistration& operator=(const WalkRegistration&) = delete;

    private:
        CZfcListenerOwner& m_owner;
        Walk& m_walk;
    };

    std::vector<T*> m_listeners;
    std::vector<Walk*> m_walks;
};
