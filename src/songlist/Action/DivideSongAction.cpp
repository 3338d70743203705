#include "src/songlist/Action/DivideSongAction.h"

#include "library/util/CCheckUtil.h"
#include "src/songlist/CVXHost.h"

namespace Vextal
{
DivideSongAction::DivideSongAction(CVXHost& host, int index, double seconds)
    : m_host(host), m_index(index), m_previousCurrent(index), m_seconds(seconds)
{
}

bool DivideSongAction::perform()
{
    if (!VX_CHECK(m_source == nullptr) || m_host.GetSong(m_index) == nullptr)
        return false;
    m_previousCurrent = m_host.GetCurPlayTrack(0);
    if (m_previousCurrent != m_index)
        m_host.SetCurPlayTrack(m_index, true, false);
    return m_host.DivideTrack(m_seconds, m_source);
}

bool DivideSongAction::undo()
{
    if (!VX_CHECK(m_source != nullptr))
        return false;
    for (int part = 0; part < 2; ++part)
        if (m_host.RemoveTrack(m_index, true, true) == nullptr)
            return false;
    m_host.InsertTrack(m_index, std::move(m_source));
    // The list is as it was before the division: the index names the song
    // that was current then.
    m_host.SetCurPlayTrack(m_previousCurrent, true, false);
    m_host.SetSelectedSongs(m_previousCurrent >= 0 ? m_previousCurrent : m_index, 1, false);
    return true;
}
} // namespace Vextal
