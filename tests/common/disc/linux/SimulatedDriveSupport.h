#pragma once

// The simulated back end as the tests of the burner and of the back end
// itself set it up: one CD writer, its images written to a folder of the
// test; and the short names of its drives and media.

#include "common/disc/linux/CDiscBurnImpSimulated.h"

#include "tests/common/disc/CdTestImages.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace disctest
{
using Medium = CDiscBurnImpSimulated::Medium;
using Drive = CDiscBurnImpSimulated::Drive;

// A back end with one CD writer ("Test CD-RW") holding medium, writing its
// images into imageFolder, its jobs running speedup times faster than real
// time.
inline std::unique_ptr<CDiscBurnImpSimulated> MakeSimulatedCdWriter(const std::filesystem::path& imageFolder,
                                                                    const Medium& medium, double speedup)
{
    CDiscBurnImpSimulated::Options options;
    options.speedup = speedup;
    return std::make_unique<CDiscBurnImpSimulated>(
        cdtest::Wide(imageFolder), std::vector<Drive>{Drive::CdWriter("Test CD-RW", medium)}, options);
}
} // namespace disctest
