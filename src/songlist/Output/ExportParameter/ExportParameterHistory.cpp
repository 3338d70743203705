#include "src/songlist/Output/ExportParameter/ExportParameterHistory.h"

#include "library/zad/CZadPreferences.h"

namespace Vextal
{
namespace
{
juce::String EntryKey(const juce::String& key, int n)
{
    return key + "_" + juce::String(n);
}
} // namespace

void ExportParameterHistory::Write(CZadPreferences& store, const juce::String& key,
                                   const juce::StringArray& history, int maxEntries)
{
    for (int n = 0; n < maxEntries; ++n)
        store.WriteString(EntryKey(key, n).toRawUTF8(), n < history.size() ? history[n] : juce::String());
}

juce::StringArray ExportParameterHistory::Read(CZadPreferences& store, const juce::String& key,
                                               int maxEntries)
{
    juce::StringArray history;
    for (int n = 0; n < maxEntries; ++n)
    {
        const std::optional<juce::String> entry = store.ReadString(EntryKey(key, n).toRawUTF8());
        if (!entry.has_value() || entry->isEmpty())
            break;
        history.addIfNotAlreadyThere(*entry);
    }
    return history;
}
} // namespace Vextal
