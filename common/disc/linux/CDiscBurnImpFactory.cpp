#include "common/disc/CDiscBurnImp.h"
#include "common/disc/linux/CDiscBurnImpLinux.h"
#include "common/disc/linux/CDiscBurnImpSimulated.h"

#include <juce_core/juce_core.h>

#include <cstdlib>

std::unique_ptr<CDiscBurnImp> CreateDiscBurnImp()
{
    const char* folder = std::getenv("VEXTAL_SIMULATED_DRIVE");
    if (folder == nullptr || folder[0] == 0)
        return std::make_unique<CDiscBurnImpLinux>();
    const juce::File images(juce::String::fromUTF8(folder));
    images.createDirectory();
    return CDiscBurnImpSimulated::CreateDefault(images.getFullPathName().toWideCharPointer());
}
