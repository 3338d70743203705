// Fuzz target for the string-table parser: the input is parsed as a
// string-table document, added to a table twice (the second adds nothing),
// and every key of the document is looked up.

#include "library/vextal_juce/common/CZJEStringTable.h"
#include "library/vextal_juce/common/CZJEXmlReader.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::unique_ptr<juce::XmlElement> root = CZJEXmlReader::Parse(data, size);
    if (root == nullptr)
        return 0;
    if (!juce::CharPointer_UTF8::isValidString(reinterpret_cast<const char*>(data), static_cast<int>(size)))
        __builtin_trap();
    CZJEStringTable table;
    table.Add(root.get());
    const size_t keys = table.GetSize();
    table.Add(root.get());
    if (table.GetSize() != keys || keys > static_cast<size_t>(root->getNumChildElements()))
        __builtin_trap();
    for (const auto* element : root->getChildIterator())
    {
        const juce::String text = table.Get(element->getTagName());
        // Every pair of "#" became a line break.
        if (text.contains("##"))
            __builtin_trap();
    }
    table.Get(juce::String());
    return 0;
}
