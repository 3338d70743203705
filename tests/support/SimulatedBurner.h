#pragma once

// The burner over simulated drives, as the disc-burn tests use it: drives of
// the test's choosing, images written to a folder of the test, jobs run far
// faster than real time.

#include "common/disc/CAudioCDBurn.h"
#include "common/disc/CAudioDiscBurnProxy.h"
#include "common/disc/linux/CDiscBurnImpSimulated.h"

#include <juce_core/juce_core.h>

#include <memory>
#include <vector>

namespace burntest
{
using Drive = CDiscBurnImpSimulated::Drive;
using Medium = CDiscBurnImpSimulated::Medium;

struct SimulatedBurner
{
    SimulatedBurner(const juce::File& imageFolder, std::vector<Drive> drives, double speedup = 1e6,
                    bool blankAfterEject = false)
    {
        imageFolder.createDirectory();
        CDiscBurnImpSimulated::Options options;
        options.speedup = speedup;
        options.blankAfterEject = blankAfterEject;
        auto backEnd = std::make_unique<CDiscBurnImpSimulated>(
            imageFolder.getFullPathName().toWideCharPointer(), std::move(drives), options);
        drive = backEnd.get();
        proxy = std::make_unique<CAudioDiscBurnProxy>(std::make_unique<CAudioCDBurn>(std::move(backEnd)));
    }

    // A drive that reads discs but writes none.
    static Drive Reader(const char* product)
    {
        Drive reader = Drive::CdWriter(product, Medium::CdRom());
        reader.info.canTestWriteCD = false;
        reader.info.canWriteCDR = false;
        reader.info.canWriteCDRW = false;
        return reader;
    }

    // Owned by the proxy.
    CDiscBurnImpSimulated* drive = nullptr;
    std::unique_ptr<CAudioDiscBurnProxy> proxy;
};
} // namespace burntest
