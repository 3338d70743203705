#include "tests/support/CheckReports.h"

#include <gtest/gtest.h>

namespace
{
std::atomic<int> g_counted{0};

void FailTest(const char* file, int line, const char* rule)
{
    ADD_FAILURE_AT(file, line) << "broken rule: " << rule;
}

void CountReport(const char*, int, const char*)
{
    g_counted.fetch_add(1);
}
} // namespace

namespace TestSupport
{
void FailTestOnCheckReports()
{
    CCheckUtil::SetFailureHandler(&FailTest);
}

ScopedCheckReports::ScopedCheckReports()
    : m_previous(CCheckUtil::SetFailureHandler(&CountReport)), m_start(g_counted.load())
{
}

ScopedCheckReports::~ScopedCheckReports()
{
    CCheckUtil::SetFailureHandler(m_previous);
}

int ScopedCheckReports::Count() const
{
    return g_counted.load() - m_start;
}
} // namespace TestSupport
