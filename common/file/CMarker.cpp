#include "common/file/CMarker.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace
{
// A time's comparison key: milliseconds, rounded half up for times of 0 or
// more. Kept as a double so that no time, however large, overflows a cast.
double MillisecondKey(double t)
{
    return std::trunc(t * 1000.0 + 0.5);
}

// Whole milliseconds of t, truncated toward zero. The small allowance keeps a
// time such as 1.001 s, whose product with 1000 comes out as 1000.9999999999999,
// from losing a millisecond to binary rounding.
double WholeMilliseconds(double t)
{
    const double allowance = 1e-6;
    if (t < 0.0)
        return -std::trunc(-t * 1000.0 + allowance);
    return std::trunc(t * 1000.0 + allowance);
}
} // namespace

int CMarker::GetNumMarkers() const
{
    return static_cast<int>(m_times.size());
}

double CMarker::GetMarkerTimeSecond(int i) const
{
    if (i < 0 || i >= GetNumMarkers())
        return 0.0;
    return m_times[static_cast<size_t>(i)];
}

double CMarker::GetMarkerTimeSecondAligned(int i) const
{
    const double t = GetMarkerTimeSecond(i);
    if (t <= 0.0)
        return 0.0;
    return t + 0.0005;
}

int CMarker::TimeToMarkerIndex(double t) const
{
    // The list is ascending, so the first time above t follows the wanted one.
    const auto firstAfter = std::upper_bound(m_times.begin(), m_times.end(), t);
    return static_cast<int>(firstAfter - m_times.begin()) - 1;
}

bool CMarker::Add(double t)
{
    if (!std::isfinite(t))
        return false;

    // The key rises with the time, so the list is ordered by key as well.
    const double key = MillisecondKey(t);
    const auto at = std::lower_bound(m_times.begin(), m_times.end(), key,
                                     [](double present, double k) { return MillisecondKey(present) < k; });
    if (at != m_times.end() && MillisecondKey(*at) == key)
        return false;
    m_times.insert(at, t);
    return true;
}

void CMarker::AddAll(const std::vector<double>& times)
{
    // The present times first, then the new ones in their given order: the
    // stable sort keeps that order within a millisecond, so the earliest
    // given time of each millisecond is the one kept.
    std::vector<double> all = m_times;
    all.reserve(all.size() + times.size());
    for (const double t : times)
        if (std::isfinite(t))
            all.push_back(t);
    std::stable_sort(all.begin(), all.end(),
                     [](double a, double b) { return MillisecondKey(a) < MillisecondKey(b); });
    const auto last = std::unique(all.begin(), all.end(),
                                  [](double a, double b) { return MillisecondKey(a) == MillisecondKey(b); });
    all.erase(last, all.end());
    m_times = std::move(all);
}

bool CMarker::AddAligned(double t)
{
    if (!std::isfinite(t))
        return false;
    return Add(WholeMilliseconds(t) / 1000.0);
}

void CMarker::DivideMarkerList(CMarker* before, CMarker* after, double t) const
{
    // Work from a copy: before or after may be this very list.
    const std::vector<double> times = m_times;

    if (before != nullptr)
        before->DeleteAll();
    if (after != nullptr)
        after->DeleteAll();

    for (const double m : times)
    {
        if (m < t)
        {
            if (before != nullptr)
                before->Add(m);
        }
        else if (after != nullptr)
        {
            after->Add(m - t);
        }
    }
}

void CMarker::CopyAll(const CMarker* other)
{
    if (other == this)
        return;

    DeleteAll();
    if (other != nullptr)
        m_times = other->m_times;
}

void CMarker::DeleteAll()
{
    m_times.clear();
}
