#include "src/jucer_components/DiscDrivePoller.h"

#include "common/disc/CAudioDiscBurnBase.h"

namespace Vextal
{
DiscDrivePoller::DiscDrivePoller(Burner burner, Look look, OnChange onChange, int intervalMs)
    : juce::Thread("Disc Reload Thread"), m_burner(std::move(burner)), m_look(std::move(look)),
      m_onChange(std::move(onChange)), m_intervalMs(intervalMs)
{
}

DiscDrivePoller::~DiscDrivePoller()
{
    stop();
}

void DiscDrivePoller::start()
{
    if (isThreadRunning())
        return;
    {
        const juce::ScopedLock lock(m_lock);
        m_bSeen = false;
    }
    m_polling = true;
    startThread();
}

void DiscDrivePoller::stop()
{
    m_polling = false;
    if (isThreadRunning())
    {
        signalThreadShouldExit();
        notify();
        CAudioDiscBurnBase* burner = m_burner();
        if (burner != nullptr)
            burner->SetMediumWaitsAbandoned(true);
        waitForThreadToExit(-1);
        if (burner != nullptr)
            burner->SetMediumWaitsAbandoned(false);
    }
    cancelPendingUpdate();
}

void DiscDrivePoller::run()
{
    while (!threadShouldExit())
    {
        wait(m_intervalMs);
        if (threadShouldExit())
            break;
        const Observation seen = m_look(m_burner());
        if (threadShouldExit())
            break;
        bool changed = false;
        {
            const juce::ScopedLock lock(m_lock);
            if (!m_bSeen || !(seen == m_seen))
            {
                m_seen = seen;
                m_bSeen = true;
                changed = true;
            }
        }
        if (changed)
            triggerAsyncUpdate();
    }
}

void DiscDrivePoller::handleAsyncUpdate()
{
    Observation seen;
    {
        const juce::ScopedLock lock(m_lock);
        seen = m_seen;
    }
    m_onChange(seen);
}
} // namespace Vextal
