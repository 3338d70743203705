#include "library/util/CCheckUtil.h"

#include <juce_events/juce_events.h>

#include <cstdio>

void CCheckUtil::ReportFailure(const char* file, int line)
{
    std::fprintf(stderr, "JUCE Assertion failure in %s, line %d\n", file != nullptr ? file : "?", line);
    std::fflush(stderr);
}

bool CCheckUtil::IsMessageThread()
{
    juce::MessageManager* mm = juce::MessageManager::getInstanceWithoutCreating();
    return mm != nullptr && mm->currentThreadHasLockedMessageManager();
}
