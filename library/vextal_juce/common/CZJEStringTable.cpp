#include "library/vextal_juce/common/CZJEStringTable.h"

#include <limits>

std::unique_ptr<juce::XmlElement> CZJEStringTable::Parse(const void* data, size_t size)
{
    if (data == nullptr || size == 0 || size > static_cast<size_t>(std::numeric_limits<int>::max()))
        return nullptr;
    const char* bytes = static_cast<const char*>(data);
    const int length = static_cast<int>(size);
    if (!juce::CharPointer_UTF8::isValidString(bytes, length))
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
