#pragma once

#include <juce_core/juce_core.h>

class CZadPreferences;

namespace Vextal
{
// The lists of recently used folders of the export settings, stored as
// texts under key + "_" + 0 .. maxEntries - 1.
class ExportParameterHistory
{
public:
    ExportParameterHistory() = delete;

    // Writes the first maxEntries entries and empties the slots after them
    // (so a shorter list reads back as it is).
    static void Write(CZadPreferences& store, const juce::String& key, const juce::StringArray& history,
                      int maxEntries);
    // The entries up to the first missing or empty one, each once.
    static juce::StringArray Read(CZadPreferences& store, const juce::String& key, int maxEntries);
};
} // namespace Vextal
