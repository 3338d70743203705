#include "library/util/CCheckUtil.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <cstdio>

namespace
{
std::atomic<CCheckUtil::FailureHandler> g_handler{&CCheckUtil::PrintFailure};
} // namespace

void CCheckUtil::ReportFailure(const char* file, int line, const char* rule)
{
    g_handler.load(std::memory_order_acquire)(file != nullptr ? file : "?", line,
                                              rule != nullptr ? rule : "");
}

CCheckUtil::FailureHandler CCheckUtil::SetFailureHandler(FailureHandler handler)
{
    return g_handler.exchange(handler != nullptr ? handler : &CCheckUtil::PrintFailure,
                              std::memory_order_acq_rel);
}

void CCheckUtil::PrintFailure(const char* file, int line, const char* rule)
{
    std::fprintf(stderr, "JUCE Assertion failure in %s, line %d: %s\n", file, line, rule);
    std::fflush(stderr);
}

bool CCheckUtil::IsMessageThread()
{
    juce::MessageManager* mm = juce::MessageManager::getInstanceWithoutCreating();
    return mm != nullptr && mm->currentThreadHasLockedMessageManager();
}
