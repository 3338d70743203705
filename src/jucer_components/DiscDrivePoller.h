#pragma once

#include <juce_events/juce_events.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class CAudioDiscBurnBase;

namespace Vextal
{
// The disc-burn sheet's watcher of the burner's open drive: a thread ("Disc
// Reload Thread") that looks at the medium every interval and hands what it
// saw to the message thread when it changed, so the message thread never
// waits on the drive for it.
//
// Stopping is never a kill: stop asks the thread to end, wakes it, abandons
// the burner's wait for a settling drive (a real drive can take seconds) and
// waits for the thread without a time-out; then the burner's waits are
// allowed again. Whatever the look held (the burner's locks) is released by
// its own code, so the drive is usable after.
//
// Threads. start, stop and the destructor on the message thread; the look
// runs on the watcher's thread; onChange is called on the message thread,
// never after stop has returned.
class DiscDrivePoller : private juce::Thread, private juce::AsyncUpdater
{
public:
    // What a look saw of the medium.
    struct Observation
    {
        juce::String stateText;
        int discType = -1;
        std::vector<uint32_t> writeSpeedsKbps;

        bool operator==(const Observation& o) const
        {
            return stateText == o.stateText && discType == o.discType && writeSpeedsKbps == o.writeSpeedsKbps;
        }
    };

    using Burner = std::function<CAudioDiscBurnBase*()>;
    using Look = std::function<Observation(CAudioDiscBurnBase*)>;
    using OnChange = std::function<void(const Observation&)>;

    DiscDrivePoller(Burner burner, Look look, OnChange onChange, int intervalMs);
    ~DiscDrivePoller() override;

    // Starts watching (the first look after one interval); a running watcher
    // is left as it is.
    void start();
    // Ends the watcher and drops a pending change.
    void stop();
    bool isPolling() const { return isThreadRunning() && m_polling.load(); }

private:
    void run() override;
    void handleAsyncUpdate() override;

    const Burner m_burner;
    const Look m_look;
    const OnChange m_onChange;
    const int m_intervalMs;
    std::atomic<bool> m_polling{false};
    // The last observation: written by the thread, read by the message
    // thread, both under m_lock.
    juce::CriticalSection m_lock;
    Observation m_seen;
    bool m_bSeen = false;

    JUCE_DECLARE_NON_COPYABLE(DiscDrivePoller)
};
} // namespace Vextal
