#pragma once

#include <condition_variable>
#include <mutex>

// The wait of a look at a drive's medium for the drive to settle (a disc
// being loaded answers "not ready" for seconds), which a watcher that is
// stopping can abandon.
//
// While abandoned, every wait ends at once, and a wait in progress ends when
// the abandon comes; the owner of the look then answers that the medium is
// still being loaded. Abandoning takes only this object's own lock, never
// the lock a look at the medium holds, so it reaches a look that is waiting.
//
// Threads. Any thread may wait or abandon.
class CDriveSettleWait
{
public:
    // Waits ms milliseconds; false when abandoned.
    bool Pause(int ms);
    // Sets or clears the abandon; setting it ends the waits in progress.
    void SetAbandoned(bool abandoned);
    bool IsAbandoned();

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bAbandoned = false;
};
