#include "library/vextal_juce/common/CZJEXmlReader.h"

#include "library/util/CRegularFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace
{
// The UTF-8 byte-order mark some editors put first.
constexpr unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
// The longest numeric character reference: U+10FFFF has 7 decimal and 6
// hexadecimal digits (the framework's parser adds up more in an int).
constexpr int kMaxDecimalDigits = 7;
constexpr int kMaxHexDigits = 6;

bool IsSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(unsigned char c)
{
    return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-' || c == ':' || c == '.';
}

bool IsDigit(unsigned char c, bool hex)
{
    return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

// One forward pass over a document's bytes that accepts exactly the documents
// CZJEXmlReader hands to the framework's parser. Open elements are kept on a
// stack of their names, so nesting costs no recursion here.
class CDocumentScan
{
public:
    CDocumentScan(const unsigned char* begin, const unsigned char* end) : m_p(begin), m_end(end) {}

    bool Run()
    {
        if (!SkipMisc() || m_p == m_end || *m_p != '<' || !ScanRoot())
            return false;
        return SkipMisc() && m_p == m_end;
    }

private:
    bool StartsWith(const char* s) const
    {
        const size_t n = std::strlen(s);
        return static_cast<size_t>(m_end - m_p) >= n && std::memcmp(m_p, s, n) == 0;
    }

    bool SkipPast(const char* s)
    {
        const size_t n = std::strlen(s);
        const unsigned char* found = std::search(m_p, m_end, s, s + n);
        if (found == m_end)
            return false;
        m_p = found + n;
        return true;
    }

    void SkipSpaces()
    {
        while (m_p < m_end && IsSpace(*m_p))
            ++m_p;
    }

    bool SkipName()
    {
        const unsigned char* start = m_p;
        while (m_p < m_end && IsNameChar(*m_p))
            ++m_p;
        return m_p != start;
    }

    // The name of an element or attribute that ends at m_p, counted among
    // the document's distinct names; false past kMaxNames.
    bool CountName(const unsigned char* start)
    {
        m_names.emplace(reinterpret_cast<const char*>(start), static_cast<size_t>(m_p - start));
        return m_names.size() <= static_cast<size_t>(CZJEXmlReader::kMaxNames);
    }

    // Outside the root element: white space, comments and processing
    // instructions (the XML declaration among them).
    bool SkipMisc()
    {
        for (;;)
        {
            SkipSpaces();
            if (StartsWith("<!--"))
            {
                m_p += 4;
                if (!SkipPast("-->"))
                    return false;
            }
            else if (StartsWith("<?"))
            {
                m_p += 2;
                if (!SkipPast("?>"))
                    return false;
            }
            else
            {
                return true;
            }
        }
    }

    // At '&': a named or numeric reference up to its ';'.
    bool SkipReference()
    {
        ++m_p;
        if (m_p < m_end && *m_p == '#')
        {
            ++m_p;
            const bool hex = m_p < m_end && *m_p == 'x';
            if (hex)
                ++m_p;
            const unsigned char* digits = m_p;
            while (m_p < m_end && IsDigit(*m_p, hex))
                ++m_p;
            const ptrdiff_t count = m_p - digits;
            if (count == 0 || count > (hex ? kMaxHexDigits : kMaxDecimalDigits))
                return false;
        }
        else if (!SkipName())
        {
            return false;
        }
        if (m_p == m_end || *m_p != ';')
            return false;
        ++m_p;
        return true;
    }

    // At the name of an attribute: name = "value".
    bool ScanAttribute()
    {
        const unsigned char* name = m_p;
        if (!SkipName() || !CountName(name))
            return false;
        SkipSpaces();
        if (m_p == m_end || *m_p != '=')
            return false;
        ++m_p;
        SkipSpaces();
        if (m_p == m_end || (*m_p != '"' && *m_p != '\''))
            return false;
        const unsigned char quote = *m_p++;
        while (m_p < m_end && *m_p != quote)
        {
            if (*m_p == '<')
                return false;
            if (*m_p != '&')
                ++m_p;
            else if (!SkipReference())
                return false;
        }
        if (m_p == m_end)
            return false;
        ++m_p;
        return true;
    }

    // At '<' of a start tag (a declaration such as <!DOCTYPE has no name).
    // An element that is not empty goes on the stack.
    bool ScanStartTag()
    {
        ++m_p;
        const unsigned char* name = m_p;
        if (!SkipName() || !CountName(name))
            return false;
        const size_t nameLength = static_cast<size_t>(m_p - name);
        for (;;)
        {
            const unsigned char* before = m_p;
            SkipSpaces();
            if (m_p == m_end)
                return false;
            if (*m_p == '>')
            {
                ++m_p;
                if (m_open.size() >= static_cast<size_t>(CZJEXmlReader::kMaxDepth))
                    return false;
                m_open.emplace_back(name, nameLength);
                return true;
            }
            if (StartsWith("/>"))
            {
                m_p += 2;
                return true;
            }
            // An attribute follows white space.
            if (m_p == before || !ScanAttribute())
                return false;
        }
    }

    // At "</": the end tag of the innermost open element.
    bool ScanEndTag()
    {
        m_p += 2;
        const unsigned char* name = m_p;
        if (!SkipName())
            return false;
        const size_t nameLength = static_cast<size_t>(m_p - name);
        const auto& open = m_open.back();
        if (nameLength != open.second || std::memcmp(name, open.first, nameLength) != 0)
            return false;
        SkipSpaces();
        if (m_p == m_end || *m_p != '>')
            return false;
        ++m_p;
        m_open.pop_back();
        return true;
    }

    // One piece of the root element's content.
    bool ScanContent()
    {
        if (*m_p == '&')
            return SkipReference();
        if (*m_p != '<')
        {
            ++m_p;
            return true;
        }
        if (StartsWith("<!--"))
        {
            m_p += 4;
            return SkipPast("-->");
        }
        if (StartsWith("<![CDATA["))
        {
            m_p += 9;
            return SkipPast("]]>");
        }
        if (StartsWith("<?"))
            return false;
        if (StartsWith("</"))
            return ScanEndTag();
        return ScanStartTag();
    }

    // At '<' of the root element: it and everything inside it.
    bool ScanRoot()
    {
        if (!ScanStartTag())
            return false;
        while (!m_open.empty())
        {
            if (m_p == m_end || !ScanContent())
                return false;
        }
        return true;
    }

    const unsigned char* m_p;
    const unsigned char* const m_end;
    std::vector<std::pair<const unsigned char*, size_t>> m_open;
    std::unordered_set<std::string_view> m_names;
};

// The bytes after a leading byte-order mark.
size_t ContentStart(const unsigned char* bytes, size_t size)
{
    const size_t n = sizeof(kByteOrderMark);
    return size >= n && std::memcmp(bytes, kByteOrderMark, n) == 0 ? n : 0;
}
} // namespace

bool CZJEXmlReader::IsReadable(const void* data, size_t size)
{
    if (data == nullptr || size == 0 || size > static_cast<size_t>(std::numeric_limits<int>::max()))
        return false;
    const char* text = static_cast<const char*>(data);
    // XML holds no NUL character (the framework's text would end there).
    if (std::memchr(text, 0, size) != nullptr ||
        !juce::CharPointer_UTF8::isValidString(text, static_cast<int>(size)))
        return false;
    const auto* bytes = static_cast<const unsigned char*>(data);
    const size_t start = ContentStart(bytes, size);
    return CDocumentScan(bytes + start, bytes + size).Run();
}

std::unique_ptr<juce::XmlElement> CZJEXmlReader::Parse(const void* data, size_t size)
{
    if (!IsReadable(data, size))
        return nullptr;
    const size_t start = ContentStart(static_cast<const unsigned char*>(data), size);
    juce::XmlDocument document(
        juce::String::fromUTF8(static_cast<const char*>(data) + start, static_cast<int>(size - start)));
    return document.getDocumentElement();
}

std::unique_ptr<juce::XmlElement> CZJEXmlReader::Parse(const juce::String& text)
{
    return Parse(text.toRawUTF8(), text.getNumBytesAsUTF8());
}

std::unique_ptr<juce::XmlElement> CZJEXmlReader::ParseFile(const juce::File& file, int64_t maxBytes)
{
    // Only a regular file is read, and the limit holds for the bytes read: a
    // device reports a size of 0 and never ends.
    std::string data;
    if (file == juce::File() || maxBytes < 0 ||
        !CRegularFile::ReadAll(file.getFullPathName().toStdString(), static_cast<size_t>(maxBytes), data))
        return nullptr;
    return Parse(data.data(), data.size());
}
