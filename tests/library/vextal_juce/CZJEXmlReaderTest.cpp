#include "library/vextal_juce/common/CZJEXmlReader.h"

#include "tests/common/file/RiffTestFiles.h"
#include "tests/library/vextal_juce/XmlTestDocuments.h"

#include <gtest/gtest.h>

#include <string>

using xmltest::Nested;

namespace
{
std::unique_ptr<juce::XmlElement> Parse(const std::string& text)
{
    return CZJEXmlReader::Parse(text.data(), text.size());
}

// Documents that are not well-formed are refused by the scan itself, also
// those the framework's parser would take (it neither matches end tags nor
// looks past the root element) or read wrongly.
TEST(CZJEXmlReader, DocumentsThatAreNotWellFormedAreRefused)
{
    const struct
    {
        const char* name;
        std::string text;
    } refused[] = {
        {"empty", ""},
        {"spaces only", " \n"},
        {"text only", "text"},
        {"mismatched end tag", "<a><b></a></b>"},
        {"end tag of another name", "<a></b>"},
        {"unclosed root", "<a><b/>"},
        {"second root", "<a/><b/>"},
        {"text after the root", "<a/>text"},
        {"text before the root", "x<a/>"},
        {"unterminated comment", "<a/><!-- note"},
        {"unquoted attribute", "<a x=1/>"},
        {"attribute without a space", "<a x='1'y='2'/>"},
        {"decimal reference too long", "<a>&#12345678;</a>"},
        {"hexadecimal reference too long", "<a>&#x1234567;</a>"},
        {"reference without ';'", "<a>&amp</a>"},
        {"invalid UTF-8", "<a>\xff</a>"},
        {"CDATA outside the root", "<![CDATA[x]]><a/>"},
    };
    for (const auto& c : refused)
    {
        EXPECT_FALSE(CZJEXmlReader::IsReadable(c.text.data(), c.text.size())) << c.name;
        EXPECT_EQ(Parse(c.text), nullptr) << c.name;
    }

    const std::string accepted[] = {
        "<a/>",
        "\xef\xbb\xbf<a/>",
        "<?xml version=\"1.0\"?>\n<!-- c --><a x=\"1\" y='&#x10FFFF;&#1114111;'>t<b/></a>\n<!-- end -->\n",
        Nested(CZJEXmlReader::kMaxDepth),
    };
    for (const std::string& text : accepted)
        EXPECT_NE(Parse(text), nullptr) << text.substr(0, 80);
    EXPECT_EQ(Parse(Nested(CZJEXmlReader::kMaxDepth + 1)), nullptr);
    EXPECT_EQ(Parse("<a/>\n")->getTagName(), "a");
    EXPECT_EQ(CZJEXmlReader::Parse(juce::String::fromUTF8("<r t=\"\xc3\xa9\"/>"))->getStringAttribute("t"),
              juce::String::fromUTF8("\xc3\xa9"));
}

// A file is read whole up to a bound; a missing file, a folder, a file over
// the bound and a deeply nested file of some hundred kilobytes are failures,
// not crashes.
TEST(CZJEXmlReader, FilesAreReadUpToABound)
{
    const rifftest::TempFolder folder;
    const juce::File dir(folder.Path().string());
    const juce::File file = dir.getChildFile("doc.xml");
    ASSERT_TRUE(file.replaceWithText("<doc><v name=\"k\"/></doc>"));
    const auto doc = CZJEXmlReader::ParseFile(file);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->getChildByName("v")->getStringAttribute("name"), "k");
    EXPECT_EQ(CZJEXmlReader::ParseFile(file, file.getSize() - 1), nullptr);
    EXPECT_EQ(CZJEXmlReader::ParseFile(dir.getChildFile("missing.xml")), nullptr);
    EXPECT_EQ(CZJEXmlReader::ParseFile(dir), nullptr);

    const juce::File deep = dir.getChildFile("deep.xml");
    ASSERT_TRUE(deep.replaceWithText(Nested(30000)));
    EXPECT_EQ(CZJEXmlReader::ParseFile(deep), nullptr);
}
} // namespace
