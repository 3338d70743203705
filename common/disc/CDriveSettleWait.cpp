#include "common/disc/CDriveSettleWait.h"

#include <chrono>

bool CDriveSettleWait::Pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_lock);
    return !m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_bAbandoned; });
}

void CDriveSettleWait::SetAbandoned(bool abandoned)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bAbandoned = abandoned;
    }
    m_changed.notify_all();
}

bool CDriveSettleWait::IsAbandoned()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bAbandoned;
}
