#pragma once

#include "library/util/CCheckUtil.h"

#include <atomic>

namespace TestSupport
{
// Makes every failed consistency check or thread rule fail the running test,
// with the rule and its place. Installed by the test programs' main.
void FailTestOnCheckReports();

// Within its scope a failed check is counted instead of failing the test, for
// tests that break a rule on purpose and expect it reported. Scopes do not
// nest.
class ScopedCheckReports
{
public:
    ScopedCheckReports();
    ~ScopedCheckReports();
    ScopedCheckReports(const ScopedCheckReports&) = delete;
    ScopedCheckReports& operator=(const ScopedCheckReports&) = delete;

    // Failed checks reported since the scope began.
    int Count() const;

private:
    CCheckUtil::FailureHandler m_previous;
    int m_start;
};
} // namespace TestSupport
