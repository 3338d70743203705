#pragma once

#include <juce_core/juce_core.h>

#include "library/util/CListenerList.h"

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
    virtual juce::CriticalSection& ObtainCriticalSection() { return m_list.GetLock(); }

    // Appends listener; adding it twice makes two entries (and two notices per
    // pass). A null listener is ignored.
    void AddListener(T* listener) { m_list.Add(listener); }
    // Erases the first entry equal to listener; nothing when it is absent.
    void RemoveListener(T* listener) { m_list.Remove(listener); }
    void RemoveAllListeners() { m_list.RemoveAll(); }
    int GetNumListeners() const { return m_list.Size(); }
    bool IsListener(const T* listener) const { return m_list.Contains(listener); }
    // A copy of the list in its order.
    std::vector<T*> GetListeners() const { return m_list.Copy(); }

    // Calls f(T&) for every listener in list order, without holding the
    // owner's notification lock.
    template <typename F>
    void CallListeners(F&& f)
    {
        m_list.Call(f);
    }

    // Calls f(T&) for every listener in list order while holding
    // ObtainCriticalSection().
    template <typename F>
    void CallListenersLocked(F&& f)
    {
        const juce::ScopedLock sl(ObtainCriticalSection());
        m_list.Call(f);
    }

private:
    CListenerList<T, juce::CriticalSection> m_list;
};
