#include "src/Resource/CVXResourceManager.h"

#include "tests/common/file/RiffTestFiles.h"
#include "tests/support/UiTestSupport.h"

#include <gtest/gtest.h>

#include <zlib.h>

namespace
{
using Manager = CZJESingleton<CVXResourceManager>;

juce::File AsFile(const rifftest::TempFolder& folder)
{
    return juce::File(folder.Path().string());
}

void AppendBigEndian32(juce::MemoryBlock& block, uint32_t v)
{
    const uint8_t bytes[] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                             static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    block.append(bytes, sizeof(bytes));
}

// A 16 x 16 PNG file of exactly totalBytes bytes: a private ancillary chunk
// that decoders skip pads it after the header chunk.
juce::MemoryBlock PngOfSize(size_t totalBytes)
{
    juce::Image image(juce::Image::ARGB, 16, 16, true);
    image.setPixelAt(3, 4, juce::Colours::red);
    juce::MemoryOutputStream encoded;
    juce::PNGImageFormat().writeImageToStream(image, encoded);
    const size_t headerEnd = 8 + 25; // signature and IHDR chunk
    const size_t padding = totalBytes - encoded.getDataSize() - 12;

    juce::MemoryBlock chunk;
    chunk.append("vxPd", 4);
    chunk.setSize(4 + padding, true);
    juce::MemoryBlock file(encoded.getData(), headerEnd);
    AppendBigEndian32(file, static_cast<uint32_t>(padding));
    file.append(chunk.getData(), chunk.getSize());
    const uLong crc =
        crc32(0, static_cast<const Bytef*>(chunk.getData()), static_cast<uInt>(chunk.getSize()));
    AppendBigEndian32(file, static_cast<uint32_t>(crc));
    file.append(static_cast<const char*>(encoded.getData()) + headerEnd, encoded.getDataSize() - headerEnd);
    return file;
}
} // namespace

// Every shipped image lands in its slot at the size of the image table, and
// the manager holds the resource service for as long as it lives.
TEST(CVXResourceManager, LoadsEveryShippedImageAndHoldsTheResourceService)
{
    ASSERT_EQ(CZJEResource::GetInstance(), nullptr);
    CVXResourceManager* manager = Manager::CreateInstance();
    EXPECT_NE(CZJEResource::GetInstance(), nullptr);
    for (int i = 0; i < Vextal::kResourceManagerImageCount; ++i)
    {
        SCOPED_TRACE(CVXResourceManager::sm_apResName[static_cast<size_t>(i)]);
        const juce::Image image = manager->GetImage(i);
        ASSERT_TRUE(image.isValid());
        EXPECT_EQ(image.getWidth(), Vextal::kImageTable[i].GetWidth());
        EXPECT_EQ(image.getHeight(), Vextal::kImageTable[i].GetHeight());
    }
    EXPECT_STREQ(CVXResourceManager::sm_apResName[29], "VextalAbout");
    EXPECT_FALSE(manager->GetImage(-1).isValid());
    EXPECT_FALSE(manager->GetImage(Vextal::kResourceManagerImageCount).isValid());
    EXPECT_TRUE(CVXResourceManager::Get(Vextal::kImageNoPicture).isValid());

    Manager::DestroyInstance();
    EXPECT_EQ(CZJEResource::GetInstance(), nullptr);
    EXPECT_FALSE(CVXResourceManager::Get(Vextal::kImageNoPicture).isValid());
}

// A missing, an empty and a damaged file each empty only their own slot.
TEST(CVXResourceManager, AMissingOrDamagedImageLeavesOnlyItsSlotEmpty)
{
    rifftest::TempFolder folder;
    const juce::File root = AsFile(folder).getChildFile("Resources");
    ASSERT_TRUE(CZJEResourceFolder::GetDefaultRoot().copyDirectoryTo(root));
    ASSERT_TRUE(root.getChildFile("ButtonAdd.png").deleteFile());
    ASSERT_TRUE(root.getChildFile("JogWheel.png").replaceWithText(""));
    juce::MemoryBlock damaged;
    ASSERT_TRUE(root.getChildFile("VextalAbout.png").loadFileAsData(damaged));
    damaged.setSize(damaged.getSize() / 2);
    ASSERT_TRUE(root.getChildFile("VextalAbout.png").replaceWithData(damaged.getData(), damaged.getSize()));

    const uitest::ScopedResourceRoot scopedRoot(root);
    CVXResourceManager* manager = Manager::CreateInstance();
    for (int i = 0; i < Vextal::kResourceManagerImageCount; ++i)
    {
        SCOPED_TRACE(CVXResourceManager::sm_apResName[static_cast<size_t>(i)]);
        const bool broken =
            i == Vextal::kImageButtonAdd || i == Vextal::kImageJogWheel || i == Vextal::kImageVextalAbout;
        const juce::Image image = manager->GetImage(i);
        EXPECT_EQ(image.isValid(), !broken);
        if (!broken)
        {
            EXPECT_EQ(image.getWidth(), Vextal::kImageTable[i].GetWidth());
        }
    }
    Manager::DestroyInstance();
}

// The read buffer starts at 65,536 bytes: a file of exactly that size is read
// whole without growing it, one byte more grows it to the file's size.
TEST(CVXImageResourceReader, GrowsItsBufferOnlyForFilesLargerThan65536Bytes)
{
    rifftest::TempFolder folder;
    const juce::File root = AsFile(folder);
    for (const auto& [name, size] : {std::pair<const char*, size_t>{"Exact", 65536}, {"Larger", 65537}})
    {
        const juce::MemoryBlock png = PngOfSize(size);
        ASSERT_EQ(png.getSize(), size);
        ASSERT_TRUE(
            root.getChildFile(juce::String(name) + ".png").replaceWithData(png.getData(), png.getSize()));
    }
    CZJEResource resource(CZJEResourceFolder(root, {}));
    CVXImageResourceReader reader(resource);
    EXPECT_EQ(reader.GetBufferSize(), 65536);

    const juce::Image exact = reader.Read("Exact");
    ASSERT_TRUE(exact.isValid());
    EXPECT_EQ(exact.getPixelAt(3, 4), juce::Colours::red);
    EXPECT_EQ(reader.GetBufferSize(), 65536);

    const juce::Image larger = reader.Read("Larger");
    ASSERT_TRUE(larger.isValid());
    EXPECT_EQ(larger.getPixelAt(3, 4), juce::Colours::red);
    EXPECT_EQ(reader.GetBufferSize(), 65537);

    EXPECT_FALSE(reader.Read("Missing").isValid());
    EXPECT_EQ(reader.GetBufferSize(), 65537);
}
