// The entry point: one running application per user. A launch while another
// runs hands its arguments to that one and ends with 0; the first runs the
// application (CVXApp) while it holds the single-instance lock.

#include "src/CVXApp.h"
#include "src/linux/SingleInstanceLinux.h"

#include <climits>
#include <cstdio>

#include <unistd.h>

namespace
{
// How long a launch waits for a running instance that is still starting.
constexpr int kHandOverTimeOutMs = 10000;

juce::JUCEApplicationBase* CreateApplication()
{
    return new CVXApp();
}

juce::String WorkingDirectory()
{
    char path[PATH_MAX];
    return ::getcwd(path, sizeof(path)) != nullptr ? juce::String::fromUTF8(path) : juce::String();
}
} // namespace

int main(int argc, char* argv[])
{
    juce::StringArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.add(juce::String::fromUTF8(argv[i]));
    const juce::File folder = Vextal::SingleInstance::defaultFolder();
    Vextal::SingleInstance instance(folder);
    if (folder == juce::File())
        std::fprintf(stderr, "Vextal: no private runtime folder; later launches will not be handed over.\n");
    else
    {
        switch (instance.start(arguments, WorkingDirectory(), kHandOverTimeOutMs))
        {
        case Vextal::SingleInstance::Result::kHandedOver:
            return 0;
        case Vextal::SingleInstance::Result::kFailed:
            std::fprintf(stderr, "Vextal: another instance is running but does not answer.\n");
            return 1;
        case Vextal::SingleInstance::Result::kFirstInstance:
            break;
        }
    }
    CVXApp::setSingleInstance(&instance);
    juce::JUCEApplicationBase::createInstance = &CreateApplication;
    const int result = juce::JUCEApplicationBase::main(argc, const_cast<const char**>(argv));
    CVXApp::setSingleInstance(nullptr);
    return result;
}
