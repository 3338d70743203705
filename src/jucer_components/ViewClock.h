#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <functional>

namespace Vextal
{
// The clock of the views that time what the user does or sees (a held button,
// a held peak, the clip light): milliseconds of a monotonic counter. Views
// take one so that a test can set the time; the default is the system's.
using ViewClock = std::function<int64_t()>;

inline int64_t systemViewMilliseconds()
{
    return static_cast<int64_t>(juce::Time::getMillisecondCounterHiRes());
}

// The clock given, or the system's when none is.
inline ViewClock viewClockOrSystem(ViewClock clock)
{
    return clock != nullptr ? std::move(clock) : ViewClock(&systemViewMilliseconds);
}
} // namespace Vextal
