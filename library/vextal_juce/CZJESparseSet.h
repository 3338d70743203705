#pragma once

#include <juce_core/juce_core.h>

#include <vector>

// Walking a juce::SparseSet<int> range by range. The set's own operator[]
// and contains walk its ranges from the start on every call, so a loop over
// the values of a set of many ranges through them takes quadratic time;
// these walk each range once.
namespace CZJESparseSet
{
// Calls f(value) for every value of the set, in ascending order.
template <typename F>
void forEachValue(const juce::SparseSet<int>& set, F&& f)
{
    for (int r = 0; r < set.getNumRanges(); ++r)
    {
        const juce::Range<int> range = set.getRange(r);
        for (int v = range.getStart(); v < range.getEnd(); ++v)
            f(v);
    }
}

// Every value of the set, in ascending order.
inline std::vector<int> valuesOf(const juce::SparseSet<int>& set)
{
    std::vector<int> values;
    forEachValue(set, [&values](int v) { values.push_back(v); });
    return values;
}

// One flag per value 0 .. size - 1: whether the set holds it.
inline std::vector<bool> maskOf(const juce::SparseSet<int>& set, int size)
{
    std::vector<bool> mask(static_cast<size_t>(juce::jmax(0, size)), false);
    for (int r = 0; r < set.getNumRanges(); ++r)
    {
        const juce::Range<int> range = set.getRange(r).getIntersectionWith({0, juce::jmax(0, size)});
        for (int v = range.getStart(); v < range.getEnd(); ++v)
            mask[static_cast<size_t>(v)] = true;
    }
    return mask;
}
} // namespace CZJESparseSet
