#include "library/vextal_juce/common/CZJEStringTable.h"

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
