#include "src/songlist/SongNameIndex.h"

namespace
{
// A number with more digits could overflow the unique-name arithmetic.
constexpr int kMaxNumberDigits = 9;
} // namespace

namespace Vextal
{
void StripNameOfNumber(juce::String& name, int& number)
{
    number = -1;
    const int dot = name.lastIndexOfChar('.');
    if (dot < 0)
        return;
    const juce::String suffix = name.substring(dot + 1);
    if (!suffix.containsOnly("0123456789") || suffix.startsWithChar('0') ||
        suffix.length() > kMaxNumberDigits)
        return;
    number = suffix.getIntValue();
    name = name.substring(0, dot);
}

void SongNameIndex::add(const TrackInfo* song, const juce::String& name)
{
    if (!m_names.emplace(song, name).second)
    {
        rename(song, name);
        return;
    }
    countIn(name, 1);
}

void SongNameIndex::remove(const TrackInfo* song)
{
    const auto it = m_names.find(song);
    if (it == m_names.end())
        return;
    countIn(it->second, -1);
    m_names.erase(it);
}

void SongNameIndex::rename(const TrackInfo* song, const juce::String& name)
{
    const auto it = m_names.find(song);
    if (it == m_names.end())
    {
        add(song, name);
        return;
    }
    if (it->second == name)
        return;
    countIn(it->second, -1);
    it->second = name;
    countIn(name, 1);
}

void SongNameIndex::clear()
{
    m_names.clear();
    m_counts.clear();
    m_numbers.clear();
}

int SongNameIndex::count(const juce::String& name) const
{
    const auto it = m_counts.find(name);
    return it == m_counts.end() ? 0 : it->second;
}

juce::String SongNameIndex::nameOf(const TrackInfo* song) const
{
    const auto it = m_names.find(song);
    return it == m_names.end() ? juce::String() : it->second;
}

std::optional<int> SongNameIndex::highestNumber(const juce::String& base) const
{
    const auto it = m_numbers.find(base);
    if (it == m_numbers.end() || it->second.empty())
        return std::nullopt;
    return it->second.rbegin()->first;
}

void SongNameIndex::countIn(const juce::String& name, int delta)
{
    if ((m_counts[name] += delta) <= 0)
        m_counts.erase(name);
    juce::String base = name;
    int number = -1;
    StripNameOfNumber(base, number);
    auto& numbers = m_numbers[base];
    if ((numbers[number] += delta) <= 0)
        numbers.erase(number);
    if (numbers.empty())
        m_numbers.erase(base);
}
} // namespace Vextal
