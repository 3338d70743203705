#include "library/vextal_juce/CZJEResource.h"
#include "tests/support/ScopedLanguageVariables.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{
// A resource folder of the test's own in the temporary folder.
class CZJEResourceTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_scratch.IsValid()); }

    juce::File Write(const juce::String& relativePath, const void* data, size_t size)
    {
        const juce::File file = m_root.getChildFile(relativePath);
        EXPECT_TRUE(file.getParentDirectory().createDirectory());
        // replaceWithData deletes the file for 0 bytes; an empty resource must exist.
        EXPECT_TRUE(size > 0 ? file.replaceWithData(data, size)
                             : (file.deleteFile() && file.create().wasOk()));
        return file;
    }

    juce::File WriteText(const juce::String& relativePath, const std::string& text)
    {
        return Write(relativePath, text.data(), text.size());
    }

    // A string table with the given elements inside its root element.
    void WriteTable(const juce::String& language, const std::string& elements)
    {
        WriteText(language + "/LocalizableStrings.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LocalizableStrings>\n" + elements +
                      "</LocalizableStrings>\n");
    }

    juce::File WritePng(const juce::String& relativePath, int width, int height)
    {
        juce::Image image(juce::Image::ARGB, width, height, true);
        for (int y = 0; y < height; ++y) // pixel by pixel: a graphics context would leave a font cache behind
            for (int x = 0; x < width; ++x)
                image.setPixelAt(x, y, juce::Colours::red);
        juce::MemoryOutputStream out;
        juce::PNGImageFormat png;
        EXPECT_TRUE(png.writeImageToStream(image, out));
        return Write(relativePath, out.getData(), out.getDataSize());
    }

    CZJEResourceFolder Folder(const juce::StringArray& preferred = {}) const
    {
        return CZJEResourceFolder(m_root, preferred);
    }

    vxtest::TempFolder m_scratch{"VextalResourceTest"};
    const juce::File m_root{m_scratch.Path().string()};
};
// Sets LANG for a test, with the other language variables unset, and puts the
// caller's settings back.
class ScopedLocale
{
public:
    explicit ScopedLocale(const char* lang) { setenv("LANG", lang, 1); }

private:
    const ScopedLanguageVariables m_cleared;
};

// Points the default resource folder at a test folder for one scope.
class ScopedDefaultRoot
{
public:
    explicit ScopedDefaultRoot(const juce::File& root) { CZJEResourceFolder::SetDefaultRoot(root); }
    ~ScopedDefaultRoot() { CZJEResourceFolder::SetDefaultRoot(juce::File()); }
};
} // namespace

