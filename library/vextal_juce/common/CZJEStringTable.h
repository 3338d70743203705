#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>
#include <memory>
#include <unordered_map>

// The localized texts by message key, read from string-table documents: a UTF-8
// XML document whose root element holds one child element per key, named by the
// key, with its text in the attribute "Text"; "##" in a text stands for a line
// break. Documents are parsed with CZJEXmlReader.
//
// Several tables can be added, most preferred first: a key is answered by the
// first table that has it with a "Text" attribute, so a table of another
// language falls back to the base language for keys it lacks.
//
// Once filled, the table is only read, so lookups are safe from any thread.
class CZJEStringTable
{
public:
    CZJEStringTable() = default;

    // Adds the texts of a parsed document (its root element) after those
    // already held; a null document adds nothing.
    void Add(const juce::XmlElement* root);

    // The text of key with every "##" turned into "\n"; an empty text when no
    // table has key or its element has no "Text" attribute.
    juce::String Get(const juce::String& key) const;

    bool IsEmpty() const { return m_texts.empty(); }
    size_t GetSize() const { return m_texts.size(); }

private:
    struct Hash
    {
        size_t operator()(const juce::String& s) const noexcept
        {
            return static_cast<size_t>(s.hashCode64());
        }
    };
    std::unordered_map<juce::String, juce::String, Hash> m_texts;
};
