#include "library/vextal_juce/common/CZJEStringTable.h"
#include "library/vextal_juce/common/CZJEXmlReader.h"

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

// Documents the framework's parser could not read safely are refused before
// it sees them: a processing instruction followed by text inside the root
// element made it loop forever, and deep nesting overflowed the stack.
TEST(CZJEStringTable, DocumentsTheParserCannotReadSafelyAreRefused)
{
    const struct
    {
        const char* name;
        std::string text;
    } refused[] = {
        {"instruction before text", "<T><?pi?>text</T>"},
        {"instruction before an element", "<T><?pi?><A Text=\"a\"/></T>"},
        {"nested too deep", Nested(257)},
        {"nested far too deep", Nested(200000)},
        {"document type", "<!DOCTYPE T [<!ENTITY e \"<A Text='e'/>\">]><T>&e;</T>"},
        {"NUL byte", std::string("<T><A Text=\"a\"/></T>\0", 21)},
        {"'<' in a value", "<T><A Text=\"a<b\"/></T>"},
        {"bare '&'", "<T><A Text=\"a & b\"/></T>"},
    };
    for (const auto& c : refused)
        EXPECT_EQ(Parse(c.text), nullptr) << c.name;

    // What a string table uses is read as before.
    const auto root = Parse("<?xml version=\"1.0\"?>\n<!-- texts --><?tool?>\n<T>\n"
                            "  <A Text=\"one##two &amp; &lt;&#65;&#x42;\"/><!-- <B Text=\"x\"/> -->\n"
                            "  <B Text='b'>text<![CDATA[<raw>]]></B>\n</T>\n");
    ASSERT_NE(root, nullptr);
    CZJEStringTable table;
    table.Add(root.get());
    EXPECT_EQ(table.GetSize(), 2u);
    EXPECT_EQ(table.Get("A"), "one\ntwo & <AB");
    EXPECT_EQ(table.Get("B"), "b");
    EXPECT_NE(Parse(Nested(256)), nullptr);
}
} // namespace
