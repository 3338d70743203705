#pragma once

#include <vector>

// A song's marker times in seconds from its first frame, kept in ascending
// order. Two times that fall on the same millisecond (rounded half up) never
// stand together: the later one is refused.
class CMarker
{
public:
    CMarker() = default;
    virtual ~CMarker() = default;

    CMarker(const CMarker&) = delete;
    CMarker& operator=(const CMarker&) = delete;

    int GetNumMarkers() const;

    // Time i in seconds; 0 when i is outside the list.
    double GetMarkerTimeSecond(int i) const;

    // Time i moved half a millisecond later, so that a time cut to whole
    // milliseconds lands inside its millisecond; 0 for a time at or below 0
    // and for i outside the list.
    double GetMarkerTimeSecondAligned(int i) const;

    // Index of the last marker at or before t; -1 when the list is empty or t
    // lies before the first marker.
    int TimeToMarkerIndex(double t) const;

    // Inserts t in order. Returns false, leaving the list unchanged, when a
    // present time falls on the same millisecond or t is not finite.
    // Logarithmic search; appending in ascending order costs no move.
    bool Add(double t);

    // Add of every time in turn, with the same result (the first time of a
    // millisecond stays), but sorted once: n log n for any order, where Add
    // in turn moves the list on each insert.
    void AddAll(const std::vector<double>& times);

    // Add of t cut to whole milliseconds (toward zero).
    bool AddAligned(double t);

    // Empties both lists, then puts every time below t into before unchanged
    // and every time at or after t into after as time - t. Either target may
    // be null, and either may be this list.
    void DivideMarkerList(CMarker* before, CMarker* after, double t) const;

    // Replaces this list with the times of other (empty when other is null).
    void CopyAll(const CMarker* other);

    void DeleteAll();

private:
    std::vector<double> m_times;
};
