#include "tests/support/CheckReports.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace
{
juce::JUCEApplicationBase* createNoApplication()
{
    return nullptr;
}
} // namespace

// Shared main of the test programs. JUCE installs its X error handlers (and
// Xlib's thread support) only in a standalone application; a bare Xvfb without
// a window manager answers some window-property requests with errors that the
// default Xlib handler turns into an exit. Marking the test program as
// standalone gives windows created by tests the application's own handling.
int main(int argc, char** argv)
{
    juce::JUCEApplicationBase::createInstance = &createNoApplication;
    // JUCE loads the X libraries itself and unloads them at the end; keeping
    // them loaded lets leak reports name the library their allocations came
    // from, so that the suppressions of Xlib's own caches can match them.
    for (const char* lib : {"libX11.so.6", "libXext.so.6", "libXrandr.so.2", "libXinerama.so.1",
                            "libXcursor.so.1", "libXrender.so.1"})
        dlopen(lib, RTLD_LAZY | RTLD_NODELETE);
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::FailTestOnCheckReports();
    return RUN_ALL_TESTS();
}
