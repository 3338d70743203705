#pragma once

#include <juce_core/juce_core.h>

// Every message key the application looks up in the string table. A key used
// anywhere in the program is listed here, and the English string table holds a
// text for exactly these keys (a test checks both, and that every key-like
// text in the sources is listed). Add a key here and to
// Resources/en/LocalizableStrings.xml together.
class CZJEMessageKeys
{
public:
    // The keys in alphabetical order.
    static const juce::StringArray& GetAll();
    static bool IsKnown(const juce::String& key);
};
