#pragma once

#include "library/vextal_juce/CZJEResource.h"
#include "library/vextal_juce/CZJESingleton.h"
#include "src/Resource/VXImageTable.h"

#include <juce_graphics/juce_graphics.h>

#include <array>
#include <cstdint>

// The interface images of the application, decoded once when the manager is
// created and handed out by index (Vextal::ImageIndex, 0 to 61) for the life of
// the program, so that drawing never touches the disk.
//
// The manager is the first singleton the application creates and the last it
// releases: creating it takes a reference on the CZJEResource singleton (the
// localized texts and the files of the Resources folder), releasing it gives
// that reference back. A missing, empty or undecodable image file leaves its
// slot empty; loading goes on with the next one and nothing is reported.
//
// Message thread only.
class CVXResourceManager : public CZJESingleton<CVXResourceManager>
{
public:
    // The resource names in index order; each is the file "<name>.png".
    static const std::array<const char*, Vextal::kResourceManagerImageCount> sm_apResName;

    // The image of index; an invalid image for an empty slot or an index
    // outside 0 to 61. The pixels are shared, never copied: keep the image as
    // long as needed.
    juce::Image GetImage(int index) const;

    // The image of index from the current manager; invalid while none exists.
    static juce::Image Get(int index);

private:
    friend class CZJESingleton<CVXResourceManager>;

    CVXResourceManager();
    ~CVXResourceManager();

    CZJEResource* m_pResource;
    std::array<juce::Image, Vextal::kResourceManagerImageCount> m_images;
};

// Reads image resources through one buffer that starts at 65,536 bytes and
// grows to the size of a larger file, which is then read again whole.
class CVXImageResourceReader
{
public:
    static constexpr int kInitialBufferSize = 65536;

    explicit CVXImageResourceReader(CZJEResource& resource);

    // The image of the resource "<name>.png"; invalid when the file is
    // missing, empty or does not decode.
    juce::Image Read(const char* name);

    // The buffer's current capacity in bytes.
    int GetBufferSize() const { return m_bufferSize; }

private:
    CZJEResource& m_resource;
    juce::HeapBlock<uint8_t> m_buffer;
    int m_bufferSize;
};
