// Fuzz target for the XML reader that every settings file, string table and
// songlist goes through: any input is parsed or refused without a crash or a
// hang, the scan and the parse agree, and a parsed document is never nested
// deeper than the reader's bound.

#include "library/vextal_juce/common/CZJEXmlReader.h"

#include <cstdint>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::unique_ptr<juce::XmlElement> root = CZJEXmlReader::Parse(data, size);
    if (root != nullptr && !CZJEXmlReader::IsReadable(data, size))
        __builtin_trap();
    if (root == nullptr)
        return 0;

    // Walks the tree without recursion: the depth of every element.
    std::vector<std::pair<const juce::XmlElement*, int>> pending = {{root.get(), 1}};
    while (!pending.empty())
    {
        const auto [element, depth] = pending.back();
        pending.pop_back();
        if (depth > CZJEXmlReader::kMaxDepth + 1)
            __builtin_trap();
        for (const auto* child : element->getChildIterator())
            pending.emplace_back(child, depth + 1);
    }
    // The document written out reads back.
    if (CZJEXmlReader::Parse(root->toString()) == nullptr)
        __builtin_trap();
    return 0;
}
