#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>
#include <cstdint>
#include <memory>

// Reads the XML documents the application keeps or ships (settings, string
// tables, songlists): given bytes, text or a file, either the parsed document
// element or nothing, never a crash or a hang.
//
// The framework's parser is handed only documents it reads safely, which a
// scan of the bytes checks first: UTF-8 without NUL characters (a leading
// byte-order mark is allowed); one root element with nothing but white
// space, comments and processing instructions around it; matching start and
// end tags nested at most kMaxDepth deep (the parser recurses once per level,
// so a file of a few hundred kilobytes of nested elements would overflow the
// stack); quoted attribute values without '<'; every '&' starting a whole
// character or entity reference; no document type declaration (its entities
// could expand into elements) and no processing instruction inside the root
// element (the parser loops forever on one followed by text); at most
// kMaxNames distinct element and attribute names (the framework pools every
// name, at a cost that grows with the square of their number). Anything else
// is not well-formed or not a document the application writes.
//
// Keeps no state: safe from any thread.
class CZJEXmlReader
{
public:
    static constexpr int kMaxDepth = 256;
    // A songlist or the settings use a few dozen names, the string table one
    // per message key (a few hundred).
    static constexpr int kMaxNames = 4096;
    // The largest file ParseFile reads unless told otherwise.
    static constexpr int64_t kMaxFileBytes = 64 * 1024 * 1024;

    CZJEXmlReader() = delete;

    // Whether the bytes hold a document as described above.
    static bool IsReadable(const void* data, size_t size);
    // The document element of the bytes; null when they are not readable.
    static std::unique_ptr<juce::XmlElement> Parse(const void* data, size_t size);
    static std::unique_ptr<juce::XmlElement> Parse(const juce::String& text);
    // The document element of the file; null when it is missing, is no
    // regular file (a FIFO or device is never read), cannot be read, holds
    // more than maxBytes bytes or is not readable.
    static std::unique_ptr<juce::XmlElement> ParseFile(const juce::File& file,
                                                       int64_t maxBytes = kMaxFileBytes);
};
