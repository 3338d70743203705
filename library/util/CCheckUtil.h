#pragma once

// Internal consistency checks that report and go on.
//
// A failed check prints "JUCE Assertion failure in <file>, line <n>" to the
// standard error stream, in every build, and the caller goes on: it returns
// an empty value or leaves its state unchanged. A check never stops the
// program.
class CCheckUtil
{
public:
    CCheckUtil() = delete;

    // Prints the report of a check that failed at file and line.
    static void ReportFailure(const char* file, int line);

    // True on the framework's message thread, and on a thread that holds the
    // message-manager lock; false elsewhere and when no message manager
    // exists.
    static bool IsMessageThread();
};

// True when the condition holds; otherwise reports the failure and gives false.
#define VX_CHECK(condition) ((condition) ? true : (CCheckUtil::ReportFailure(__FILE__, __LINE__), false))

// Reports a call made neither on the message thread nor under the
// message-manager lock, and goes on.
#define VX_ASSERT_MESSAGE_THREAD() static_cast<void>(VX_CHECK(CCheckUtil::IsMessageThread()))
