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
// A document of more distinct element and attribute names than kMaxNames is
// refused by the scan, before the framework's parser pools them; a name used
// again and again counts once. (300,000 distinct attribute names kept the
// parser busy for most of a minute.)
TEST(CZJEXmlReader, DistinctNamesAreBounded)
{
    // The root, then half the names as elements and half as attributes.
    const auto withNames = [](int count)
    {
        std::string text = "<r>";
        for (int i = 1; i < count; i += 2)
        {
            text += "<e" + std::to_string(i);
            if (i + 1 < count)
                text += " a" + std::to_string(i + 1) + "=\"1\"";
            text += "/>";
        }
        return text + "</r>";
    };
    EXPECT_NE(Parse(withNames(CZJEXmlReader::kMaxNames)), nullptr);
    EXPECT_EQ(Parse(withNames(CZJEXmlReader::kMaxNames + 1)), nullptr);

    std::string hostile = "<r";
    for (int i = 0; i < 300000; ++i)
        hostile += " n" + std::to_string(i) + "=''";
    EXPECT_EQ(Parse(hostile + "/>"), nullptr);

    std::string repeated = "<r>";
    for (int i = 0; i < 2 * CZJEXmlReader::kMaxNames; ++i)
        repeated += "<e a='1' b='2'/>";
    EXPECT_NE(Parse(repeated + "</r>"), nullptr);
}
} // namespace
