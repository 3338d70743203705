#pragma once

#include "library/vextal_juce/CZJEResource.h"

#include <juce_core/juce_core.h>

// The short spelling of a localized text for code that sets many captions and
// messages: a file says `using CZJEText::Text;` once and writes Text("Key").
namespace CZJEText
{
// The text of key from the current resources (CZJEResource::GetText); empty
// while no resources exist or when no string table has the key.
inline juce::String Text(const char* key)
{
    return CZJEResource::GetText(key);
}
} // namespace CZJEText
