#pragma once

#include "library/util/CListenerList.h"

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
    void AddListener(T* listener) { m_list.Add(listener); }
    // Erases the first entry equal to listener; nothing when it is absent.
    void RemoveListener(T* listener) { m_list.Remove(listener); }
    void RemoveAllListeners() { m_list.RemoveAll(); }
    int GetNumListeners() const { return m_list.Size(); }
    bool IsListener(const T* listener) const { return m_list.Contains(listener); }
    // A copy of the list in its order.
    std::vector<T*> GetListeners() const { return m_list.Copy(); }

    // Calls f(T&) for every listener in list order.
    template <typename F>
    void CallListeners(F&& f)
    {
        m_list.Call(f);
    }

private:
    CListenerList<T, CNoLock> m_list;
};
