#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace Vextal
{
class TrackInfo;

// The songlist file (extension "vxsl"): a UTF-8 XML document whose root
// "VextalProject" carries the format version "1.0.0.0" and holds
// "ProjectProperties" (creator, date and time of saving) and one "Track"
// element per song in songlist order (TrackInfo::serializeToXml).
//
// Writing goes through the one atomic-write path (CAtomicFileWriter): the
// document is written to a temporary file in the target's folder, flushed
// and renamed over the target, so the target is always either the old file
// or the whole new one. Reading goes through the one safe XML reader
// (CZJEXmlReader).
//
// Keeps no state; any thread may use it with records it alone uses.
class SonglistFile
{
public:
    static constexpr uint32_t kVersion = 0x01000000;
    static constexpr const char* kVersionText = "1.0.0.0";
    static constexpr const char* kExtension = ".vxsl";
    static constexpr const char* kRootName = "VextalProject";
    // The largest songlist file read, and so the largest written: a file we
    // write must always be one we read. Some 110,000 songs as the program
    // adds them (a song takes about 2.3 KB); the file is read whole, so the
    // bound is kept far below the memory of any machine that runs us.
    static constexpr int64_t kMaxFileBytes = 256 * 1024 * 1024;

    SonglistFile() = delete;

    // The version attribute as a number: only the characters "0123456789."
    // are kept; of the first four parts between dots, part k is read as a
    // number and shifted left by 24 - 8k, and the results are or-ed (a part
    // above 255 spills into the bits of the part before it). An empty text
    // gives 0; a value past 32 bits gives 0xFFFFFFFF.
    static uint32_t parseVersion(const juce::String& text);
    // Whether a document of that version attribute is of a newer format
    // than this one reads.
    static bool isNewerVersion(const juce::String& text) { return parseVersion(text) > kVersion; }

    // The document of the songs, paths relative to the folder of target.
    static std::unique_ptr<juce::XmlElement> createDocument(const std::vector<const TrackInfo*>& songs,
                                                            const juce::File& target);
    // The document as the bytes of the file (UTF-8, with the XML
    // declaration, no document type).
    static juce::MemoryBlock toBytes(const juce::XmlElement& document);
    // Writes the songs to target; true when the whole file is in place.
    // A document above kMaxFileBytes is not written (tooLarge is then set):
    // it could not be opened again.
    static bool write(const std::vector<const TrackInfo*>& songs, const juce::File& target,
                      bool* tooLarge = nullptr);

    enum class ReadResult
    {
        kOk,
        // Missing, unreadable, not well-formed, or not a songlist.
        kInvalid,
        kNewerVersion
    };
    // Reads the document of a songlist file; root is set only with kOk.
    static ReadResult read(const juce::File& file, std::unique_ptr<juce::XmlElement>& root);
    // The same for a document already parsed (null counts as invalid).
    static ReadResult check(const juce::XmlElement* root);
};
} // namespace Vextal
