#pragma once

#include "library/vextal_juce/CZJESingleton.h"
#include "library/vextal_juce/common/CZJEStringTable.h"
#include "library/vextal_juce/linux/CZJEResourceFolder.h"

#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>

#include <cstdint>
#include <memory>

// The shipped resources of the application: user-visible texts by message key
// from the string table "LocalizableStrings.xml", and interface images and
// other files by name, all found through a CZJEResourceFolder.
//
// The string table of every language in the folder's search order is read at
// construction; a text comes from the most preferred table that has its key,
// so English answers for keys a translation lacks. A missing or malformed table
// contributes nothing; a key no table has gives an empty text.
//
// Resource reads (Load, LoadXml, LoadImageZJE) share one growing buffer under a
// lock. GetLocalizedString only reads the table filled at construction and may
// be called from any thread.
class CZJEResource : public CZJESingleton<CZJEResource>
{
public:
    // The name and type of the string table.
    static const char* const kStringTableName;
    static const char* const kStringTableType;

    // Resources of the application's own folder and the user's languages.
    CZJEResource();
    explicit CZJEResource(const CZJEResourceFolder& folder);
    virtual ~CZJEResource();

    CZJEResource(const CZJEResource&) = delete;
    CZJEResource& operator=(const CZJEResource&) = delete;

    // The localized text of key, every "##" turned into a line break; empty
    // when no string table has the key. Callers put their arguments in place
    // of "%1" (and "%2") themselves.
    juce::String GetLocalizedString(const juce::String& key) const;

    // The text of key from the current instance; empty while none exists.
    static juce::String GetText(const juce::String& key);

    // Reads the resource name.type into buf, at most bufSize bytes, and returns
    // the number of bytes read. outSize, when given, receives the size of the
    // resource file, or -1 when it cannot be found or examined. A null buf or a
    // bufSize of 0 only asks for the size.
    int Load(const juce::String& name, const juce::String& type, uint8_t* buf, int bufSize, int* outSize);

    // The document element of the XML resource name.type; null when it is
    // missing, empty or not well-formed.
    std::unique_ptr<juce::XmlElement> LoadXml(const juce::String& name, const juce::String& type);

    // The image of the resource name.type (PNG, JPEG or GIF); an invalid image
    // when it is missing, empty or does not decode.
    juce::Image LoadImageZJE(const juce::String& name, const juce::String& type);

    // Frees the shared read buffer.
    void DisposeBuffer();
    // The capacity of the shared read buffer in bytes.
    int GetBufferSize() const;

    const CZJEResourceFolder& GetFolder() const { return m_folder; }
    // The language of the most preferred string table that was read; empty
    // when none was.
    const juce::String& GetStringTableLanguage() const { return m_stringTableLanguage; }

private:
    // Reads file into the shared buffer, growing it as needed; returns the
    // number of bytes read (0 when the file is missing or empty). The caller
    // holds m_bufferLock.
    int ReadIntoBuffer(const juce::File& file);
    void LoadStringTables();

    CZJEResourceFolder m_folder;
    CZJEStringTable m_strings;
    juce::String m_stringTableLanguage;

    mutable juce::CriticalSection m_bufferLock;
    juce::HeapBlock<uint8_t> m_buffer;
    int m_bufferSize = 0;
};