TEST_F(CZJEResourceTest, TextsComeByKeyWithLineBreaks)
{
    WriteTable("en", "<Plain Text=\"Export\"/>\n"
                     "<TwoLines Text=\"Line one##Line two\"/>\n"
                     "<Blank Text=\"a####b##\"/>\n"
                     "<Escaped Text=\"&quot;%1&quot; &amp; %2\"/>\n"
                     "<Unicode Text=\"\xE6\x9B\xB2\xE5\x90\x8D\"/>\n"
                     "<NoText Other=\"x\"/>\n"
                     "<Twice Text=\"first\"/><Twice Text=\"second\"/>\n");
    const CZJEResource resource(Folder());
    EXPECT_EQ(resource.GetStringTableLanguage(), "en");

    const struct
    {
        const char* key;
        juce::String text;
    } cases[] = {
        {"Plain", "Export"},
        {"TwoLines", "Line one\nLine two"},
        {"Blank", "a\n\nb\n"},
        {"Escaped", "\"%1\" & %2"},
        {"Unicode", juce::String::fromUTF8("\xE6\x9B\xB2\xE5\x90\x8D")},
        {"Twice", "first"},
        // Absent keys and elements without a text give an empty text, never the key.
        {"NoText", ""},
        {"Missing", ""},
        {"", ""},
        {"plain", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resource.GetLocalizedString(c.key), c.text) << c.key;
}

TEST_F(CZJEResourceTest, AMissingOrMalformedTableGivesEmptyTexts)
{
    const std::string good = "<LocalizableStrings><Key Text=\"text\"/></LocalizableStrings>";
    const struct
    {
        const char* name;
        std::string content; // nothing written when "-"
    } cases[] = {
        {"no table", "-"},
        {"empty file", ""},
        {"not XML", "Key = text"},
        {"unclosed element", "<LocalizableStrings><Key Text=\"text\"/>"},
        {"empty tag name", "<LocalizableStrings><Key Text=\"text\"/><</LocalizableStrings>"},
        {"cut in a tag", good.substr(0, good.size() / 2)},
        {"ill-formed UTF-8", "<LocalizableStrings><Key Text=\"\xC3\x28\"/></LocalizableStrings>"},
    };
    for (const auto& c : cases)
    {
        m_root.getChildFile("en").deleteRecursively();
        if (c.content != "-")
            WriteText("en/LocalizableStrings.xml", c.content);
        const CZJEResource resource(Folder());
        EXPECT_EQ(resource.GetLocalizedString("Key"), "") << c.name;
        EXPECT_EQ(resource.GetStringTableLanguage(), "") << c.name;
    }

    // The same bytes, well-formed, are read.
    WriteText("en/LocalizableStrings.xml", good);
    EXPECT_EQ(CZJEResource(Folder()).GetLocalizedString("Key"), "text");
}

TEST_F(CZJEResourceTest, ThePreferredLanguageIsPickedThenEnglish)
{
    WriteTable("en", "<Hello Text=\"Hello\"/><OnlyEnglish Text=\"English\"/>");
    WriteTable("xx", "<Hello Text=\"Xello\"/>");
    m_root.getChildFile("yy").createDirectory(); // a language folder without a table

    const struct
    {
        juce::StringArray preferred;
        const char* language;
        const char* hello;
    } cases[] = {
        {{}, "en", "Hello"},           {{"ja"}, "en", "Hello"}, // no "ja" folder: English
        {{"xx"}, "xx", "Xello"},       {{"ja", "xx"}, "xx", "Xello"},     {{"en", "xx"}, "en", "Hello"},
        {{"yy", "xx"}, "xx", "Xello"}, {{"../en", "xx/"}, "en", "Hello"}, // codes that are not plain names
                                                                          // are ignored
    };
    for (const auto& c : cases)
    {
        const CZJEResource resource(Folder(c.preferred));
        const juce::String what = c.preferred.joinIntoString(":");
        EXPECT_EQ(resource.GetStringTableLanguage(), c.language) << what;
        EXPECT_EQ(resource.GetLocalizedString("Hello"), c.hello) << what;
        // A key the translation lacks comes from the English table.
        EXPECT_EQ(resource.GetLocalizedString("OnlyEnglish"), "English") << what;
    }

    // A malformed translation falls back to English as a whole.
    WriteText("xx/LocalizableStrings.xml", "<LocalizableStrings><Hello Text=\"X\">");
    const CZJEResource broken(Folder({"xx"}));
    EXPECT_EQ(broken.GetStringTableLanguage(), "en");
    EXPECT_EQ(broken.GetLocalizedString("Hello"), "Hello");
}

TEST_F(CZJEResourceTest, TheDefaultFolderFollowsTheSetterAndTheUserLanguage)
{
    WriteTable("en", "<Hello Text=\"Hello\"/>");
    WriteTable("xx", "<Hello Text=\"Xello\"/>");
    const ScopedLocale locale("xx_XX.UTF-8");
    const ScopedDefaultRoot root(m_root);
    EXPECT_EQ(CZJEResourceFolder::GetDefaultRoot(), m_root);

    EXPECT_EQ(CZJEResource::GetText("Hello"), ""); // no instance yet
    CZJEResource* resource = CZJEResource::CreateInstance();
    EXPECT_EQ(resource->GetStringTableLanguage(), "xx");
    EXPECT_EQ(CZJEResource::GetText("Hello"), "Xello");
    CZJEResource::DestroyInstance();
    EXPECT_EQ(CZJEResource::GetText("Hello"), "");

    setenv("LANG", "C", 1);
    EXPECT_EQ(CZJEResource().GetLocalizedString("Hello"), "Hello");
}

TEST_F(CZJEResourceTest, ImagesLoadByNameAndAMissingOneEmptiesOnlyItsSlot)
{
    const juce::File small = WritePng("Small.png", 4, 3);
    const juce::File large = WritePng("Large.png", 64, 48);
    WriteText("Broken.png", "\x89PNG\r\n\x1a\n this is not an image");
    WriteText("Empty.png", "");
    WritePng("xx/Localized.png", 5, 5);
    WritePng("Localized.png", 6, 6);

    CZJEResource resource(Folder({"xx"}));

    // The slots of a table of names: only the missing, empty and broken ones stay empty.
    const char* names[] = {"Small", "Missing", "Large", "Empty", "Broken", "Localized"};
    std::vector<juce::Image> slots;
    for (const char* name : names)
        slots.push_back(resource.LoadImageZJE(name, "png"));
    ASSERT_TRUE(slots[0].isValid());
    EXPECT_EQ(slots[0].getBounds(), juce::Rectangle<int>(0, 0, 4, 3));
    EXPECT_EQ(slots[0].getPixelAt(1, 1), juce::Colours::red);
    EXPECT_FALSE(slots[1].isValid());
    ASSERT_TRUE(slots[2].isValid());
    EXPECT_EQ(slots[2].getBounds(), juce::Rectangle<int>(0, 0, 64, 48));
    EXPECT_FALSE(slots[3].isValid());
    EXPECT_FALSE(slots[4].isValid());
    // The language folder comes before the language-independent files.
    EXPECT_EQ(slots[5].getWidth(), 5);

    // The shared buffer grows to the largest resource read and is reused for smaller ones.
    EXPECT_EQ(resource.GetBufferSize(), static_cast<int>(large.getSize()));
    EXPECT_TRUE(resource.LoadImageZJE("Small", "png").isValid());
    EXPECT_EQ(resource.GetBufferSize(), static_cast<int>(large.getSize()));
    resource.DisposeBuffer();
    EXPECT_EQ(resource.GetBufferSize(), 0);
    EXPECT_EQ(resource.LoadImageZJE("Small", "png").getWidth(), 4);
    EXPECT_EQ(resource.GetBufferSize(), static_cast<int>(small.getSize()));

    // Names that leave the folder are refused.
    WritePng("en/Inner.png", 2, 2);
    EXPECT_FALSE(resource.LoadImageZJE("../" + m_root.getFileName() + "/Small", "png").isValid());
    EXPECT_FALSE(resource.LoadImageZJE("en/Inner", "png").isValid());
    EXPECT_TRUE(resource.LoadImageZJE("Inner", "png").isValid());
}

TEST_F(CZJEResourceTest, LoadReportsTheSizeAndReadsAtMostTheBuffer)
{
    WriteText("Data.bin", "0123456789");
    WriteText("Zero.bin", "");
    CZJEResource resource(Folder());

    int size = 0;
    EXPECT_EQ(resource.Load("Data", "bin", nullptr, 0, &size), 0);
    EXPECT_EQ(size, 10);

    uint8_t buf[16] = {};
    size = 0;
    EXPECT_EQ(resource.Load("Data", "bin", buf, 4, &size), 4);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buf), 5), std::string("0123\0", 5));

    EXPECT_EQ(resource.Load("Data", "bin", buf, sizeof(buf), nullptr), 10);

    EXPECT_EQ(resource.Load("Zero", "bin", buf, sizeof(buf), &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(resource.Load("Missing", "bin", buf, sizeof(buf), &size), 0);
    EXPECT_EQ(size, -1);
    EXPECT_EQ(resource.LoadXml("Zero", "bin"), nullptr);
    EXPECT_EQ(resource.LoadXml("Data", "bin"), nullptr);

    WriteText("Doc.xml", "<Root><Child/></Root>");
    const auto doc = resource.LoadXml("Doc", "xml");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->hasTagName("Root"));
    EXPECT_NE(doc->getChildByName("Child"), nullptr);
}
