// Fuzz target for the mount table parser: the input is read as a mount
// table; every entry must have an absolute mount point, and the changes from
// an empty table and to an empty one must name every entry once.

#include "common/disc/linux/CMountTable.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<CMountTable::Entry> entries = CMountTable::Parse(text);
    for (const CMountTable::Entry& e : entries)
        if (e.mountPoint.empty() || e.mountPoint[0] != '/' || e.id < 0)
            __builtin_trap();
    if (CMountTable::Diff({}, entries).size() != entries.size() ||
        CMountTable::Diff(entries, {}).size() != entries.size())
        __builtin_trap();
    return 0;
}
