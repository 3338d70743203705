#pragma once

// Internal consistency checks that report and go on.
//
// Every failed check, thread rules included, goes to one handler. The default
// handler prints "JUCE Assertion failure in <file>, line <n>: <rule>" to the
// standard error stream, in every build, and the caller goes on: it returns
// an empty value or leaves its state unchanged. A check never stops the
// program. Test programs install a handler that fails the running test.
class CCheckUtil
{
public:
    CCheckUtil() = delete;

    // Receives the place of a failed check and the rule it states.
    using FailureHandler = void (*)(const char* file, int line, const char* rule);

    // Hands a check that failed at file and line to the handler. Any thread.
    static void ReportFailure(const char* file, int line, const char* rule = nullptr);

    // Makes handler receive every failed check from now on (null: the
    // default); returns the handler it replaces. Any thread.
    static FailureHandler SetFailureHandler(FailureHandler handler);

    // The default handler: prints the report.
    static void PrintFailure(const char* file, int line, const char* rule);

    // True on the framework's message thread, and on a thread that holds the
    // message-manager lock; false elsewhere and when no message manager
    // exists.
    static bool IsMessageThread();
};

// True when the condition holds; otherwise reports the failure and gives false.
#define VX_CHECK(condition)                                                                                  \
    ((condition) ? true : (CCheckUtil::ReportFailure(__FILE__, __LINE__, #condition), false))

// Reports a call made neither on the message thread nor under the
// message-manager lock, and goes on.
#define VX_ASSERT_MESSAGE_THREAD()                                                                           \
    static_cast<void>(CCheckUtil::IsMessageThread()                                                          \
                          ? true                                                                             \
                          : (CCheckUtil::ReportFailure(__FILE__, __LINE__,                                   \
                                                       "called on the message thread or under its lock"),    \
                             false))
