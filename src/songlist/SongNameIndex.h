#pragma once

#include <juce_core/juce_core.h>

#include <map>
#include <optional>
#include <unordered_map>

namespace Vextal
{
class TrackInfo;

// Splits a trailing "." and decimal number off a song name: "Song.12" gives
// "Song" and 12, "Song." gives "Song" and 0. A suffix that is not made of
// digits only, that begins with "0" or that has more than nine digits is part
// of the name, and number is -1 (so "Song.05" stays whole).
void StripNameOfNumber(juce::String& name, int& number);

// The names of the songs of a songlist, indexed so that unique names are
// found without walking the songs: how many songs bear a name, and the
// highest number any song carries on a base name (StripNameOfNumber; a bare
// base counts as -1). Songs are registered by record with the name they bear;
// a rename is told with the new name.
//
// Threads. No lock of its own: the host guards it with its song lock.
class SongNameIndex
{
public:
    void add(const TrackInfo* song, const juce::String& name);
    void remove(const TrackInfo* song);
    // A song not registered yet is added.
    void rename(const TrackInfo* song, const juce::String& name);
    void clear();

    // The number of registered songs bearing name.
    int count(const juce::String& name) const;
    // The name a song is registered with; empty when it is not registered.
    juce::String nameOf(const TrackInfo* song) const;
    // The highest number on base among the registered names; none when no
    // name has that base.
    std::optional<int> highestNumber(const juce::String& base) const;
    size_t size() const { return m_names.size(); }

private:
    void countIn(const juce::String& name, int delta);

    std::unordered_map<const TrackInfo*, juce::String> m_names;
    std::unordered_map<juce::String, int> m_counts;
    // base -> number -> how many names carry it.
    std::unordered_map<juce::String, std::map<int, int>> m_numbers;
};
} // namespace Vextal
