#include "library/vextal_juce/common/CZJEStringTable.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

namespace
{
// The framework's parser recurses once per level of elements.
constexpr int kMaxDepth = 256;

bool IsSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(unsigned char c)
{
    return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-' || c == ':' || c == '.';
}

// Whether the bytes hold a plain XML document, which the framework's parser
// reads safely: one root element nested at most kMaxDepth deep, no document
// type declaration (its entities could expand into elements), no processing
// instruction inside the root element (the parser loops forever on one
// followed by text), quoted attribute values without '<', and every '&'
// starting a whole reference. The parser itself stops at its first error, so
// on such a document it cannot run away; anything else here is not
// well-formed or not a document the application reads.
bool IsPlainDocument(const unsigned char* p, const unsigned char* end)
{
    const auto startsWith = [&](const char* s)
    {
        const size_t n = std::strlen(s);
        return static_cast<size_t>(end - p) >= n && std::memcmp(p, s, n) == 0;
    };
    const auto skipPast = [&](const char* s)
    {
        const size_t n = std::strlen(s);
        const unsigned char* found = std::search(p, end, s, s + n);
        if (found == end)
            return false;
        p = found + n;
        return true;
    };
    const auto skipSpaces = [&]
    {
        while (p < end && IsSpace(*p))
            ++p;
    };
    const auto skipName = [&]
    {
        const unsigned char* start = p;
        while (p < end && IsNameChar(*p))
            ++p;
        return p != start;
    };
    // At '&': a named or numeric reference up to its ';'.
    const auto skipReference = [&]
    {
        ++p;
        if (p < end && *p == '#')
        {
            ++p;
            const bool hex = p < end && *p == 'x';
            if (hex)
                ++p;
            const unsigned char* digits = p;
            while (p < end && (std::isdigit(*p) != 0 || (hex && std::isxdigit(*p) != 0)))
                ++p;
            if (p == digits)
                return false;
        }
        else if (!skipName())
        {
            return false;
        }
        if (p == end || *p != ';')
            return false;
        ++p;
        return true;
    };

    int depth = 0;
    while (p < end)
    {
        if (*p != '<')
        {
            if (depth == 0 && !IsSpace(*p))
                return false;
            if (*p == '&')
            {
                if (!skipReference())
                    return false;
            }
            else
            {
                ++p;
            }
            continue;
        }
        if (startsWith("<!--"))
        {
            p += 4;
            if (!skipPast("-->"))
                return false;
            continue;
        }
        if (startsWith("<![CDATA["))
        {
            p += 9;
            if (depth == 0 || !skipPast("]]>"))
                return false;
            continue;
        }
        if (startsWith("<?"))
        {
            p += 2;
            if (depth > 0 || !skipPast("?>"))
                return false;
            continue;
        }
        if (startsWith("</"))
        {
            p += 2;
            if (depth == 0 || !skipName())
                return false;
            skipSpaces();
            if (p == end || *p != '>')
                return false;
            ++p;
            if (--depth == 0)
                return true;
            continue;
        }
        // A start tag (a declaration such as <!DOCTYPE has no name here).
        ++p;
        if (!skipName())
            return false;
        for (;;)
        {
            const unsigned char* before = p;
            skipSpaces();
            if (p == end)
                return false;
            if (*p == '>')
            {
                ++p;
                if (++depth > kMaxDepth)
                    return false;
                break;
            }
            if (startsWith("/>"))
            {
                p += 2;
                if (depth == 0)
                    return true;
                break;
            }
            // An attribute, after a space: name = "value".
            if (p == before || !skipName())
                return false;
            skipSpaces();
            if (p == end || *p != '=')
                return false;
            ++p;
            skipSpaces();
            if (p == end || (*p != '"' && *p != '\''))
                return false;
            const unsigned char quote = *p++;
            while (p < end && *p != quote)
            {
                if (*p == '<')
                    return false;
                if (*p != '&')
                    ++p;
                else if (!skipReference())
                    return false;
            }
            if (p == end)
                return false;
            ++p;
        }
    }
    return false; // no root element, or it never ends
}
} // namespace

std::unique_ptr<juce::XmlElement> CZJEStringTable::Parse(const void* data, size_t size)
{
    if (data == nullptr || size == 0 || size > static_cast<size_t>(std::numeric_limits<int>::max()))
        return nullptr;
    const char* bytes = static_cast<const char*>(data);
    const int length = static_cast<int>(size);
    // XML holds no NUL character (the framework's text would end there).
    if (std::memchr(bytes, 0, size) != nullptr || !juce::CharPointer_UTF8::isValidString(bytes, length))
        return nullptr;
    const auto* begin = static_cast<const unsigned char*>(data);
    if (!IsPlainDocument(begin, begin + size))
        return nullptr;
    juce::XmlDocument document(juce::String::fromUTF8(bytes, length));
    return document.getDocumentElement();
}

void CZJEStringTable::Add(const juce::XmlElement* root)
{
    if (root == nullptr)
        return;
    for (const auto* element : root->getChildIterator())
    {
        if (!element->isTextElement() && element->hasAttribute("Text"))
        {
            // emplace keeps the text already held: earlier tables and, within
            // one table, the first element of a name win.
            m_texts.emplace(element->getTagName(), element->getStringAttribute("Text").replace("##", "\n"));
        }
    }
}

juce::String CZJEStringTable::Get(const juce::String& key) const
{
    const auto found = m_texts.find(key);
    return found != m_texts.end() ? found->second : juce::String();
}
